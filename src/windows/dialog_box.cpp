// Modal dialogs built from the templates of the program's resources: the dialog
// widget and its controls, dialog units, the notifications, and the nested loop
// that runs until EndDialog.

#include "res/resources.h"
#include "windows/dialog_internal.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QValidator>

#include <algorithm>
#include <cstdlib>

using windows::findWindow;
using windows::WindowPtr;

namespace {

namespace st = res::style;

void sendCommand(HWND dialog, int id, WORD code, HWND control) {
  windows::sendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code),
                       reinterpret_cast<LPARAM>(control));
}

// A control tells its dialog what happened to it.
void notify(HWND control, WORD code) {
  if (WindowPtr c = findWindow(control)) {
    sendCommand(c->parent, c->id, code, control);
  }
}

class DialogWidget : public QDialog {
public:
  DialogWidget(HWND handle, QWidget* parent)
      : QDialog(parent), handle_(handle), scroll_(new QScrollArea(this)), page_(new QWidget) {
    // The controls lie on a page of the template's size, which scrolls where the
    // screen is smaller than the template.
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidget(page_);
  }

  QWidget* page() const { return page_; }

  // Nothing but EndDialog ends the dialog. Escape, which Qt's dialog turns into
  // reject(), sends IDCANCEL; Enter presses the default button if it is enabled.
  void done(int) override {}
  void reject() override {
    sendCommand(handle_, IDCANCEL, BN_CLICKED, GetDlgItem(handle_, IDCANCEL));
  }

protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    windows::sendMessage(handle_, WM_CLOSE, 0, 0);
  }
  void resizeEvent(QResizeEvent*) override { scroll_->setGeometry(rect()); }

private:
  HWND handle_;
  QScrollArea* scroll_;
  QWidget* page_;
};

// An auto radio button checks itself when clicked and never unchecks itself; a
// plain one leaves its state to the dialog procedure.
class RadioButton : public QRadioButton {
public:
  RadioButton(bool automatic, QWidget* parent) : QRadioButton(parent), automatic_(automatic) {
    setAutoExclusive(false);
  }

protected:
  void nextCheckState() override {
    if (automatic_) {
      setChecked(true);
    }
  }

private:
  bool automatic_;
};

// A single-line edit keeps one line: line breaks typed or pasted become blanks,
// which the formula language ignores as it ignores line breaks.
class SingleLine : public QValidator {
public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override {
    if (input.contains(QLatin1Char('\n')) || input.contains(QLatin1Char('\r'))) {
      QString before = input.left(position);
      flatten(before);
      flatten(input);
      position = static_cast<int>(before.size());
    }
    return Acceptable;
  }

private:
  static void flatten(QString& text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  }
};

