#include "surface/file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;
// A new file is written as ".lumicurve-" and eight letters or digits, hidden, and
// named so that whoever finds one left by a crash can tell where it came from.
constexpr char kTemporaryPrefix[] = ".lumicurve-";
constexpr std::size_t kTemporaryLetters = 8;
// A temporary file of ours untouched for this long is left over from a crash:
// a write in progress changes its file all the time.
constexpr std::time_t kLeftOverAge = 15 * 60;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

std::atomic<FileWriteFault> injectedFault{nullptr};

// True when a test has made this write or flush fail; errno then says how.
bool faulted(FileWriteStep step) {
  const FileWriteFault fault = injectedFault.load();
  const int error = fault != nullptr ? fault(step) : 0;
  if (error != 0) {
    errno = error;
  }
  return error != 0;
}

bool writeAll(int fd, const char* bytes, std::size_t count) {
  off_t offset = 0;
  while (count > 0) {
    if (faulted(FileWriteStep::Write)) {
      return false;
    }
    const ssize_t written = ::pwrite(fd, bytes, count, offset);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      errno = written == 0 ? ENOSPC : errno;
      return false;
    }
    bytes += written;
    offset += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool syncFile(int fd) {
  return !faulted(FileWriteStep::SyncFile) && ::fsync(fd) == 0;
}

// A folder that cannot be opened for reading cannot be flushed either; the
// rename into it stands all the same.
bool syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return true;
  }
  const bool synced = !faulted(FileWriteStep::SyncFolder) && (::fsync(fd) == 0 || errno == EINVAL);
  const int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

FileWriteResult failure(int error, const char* consequence = nullptr) {
  FileWriteResult result;
  result.error = error;
  result.reason = std::strerror(error);
  if (consequence != nullptr) {
    result.reason += consequence;
  }
  return result;
}

FileWriteResult success() {
  FileWriteResult result;
  result.written = true;
  return result;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
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
      errno = length < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    path = link.front() == '/' ? link : folderOf(path) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

bool isTemporaryName(const char* name) {
  const std::size_t prefix = sizeof kTemporaryPrefix - 1;
  if (std::strncmp(name, kTemporaryPrefix, prefix) != 0 ||
      std::strlen(name) != prefix + kTemporaryLetters) {
    return false;
  }
  return std::strspn(name + prefix, kLetters) == kTemporaryLetters;
}

// A new file in the folder with a temporary name; -1 with errno.
int createTemporary(const std::string& folder, mode_t mode, std::string& path) {
  thread_local std::minstd_rand random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = kTemporaryPrefix;
    for (std::size_t i = 0; i < kTemporaryLetters; ++i) {
      name += kLetters[letter(random)];
    }
    path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

// Removes the temporary files of ours that a crash left in the folder: only
// regular files of this user with one name, untouched for kLeftOverAge.
void removeLeftOvers(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::vector<std::string> old;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    if (isTemporaryName(entry->d_name) &&
        ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1 &&
        now - info.st_mtime > kLeftOverAge) {
      old.emplace_back(entry->d_name);
    }
  }
  for (const std::string& name : old) {
    ::unlinkat(::dirfd(dir), name.c_str(), 0);
  }
  ::closedir(dir);
}

// The extended attributes of the old file onto the new one; false when the new
// one cannot have them all, and the old file is to be rewritten instead.
bool copyAttributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size < 0) {
    return errno == ENOTSUP; // a file system without them: there are none to lose
  }
  std::vector<char> names(static_cast<std::size_t>(size));
  size = size > 0 ? ::flistxattr(from, names.data(), names.size()) : 0;
  if (size < 0) {
    return false;
  }
  std::vector<char> value;
  for (const char* name = names.data(); name < names.data() + size; name += std::strlen(name) + 1) {
    const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    if (length < 0) {
      return false;
    }
    value.resize(static_cast<std::size_t>(length));
    if (::fgetxattr(from, name, value.data(), value.size()) != length ||
        faulted(FileWriteStep::SetAttribute) ||
        ::fsetxattr(to, name, value.data(), value.size(), 0) != 0) {
      return false;
    }
  }
  return true;
}

// The new file takes the old one's owner, group and mode, or it cannot stand in
// for it. Permissions granted by an access control list would be lost as well.
bool canStandFor(int temporary, int existing, const struct stat& old) {
  struct stat now {};
  return ::fgetxattr(existing, "system.posix_acl_access", nullptr, 0) <= 0 &&
         ::fchown(temporary, old.st_uid, old.st_gid) == 0 &&
         ::fchmod(temporary, old.st_mode & 07777) == 0 && ::fstat(temporary, &now) == 0 &&
         now.st_uid == old.st_uid && now.st_gid == old.st_gid &&
         (now.st_mode & 07777) == (old.st_mode & 07777);
}

