#include "vector/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

OutputFile::OutputFile(const char* path) {
  if (path == nullptr || *path == '\0') {
    return;
  }
  path_ = path;
  temp_ = path_ + ".XXXXXX";
  const int fd = mkstemp(temp_.data());
  if (fd < 0) {
    temp_.clear();
    return;
  }
  fchmod(fd, 0644); // mkstemp makes the file private; the document is for people to open
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
  }
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
  }
}

bool OutputFile::write(const void* data, std::size_t size) {
  if (file_ == nullptr || failed_) {
    return false;
  }
  failed_ = size > 0 && std::fwrite(data, 1, size, file_) != size;
  return !failed_;
}

bool OutputFile::commit() {
  if (file_ == nullptr) {
    return false;
  }
  bool ok = !failed_ && std::fflush(file_) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  ok = ok && std::rename(temp_.c_str(), path_.c_str()) == 0;
  if (ok) {
    temp_.clear();
  }
  return ok;
}
