// SVG and PDF from lumicurve-render, read back through other programs: rasterized
// by rsvg-convert and pdftoppm they show the PNG's picture, and their labels are
// text that pdftotext and an SVG reader find.

#include "expr/cp1251.h"
#include "expr/program.h"
#include "plot/plotter.h"
#include "render_fixture.h"
#include "settings/plot_settings.h"
#include "surface/font_engine.h"
#include "surface/recording.h"
#include "vector/pdf_file.h"
#include "vector/svg_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A label as the pass draws it: its text and the cell it is drawn in.
struct Label {
  std::string text; // UTF-8
  int x, y, width, height;
};

// A pixel of the picture each, in device pixels.
struct Mask {
  int width = 0, height = 0;
  std::vector<bool> bits;
};

bool within(const Mask& mask, int x, int y, int distance) {
  for (int ny = y - distance; ny <= y + distance; ++ny) {
    for (int nx = x - distance; nx <= x + distance; ++nx) {
      if (nx >= 0 && ny >= 0 && nx < mask.width && ny < mask.height &&
          mask.bits[static_cast<std::size_t>(ny * mask.width + nx)]) {
        return true;
      }
    }
  }
  return false;
}

// The pass a settings file describes, recorded here in-process: its labels, and
// the pixels its lines and marks set, in all colours or in the curve's, also
// those drawn over later.
struct Expected {
  std::vector<Label> labels;
  Mask lines;
  Mask curve;
};

Mask linePixels(const Recording& recording, bool curveOnly) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap =
      CreateScaledBitmap(recording.logicalWidth(), recording.logicalHeight(), recording.scale());
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Mask curve{recording.width(), recording.height(),
             std::vector<bool>(static_cast<std::size_t>(recording.width()) * recording.height())};
  for (const RecordedOp& op : recording.ops()) {
    if (curveOnly && op.colour != RGB(255, 0, 0)) {
      continue;
    }
    if (op.kind == RecordedOp::Line) {
      MoveToDevice(dc, op.a, op.b);
      LineToDevice(dc, op.c, op.d);
    } else if (op.kind == RecordedOp::Marks) {
      for (const MarkRect& r : recording.markRects(op)) {
        for (int y = r.y; y < r.y + r.height; ++y) {
          for (int x = r.x; x < r.x + r.width; ++x) {
            curve.bits[static_cast<std::size_t>(y) * curve.width + x] = true;
          }
        }
      }
    }
  }
  const std::uint32_t* drawn = BitmapBits(bitmap, nullptr, nullptr);
  for (std::size_t i = 0; i < curve.bits.size(); ++i) {
    curve.bits[i] = curve.bits[i] || drawn[i] != 0;
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBitmap);
  DeleteObject(pen);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return curve;
}

Expected expectedOf(const std::string& settingsFile, double scale = 1) {
  PlotSettings settings;
  settings.loadFile(settingsFile.c_str());
  PlotState live;
  Plotter plotter;
  EXPECT_TRUE(settings.apply(live));
  Recording recording(1024, 768, scale);
  HDC dc = CreateRecordingDC(&recording);
  live.canvasDC = dc;
  std::atomic<bool> stopRequest{false};
  plotter.drawAll(stopRequest, live);
  DeleteDC(dc);
  Expected expected;
  expected.lines = linePixels(recording, false);
  expected.curve = linePixels(recording, true);
  std::vector<Label>& labels = expected.labels;
  for (const RecordedText& t : recording.texts()) {
    fonts::TextRun run;
    fonts::layoutText(t.font, reinterpret_cast<const unsigned char*>(t.bytes.data()),
                      t.bytes.size(), run);
    labels.push_back(
        Label{cp1251::toUtf8(t.bytes), t.x, t.y, static_cast<int>(run.width), run.cellHeight});
  }
  return expected;
}

int redness(std::uint32_t p) {
  const int r = static_cast<int>(p >> 16 & 0xFF);
  const int g = static_cast<int>(p >> 8 & 0xFF);
  const int b = static_cast<int>(p & 0xFF);
  return r - std::max(g, b);
}

int channelDistance(std::uint32_t p, std::uint32_t q) {
  int most = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    most = std::max(
        most, std::abs(static_cast<int>(p >> shift & 0xFF) - static_cast<int>(q >> shift & 0xFF)));
  }
  return most;
}

