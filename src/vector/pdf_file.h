#pragma once
// A recorded pass as a one-page PDF drawn with cairo: the page is the picture,
// one point a pixel, shapes as paths, and the texts as real text in the face the
// picture uses (embedded), each glyph at its pen position.

#include "surface/file_writer.h"
#include "surface/recording.h"

// Writes the document as the whole content of the file at path, as writeFileContent does.
FileWriteResult writePdf(const Recording& recording, const char* path);
