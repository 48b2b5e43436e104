#include "render_canvas.h"

#include <cstdlib>

RenderCanvas::RenderCanvas(bool pixels, int width, int height, double scale)
    : recording_(pixels ? 0 : width, pixels ? 0 : height, scale) {
  if (pixels) {
    picture_ = CreateScaledBitmap(width, height, scale);
    if (picture_ == nullptr) {
      return;
    }
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, picture_);
  } else {
    dc_ = CreateRecordingDC(&recording_);
  }
  SetROP2(dc_, R2_COPYPEN);
  SetBkMode(dc_, TRANSPARENT);
  PatBlt(dc_, 0, 0, width, height, WHITENESS);
}

RenderCanvas::~RenderCanvas() {
  if (picture_ != nullptr) {
    SelectObject(dc_, previous_);
    DeleteObject(picture_);
  }
  DeleteDC(dc_);
}

bool parseScale(const char* text, double& scale) {
  // Digits, at most one point with digits after it, nothing else.
  const char* p = text;
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    ++p;
    ++digits;
  }
  if (*p == '.') {
    ++p;
    int fraction = 0;
    while (*p >= '0' && *p <= '9') {
      ++p;
      ++fraction;
    }
    digits = fraction == 0 ? 0 : digits + fraction;
  }
  if (digits == 0 || digits > 12 || *p != '\0') {
    return false;
  }
  const double value = std::strtod(text, nullptr);
  if (!(value >= 1 && value <= kMaxDeviceScale)) {
    return false;
  }
  scale = value;
  return true;
}