// Whether some pixel within one of (x, y) passes a test.
template <class Test> bool near(const Picture& p, int x, int y, Test test) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx >= 0 && ny >= 0 && nx < p.width && ny < p.height && test(p.at(nx, ny))) {
        return true;
      }
    }
  }
  return false;
}

// How a rasterized document differs from the picture, outside the label cells.
struct Differences {
  int lines = 0;        // background, axes, marks and frame pixels of another colour
  int missingCurve = 0; // curve pixels with no red near them in the raster
  int strayCurve = 0;   // strongly red raster pixels with no curve pixel near them
  int labels = 0;       // labels whose ink lies elsewhere
  std::string first;
};

// The darkness-weighted centre of a label's glyphs, away from lines and marks.
struct Ink {
  double mass = 0, x = 0, y = 0;
};

Ink inkOf(const Picture& p, const Label& l, const Expected& e) {
  Ink ink;
  for (int y = std::max(l.y - 1, 0); y < std::min(l.y + l.height + 1, p.height); ++y) {
    for (int x = std::max(l.x - 1, 0); x < std::min(l.x + l.width + 1, p.width); ++x) {
      if (within(e.lines, x, y, 1)) {
        continue;
      }
      const std::uint32_t c = p.at(x, y);
      const double dark = 765.0 - (c >> 16 & 0xFF) - (c >> 8 & 0xFF) - (c & 0xFF);
      ink.mass += dark;
      ink.x += dark * x;
      ink.y += dark * y;
    }
  }
  if (ink.mass > 0) {
    ink.x /= ink.mass;
    ink.y /= ink.mass;
  }
  return ink;
}

// Lines that are not curve run along pixel rows or columns: a one-unit stroke
// along pixel centres covers whole pixels, so they must match up to rounding
// everywhere but within one pixel of the curve. A curve's strokes follow the
// exact line where the picture steps by whole pixels, and are smoothed at their
// edges: each curve pixel needs a raster pixel at least a quarter red within one
// pixel, and each raster pixel at least half red needs a curve pixel within one
// pixel (one the frame covers counts: its smoothed edge still shows). A curve of a
// wider pen is smoothed over as many pixels: reach is the pen's width.
Differences compare(const Picture& png, const Picture& raster, const Expected& expected,
                    int reach = 1) {
  const std::vector<Label>& labels = expected.labels;
  constexpr int kRounding = 8;
  std::vector<bool> text(static_cast<std::size_t>(png.width * png.height), false);
  for (const Label& l : labels) { // glyphs from two rasterizers: compared as text instead
    for (int y = std::max(l.y - 2, 0); y < std::min(l.y + l.height + 2, png.height); ++y) {
      for (int x = std::max(l.x - 2, 0); x < std::min(l.x + l.width + 2, png.width); ++x) {
        text[static_cast<std::size_t>(y * png.width + x)] = true;
      }
    }
  }
  Differences d;
  auto note = [&](int& counter, const char* what, int x, int y) {
    if (counter++ == 0 && d.first.empty()) {
      char line[160];
      std::snprintf(line, sizeof line, "%s at (%d, %d): picture %06x, document %06x", what, x, y,
                    png.at(x, y), raster.at(x, y));
      d.first = line;
    }
  };
  auto nearCurve = [&](int x, int y) { return within(expected.curve, x, y, reach); };
  for (int y = 0; y < png.height; ++y) {
    for (int x = 0; x < png.width; ++x) {
      if (text[static_cast<std::size_t>(y * png.width + x)]) {
        continue;
      }
      const std::uint32_t p = png.at(x, y);
      const std::uint32_t r = raster.at(x, y);
      if (p == kRed) {
        if (!near(raster, x, y, [](std::uint32_t q) { return redness(q) >= 64; })) {
          note(d.missingCurve, "curve pixel missing", x, y);
        }
      } else if (!nearCurve(x, y) && channelDistance(p, r) > kRounding) {
        note(d.lines, "pixel differs", x, y);
      }
      if (redness(r) >= 128 && !nearCurve(x, y)) {
        note(d.strayCurve, "stray curve pixel", x, y);
      }
    }
  }
  // Glyphs from two rasterizers differ at their edges, not in where they stand
  // or how much ink they hold: hinting moves edges by up to a pixel, pdftoppm
  // places glyphs on whole pixels (the document is exact to 1e-5), and lines
  // hide different parts of the glyphs then. Labels that lines and marks hide
  // almost wholly are left out.
  for (const Label& l : labels) {
    const Ink a = inkOf(png, l, expected);
    const Ink b = inkOf(raster, l, expected);
    constexpr double kVisible = 4 * 765; // four black pixels' worth
    if (a.mass >= kVisible && (std::abs(a.x - b.x) > 2 || std::abs(a.y - b.y) > 2 ||
                               b.mass < a.mass / 2 || b.mass > a.mass * 2)) {
      if (d.labels++ == 0) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "label %s at (%d, %d): ink %.0f about (%.2f, %.2f) in the picture, %.0f "
                      "about (%.2f, %.2f) in the document",
                      l.text.c_str(), l.x, l.y, a.mass, a.x, a.y, b.mass, b.x, b.y);
        d.first += line;
      }
    }
  }
  return d;
}