// The folder's answer when the new file cannot be put beside the old one or
// renamed over it: then the old file is rewritten instead.
bool folderRefuses(int error) {
  return error == EACCES || error == EPERM || error == EBUSY;
}

enum class Replaced { Done, Failed, InPlace };

// Writes a new file beside the target and renames it over; existing is the
// target opened for writing, or -1 when there is none.
Replaced replaceByRename(const std::string& target, int existing, const struct stat& old,
                         const char* bytes, std::size_t count, FileWriteResult& result) {
  const char* kept = existing >= 0 ? "; the file is unchanged" : "; nothing was written";
  std::string temporary;
  // Private until it has the old file's owner and mode, which may be narrower.
  const int fd = createTemporary(folderOf(target), existing >= 0 ? 0600 : 0666, temporary);
  if (fd < 0) {
    if (existing >= 0 && (folderRefuses(errno) || errno == ENAMETOOLONG)) {
      return Replaced::InPlace;
    }
    result = failure(errno, kept);
    return Replaced::Failed;
  }
  if (existing >= 0 && !(canStandFor(fd, existing, old) && copyAttributes(existing, fd))) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return Replaced::InPlace;
  }
  bool ok = writeAll(fd, bytes, count) && syncFile(fd);
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok) {
    // A file that appears meanwhile where there was none is not replaced unseen.
    const unsigned flags = existing >= 0 ? 0 : RENAME_NOREPLACE;
    int moved = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), flags);
    if (moved != 0 && errno == EINVAL && flags != 0) {
      moved = ::rename(temporary.c_str(), target.c_str()); // a file system without the flag
    }
    ok = moved == 0;
    error = errno;
    if (!ok && existing >= 0 && folderRefuses(error)) {
      ::unlink(temporary.c_str());
      return Replaced::InPlace; // a sticky folder refuses renames over others' files
    }
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    result = failure(error, kept);
    return Replaced::Failed;
  }
  if (!syncFolder(folderOf(target))) {
    result = failure(errno, " while flushing the folder; the file may hold the old or the new "
                            "content");
    return Replaced::Failed;
  }
  result = success();
  return Replaced::Done;
}

FileWriteResult rewriteInPlace(int fd, const char* bytes, std::size_t count) {
  // New bytes go over the old ones before the rest is cut, which needs no more
  // room on a full disk than the file already has.
  if (!writeAll(fd, bytes, count) || ::ftruncate(fd, static_cast<off_t>(count)) != 0 ||
      !syncFile(fd)) {
    return failure(errno, "; the file was being rewritten in place and may be incomplete");
  }
  return success();
}

} // namespace

void SetFileWriteFault(FileWriteFault fault) {
  injectedFault.store(fault);
}

FileWriteResult writeFileContent(const char* path, const void* bytes, std::size_t count) {
  if (path == nullptr || *path == '\0') {
    return failure(ENOENT);
  }
  std::string target = path;
  if (!followLinks(target)) {
    return failure(errno);
  }
  // Nothing but a regular file is even opened: opening a device or a pipe can
  // itself do something.
  struct stat old {};
  const bool exists = ::lstat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) {
    return failure(errno);
  }
  int existing = -1;
  if (exists && S_ISREG(old.st_mode)) {
    existing = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (existing < 0) {
      return failure(errno);
    }
  }
  if (exists && (existing < 0 || ::fstat(existing, &old) != 0 || !S_ISREG(old.st_mode))) {
    if (existing >= 0) {
      ::close(existing);
    }
    FileWriteResult result;
    result.reason = "not a regular file";
    return result;
  }

  const char* content = static_cast<const char*>(bytes);
  FileWriteResult result;
  // A second name would keep the old file; it has to be rewritten.
  const Replaced replaced = exists && old.st_nlink > 1
                                ? Replaced::InPlace
                                : replaceByRename(target, existing, old, content, count, result);
  if (replaced == Replaced::InPlace) {
    result = rewriteInPlace(existing, content, count);
  }
  if (existing >= 0 && ::close(existing) != 0 && result.written) {
    result = failure(errno, "; the file may be incomplete");
  }
  removeLeftOvers(folderOf(target));
  return result;
}
