#include "view/main_window.h"

#include "expr/cp1251.h"
#include "options/options_dialog.h"
#include "res/resources.h"

namespace {

HINSTANCE programInstance = nullptr;
GraphView* mainView = nullptr;

// The options dialog as the main window runs it. A pass may draw while the dialog
// is open (the one a drag ended by the dialog started, or a resize's), so Apply,
// which replaces the programs a pass uses, stops it first and lets none start
// until it is done.
INT_PTR viewOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_APPLYSETTINGS) {
    return optionsDialogProc(dialog, message, wParam, lParam);
  }
  GraphView& view = *mainView;
  view.stopWorker();
  view.holdPasses = true;
  const INT_PTR handled = optionsDialogProc(dialog, message, wParam, lParam);
  view.holdPasses = false;
  // A refused Apply keeps the dialog open: the picture a stopped pass owed a drag
  // is drawn again.
  if (view.scrollX != 0 || view.scrollY != 0) {
    view.startWorker();
  }
  return handled;
}

} // namespace

void setMainWindowView(GraphView* view) {
  mainView = view;
}

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GraphView& view = *mainView;
  switch (message) {
  case WM_CREATE: {
    view.createBuffers(window);
    HCURSOR crosshair = LoadCursorA(programInstance, MAKEINTRESOURCEA(res::kCursorId));
    SetClassLongA(window, GCL_HCURSOR,
                  static_cast<LONG>(reinterpret_cast<std::uintptr_t>(crosshair)));
    SendMessageA(window, WM_RBUTTONUP, 0, 0);
    view.startWorker();
    return 0;
  }
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  case WM_SIZE:
    GetClientRect(view.window, &view.clientRect);
    MoveWindow(view.statusBar, 0, 0, 0, 0, TRUE);
    view.followClientArea();
    return 0;
  case WM_PAINT: {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    view.paint(dc);
    EndPaint(window, &ps);
    return 0;
  }
  case WM_CLOSE:
    DestroyWindow(window);
    return 0;
  case WM_KEYDOWN:
    view.onKeyDown(wParam, lParam);
    return 0;
  case WM_MOUSEMOVE:
    view.onMouseButtons(wParam);
    view.onMouseMove(lParam);
    return 0;
  case WM_RBUTTONDOWN:
    view.onMouseButtons(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
  case WM_LBUTTONDOWN:
    view.onLButtonDown(lParam);
    return 0;
  case WM_LBUTTONUP:
    view.onLButtonUp();
    return 0;
  case WM_RBUTTONUP: {
    view.stopWorker();
    const INT_PTR ended = DialogBoxParamA(programInstance, MAKEINTRESOURCEA(res::kOptionsDialogId),
                                          window, viewOptionsProc, 0);
    if (ended == 0) {
      view.startWorker();
    } else {
      MessageBoxA(window, "DialogBox", "ошибка"_cp1251, MB_OK);
    }
    return 0;
  }
  case WM_MOUSEWHEEL:
    view.onMouseButtons(LOWORD(wParam));
    view.onMouseWheel(wParam);
    return 0;
  case WM_CANCELMODE:
    view.onCancelMode();
    return 0;
  case WM_TIMER:
  case WM_USER + 1:
    return 0;
  default:
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

int runMainWindow(HINSTANCE instance, int showCommand) {
  programInstance = instance;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(res::kIconId));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = "MyLC";
  if (RegisterClassExA(&windowClass) == 0) {
    MessageBoxA(nullptr, "Cannot Register class: ", "Error", MB_OK);
    return 0;
  }
  HWND window =
      CreateWindowExA(0, "MyLC", "Lumicurve", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    MessageBoxA(nullptr, "Cannot Register Window: ", "Error", MB_OK);
    return 0;
  }
  ShowWindow(window, showCommand);
  MSG msg{};
  // -1, a failed fetch, ends the loop as well.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
