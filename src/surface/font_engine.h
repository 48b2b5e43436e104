#pragma once
// Text for the drawing surface: FreeType faces found through fontconfig and a
// cache of rendered glyphs, in one process-wide engine that is created on first
// use and never destroyed (fonts may still be deleted after main returns).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fonts {

// What CreateFontA recorded.
struct FontRequest {
  int height = 0; // > 0 cell height, < 0 em height, 0 the default
  int weight = 0;
  bool italic = false;
  std::string face; // UTF-8; empty asks for the default sans-serif
};

// One rendered glyph; immutable once cached, shared between threads.
struct Glyph {
  int left = 0; // from the pen position to the first column
  int top = 0;  // from the baseline up to the first row
  int width = 0;
  int rows = 0;
  int advance = 0;
  std::vector<std::uint8_t> coverage; // rows * width, 0 = none, 255 = full
};

struct TextRun {
  int ascent = 0;
  int cellHeight = 0;
  std::int64_t width = 0; // sum of the advances
};

// Measures count bytes of code page 1251 text. Returns false when no face could
// be loaded; run then holds the nominal cell height and nothing else.
bool layoutText(const FontRequest& font, const unsigned char* bytes, std::size_t count,
                TextRun& run);

// Calls visit(context, glyph, offset) for each glyph of the text, offset being the
// pen's distance from the start of the text. Runs under the engine's lock, so the
// glyphs stay valid; allocates nothing once the glyphs are cached.
using GlyphVisitor = void (*)(void* context, const Glyph& glyph, std::int64_t offset);
bool visitGlyphs(const FontRequest& font, const unsigned char* bytes, std::size_t count,
                 GlyphVisitor visit, void* context);

// The face and size that text of a font is drawn with, for writers that place
// the same glyphs at the same pen positions themselves.
struct FaceInfo {
  std::string file; // the font file, and the face's index in it
  int index = 0;
  std::string family;  // as the face names itself, UTF-8
  double emPixels = 0; // the size of the em square in pixels
  int ascent = 0;      // from the top of the text cell to the baseline
  int cellHeight = 0;
};
bool describeFace(const FontRequest& font, FaceInfo& info);

} // namespace fonts
