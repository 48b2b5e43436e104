#pragma once
// Writing over an existing file as an ordinary user (uid 5555, in group 1234)
// would, in the ways users keep their files: one table for every writer. Needs
// root, to give files to other owners and to act as that user.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline constexpr uid_t kUser = 5555, kOtherUser = 4321;
inline constexpr gid_t kUserGroup = 5555, kSharedGroup = 1234;

struct WriteCase {
  const char* name;
  mode_t folderMode; // root's folder
  uid_t owner;
  gid_t group;
  mode_t mode;
  char written; // the name written: 'f' the file, 's' a symbolic link to it, 'h' its second name
  bool replaced;
};

inline const WriteCase kWriteCases[] = {
    {"read-only file", 0777, kUser, kUserGroup, 0444, 'f', false},
    {"private file", 0777, kUser, kUserGroup, 0600, 'f', true},
    {"symbolic link", 0777, kUser, kUserGroup, 0640, 's', true},
    {"hard link", 0777, kUser, kUserGroup, 0644, 'h', true},
    {"another owner's group-shared file", 0777, kOtherUser, kSharedGroup, 0660, 'f', true},
    {"another user's file in a sticky folder", 01777, kOtherUser, kOtherUser, 0666, 'f', true},
    {"read-only folder", 0555, kUser, kUserGroup, 0644, 'f', true},
    {"read-only folder and file", 0555, kUser, kUserGroup, 0444, 'f', false},
};

inline std::string fileBytes(const std::filesystem::path& path) {
  std::stringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// A folder holding file<ext> with "old\n", set up as the case says, removed afterwards.
struct WriteScene {
  const WriteCase& c;
  std::filesystem::path top, folder, file, written;

  WriteScene(const WriteCase& wc, const std::string& ext) : c(wc) {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumicurve-XXXXXX").string();
    top = ::mkdtemp(pattern.data());
    folder = top / "d";
    file = folder / ("file" + ext);
    written = c.written == 'f' ? file : folder / ("link" + ext);
    std::filesystem::create_directory(folder);
    std::ofstream(file) << "old\n";
    if (c.written != 'f') {
      c.written == 's' ? std::filesystem::create_symlink(file.filename(), written)
                       : std::filesystem::create_hard_link(file, written);
    }
    EXPECT_EQ(::chmod(top.c_str(), 0755) | ::chown(file.c_str(), c.owner, c.group) |
                  ::chmod(file.c_str(), c.mode) | ::chmod(folder.c_str(), c.folderMode),
              0);
  }
  ~WriteScene() {
    std::error_code ignored;
    std::filesystem::remove_all(top, ignored);
  }

  // The new content (starting with start) or the old, the file's owner, group,
  // mode and names, and nothing else in the folder.
  void check(const std::string& start) const {
    const std::string now = fileBytes(file);
    EXPECT_EQ(c.replaced ? now.substr(0, start.size()) : now, c.replaced ? start : "old\n");
    struct stat info {};
    ::stat(file.c_str(), &info);
    EXPECT_EQ(info.st_uid, c.owner);
    EXPECT_EQ(info.st_gid, c.group);
    EXPECT_EQ(info.st_mode & 07777, c.mode);
    EXPECT_EQ(info.st_nlink, c.written == 'h' ? 2u : 1u);
    EXPECT_EQ(std::filesystem::is_symlink(written), c.written == 's');
    EXPECT_EQ(fileBytes(written), now);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}),
              c.written == 'f' ? 1 : 2); // no temporary left
  }
};

#define SKIP_UNLESS_ROOT()                                                                         \
  if (::geteuid() != 0)                                                                            \
  GTEST_SKIP() << "acting as a second user needs root"
