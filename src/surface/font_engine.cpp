#include "surface/font_engine.h"

#include "expr/cp1251.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace fonts {
namespace {

constexpr int kDefaultHeight = 16;
// Larger requests are drawn at this size; nothing on a plot needs more.
constexpr int kMaxHeight = 1024;
constexpr std::size_t kMaxSizedFonts = 64;
// Rendered glyph images larger than this are dropped rather than cached.
constexpr long kMaxGlyphPixels = 4L * kMaxHeight * kMaxHeight;
constexpr char32_t kCyrillicProbe = 0x0416;
const char* const kFallbackRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kFallbackBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Face {
  FT_Face ft = nullptr;
  std::string file;
  int index = 0;
  FT_F26Dot6 activeSize = 0; // char size last set on ft
  std::int64_t unitsPerEm = 0;
  std::int64_t ascent = 0; // font units, both positive
  std::int64_t descent = 0;
};

struct SizedFont {
  Face* face = nullptr; // null when no face could be loaded
  FT_F26Dot6 charSize = 0;
  int ascent = 0;
  int cellHeight = 0;
  std::unordered_map<char32_t, std::shared_ptr<const Glyph>> glyphs;
};

using FamilyKey = std::tuple<std::string, bool, bool>;
using SizeKey = std::tuple<std::string, bool, bool, int>;

int normalHeight(int height) {
  if (height == 0) {
    return kDefaultHeight;
  }
  std::int64_t magnitude =
      std::min<std::int64_t>(std::abs(static_cast<std::int64_t>(height)), kMaxHeight);
  return height > 0 ? static_cast<int>(magnitude) : -static_cast<int>(magnitude);
}

// a * b / c rounded to nearest, all non-negative.
std::int64_t mulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
  return (2 * a * b + c) / (2 * c);
}

const FcChar8* fcString(const char* s) {
  return reinterpret_cast<const FcChar8*>(s);
}

class Engine {
public:
  bool layout(const FontRequest& request, const unsigned char* bytes, std::size_t count,
              TextRun& run);
  bool visit(const FontRequest& request, const unsigned char* bytes, std::size_t count,
             GlyphVisitor visitor, void* context);
  bool describe(const FontRequest& request, FaceInfo& info);

private:
  Face* openFile(const std::string& path, int index);
  Face* findFace(const std::string& family, bool bold, bool italic);
  SizedFont& sized(const FontRequest& request);
  const std::shared_ptr<const Glyph>& glyph(SizedFont& font, char32_t cp);

  // FreeType faces are not thread-safe; everything below is used under mutex_.
  std::mutex mutex_;
  FT_Library library_ = nullptr;
  bool libraryFailed_ = false;
  std::map<std::pair<std::string, int>, std::unique_ptr<Face>> files_; // null: failed
  std::map<FamilyKey, Face*> families_;
  std::map<SizeKey, std::unique_ptr<SizedFont>> sizes_;
};

Face* Engine::openFile(const std::string& path, int index) {
  auto key = std::make_pair(path, index);
  if (auto it = files_.find(key); it != files_.end()) {
    return it->second.get();
  }
  std::unique_ptr<Face> face;
  FT_Face ft = nullptr;
  if (FT_New_Face(library_, path.c_str(), index, &ft) == 0) {
    if (FT_IS_SCALABLE(ft) && ft->units_per_EM > 0) {
      face = std::make_unique<Face>();
      face->ft = ft;
      face->file = path;
      face->index = index;
      face->unitsPerEm = ft->units_per_EM;
      // The Windows metrics are meant to enclose every glyph, so text stays in its cell.
      auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
      if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        face->ascent = os2->usWinAscent;
        face->descent = os2->usWinDescent;
      } else {
        face->ascent = std::max<std::int64_t>(ft->ascender, 0);
        face->descent = std::max<std::int64_t>(-static_cast<std::int64_t>(ft->descender), 0);
      }
      if (face->ascent + face->descent <= 0) {
        face->ascent = face->unitsPerEm * 4 / 5;
        face->descent = face->unitsPerEm - face->ascent;
      }
    } else {
      FT_Done_Face(ft);
    }
  }
  Face* result = face.get();
  files_.emplace(std::move(key), std::move(face));
  return result;
}

