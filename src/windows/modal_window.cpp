// What every modal window of the services does to the windows around it: it
// cancels their modes as it opens, takes the keyboard focus, keeps it while the
// windows below are clicked, and gives the focus back when it closes.

#include "windows/window_internal.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace windows {
namespace {

// Asks once more for the focus when the modal window first comes on screen.
class FocusOnExpose : public QObject {
public:
  FocusOnExpose(QWidget& modal, QWindow& window) : QObject(&modal), modal_(&modal) {
    window.installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && modal_ && modal_->isVisible()) {
      watched->removeEventFilter(this);
      if (!modal_->isActiveWindow()) {
        modal_->activateWindow();
      }
      deleteLater();
    }
    return false;
  }

private:
  QPointer<QWidget> modal_;
};

// Whether the window lies below the modal one, which blocks it: its owner, its
// owner's owner..., or any window when the modal one blocks the application.
bool blockedBy(const QWidget& modal, const QWindow& window) {
  const QWindow* own = modal.windowHandle();
  if (own == nullptr || &window == own || window.type() == Qt::Popup ||
      window.type() == Qt::ToolTip) {
    return false;
  }
  if (modal.windowModality() == Qt::ApplicationModal) {
    return true;
  }
  for (const QWindow* below = own->transientParent(); below != nullptr;
       below = below->transientParent()) {
    if (below == &window) {
      return true;
    }
  }
  return false;
}

// A click on a window below the modal one makes the window manager give that
// window the keyboard, which it cannot use: the modal window takes it back and
// comes to the front again.
class KeepKeyboard : public QObject {
public:
  static constexpr const char* kName = "keepKeyboard";

  explicit KeepKeyboard(QWidget& modal) : QObject(&modal), modal_(&modal) {
    setObjectName(QLatin1String(kName));
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focus) {
      if (focus != nullptr && modal_ && modal_->isVisible() &&
          QApplication::activeModalWidget() == modal_ && blockedBy(*modal_, *focus)) {
        // After the window system has finished handing the focus over.
        QTimer::singleShot(0, modal_, [modal = modal_] { ModalScope::takeFocus(*modal); });
      }
    });
  }

private:
  QPointer<QWidget> modal_;
};

} // namespace

ModalScope::ModalScope(QWidget* owner)
    : returnTo_(owner != nullptr ? owner->window() : QApplication::activeWindow()) {
  // The release of a button held now goes to the modal window: a drag below ends here.
  for (const WindowPtr& w : childrenOf(nullptr)) {
    if (w->kind == WindowKind::Top) {
      sendMessage(w.get(), WM_CANCELMODE, 0, 0);
    }
  }
}

ModalScope::~ModalScope() {
  // Without a window manager nobody else would: the focus would fall to the root window.
  if (returnTo_ && returnTo_->isVisible()) {
    returnTo_->activateWindow();
  }
}

void ModalScope::takeFocus(QWidget& modal) {
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
    modal.raise(); // the offscreen platform has no stacking, and says so
  }
  modal.activateWindow();
  if (QWindow* window = modal.windowHandle(); window != nullptr && !window->isExposed()) {
    new FocusOnExpose(modal, *window);
  }
  if (modal.findChild<QObject*>(QLatin1String(KeepKeyboard::kName), Qt::FindDirectChildrenOnly) ==
      nullptr) {
    new KeepKeyboard(modal);
  }
}

} // namespace windows