std::string readText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string unescapeXml(std::string s) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (std::size_t at = s.find(entity); at != std::string::npos; at = s.find(entity, at)) {
      s.replace(at, std::strlen(entity), plain);
      at += std::strlen(plain);
    }
  }
  return s;
}

// A piece of text a reader found in a document: its text, left edge and top or baseline.
struct Found {
  std::string text;
  double x, y;
};

// The elements of a tag in an XML document: their attributes and their text.
struct Element {
  std::map<std::string, std::string> attributes;
  std::string text;
};

std::vector<Element> elements(const std::string& document, const std::string& tag) {
  std::vector<Element> found;
  const std::string open = "<" + tag + " ";
  const std::string close = "</" + tag + ">";
  for (std::size_t at = document.find(open); at != std::string::npos;
       at = document.find(open, at + 1)) {
    Element e;
    std::size_t i = at + open.size();
    while (i < document.size() && document[i] != '>') {
      const std::size_t equals = document.find("=\"", i);
      const std::size_t end = document.find('"', equals + 2);
      if (equals == std::string::npos || end == std::string::npos) {
        return found;
      }
      std::string name = document.substr(i, equals - i);
      name.erase(0, name.find_first_not_of(' '));
      e.attributes[name] = document.substr(equals + 2, end - equals - 2);
      i = end + 1;
      while (i < document.size() && document[i] == ' ') {
        ++i;
      }
    }
    const std::size_t end = document.find(close, i);
    if (end == std::string::npos) {
      return found;
    }
    e.text = unescapeXml(document.substr(i + 1, end - i - 1));
    found.push_back(std::move(e));
  }
  return found;
}

// The texts of an SVG document, at the first character's x and the baseline.
std::vector<Found> svgTexts(const std::string& svg) {
  std::vector<Found> found;
  for (Element& e : elements(svg, "text")) {
    found.push_back(Found{e.text, std::stod(e.attributes["x"]), std::stod(e.attributes["y"])});
  }
  return found;
}

// The words pdftotext -bbox finds, at their left and top edges.
std::vector<Found> pdfWords(const std::string& bboxHtml) {
  std::vector<Found> found;
  for (Element& e : elements(bboxHtml, "word")) {
    found.push_back(
        Found{e.text, std::stod(e.attributes["xMin"]), std::stod(e.attributes["yMin"])});
  }
  return found;
}

// Every label is found as text at its place: the left edge within a pixel, the
// vertical position inside its cell. Returns the labels not found.
std::vector<std::string> missingLabels(const std::vector<Label>& labels,
                                       const std::vector<Found>& found) {
  std::vector<std::string> missing;
  for (const Label& l : labels) {
    const bool there = std::any_of(found.begin(), found.end(), [&](const Found& f) {
      return f.text == l.text && std::abs(f.x - l.x) <= 1.0 && f.y >= l.y - 1 &&
             f.y <= l.y + l.height;
    });
    if (!there) {
      missing.push_back(l.text + " at " + std::to_string(l.x) + ", " + std::to_string(l.y));
    }
  }
  return missing;
}