Face* Engine::findFace(const std::string& family, bool bold, bool italic) {
  FamilyKey key{family, bold, italic};
  if (auto it = families_.find(key); it != families_.end()) {
    return it->second;
  }
  std::vector<std::pair<std::string, int>> candidates;
  if (FcPattern* pattern = FcPatternCreate()) {
    if (!family.empty()) {
      FcPatternAddString(pattern, FC_FAMILY, fcString(family.c_str()));
    }
    FcPatternAddString(pattern, FC_FAMILY, fcString("sans-serif"));
    if (FcLangSet* langs = FcLangSetCreate()) {
      FcLangSetAdd(langs, fcString("ru"));
      FcPatternAddLangSet(pattern, FC_LANG, langs);
      FcLangSetDestroy(langs);
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    if (FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) {
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
          FcPatternGetInteger(match, FC_INDEX, 0, &index);
          candidates.emplace_back(reinterpret_cast<const char*>(file), index);
        }
        FcPatternDestroy(match);
      }
    }
    FcPatternDestroy(pattern);
  }
  if (bold) {
    candidates.emplace_back(kFallbackBold, 0);
  }
  candidates.emplace_back(kFallbackRegular, 0);

  Face* chosen = nullptr;
  if (library_ != nullptr) {
    for (const auto& [path, index] : candidates) {
      Face* face = openFile(path, index);
      if (face == nullptr) {
        continue;
      }
      if (chosen == nullptr) {
        chosen = face;
      }
      if (FT_Get_Char_Index(face->ft, kCyrillicProbe) != 0) {
        chosen = face;
        break;
      }
    }
  }
  families_.emplace(std::move(key), chosen);
  return chosen;
}

SizedFont& Engine::sized(const FontRequest& request) {
  const bool bold = request.weight >= 600;
  const int height = normalHeight(request.height);
  SizeKey key{request.face, bold, request.italic, height};
  if (auto it = sizes_.find(key); it != sizes_.end()) {
    return *it->second;
  }
  if (sizes_.size() >= kMaxSizedFonts) {
    // Glyphs are only used under the engine lock, so none outlives this.
    sizes_.clear();
  }
  if (library_ == nullptr && !libraryFailed_) {
    libraryFailed_ = FT_Init_FreeType(&library_) != 0;
    if (libraryFailed_) {
      library_ = nullptr;
    }
  }
  auto font = std::make_unique<SizedFont>();
  font->face = findFace(request.face, bold, request.italic);
  if (const Face* face = font->face) {
    const std::int64_t total = face->ascent + face->descent;
    if (height > 0) {
      font->charSize = static_cast<FT_F26Dot6>(mulDivRound(height * 64, face->unitsPerEm, total));
      font->ascent = static_cast<int>(mulDivRound(height, face->ascent, total));
      font->cellHeight = height;
    } else {
      const std::int64_t em = -static_cast<std::int64_t>(height);
      font->charSize = static_cast<FT_F26Dot6>(em * 64);
      font->ascent = static_cast<int>(mulDivRound(em, face->ascent, face->unitsPerEm));
      font->cellHeight =
          font->ascent + static_cast<int>(mulDivRound(em, face->descent, face->unitsPerEm));
    }
    font->charSize = std::max<FT_F26Dot6>(font->charSize, 64);
  } else {
    font->cellHeight = height > 0 ? height : -height;
    font->ascent = font->cellHeight * 4 / 5;
  }
  SizedFont& result = *font;
  sizes_.emplace(std::move(key), std::move(font));
  return result;
}

