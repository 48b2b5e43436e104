#pragma once
// The program's resources as data: icon 101, the crosshair cursor 103 and the
// options dialog's template 105.

#include "res/resource_ids.h"

#include <array>
#include <cstdint>

namespace res {

// One image of an icon: palette indices, top row first, and a mask in which 1
// marks a transparent pixel.
struct IconImage {
  int width;
  int height;
  int colours;
  const std::uint32_t* palette; // 0xRRGGBB
  const std::uint8_t* pixels;
  const std::uint8_t* mask;

  std::uint32_t argb(int x, int y) const {
    const int i = y * width + x;
    return mask[i] != 0 ? 0u : 0xFF000000u | palette[pixels[i]];
  }
};

struct IconResource {
  int id;
  std::array<IconImage, 3> images; // 32 x 32 in 16 colours, 16 x 16 and 64 x 64 in 256
};

// A monochrome cursor as Windows keeps it: per row, bit 31 is column 0. A pixel
// with AND 1 and XOR 0 is transparent; AND 0 gives the XOR colour (0 black, 1 white).
struct CursorResource {
  int id;
  int width;
  int height;
  int hotX;
  int hotY;
  std::array<std::uint32_t, 32> andMask;
  std::array<std::uint32_t, 32> xorMask;
};

// Styles of a dialog template and its controls, with Windows' values.
namespace style {
inline constexpr std::uint32_t Popup = 0x80000000;
inline constexpr std::uint32_t Child = 0x40000000;
inline constexpr std::uint32_t Visible = 0x10000000;
inline constexpr std::uint32_t Disabled = 0x08000000;
inline constexpr std::uint32_t Caption = 0x00C00000;
inline constexpr std::uint32_t Border = 0x00800000;
inline constexpr std::uint32_t SysMenu = 0x00080000;
inline constexpr std::uint32_t MinimizeBox = 0x00020000;
inline constexpr std::uint32_t Group = 0x00020000; // on a control
inline constexpr std::uint32_t TabStop = 0x00010000;
inline constexpr std::uint32_t ModalFrame = 0x00000080;
inline constexpr std::uint32_t Center = 0x00000800;
inline constexpr std::uint32_t ShellFont = 0x00000048;
// The kind of a button, in the low four bits of its style.
inline constexpr std::uint32_t ButtonKindMask = 0x0000000F;
inline constexpr std::uint32_t PushButton = 0x00000000;
inline constexpr std::uint32_t DefPushButton = 0x00000001;
inline constexpr std::uint32_t RadioButton = 0x00000004;
inline constexpr std::uint32_t GroupBox = 0x00000007;
inline constexpr std::uint32_t AutoRadioButton = 0x00000009;
inline constexpr std::uint32_t AutoHScroll = 0x00000080; // an edit
inline constexpr std::uint32_t LeftText = 0x00000000;    // a static text
} // namespace style

enum class ControlClass { Button, Edit, Static };

// One control of a dialog template; position and size in dialog units.
struct DialogControl {
  int id; // -1 for the labels and frames nobody addresses
  ControlClass controlClass;
  const char* caption; // code page 1251
  int x, y, cx, cy;
  std::uint32_t style;
};

// A dialog template in its extended form: the dialog's client size in dialog
// units, its font, and its controls in template order, which is the tab order.
struct DialogTemplate {
  int id;
  int language;
  const char* caption; // code page 1251
  int x, y, cx, cy;
  std::uint32_t style;
  const char* fontName;
  int pointSize;
  int weight;
  bool italic;
  const DialogControl* controls;
  int controlCount;
};

// Null for an identifier the program does not have.
const IconResource* findIcon(int id);
const CursorResource* findCursor(int id);
const DialogTemplate* findDialog(int id);

} // namespace res
