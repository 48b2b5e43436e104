#pragma once
// The Qt widget behind a top-level window: it presents the window's backing
// bitmap, dispatches WM_PAINT when the window is invalid, and turns Qt's input
// events into the messages Windows would send.

#include "windows/window_internal.h"

class HostWidget : public QWidget {
public:
  explicit HostWidget(HWND window);
  // Shows the class cursor drawn for the screen the window is on.
  void applyCursor();

protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

private:
  HWND handle_;
  // Wheel movement not yet making a whole notch of 120.
  int wheelRemainder_ = 0;
};