class VectorRender : public Render {
protected:
  // Runs a shell command; true when it exits with 0.
  bool shell(const std::string& command) const {
    const int raw = std::system((command + " 2>>" + path("tools.txt")).c_str());
    return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
  }

  // The PNG, SVG and PDF of one settings file, with the options given.
  void renderEach(const std::string& options, const std::string& ini, const std::string& base) {
    for (const char* extension : {".png", ".svg", ".pdf"}) {
      Outcome r = run(options + ini + " " + path(base + extension));
      ASSERT_EQ(r.status, 0) << r.err;
    }
  }

  // Both documents rasterized at the scale (1024 x 768 units, or points at 72 dpi,
  // at 1) show the PNG: its lines, curve, marks and labels.
  void expectDocumentsShowThePng(const std::string& base, const Expected& expected, int scale) {
    const Picture png = picture(path(base + ".png"));
    ASSERT_EQ(png.width, 1024 * scale);
    const std::string size = std::to_string(1024 * scale) + " -h " + std::to_string(768 * scale);
    ASSERT_TRUE(shell("rsvg-convert -w " + size + " -o " + path(base + "-svg.png") + " " +
                      path(base + ".svg")))
        << readText(path("tools.txt"));
    ASSERT_TRUE(shell("pdftoppm -png -r " + std::to_string(72 * scale) + " -singlefile " +
                      path(base + ".pdf") + " " + path(base + "-pdf")))
        << readText(path("tools.txt"));
    for (const char* raster : {"-svg.png", "-pdf.png"}) {
      SCOPED_TRACE(raster);
      const Picture p = picture(path(base + raster));
      ASSERT_EQ(p.width, 1024 * scale);
      ASSERT_EQ(p.height, 768 * scale);
      const Differences d = compare(png, p, expected, scale);
      EXPECT_EQ(d.lines, 0) << d.first;
      EXPECT_EQ(d.missingCurve, 0) << d.first;
      EXPECT_EQ(d.strayCurve, 0) << d.first;
      EXPECT_EQ(d.labels, 0) << d.first;
    }
  }
};

TEST_F(VectorRender, DocumentsShowThePictureAndCarryTheLabelsAsText) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::string>> changes;
  } cases[] = {
      {"explicit", {}},
      {"parametric", {{2, "1"}}},
      {"implicit less", {{2, "2"}}},
      {"implicit equal", {{2, "3"}}},
      {"implicit greater", {{2, "4"}}},
      {"large disc", {{2, "2"}, {19, "x^2 + y^2 - 100"}}},
      {"moved and zoomed", {{3, "700"}, {4, "100"}, {16, "45"}, {20, "1/x + x"}}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = "case" + std::to_string(n++);
    const std::string ini = settings(base + ".ini", c.changes);
    ASSERT_NO_FATAL_FAILURE(renderEach("", ini, base));
    const Expected expected = expectedOf(ini);
    const std::vector<Label>& labels = expected.labels;
    ASSERT_FALSE(labels.empty());
    ASSERT_NO_FATAL_FAILURE(expectDocumentsShowThePng(base, expected, 1));

    EXPECT_EQ(missingLabels(labels, svgTexts(readText(path(base + ".svg")))),
              std::vector<std::string>{})
        << "SVG";
    ASSERT_TRUE(shell("pdftotext -bbox " + path(base + ".pdf") + " " + path(base + "-pdf.html")));
    EXPECT_EQ(missingLabels(labels, pdfWords(readText(path(base + "-pdf.html")))),
              std::vector<std::string>{})
        << "PDF";

    // Merged rectangles and paths keep even a large filled area small.
    for (const char* extension : {".svg", ".pdf"}) {
      EXPECT_LT(fs::file_size(path(base + extension)), 64u * 1024) << extension;
    }
  }
}

