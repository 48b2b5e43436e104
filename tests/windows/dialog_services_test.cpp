// Dialogs from templates as the system relies on them: the template's layout in
// pixels, the messages that real input sends, and the texts of controls.

#include "dialog_test_util.h"
#include "expr/cp1251.h"
#include "res/resources.h"
#include "windows/dialog_internal.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

namespace {

struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Message&) const = default;
};

struct Recorder {
  HWND dialog = nullptr;
  std::vector<Message> messages; // WM_COMMAND and WM_CLOSE
  bool shownAtInit = true;
  WPARAM initFocus = 0;
  LPARAM initParam = 0;
  UINT checkedAtCommand = BST_UNCHECKED; // the clicked radio button, when it was told
  INT_PTR endInInit = -1;                // ends the dialog in WM_INITDIALOG unless -1
};
Recorder rec;

INT_PTR recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_INITDIALOG:
    rec.dialog = dialog;
    rec.shownAtInit = windows::findWindow(dialog)->widget->isVisible();
    rec.initFocus = wParam;
    rec.initParam = lParam;
    if (rec.endInInit != -1) {
      EndDialog(dialog, rec.endInInit);
    }
    return TRUE;
  case WM_COMMAND:
    rec.messages.push_back({message, wParam, lParam});
    rec.checkedAtCommand = IsDlgButtonChecked(dialog, LOWORD(wParam));
    return TRUE;
  case WM_CLOSE:
    rec.messages.push_back({message, wParam, lParam});
    EndDialog(dialog, 42);
    return TRUE;
  default:
    return FALSE;
  }
}

INT_PTR runDialog(const std::function<void(QDialog&)>& script, HWND owner = nullptr,
                  LPARAM param = 0) {
  rec = Recorder{};
  return withDialog(
      [&] {
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(res::kOptionsDialogId), owner,
                               recordingProc, param);
      },
      script);
}

HWND item(int id) {
  return GetDlgItem(rec.dialog, id);
}

QWidget* widgetOf(HWND control) {
  windows::WindowPtr w = windows::findWindow(control);
  return w ? w->widget.data() : nullptr;
}

template <typename T> T* widget(int id) {
  return qobject_cast<T*>(widgetOf(item(id)));
}

// A plain window of a class of its own, shown and active: the window below a box.
void showOwner(const char* className, HWND& owner) {
  WNDCLASSEXA c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = DefWindowProcA;
  c.lpszClassName = className;
  ASSERT_NE(RegisterClassExA(&c), 0);
  owner = CreateWindowExA(0, className, "Owner", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          400, 300, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(owner, SW_SHOW);
  ASSERT_TRUE(pumpUntil([&] { return QApplication::activeWindow() == widgetOf(owner); }));
}

std::string textOf(HWND window, int count = 2000) {
  std::string buffer(static_cast<std::size_t>(count), '\x7F');
  const int stored = GetWindowTextA(window, buffer.data(), count);
  EXPECT_EQ(buffer[static_cast<std::size_t>(stored)], '\0');
  return buffer.substr(0, static_cast<std::size_t>(stored));
}

Message command(int id, WORD code, int control) {
  return {WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code),
          reinterpret_cast<LPARAM>(item(control))};
}

