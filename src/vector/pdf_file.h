#pragma once
// A recorded pass as a one-page PDF drawn with cairo: the page is the picture,
// one point a pixel, shapes as paths, and the texts as real text in the face the
// picture uses (embedded), each glyph at its pen position.

#include "surface/recording.h"

// Writes the document to path. On failure returns false and leaves nothing new there.
bool writePdf(const Recording& recording, const char* path);
