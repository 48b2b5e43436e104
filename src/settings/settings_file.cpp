// The settings file: a header line, the graph kind and the eighteen settings
// texts, one per line, in the code page 1251 bytes as typed.

#include "settings/plot_settings.h"
#include "surface/file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kHeader[] = "Orlenta:Lumicurve";

// Paths are 1251 bytes, as everywhere in the system; the file system takes UTF-8.
std::string systemPath(const char* path) {
  return cp1251::toUtf8(path);
}

// Only a regular file is read: opened without blocking, so that a pipe without a
// writer or a terminal chosen in the file dialog cannot hold the program.
std::FILE* openRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  struct stat info = {};
  std::FILE* file = nullptr;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
    file = ::fdopen(fd, "rb");
  }
  if (file == nullptr) {
    ::close(fd);
  }
  return file;
}

// The line read of a standard stream into a buffer of n bytes: takes bytes up to
// a line feed (consumed, not stored) or the end of the file, at most n - 1 of
// them, and always stores a NUL. A line that does not fit, or a read at the end
// of the file, fails the reader, and a failed reader takes nothing more. A
// carriage return right before the line feed belongs to the line end.
class LineReader {
public:
  explicit LineReader(const char* path) : file_(openRegularFile(systemPath(path))) {
    failed_ = file_ == nullptr;
  }
  ~LineReader() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
  }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  void getline(char* buffer, int n) {
    if (n <= 0) {
      failed_ = true;
      return;
    }
    int stored = 0;
    if (failed_ || atEnd_) {
      failed_ = true; // as a stream at its end fails the next read
    } else {
      for (;;) {
        int ch = std::fgetc(file_);
        if (ch == EOF) {
          atEnd_ = true;
          failed_ = stored == 0;
          break;
        }
        if (ch == '\r') {
          int next = std::fgetc(file_);
          if (next == '\n') {
            break;
          }
          std::ungetc(next, file_);
        }
        if (ch == '\n') {
          break;
        }
        if (stored == n - 1) {
          failed_ = true; // nothing more is read from a failed reader
          break;
        }
        buffer[stored++] = static_cast<char>(ch);
      }
    }
    buffer[stored] = '\0';
  }

  // Reads one line into a text's own block, as far as its capacity allows.
  void readInto(CText& text) {
    getline(text.buffer, text.capacity);
    text.length =
        static_cast<std::int32_t>(strnlen(text.buffer, static_cast<std::size_t>(text.capacity)));
  }

private:
  std::FILE* file_;
  bool failed_ = false;
  bool atEnd_ = false;
};

} // namespace

void PlotSettings::saveFile(const char* path) {
  CText name(path);
  if (name.find(CText(".ini")) == -1) {
    name.append(".ini");
  }
  // Line ends are stored as the Windows build stores them, a carriage return and
  // a line feed; the reader takes either.
  CText content(kHeader);
  content.append("\r\n");
  content.appendInt(kind);
  content.append("\r\n");
  for (int i = 0; i < TextCount; ++i) {
    content.append(text(i)->buffer); // each text up to its terminating NUL
    content.append("\r\n");
  }

  if (!writeFileContent(systemPath(name.buffer).c_str(), content.buffer,
                        static_cast<std::size_t>(content.length))) {
    CText message("Фаил не сохранен : "_cp1251);
    message.append(name.buffer, 0, name.length);
    MessageBoxA(dialogWindow, message.buffer, "Ошибка"_cp1251, MB_OK);
  }
}

void PlotSettings::loadFile(const char* path) {
  LineReader reader(path);
  CText work(1000, 100);
  work.assign(CText(""));
  reader.readInto(work);
  if (work != CText(kHeader)) {
    CText message = CText("этот фаил : "_cp1251) + CText(path) +
                    CText(" - не является оригинальным файлом программы Lumicurve"_cp1251);
    raiseText(message);
  }
  reader.readInto(work);
  kind = work.toInt(0);
  for (int i = 0; i < TextCount; ++i) {
    reader.readInto(*text(i));
  }
}
