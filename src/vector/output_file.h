#pragma once
// A file written under a temporary name beside its destination and renamed into
// place only once complete, so that a failed write leaves nothing new behind.

#include <cstddef>
#include <cstdio>
#include <string>

class OutputFile {
public:
  explicit OutputFile(const char* path);
  ~OutputFile(); // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // False once any write has failed; later writes are ignored.
  bool write(const void* data, std::size_t size);
  bool write(const std::string& text) { return write(text.data(), text.size()); }
  // Closes the file and moves it to the destination.
  bool commit();

private:
  std::string path_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};
