#pragma once
// Giving a file new content without losing the old one to a failed write.

#include <cstddef>
#include <string>

// Writes the bytes as the whole new content of the file at path (a file-system
// path). A new file is written beside the target and renamed over it, so the
// old content stays until the new one is complete; a symbolic link is followed
// and its target replaced, and the replacement keeps the old file's mode and,
// where allowed, its owner. A file that exists must be a regular file the user
// may write. Where the folder takes no new file but the file may be written, the
// file is rewritten in place. False when nothing or not all was written.
bool replaceFileContent(const std::string& path, const char* bytes, std::size_t count);
