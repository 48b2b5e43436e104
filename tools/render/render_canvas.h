#pragma once
// What a pass of lumicurve-render draws on: a bitmap for a PNG file, a recording
// for an SVG or PDF document, of a logical size at a device scale.

#include "surface/recording.h"
#include "surface/surface.h"

class RenderCanvas {
public:
  // pixels: a bitmap; otherwise a recording. White, set up as the program sets
  // up its pictures. ok() is false when no canvas of the size can be made.
  RenderCanvas(bool pixels, int width, int height, double scale);
  ~RenderCanvas();
  RenderCanvas(const RenderCanvas&) = delete;
  RenderCanvas& operator=(const RenderCanvas&) = delete;

  bool ok() const { return dc_ != nullptr && (picture_ != nullptr || recording_.width() > 0); }
  HDC dc() const { return dc_; }
  HBITMAP picture() const { return picture_; }
  const Recording& recording() const { return recording_; }

private:
  Recording recording_;
  HDC dc_ = nullptr;
  HBITMAP picture_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// A device scale as the command line gives it: a decimal number from 1 to
// kMaxDeviceScale ("2", "1.5"); false for anything else.
bool parseScale(const char* text, double& scale);
