// What every modal window of the services does to the windows around it: it
// cancels their modes as it opens, takes the keyboard focus, and gives the focus
// back when it closes.

#include "windows/window_internal.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
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
}

} // namespace windows