// At --scale 2 the documents keep the picture's logical size; rasterized at twice
// the resolution they show the PNG of twice the pixels, curve, marks and labels
// at its device pixels.
TEST_F(VectorRender, DocumentsAtAScaleShowThePictureAtTheScale) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, std::string>> changes;
  } cases[] = {
      {"explicit", {}},
      {"parametric", {{2, "1"}}},
      {"implicit equal", {{2, "3"}}},
      {"sparse implicit", {{2, "2"}, {15, "0.1"}}},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = "scaled" + std::to_string(n++);
    const std::string ini = settings(base + ".ini", c.changes);
    ASSERT_NO_FATAL_FAILURE(renderEach("--scale 2 ", ini, base));
    const std::string svg = readText(path(base + ".svg"));
    EXPECT_NE(svg.find("width=\"1024\" height=\"768\" viewBox=\"0 0 2048 1536\""),
              std::string::npos);
    ASSERT_TRUE(shell("pdfinfo " + path(base + ".pdf") + " > " + path(base + "-info.txt")));
    EXPECT_NE(readText(path(base + "-info.txt")).find("1024 x 768 pts"), std::string::npos);
    ASSERT_NO_FATAL_FAILURE(expectDocumentsShowThePng(base, expectedOf(ini, 2), 2));
  }
}

TEST_F(VectorRender, TextOfAnyCharactersStaysText) {
  Recording recording(300, 100);
  HDC dc = CreateRecordingDC(&recording);
  SetBkMode(dc, TRANSPARENT);
  PatBlt(dc, 0, 0, 300, 100, WHITENESS);
  const std::string text = "Ось <x> & \"y\""_cp1251;
  TextOutA(dc, 10, 20, text.data(), static_cast<int>(text.size()));
  TextOutA(dc, 10, 50,
           "a\x01"
           "b",
           3); // a control character between two letters
  DeleteDC(dc);
  ASSERT_TRUE(writeSvg(recording, path("text.svg").c_str()));
  ASSERT_TRUE(writePdf(recording, path("text.pdf").c_str()));

  const std::vector<Found> svg = svgTexts(readText(path("text.svg")));
  ASSERT_EQ(svg.size(), 2u);
  EXPECT_EQ(svg[0].text, "Ось <x> & \"y\"");
  EXPECT_EQ(svg[1].text, "a\uFFFDb");
  ASSERT_TRUE(shell("pdftotext " + path("text.pdf") + " " + path("text.txt")));
  const std::string pdf = readText(path("text.txt"));
  EXPECT_NE(pdf.find("Ось <x> & \"y\""), std::string::npos) << pdf;
  // Both documents are complete for their readers.
  EXPECT_TRUE(shell("rsvg-convert -o " + path("text-svg.png") + " " + path("text.svg")));
  EXPECT_TRUE(shell("pdftoppm -png -singlefile " + path("text.pdf") + " " + path("text-pdf")));
}

TEST_F(VectorRender, ExtensionPicksTheFormatAndAnUnknownOneIsRefused) {
  struct Case {
    const char* output;
    int status;
    const char* start; // of the file written, or of standard error after the file's name
  } cases[] = {
      {"picture.PNG", 0, "\x89PNG"},
      {"drawing.Svg", 0, "<?xml"},
      {"document.pdf", 0, "%PDF-"},
      {"picture.jpg", 1, ": cannot tell the format from the name"},
      {"picture", 1, ": cannot tell the format from the name"},
      {"picture.svg.bak", 1, ": cannot tell the format from the name"},
      {"folder.svg/picture", 1, ": cannot tell the format from the name"},
      {"missing/picture.svg", 1, ": No such file or directory; nothing was written"},
      {"missing/picture.pdf", 1, ": No such file or directory; nothing was written"},
  };
  fs::create_directories(path("folder.svg"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const Outcome r = run(path(c.output));
    EXPECT_EQ(r.status, c.status) << r.err;
    if (c.status == 0) {
      EXPECT_EQ(readText(path(c.output)).rfind(c.start, 0), 0u);
    } else {
      EXPECT_EQ(r.err.rfind("lumicurve-render: " + path(c.output) + c.start, 0), 0u) << r.err;
      EXPECT_FALSE(fs::exists(path(c.output)));
    }
  }
  // Nothing else was left behind, not even a temporary file.
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(files, 3); // the three documents
}

TEST_F(VectorRender, HelpNamesTheFormats) {
  const std::string command = std::string(LUMICURVE_RENDER) + " --help > " + path("help.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string help = readText(path("help.txt"));
  for (const char* word : {".png", ".svg", ".pdf", "extension"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

} // namespace