TEST(DialogServices, TemplateControlsLieAtTheirConvertedRectanglesInTabOrder) {
  const res::DialogTemplate* t = res::findDialog(res::kOptionsDialogId);
  ASSERT_NE(t, nullptr);
  runDialog([&](QDialog& dialog) {
    std::shared_ptr<DialogState> state = windows::dialogStateOf(rec.dialog);
    ASSERT_TRUE(state);
    ASSERT_EQ(state->controls.size(), static_cast<std::size_t>(t->controlCount));

    // Base units: the average width of the letters and the height of the 8-point font.
    const QFontMetrics metrics(dialog.font());
    EXPECT_EQ(dialog.font().pointSize(), 8);
    RECT unit{4, 8, 4, 8};
    ASSERT_TRUE(MapDialogRect(rec.dialog, &unit));
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(unit.left, (letters / 26 + 1) / 2);
    EXPECT_EQ(unit.top, metrics.height());

    RECT client{0, 0, t->cx, t->cy};
    MapDialogRect(rec.dialog, &client);
    EXPECT_EQ(dialog.size(), QSize(client.right, client.bottom));
    // Centred, frame and all (within the platform's frame margins), yet on the screen.
    const QRect area = dialog.screen()->availableGeometry();
    const QRect frame = dialog.frameGeometry();
    EXPECT_NEAR(frame.x(), std::max(area.x(), area.x() + (area.width() - frame.width()) / 2), 3);
    EXPECT_NEAR(frame.y(), std::max(area.y(), area.y() + (area.height() - frame.height()) / 2), 3);
    EXPECT_EQ(textOf(rec.dialog), "Option");

    std::vector<QWidget*> tabStops;
    for (int i = 0; i < t->controlCount; ++i) {
      const res::DialogControl& c = t->controls[i];
      SCOPED_TRACE(std::to_string(i) + " " + cp1251::toUtf8(c.caption));
      QWidget* w = widgetOf(state->controls[static_cast<std::size_t>(i)]);
      ASSERT_NE(w, nullptr);
      RECT r{c.x, c.y, c.cx, c.cy};
      MapDialogRect(rec.dialog, &r);
      EXPECT_EQ(w->geometry(), QRect(r.left, r.top, r.right, r.bottom));
      EXPECT_EQ(textOf(state->controls[static_cast<std::size_t>(i)]), c.caption);
      EXPECT_EQ(w->isEnabled(), (c.style & res::style::Disabled) == 0);
      if ((c.style & res::style::TabStop) != 0 && w->isEnabled()) {
        tabStops.push_back(w);
      }
    }
    widget<QWidget>(1017)->setFocus(); // a focused push button would be the default
    EXPECT_TRUE(widget<QPushButton>(1)->isDefault());
    EXPECT_FALSE(widget<QRadioButton>(1005)->autoExclusive());

    // Tab walks the enabled tab stops in template order, and round again.
    ASSERT_GT(tabStops.size(), 20u);
    tabStops.front()->setFocus();
    std::vector<QWidget*> walked;
    for (std::size_t i = 0; i <= tabStops.size() && QApplication::focusWidget() != nullptr; ++i) {
      walked.push_back(QApplication::focusWidget());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    tabStops.push_back(tabStops.front());
    EXPECT_EQ(walked, tabStops);
    SendMessageA(rec.dialog, WM_CLOSE, 0, 0);
  });
}

TEST(DialogServices, RealInputSendsTheMessagesOfWindows) {
  auto focusAndPress = [](int id, Qt::Key key) {
    widget<QWidget>(id)->setFocus();
    QTest::keyClick(widget<QWidget>(id), key);
  };
  struct Step {
    const char* name;
    std::function<void(QDialog&)> act;
    std::function<std::vector<Message>()> expected;
  } steps[] = {
      {"click a push button",
       [](QDialog&) { QTest::mouseClick(widget<QWidget>(3), Qt::LeftButton); },
       [] { return std::vector{command(3, BN_CLICKED, 3)}; }},
      {"click a radio button",
       [](QDialog&) { QTest::mouseClick(widget<QWidget>(1005), Qt::LeftButton); },
       [] { return std::vector{command(1005, BN_CLICKED, 1005)}; }},
      {"click it again: it stays checked",
       [](QDialog&) { QTest::mouseClick(widget<QWidget>(1005), Qt::LeftButton); },
       [] { return std::vector{command(1005, BN_CLICKED, 1005)}; }},
      {"click another: both are checked",
       [](QDialog&) { QTest::mouseClick(widget<QWidget>(1011), Qt::LeftButton); },
       [] { return std::vector{command(1011, BN_CLICKED, 1011)}; }},
      {"type into an edit", [](QDialog&) { QTest::keyClicks(widget<QWidget>(1017), "x"); },
       [] { return std::vector{command(1017, EN_CHANGE, 1017)}; }},
      {"Enter while the default button is disabled",
       [&](QDialog&) { focusAndPress(1017, Qt::Key_Return); },
       [] { return std::vector<Message>{}; }},
      {"Enter presses the enabled default button",
       [&](QDialog&) {
         EnableWindow(item(1), TRUE);
         focusAndPress(1017, Qt::Key_Return);
       },
       [] { return std::vector{command(1, BN_CLICKED, 1)}; }},
      {"Enter on a focused push button presses it",
       [&](QDialog&) { focusAndPress(9, Qt::Key_Return); },
       [] { return std::vector{command(9, BN_CLICKED, 9)}; }},
      {"Escape", [&](QDialog&) { focusAndPress(1017, Qt::Key_Escape); },
       [] { return std::vector{command(IDCANCEL, BN_CLICKED, IDCANCEL)}; }},
      {"the close box",
       [](QDialog& dialog) {
         QCloseEvent close;
         QCoreApplication::sendEvent(dialog.windowHandle(), &close);
       },
       [] {
         return std::vector{Message{WM_CLOSE, 0, 0}};
       }},
  };
  const INT_PTR result = runDialog([&](QDialog& dialog) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.name);
      rec.messages.clear();
      step.act(dialog);
      EXPECT_EQ(rec.messages, step.expected());
      if (std::string(step.name).find("radio") != std::string::npos ||
          std::string(step.name).find("checked") != std::string::npos) {
        EXPECT_EQ(rec.checkedAtCommand, BST_CHECKED); // checked before it is told
      }
    }
    EXPECT_EQ(IsDlgButtonChecked(rec.dialog, 1005), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(rec.dialog, 1011), BST_CHECKED);
  });
  EXPECT_EQ(result, 42); // what the procedure gave EndDialog on WM_CLOSE
}

