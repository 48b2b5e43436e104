#include "vector/svg_file.h"

#include "vector/vector_drawing.h"

#include <cstdio>
#include <cstring>

namespace {

void number(std::string& out, double v, int decimals = 3) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  std::size_t end = std::strlen(text);
  if (std::strchr(text, '.') != nullptr) {
    while (text[end - 1] == '0') {
      --end;
    }
    if (text[end - 1] == '.') {
      --end;
    }
  }
  std::string digits(text, end);
  out += digits == "-0" ? "0" : digits;
}

void point(std::string& out, const vectors::Point& p) {
  number(out, p.x);
  out += ' ';
  number(out, p.y);
}

void escaped(std::string& out, const std::string& utf8) {
  for (char c : utf8) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
    }
  }
}

void rects(std::string& out, const vectors::Group& g) {
  out += "<path fill=\"" + vectors::hexColour(g.colour) + "\" d=\"";
  for (const MarkRect& r : g.rects) {
    out += 'M';
    point(out, {static_cast<double>(r.x), static_cast<double>(r.y)});
    out += 'h';
    number(out, r.width);
    out += 'v';
    number(out, r.height);
    out += 'h';
    number(out, -r.width);
    out += 'z';
  }
  out += "\"/>\n";
}

void lines(std::string& out, const vectors::Group& g, double penWidth) {
  out += "<path fill=\"none\" stroke=\"" + vectors::hexColour(g.colour) + "\" stroke-width=\"";
  number(out, penWidth);
  out += "\" stroke-miterlimit=\"2\" d=\"";
  for (const vectors::Polyline& line : g.lines) {
    for (std::size_t i = 0; i < line.points.size(); ++i) {
      out += i == 0 ? "M" : i == 1 ? "L" : " ";
      point(out, line.points[i]);
    }
    if (line.closed) {
      out += 'z';
    }
  }
  out += "\"/>\n";
}

std::string fontAttributes(const vectors::TextItem& t) {
  std::string out = " font-family=\"";
  escaped(out, t.face.family.empty() ? std::string("sans-serif") : t.face.family + ", sans-serif");
  out += "\" font-size=\"";
  number(out, t.face.emPixels, 4);
  out += '"';
  out += t.bold ? " font-weight=\"bold\"" : "";
  out += t.italic ? " font-style=\"italic\"" : "";
  return out;
}

// Texts of one font share a group element that carries the font and the colour.
void texts(std::string& out, const vectors::Group& g) {
  std::string font;
  for (const vectors::TextItem& t : g.texts) {
    const std::string attributes = fontAttributes(t);
    if (attributes != font) {
      out += font.empty() ? "" : "</g>\n";
      out += "<g fill=\"" + vectors::hexColour(g.colour) + "\"" + attributes +
             " xml:space=\"preserve\">\n";
      font = attributes;
    }
    out += "<text x=\"";
    for (std::size_t i = 0; i < t.xs.size(); ++i) {
      out += i == 0 ? "" : " ";
      number(out, t.xs[i]);
    }
    out += "\" y=\"";
    number(out, t.baseline);
    out += "\">";
    escaped(out, vectors::toUtf8(t.chars));
    out += "</text>\n";
  }
  out += font.empty() ? "" : "</g>\n";
}

} // namespace

std::string svgDocument(const Recording& recording) {
  const vectors::Drawing d = vectors::drawingOf(recording);
  // The document has the logical size; its coordinates are device pixels.
  const std::string w = std::to_string(d.logicalWidth);
  const std::string h = std::to_string(d.logicalHeight);
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                    w + "\" height=\"" + h + "\" viewBox=\"0 0 " + std::to_string(d.width) + " " +
                    std::to_string(d.height) + "\">\n";
  for (const vectors::Group& g : d.groups) {
    if (!g.rects.empty()) {
      rects(out, g);
    }
    if (!g.lines.empty()) {
      lines(out, g, d.penWidth);
    }
    texts(out, g);
  }
  out += "</svg>\n";
  return out;
}

FileWriteResult writeSvg(const Recording& recording, const char* path) {
  const std::string document = svgDocument(recording);
  return writeFileContent(path, document.data(), document.size());
}
