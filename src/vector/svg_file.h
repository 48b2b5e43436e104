#pragma once
// A recorded pass as an SVG document: the picture's 1024 x 768 pixels (or
// whatever its size) as the user space, shapes as paths, and the texts as text
// elements in the face the picture uses, each glyph at its pen position, so that
// they can be selected and searched.

#include "surface/file_writer.h"
#include "surface/recording.h"

#include <string>

std::string svgDocument(const Recording& recording);

// Writes the document as the whole content of the file at path, as writeFileContent does.
FileWriteResult writeSvg(const Recording& recording, const char* path);