std::shared_ptr<Glyph> renderGlyph(Face& face, FT_F26Dot6 charSize, char32_t cp) {
  auto g = std::make_shared<Glyph>();
  if (face.activeSize != charSize) {
    if (FT_Set_Char_Size(face.ft, 0, charSize, 72, 72) != 0) {
      face.activeSize = 0;
      return g;
    }
    face.activeSize = charSize;
  }
  const FT_UInt index = FT_Get_Char_Index(face.ft, cp);
  if (FT_Load_Glyph(face.ft, index, FT_LOAD_TARGET_LIGHT) != 0) {
    return g;
  }
  FT_GlyphSlot slot = face.ft->glyph;
  const FT_Pos advance = std::clamp<FT_Pos>(slot->advance.x, 0, 64L * 4 * kMaxHeight);
  g->advance = static_cast<int>((advance + 32) / 64);
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) {
    return g;
  }
  const FT_Bitmap& bitmap = slot->bitmap;
  const bool gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
  const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  const long pixels = static_cast<long>(bitmap.width) * static_cast<long>(bitmap.rows);
  if ((!gray && !mono) || bitmap.buffer == nullptr || pixels <= 0 || pixels > kMaxGlyphPixels) {
    return g;
  }
  g->width = static_cast<int>(bitmap.width);
  g->rows = static_cast<int>(bitmap.rows);
  g->left = slot->bitmap_left;
  g->top = slot->bitmap_top;
  g->coverage.resize(static_cast<std::size_t>(pixels));
  const long stride = std::abs(static_cast<long>(bitmap.pitch));
  const int maxGray = gray && bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
  for (int r = 0; r < g->rows; ++r) {
    // A negative pitch stores the rows bottom up.
    const long row = bitmap.pitch >= 0 ? r : g->rows - 1 - r;
    const unsigned char* src = bitmap.buffer + row * stride;
    std::uint8_t* dst = g->coverage.data() + static_cast<std::size_t>(r) * bitmap.width;
    for (int c = 0; c < g->width; ++c) {
      if (gray) {
        dst[c] = static_cast<std::uint8_t>(std::min(255, src[c] * 255 / maxGray));
      } else {
        dst[c] = (src[c >> 3] & (0x80 >> (c & 7))) != 0 ? 255 : 0;
      }
    }
  }
  return g;
}

const std::shared_ptr<const Glyph>& Engine::glyph(SizedFont& font, char32_t cp) {
  auto it = font.glyphs.find(cp);
  if (it == font.glyphs.end()) {
    it = font.glyphs.emplace(cp, renderGlyph(*font.face, font.charSize, cp)).first;
  }
  return it->second;
}

bool Engine::layout(const FontRequest& request, const unsigned char* bytes, std::size_t count,
                    TextRun& run) {
  std::lock_guard lock(mutex_);
  SizedFont& font = sized(request);
  run.ascent = font.ascent;
  run.cellHeight = font.cellHeight;
  run.width = 0;
  if (font.face == nullptr) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    run.width += glyph(font, cp1251::toUnicode(bytes[i]))->advance;
  }
  return true;
}

bool Engine::visit(const FontRequest& request, const unsigned char* bytes, std::size_t count,
                   GlyphVisitor visitor, void* context) {
  std::lock_guard lock(mutex_);
  SizedFont& font = sized(request);
  if (font.face == nullptr) {
    return false;
  }
  std::int64_t offset = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Glyph& g = *glyph(font, cp1251::toUnicode(bytes[i]));
    visitor(context, g, offset);
    offset += g.advance;
  }
  return true;
}

bool Engine::describe(const FontRequest& request, FaceInfo& info) {
  std::lock_guard lock(mutex_);
  SizedFont& font = sized(request);
  info.ascent = font.ascent;
  info.cellHeight = font.cellHeight;
  if (font.face == nullptr) {
    return false;
  }
  info.file = font.face->file;
  info.index = font.face->index;
  info.family = font.face->ft->family_name != nullptr ? font.face->ft->family_name : "";
  info.emPixels = static_cast<double>(font.charSize) / 64; // set at 72 dots per inch
  return true;
}

// Never destroyed: fonts may be used and deleted by static objects after main.
Engine& engine() {
  static Engine* instance = new Engine;
  return *instance;
}

} // namespace

bool describeFace(const FontRequest& font, FaceInfo& info) {
  return engine().describe(font, info);
}

bool layoutText(const FontRequest& font, const unsigned char* bytes, std::size_t count,
                TextRun& run) {
  return engine().layout(font, bytes, count, run);
}

bool visitGlyphs(const FontRequest& font, const unsigned char* bytes, std::size_t count,
                 GlyphVisitor visit, void* context) {
  return engine().visit(font, bytes, count, visit, context);
}

} // namespace fonts

// GCC announces the address sanitizer with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define LUMICURVE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMICURVE_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(LUMICURVE_ADDRESS_SANITIZER)
// fontconfig 2.14 loses a few bytes once while parsing its configuration files;
// not ours to fix, and it would fail every leak-checked run that draws text.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif
