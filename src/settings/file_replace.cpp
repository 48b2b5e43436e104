#include "settings/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>

namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;
constexpr std::size_t kTemporaryLength = 12;

bool writeAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    ssize_t written = ::write(fd, bytes, count);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that a path names through the symbolic links of its last component;
// for a dangling link, the file that writing through it would create.
bool followLinks(std::string& path) {
  for (int hop = 0; hop < kMaxLinks; ++hop) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return true;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : folderOf(path) + "/" + link;
  }
  return false;
}

// A new file in the folder, named no longer than the target (so the name fits
// wherever the target's does) and at most kTemporaryLength bytes; -1 with errno.
int createTemporary(const std::string& folder, const std::string& target, std::string& path) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  const std::size_t length = std::min(kTemporaryLength, target.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(length, '.'); // hidden where there is room for more than the dot
    for (std::size_t i = length > 1 ? 1 : 0; i < length; ++i) {
      name[i] = kLetters[letter(random)];
    }
    if (name == target) {
      continue;
    }
    path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

// The replacement takes the old file's owner where the system allows it, and its mode.
bool keepOwnerAndMode(int fd, const struct stat& old) {
  [[maybe_unused]] int owned = ::fchown(fd, old.st_uid, old.st_gid);
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool rewriteInPlace(int fd, const char* bytes, std::size_t count) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && ::ftruncate(fd, 0) == 0 &&
         writeAll(fd, bytes, count) && ::fsync(fd) == 0;
}

} // namespace

bool replaceFileContent(const std::string& path, const char* bytes, std::size_t count) {
  std::string target = path;
  if (!followLinks(target)) {
    return false;
  }
  // An existing file must be one that a plain write could open; not blocking
  // keeps a pipe without a reader from holding the program.
  const int existing = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat old = {};
  if (existing >= 0) {
    if (::fstat(existing, &old) != 0 || !S_ISREG(old.st_mode)) {
      ::close(existing);
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }

  bool saved = false;
  std::string temporary;
  const int fd = createTemporary(folderOf(target), nameOf(target), temporary);
  if (fd >= 0) {
    saved = writeAll(fd, bytes, count) && (existing < 0 || keepOwnerAndMode(fd, old)) &&
            ::fsync(fd) == 0;
    saved = ::close(fd) == 0 && saved;
    saved = saved && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!saved) {
      ::unlink(temporary.c_str());
    }
  } else if (existing >= 0 && (errno == EACCES || errno == EPERM)) {
    // The one case without a safe replace: the folder takes no new file.
    saved = rewriteInPlace(existing, bytes, count);
  }
  if (existing >= 0) {
    saved = ::close(existing) == 0 && saved;
  }
  return saved;
}