QWidget* buildControl(const res::DialogControl& c, HWND handle, QWidget* dialog) {
  const QString caption = windows::fromText(c.caption);
  const std::uint32_t kind = c.style & st::ButtonKindMask;
  const bool tabStop = (c.style & st::TabStop) != 0;
  QWidget* widget = nullptr;
  switch (c.controlClass) {
  case res::ControlClass::Button:
    if (kind == st::PushButton || kind == st::DefPushButton) {
      auto* button = new QPushButton(caption, dialog);
      // As in a Windows dialog, a focused push button is the one Enter presses.
      button->setAutoDefault(true);
      button->setDefault(kind == st::DefPushButton);
      QObject::connect(button, &QPushButton::clicked, button,
                       [handle] { notify(handle, BN_CLICKED); });
      widget = button;
    } else if (kind == st::AutoRadioButton || kind == st::RadioButton) {
      auto* radio = new RadioButton(kind == st::AutoRadioButton, dialog);
      radio->setText(caption);
      QObject::connect(radio, &QRadioButton::clicked, radio,
                       [handle] { notify(handle, BN_CLICKED); });
      widget = radio;
    } else if (kind == st::GroupBox) {
      auto* frame = new QGroupBox(caption, dialog);
      // As on Windows, the frame's top line runs through the middle of its caption,
      // so the controls the template puts just below the caption lie inside it.
      frame->setStyleSheet(QStringLiteral(
          "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
          "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px;"
          " background-color: palette(window); }"));
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      frame->setFocusPolicy(Qt::NoFocus);
      return frame;
    }
    break;
  case res::ControlClass::Edit: {
    auto* edit = new QLineEdit(caption, dialog);
    edit->setFrame((c.style & st::Border) != 0);
    edit->setValidator(new SingleLine(edit));
    QObject::connect(edit, &QLineEdit::textChanged, edit, [handle] { notify(handle, EN_CHANGE); });
    widget = edit;
    break;
  }
  case res::ControlClass::Static: {
    auto* label = new QLabel(caption, dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
  }
  }
  if (widget != nullptr) {
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  return widget;
}

LRESULT dialogMessage(const WindowPtr& w, UINT message, WPARAM wParam, LPARAM lParam) {
  auto state = std::static_pointer_cast<DialogState>(w->extra);
  return state && state->procedure != nullptr ? state->procedure(w.get(), message, wParam, lParam)
                                              : 0;
}

QFont dialogFont(const res::DialogTemplate& t) {
  // The system's user-interface font stands in for "MS Shell Dlg".
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(t.pointSize > 0 ? t.pointSize : 8);
  if (t.weight > 0 && t.weight <= 1000) {
    font.setWeight(static_cast<QFont::Weight>(t.weight));
  }
  font.setItalic(t.italic);
  return font;
}

// The first control that takes the focus from the keyboard.
HWND firstTabStop(const DialogState& state) {
  for (HWND control : state.controls) {
    WindowPtr c = findWindow(control);
    QWidget* widget = c ? c->widget.data() : nullptr;
    if (widget != nullptr && widget->focusPolicy() == Qt::StrongFocus && !widget->isHidden() &&
        widget->isEnabled()) {
      return control;
    }
  }
  return nullptr;
}

// The whole window, frame and all, in the middle of the screen's work area; a
// window larger than the area keeps its caption and left edge on the screen.
void centre(QWidget& window, const QRect& area) {
  const QSize outer = window.frameGeometry().size();
  window.move(std::max(area.x(), area.x() + (area.width() - outer.width()) / 2),
              std::max(area.y(), area.y() + (area.height() - outer.height()) / 2));
}

// The template's size where the work area holds it, frame and all, and smaller
// where it does not; the frame is known only once the window is shown.
void fit(DialogWidget& dialog, QSize client, const QRect& area) {
  const QSize frame = dialog.frameGeometry().size() - dialog.geometry().size();
  dialog.page()->setFixedSize(client);
  dialog.setFixedSize(client.boundedTo(area.size() - frame).expandedTo(QSize(64, 32)));
}

void forget(const DialogState& state, HWND dialog) {
  for (HWND control : state.controls) {
    windows::unregisterWindow(control);
  }
  windows::unregisterWindow(dialog);
}

} // namespace

namespace windows {

std::shared_ptr<DialogState> dialogStateOf(HWND dialog) {
  WindowPtr w = findWindow(dialog);
  if (!w || w->kind != WindowKind::Dialog) {
    return nullptr;
  }
  return std::static_pointer_cast<DialogState>(w->extra);
}

int mulDiv(int a, int b, int c) {
  if (c == 0) {
    return -1;
  }
  const long long product = static_cast<long long>(a) * b;
  const long long half = std::llabs(static_cast<long long>(c)) / 2;
  const bool negative = (product < 0) != (c < 0);
  const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

} // namespace windows

namespace {

// Dialog units of the template to pixels of the dialog's font.
QRect toPixels(const DialogState& state, int x, int y, int cx, int cy) {
  return QRect(windows::mulDiv(x, state.baseX, 4), windows::mulDiv(y, state.baseY, 8),
               windows::mulDiv(cx, state.baseX, 4), windows::mulDiv(cy, state.baseY, 8));
}

// The dialog's own widget: caption, frame buttons, modality, font and the
// dialog units that follow from the font.
DialogWidget* buildDialog(const res::DialogTemplate& t, HWND handle, DialogState& state,
                          QWidget* parent) {
  auto* dialog = new DialogWidget(handle, parent);
  dialog->setWindowTitle(windows::fromText(t.caption));
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if ((t.style & st::SysMenu) != 0) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if ((t.style & st::MinimizeBox) != 0) {
    flags |= Qt::WindowMinimizeButtonHint;
  }
  dialog->setWindowFlags(flags);
  dialog->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

  const QFont font = dialogFont(t);
  dialog->setFont(font);
  const QFontMetrics metrics(font);
  const int alphabet = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  state.baseX = std::max(1, (alphabet / 26 + 1) / 2);
  state.baseY = std::max(1, metrics.height());
  return dialog;
}

// Every control of the template as a child window on the dialog's page; false
// when one cannot be built.
bool buildControls(const res::DialogTemplate& t, HWND handle, DialogState& state,
                   DialogWidget& dialog) {
  std::vector<QGroupBox*> frames;
  for (int i = 0; i < t.controlCount; ++i) {
    const res::DialogControl& c = t.controls[i];
    auto control = std::make_shared<HWND__>();
    control->kind = WindowKind::Control;
    control->parent = handle;
    control->id = c.id;
    HWND controlHandle = windows::registerWindow(control);
    state.controls.push_back(controlHandle);
    QWidget* widget = buildControl(c, controlHandle, dialog.page());
    if (widget == nullptr) {
      return false;
    }
    control->widget = widget;
    if (c.id != -1) {
      widget->setObjectName(QString::number(c.id));
    }
    widget->setGeometry(toPixels(state, c.x, c.y, c.cx, c.cy));
    widget->setEnabled((c.style & st::Disabled) == 0);
    if ((c.style & st::Visible) == 0) {
      widget->hide();
    }
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
      frames.push_back(frame);
    }
  }
  // Frames lie beneath the controls they surround.
  for (QGroupBox* frame : frames) {
    frame->lower();
  }
  return true;
}

// WM_INITDIALOG with the first tab stop; when the procedure answers nonzero, that
// control (as the procedure left the controls) takes the focus.
void initialise(HWND handle, const DialogState& state, LPARAM initParam) {
  const HWND focus = firstTabStop(state);
  if (windows::sendMessage(handle, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), initParam) !=
      0) {
    if (WindowPtr first = findWindow(firstTabStop(state)); first && first->widget) {
      first->widget->setFocus(Qt::OtherFocusReason);
    }
  }
}

// Where the dialog goes: its client size, fitted into the screen's work area and
// centred there when the template asks.
struct Placement {
  QSize client;
  QRect area;
  bool centred;

  void apply(DialogWidget& dialog) const {
    fit(dialog, client, area);
    if (centred) {
      centre(dialog, area);
    }
  }
};

// Shows the dialog and runs its loop until EndDialog (or until the widget goes).
void runModal(DialogWidget& dialog, DialogState& state, const Placement& placement) {
  QEventLoop loop;
  QObject::connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
  state.loop = &loop;
  dialog.show();
  placement.apply(dialog); // now with the frame that the window system added
  windows::ModalScope::takeFocus(dialog);
  loop.exec(QEventLoop::DialogExec);
  state.loop = nullptr;
}

} // namespace

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure,
                        LPARAM initParam) {
  if (procedure == nullptr || !windows::ensureServices() || !windows::onUiThread() ||
      !IS_INTRESOURCE(templateName)) {
    return -1;
  }
  const res::DialogTemplate* t =
      res::findDialog(static_cast<int>(reinterpret_cast<std::uintptr_t>(templateName)));
  if (t == nullptr) {
    return -1;
  }
  windows::setBuiltinHandler(WindowKind::Dialog, dialogMessage);

  WindowPtr ownerWindow = findWindow(owner);
  QWidget* parent = ownerWindow && ownerWindow->widget ? ownerWindow->widget->window() : nullptr;
  windows::ModalScope modal(parent);
  auto state = std::make_shared<DialogState>();
  state->procedure = procedure;
  auto w = std::make_shared<HWND__>();
  w->kind = WindowKind::Dialog;
  w->parent = owner;
  w->extra = state;
  HWND handle = windows::registerWindow(w);

  DialogWidget* dialog = buildDialog(*t, handle, *state, parent);
  w->widget = dialog;
  if (!buildControls(*t, handle, *state, *dialog)) {
    forget(*state, handle);
    delete dialog;
    return -1;
  }
  const QSize client = toPixels(*state, 0, 0, t->cx, t->cy).size();
  QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  const Placement placement{
      client, screen != nullptr ? screen->availableGeometry() : QRect(QPoint(), client),
      (t->style & st::Center) != 0 && screen != nullptr};
  placement.apply(*dialog);

  initialise(handle, *state, initParam);
  QPointer<DialogWidget> alive(dialog);
  if (!state->ended) {
    runModal(*dialog, *state, placement);
  }
  forget(*state, handle);
  if (alive) {
    alive->hide();
    delete alive.data();
  }
  return state->ended ? state->result : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  std::shared_ptr<DialogState> state = windows::dialogStateOf(dialog);
  if (!state) {
    return FALSE;
  }
  state->ended = true;
  state->result = result;
  if (state->loop != nullptr) {
    state->loop->exit();
  }
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  std::shared_ptr<DialogState> state = windows::dialogStateOf(dialog);
  if (!state || rect == nullptr) {
    return FALSE;
  }
  rect->left = windows::mulDiv(rect->left, state->baseX, 4);
  rect->right = windows::mulDiv(rect->right, state->baseX, 4);
  rect->top = windows::mulDiv(rect->top, state->baseY, 8);
  rect->bottom = windows::mulDiv(rect->bottom, state->baseY, 8);
  return TRUE;
}
