#include "vector/pdf_file.h"

#include "vector/vector_drawing.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <map>
#include <new>
#include <string>
#include <utility>

namespace {

// The document is made in memory and written as a whole once complete.
cairo_status_t writeChunk(void* closure, const unsigned char* data, unsigned int length) {
  try {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::bad_alloc&) {
    return CAIRO_STATUS_NO_MEMORY;
  }
  return CAIRO_STATUS_SUCCESS;
}

void setColour(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

// The font faces of one document, one per font file and index.
class Faces {
public:
  Faces() = default;
  Faces(const Faces&) = delete;
  Faces& operator=(const Faces&) = delete;
  ~Faces() {
    for (auto& entry : faces_) {
      cairo_font_face_destroy(entry.second);
    }
  }

  cairo_font_face_t* face(const fonts::FaceInfo& info) {
    auto key = std::make_pair(info.file, info.index);
    if (auto it = faces_.find(key); it != faces_.end()) {
      return it->second;
    }
    cairo_font_face_t* face = nullptr;
    if (FcPattern* pattern = FcPatternCreate()) {
      // The very file the picture's glyphs come from, not a fresh match by name.
      FcPatternAddString(pattern, FC_FILE, reinterpret_cast<const FcChar8*>(info.file.c_str()));
      FcPatternAddInteger(pattern, FC_INDEX, info.index);
      face = cairo_ft_font_face_create_for_pattern(pattern);
      FcPatternDestroy(pattern);
    }
    faces_.emplace(std::move(key), face);
    return face;
  }

private:
  std::map<std::pair<std::string, int>, cairo_font_face_t*> faces_;
};

void drawText(cairo_t* cr, Faces& faces, const vectors::TextItem& t) {
  if (t.face.file.empty() || t.chars.empty()) {
    return; // no face: the picture has no glyphs either
  }
  cairo_font_face_t* face = faces.face(t.face);
  if (face == nullptr || cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
    return;
  }
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, t.face.emPixels);
  const std::string utf8 = vectors::toUtf8(t.chars);
  cairo_glyph_t* glyphs = nullptr;
  cairo_text_cluster_t* clusters = nullptr;
  int glyphCount = 0;
  int clusterCount = 0;
  cairo_text_cluster_flags_t flags{};
  if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), 0, 0, utf8.data(),
                                       static_cast<int>(utf8.size()), &glyphs, &glyphCount,
                                       &clusters, &clusterCount, &flags) != CAIRO_STATUS_SUCCESS) {
    return;
  }
  // One cluster per character; its glyphs go where the picture's pen was.
  int g = 0;
  for (int k = 0; k < clusterCount; ++k) {
    const double x = static_cast<std::size_t>(k) < t.xs.size() ? t.xs[static_cast<std::size_t>(k)]
                                                               : (t.xs.empty() ? 0.0 : t.xs.back());
    for (int j = 0; j < clusters[k].num_glyphs && g < glyphCount; ++j, ++g) {
      glyphs[g].x = x;
      glyphs[g].y = t.baseline;
    }
  }
  cairo_show_text_glyphs(cr, utf8.data(), static_cast<int>(utf8.size()), glyphs, glyphCount,
                         clusters, clusterCount, flags);
  cairo_glyph_free(glyphs);
  cairo_text_cluster_free(clusters);
}

void draw(cairo_t* cr, const vectors::Drawing& d) {
  Faces faces;
  // The page has the logical size; the drawing is in device pixels.
  cairo_scale(cr, d.logicalWidth / static_cast<double>(d.width),
              d.logicalHeight / static_cast<double>(d.height));
  cairo_set_line_width(cr, d.penWidth);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_set_miter_limit(cr, 2);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  for (const vectors::Group& g : d.groups) {
    setColour(cr, g.colour);
    for (const MarkRect& r : g.rects) {
      cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_fill(cr);
    for (const vectors::Polyline& line : g.lines) {
      for (std::size_t i = 0; i < line.points.size(); ++i) {
        (i == 0 ? cairo_move_to : cairo_line_to)(cr, line.points[i].x, line.points[i].y);
      }
      if (line.closed) {
        cairo_close_path(cr);
      }
    }
    cairo_stroke(cr);
    for (const vectors::TextItem& t : g.texts) {
      drawText(cr, faces, t);
    }
  }
  // The faces go before the page is finished; cairo keeps what it still needs.
}

} // namespace

FileWriteResult writePdf(const Recording& recording, const char* path) {
  FileWriteResult notMade;
  notMade.reason = "the document could not be made; nothing was written";
  const vectors::Drawing d = vectors::drawingOf(recording);
  if (d.width <= 0 || d.height <= 0) {
    return notMade;
  }
  std::string document;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(writeChunk, &document, d.logicalWidth, d.logicalHeight);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Lumicurve");
  cairo_t* cr = cairo_create(surface);
  draw(cr, d);
  bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok ? writeFileContent(path, document.data(), document.size()) : notMade;
}