TEST(DialogServices, InitDialogComesBeforeTheDialogShows) {
  const INT_PTR result = runDialog(
      [](QDialog&) {
        // Apply starts disabled, so the first tab stop that can take the focus is Cancel.
        EXPECT_EQ(rec.initFocus, reinterpret_cast<WPARAM>(item(2)));
        EXPECT_EQ(QApplication::focusWidget(), widgetOf(item(2)));
        EndDialog(rec.dialog, 7);
      },
      nullptr, 1234);
  EXPECT_EQ(result, 7);
  EXPECT_FALSE(rec.shownAtInit);
  EXPECT_EQ(rec.initParam, 1234);
  EXPECT_FALSE(IsWindow(rec.dialog));

  // Ended during WM_INITDIALOG, it never shows.
  rec = Recorder{};
  rec.endInInit = 5;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(105), nullptr, recordingProc, 0), 5);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), nullptr, recordingProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, "Options", nullptr, recordingProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(105), nullptr, nullptr, 0), -1);
}

TEST(DialogServices, TextsCrossAsCodePage1251) {
  runDialog([](QDialog&) {
    HWND edit = item(1017);
    struct Case {
      const char* set;
      int count;
      std::string expected;
    } cases[] = {
        {"abc", 100, "abc"},
        {"abcdef", 4, "abc"}, // count - 1 characters and a NUL
        {"abc", 1, ""},
        {"ошибка №5 — «x»"_cp1251, 100, "ошибка №5 — «x»"_cp1251},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(cp1251::toUtf8(c.set) + " / " + std::to_string(c.count));
      ASSERT_TRUE(SetWindowTextA(edit, c.set));
      EXPECT_EQ(textOf(edit, c.count), c.expected);
    }
    char untouched[2] = {'z', 'z'};
    EXPECT_EQ(GetWindowTextA(edit, untouched, 0), 0);
    EXPECT_EQ(untouched[0], 'z');

    // Typed characters that the code page lacks come back as '?'.
    SetWindowTextA(edit, "");
    typeText(widgetOf(edit), QString::fromUtf8("x€日"));
    EXPECT_EQ(textOf(edit), "x\x88?");
    // Pasted line breaks become blanks: an edit holds one line.
    SetWindowTextA(edit, "");
    QGuiApplication::clipboard()->setText(QStringLiteral("a\r\nb\nc\rd"));
    qobject_cast<QLineEdit*>(widgetOf(edit))->paste();
    EXPECT_EQ(textOf(edit), "a b c d");

    SetWindowTextA(rec.dialog, "Опции"_cp1251);
    EXPECT_EQ(textOf(rec.dialog), "Опции"_cp1251);
    EndDialog(rec.dialog, 0);
  });
}

