// The writer keeps a file's extended attributes, names its temporary files after
// the program, and clears away the ones a crash left behind, and only those.

#include "surface/file_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Folder {
  fs::path path;
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "lumicurve-writer-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(path)) {
      out.push_back(entry.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
};

std::string attribute(const std::string& path, const char* name) {
  char value[64];
  const ssize_t length = ::getxattr(path.c_str(), name, value, sizeof value);
  return length < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(length));
}

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

bool write(const std::string& path, const std::string& bytes) {
  return static_cast<bool>(writeFileContent(path.c_str(), bytes.data(), bytes.size()));
}

struct Fault {
  static inline FileWriteStep step;
  static inline int error = 0;
  Fault(FileWriteStep s, int e) {
    step = s;
    error = e;
    SetFileWriteFault([](FileWriteStep now) { return now == step ? error : 0; });
  }
  ~Fault() { SetFileWriteFault(nullptr); }
};

TEST(FileWriter, KeepsExtendedAttributes) {
  // Replaced by a new file that takes them, or rewritten in place when it cannot.
  for (bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "the new file refuses an attribute" : "the new file takes them");
    Folder folder;
    const std::string file = folder / "plot.ini";
    std::ofstream(file) << "old\n";
    if (::setxattr(file.c_str(), "user.origin", "lab", 3, 0) != 0) {
      GTEST_SKIP() << "no user attributes here: " << std::strerror(errno);
    }
    ::setxattr(file.c_str(), "user.empty", "", 0, 0);
    ::setxattr(file.c_str(), "user.binary", "a\0b", 3, 0);
    const ino_t before = inodeOf(file);
    {
      Fault fault(FileWriteStep::SetAttribute, refused ? EPERM : 0);
      ASSERT_TRUE(write(file, "new\n"));
    }
    EXPECT_EQ(attribute(file, "user.origin"), "lab");
    EXPECT_EQ(attribute(file, "user.empty"), "");
    EXPECT_EQ(attribute(file, "user.binary"), std::string("a\0b", 3));
    EXPECT_EQ(inodeOf(file) == before, refused) << "replaced by rename only when it could";
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\n");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"plot.ini"});
  }
}

TEST(FileWriter, TemporaryFilesSayWhoMadeThem) {
  Folder folder;
  static std::vector<std::string> seen;
  static Folder* watched = &folder;
  seen.clear();
  SetFileWriteFault([](FileWriteStep step) {
    if (step == FileWriteStep::SyncFile) {
      seen = watched->names();
    }
    return 0;
  });
  EXPECT_TRUE(write(folder / "a", "x")); // names shorter than the temporary's too
  SetFileWriteFault(nullptr);
  ASSERT_EQ(seen.size(), 1u);
  const std::string prefix = ".lumicurve-";
  EXPECT_TRUE(seen[0].size() == prefix.size() + 8 &&
              seen[0].compare(0, prefix.size(), prefix) == 0 &&
              seen[0].find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789", prefix.size()) ==
                  std::string::npos)
      << seen[0];
  EXPECT_EQ(folder.names(), std::vector<std::string>{"a"});
}

TEST(FileWriter, RemovesOnlyItsOwnOldLeftOvers) {
  Folder folder;
  const std::time_t hourAgo = std::time(nullptr) - 3600;
  auto age = [&](const std::string& name, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, (folder / name).c_str(), times, AT_SYMLINK_NOFOLLOW);
  };
  auto file = [&](const std::string& name, std::time_t when) {
    std::ofstream(folder / name) << "left";
    age(name, when);
  };
  file(".lumicurve-abcd1234", hourAgo);            // ours, from a crash: removed
  file(".lumicurve-0000zzzz", hourAgo);            // removed
  file(".lumicurve-abcd1235", std::time(nullptr)); // being written now: kept
  file(".lumicurve-abcd123", hourAgo);             // seven letters: not ours
  file(".lumicurve-ABCD1234", hourAgo);            // capitals: not ours
  file(".lumicurve-abcd12345", hourAgo);           // nine
  file("lumicurve-abcd1234", hourAgo);             // not hidden
  fs::create_directory(folder / ".lumicurve-dddddddd");
  age(".lumicurve-dddddddd", hourAgo); // a folder
  fs::create_symlink("plot.ini", folder / ".lumicurve-llllllll");
  age(".lumicurve-llllllll", hourAgo);  // a link
  file(".lumicurve-hhhhhhhh", hourAgo); // with a second name
  fs::create_hard_link(folder / ".lumicurve-hhhhhhhh", folder / "second");
  age(".lumicurve-hhhhhhhh", hourAgo);
  std::vector<std::string> kept = folder.names();
  kept.erase(std::find(kept.begin(), kept.end(), ".lumicurve-abcd1234"));
  kept.erase(std::find(kept.begin(), kept.end(), ".lumicurve-0000zzzz"));
  kept.push_back("plot.ini");
  std::sort(kept.begin(), kept.end());

  ASSERT_TRUE(write(folder / "plot.ini", "new\n"));
  EXPECT_EQ(folder.names(), kept);
}

} // namespace
