#pragma once
// The one way the program gives a named file new content: the settings file,
// pictures and documents alike.
//
// A symbolic link is followed to the file it names. A file that exists must be a
// regular file the user may write, or nothing is changed. The file keeps its
// mode, owner, group, hard links and extended attributes: where a new file beside
// it can have all of them, the content goes into that new file (named
// ".lumicurve-" and eight letters or digits), which is flushed to disk and renamed
// over the old one (and the folder flushed), so that a failed write leaves the old
// content whole; where it cannot (another owner, several links, an access control
// list, an attribute the new file cannot take, a folder that takes no new file or
// refuses the rename), the file itself is rewritten. No temporary file is left
// behind, and those that a crash left in the folder, untouched for a quarter of an
// hour, are removed by the next write into it.

#include <cstddef>
#include <string>

struct FileWriteResult {
  bool written = false;
  int error = 0;      // the system's error number of the step that failed, 0 where none
  std::string reason; // one line in English: why, and what became of the file
  explicit operator bool() const { return written; }
};

// path is a file-system path; bytes the whole new content.
FileWriteResult writeFileContent(const char* path, const void* bytes, std::size_t count);

// For tests: called before every write, flush to disk and extended attribute
// set on a new file that the writer makes; a nonzero return fails that call
// with it as the error number. Null, the default, fails nothing.
enum class FileWriteStep { Write, SyncFile, SyncFolder, SetAttribute };
using FileWriteFault = int (*)(FileWriteStep step);
void SetFileWriteFault(FileWriteFault fault);