LRESULT countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static int* paints = nullptr;
  if (message == WM_CREATE) {
    paints = static_cast<int*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
  }
  if (message == WM_PAINT && paints != nullptr) {
    ++*paints;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(DialogServices, TheOwnerPaintsOnUnderTheDialog) {
  WNDCLASSEXA c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = countingProc;
  c.lpszClassName = "DialogOwner";
  ASSERT_NE(RegisterClassExA(&c), 0);
  int paints = 0;
  HWND owner = CreateWindowExA(0, "DialogOwner", "Owner", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                               CW_USEDEFAULT, 400, 300, nullptr, nullptr, nullptr, &paints);
  ASSERT_NE(owner, nullptr);
  ShowWindow(owner, SW_SHOW);
  EXPECT_TRUE(pumpUntil([&] { return paints > 0; }));
  runDialog(
      [&](QDialog& dialog) {
        EXPECT_EQ(dialog.parentWidget(), widgetOf(owner));
        const int before = paints;
        RedrawWindow(owner, nullptr, nullptr, RDW_INVALIDATE);
        EXPECT_TRUE(pumpUntil([&] { return paints > before; }));
        EndDialog(rec.dialog, 0);
      },
      owner);
  DestroyWindow(owner);
}

// A box shows its whole caption beside a title bar's icon and three buttons, takes
// the keyboard when it opens and gives it back to the window below when it closes;
// so does a dialog.
TEST(DialogServices, ABoxFitsItsCaptionAndBoxesAndDialogsHandTheFocusBack) {
  HWND owner = nullptr;
  ASSERT_NO_FATAL_FAILURE(showOwner("FocusOwner", owner));
  QFont title = QApplication::font("QMdiSubWindowTitleBar");
  title.setBold(true);
  const int captionWidth = QFontMetrics(title).horizontalAdvance(QStringLiteral("Ошибка"));
  bool looked = false;
  std::function<void()> look = [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr || !pumpUntil([&] { return box->isActiveWindow(); }, 1000)) {
      QTimer::singleShot(10, look);
      return;
    }
    looked = true;
    EXPECT_GE(box->width(), captionWidth + 120);
    QTest::keyClick(box->focusWidget(), Qt::Key_Return);
  };
  QTimer::singleShot(0, look);
  EXPECT_EQ(MessageBoxA(owner, "Фаил не открыт"_cp1251, "Ошибка"_cp1251, MB_OK), IDOK);
  EXPECT_TRUE(looked) << "the box never took the focus";
  EXPECT_TRUE(pumpUntil([&] { return QApplication::activeWindow() == widgetOf(owner); }, 1000));

  runDialog([](QDialog&) { EndDialog(rec.dialog, 0); }, owner);
  EXPECT_TRUE(pumpUntil([&] { return QApplication::activeWindow() == widgetOf(owner); }, 1000));
  DestroyWindow(owner);
}

// Where the screen's work area holds the template, the dialog has the template's
// size; where it does not (a small or scaled screen: see LUMICURVE_TEST_SCREEN in
// the CTest list), it fits the area, frame and all, its controls keep their
// template places on a page that scrolls, and Tab brings each one into view.
TEST(DialogServices, TheDialogFitsTheScreenAndScrollsToTheFocus) {
  const res::DialogTemplate* t = res::findDialog(res::kOptionsDialogId);
  runDialog([&](QDialog& dialog) {
    RECT client{0, 0, t->cx, t->cy};
    MapDialogRect(rec.dialog, &client);
    const QSize full(client.right, client.bottom);
    const QRect area = dialog.screen()->availableGeometry();
    const QSize frame = dialog.frameGeometry().size() - dialog.size();
    EXPECT_EQ(dialog.size(), full.boundedTo(area.size() - frame));
    EXPECT_TRUE(area.contains(dialog.frameGeometry()))
        << area.width() << "x" << area.height() << " holds no " << dialog.width() << "x"
        << dialog.height();
    auto* scroll = dialog.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->widget()->size(), full) << "the template's layout, scrolled";
    widget<QWidget>(2)->setFocus();
    for (int i = 0; i < t->controlCount; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      ASSERT_NE(focus, nullptr);
      // A button whole, an edit (wider than the view) where its text cursor is.
      QRect shown(focus->mapTo(scroll->viewport(), QPoint()), focus->size());
      if (qobject_cast<QLineEdit*>(focus) != nullptr) {
        const QRect cursor = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        shown = QRect(focus->mapTo(scroll->viewport(), cursor.topLeft()), cursor.size());
      }
      EXPECT_TRUE(scroll->viewport()->rect().contains(shown)) << focus->objectName().toStdString();
    }
    EndDialog(rec.dialog, 0);
  });
}

// Opens a modal window over the one below, which is then clicked as a user
// clicks it, the window manager handing it the keyboard; the modal window takes
// the keyboard back and closes with the key, sent where the window system sends
// keys. False if it had to be closed otherwise.
bool keepsTheKeyboard(QWidget& below, const std::function<void()>& open, Qt::Key key) {
  bool forced = false;
  QTimer::singleShot(0, [&] {
    // A window shares the activation of its owner: which one has the keys says more.
    auto hasTheKeys = [](QWidget* w) {
      return w != nullptr && QGuiApplication::focusWindow() == w->windowHandle();
    };
    ASSERT_TRUE(pumpUntil([&] {
      QWidget* modal = QApplication::activeModalWidget();
      return modal != &below && hasTheKeys(modal);
    }));
    QPointer<QWidget> modal = QApplication::activeModalWidget();
    QTest::mouseClick(below.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));
    below.activateWindow();
    pumpUntil([&] { return hasTheKeys(modal); }, 1000);
    QTest::keyClick(QGuiApplication::focusWindow(), key);
    QTimer::singleShot(500, [&forced, modal] {
      if (modal && modal->isVisible()) {
        forced = true;
        modal->close();
      }
    });
  });
  open();
  return !forced;
}

TEST(DialogServices, AModalWindowKeepsTheKeyboardWhenTheWindowBelowIsClicked) {
  HWND owner = nullptr;
  ASSERT_NO_FATAL_FAILURE(showOwner("KeyboardOwner", owner));
  EXPECT_TRUE(keepsTheKeyboard(
      *widgetOf(owner), [&] { MessageBoxA(owner, "help", "help", MB_OK); }, Qt::Key_Return))
      << "a box over a window";
  runDialog(
      [&](QDialog& dialog) {
        EXPECT_TRUE(keepsTheKeyboard(
            dialog, [&] { MessageBoxA(rec.dialog, "x", "error", MB_OK); }, Qt::Key_Escape))
            << "a box over a dialog";
        char file[500] = {};
        OPENFILENAMEA record{};
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        record.hwndOwner = rec.dialog;
        record.lpstrFile = file;
        record.nMaxFile = sizeof file;
        EXPECT_TRUE(keepsTheKeyboard(
            dialog, [&] { GetOpenFileNameA(&record); }, Qt::Key_Escape))
            << "a file dialog over its dialog";
        EndDialog(rec.dialog, 0);
      },
      owner);
  DestroyWindow(owner);
}

} // namespace
