#include "../write_cases.h"
#include "settings/plot_settings.h"
#include "settings_test_util.h"
#include "surface/file_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

namespace {

const char kDefaultFile[] =
    "Orlenta:Lumicurve\r\n0\r\n300.0\r\n300.0\r\n-10.0\r\n10.0\r\n-10.0\r\n10.0\r\n-10.0\r\n"
    "10.0\r\n1.0\r\n1.0\r\n1.0\r\n1.0\r\n0.01\r\n20\r\n"
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*cos(x)\r\n"
    "( 3*2*sin(x)*cos(x)/(sin(x)^3+cos(x)^3) )*sin(x)\r\nx^2 + y^2 - 1.0\r\na*x^2 + b*x + c\r\n";

std::string textsOf(PlotSettings& s) {
  std::string all = std::to_string(s.kind);
  for (int i = 0; i < PlotSettings::TextCount; ++i) {
    all += "|" + std::string(s.text(i)->buffer, static_cast<std::size_t>(s.text(i)->length));
  }
  return all;
}

std::string loadError(PlotSettings& s, const std::string& path) {
  try {
    s.loadFile(path.c_str());
  } catch (char* message) {
    std::string text(message);
    std::free(message);
    return text;
  }
  return "<no error>";
}

std::string headerMessage(const std::string& path) {
  return std::string("этот фаил : "_cp1251) + path +
         " - не является оригинальным файлом программы Lumicurve"_cp1251;
}

TEST(SettingsFile, SavesTwentyLines) {
  ScratchFolder folder;
  PlotSettings s;
  s.saveFile((folder / "plot.ini").c_str());
  EXPECT_EQ(readBytes(folder / "plot.ini"), kDefaultFile);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"plot.ini"}); // no temporary left
}

TEST(SettingsFile, RoundTripRestoresKindAndTextsByteForByte) {
  struct Case {
    const char* name;
    void (*fill)(PlotSettings&);
  } cases[] = {
      {"defaults", [](PlotSettings&) {}},
      {"empty texts",
       [](PlotSettings& s) {
         for (int i = 0; i < PlotSettings::TextCount; ++i) {
           s.text(i)->assign(CText(""));
         }
         s.kind = 4;
       }},
      {"Cyrillic texts",
       [](PlotSettings& s) {
         s.explicitText.assign(CText("ошибка и ещё ЁЖ №5 — «x»"_cp1251));
         s.aText.assign(CText("\xA0\xFF\x98"));
         s.kind = 2;
       }},
      {"texts of full capacity",
       [](PlotSettings& s) {
         for (int i = 0; i < PlotSettings::TextCount; ++i) {
           std::string full(static_cast<std::size_t>(s.text(i)->capacity - 1),
                            static_cast<char>('a' + i));
           s.text(i)->assign(CText(full.c_str()));
         }
         s.kind = -17;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    PlotSettings saved;
    c.fill(saved);
    saved.saveFile((folder / "round.ini").c_str());
    PlotSettings loaded;
    loaded.kind = 1;
    loaded.oXText.assign(CText("something else"));
    EXPECT_EQ(loadError(loaded, folder / "round.ini"), "<no error>");
    EXPECT_EQ(textsOf(loaded), textsOf(saved));
    for (int i = 0; i < PlotSettings::TextCount; ++i) {
      EXPECT_EQ(loaded.text(i)->capacity, i < 14 ? 1024 : 10024);
    }
  }
}

TEST(SettingsFile, SaveNameGetsIniUnlessItHoldsIt) {
  struct Case {
    const char* given;
    const char* written;
  } cases[] = {{"plot", "plot.ini"},
               {"plot.ini", "plot.ini"},
               {"plot.ini.bak", "plot.ini.bak"},
               {"PLOT.INI", "PLOT.INI.ini"},
               {"plot.in", "plot.in.ini"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    ScratchFolder folder;
    PlotSettings s;
    std::string path = folder / c.given;
    std::strcpy(s.fileName, path.c_str());
    s.saveFile(s.fileName);
    EXPECT_EQ(folder.names(), std::vector<std::string>{c.written});
    EXPECT_STREQ(s.fileName, path.c_str()); // the dialog's buffer keeps what was chosen
  }
}

TEST(SettingsFile, FailedSaveKeepsTheOldFileAndSaysSo) {
  ScratchFolder folder;
  std::string path = folder / "plot.ini";
  writeBytes(path, "old content\n");
  PlotSettings s;
  s.dialogWindow = reinterpret_cast<HWND>(0x99);
  MessageBoxes boxes;

  // Writes beyond 64 bytes fail, even for root.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tiny = old;
  tiny.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &tiny);
  s.saveFile(path.c_str());
  setrlimit(RLIMIT_FSIZE, &old);

  s.saveFile((folder / "missing-folder/plot.ini").c_str());

  EXPECT_EQ(readBytes(path), "old content\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"plot.ini"});
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, "Фаил не сохранен : "_cp1251 + path);
  EXPECT_EQ(boxes.shown[0].caption, "Ошибка"_cp1251);
  EXPECT_EQ(boxes.shown[0].owner, s.dialogWindow);
  EXPECT_EQ(boxes.shown[1].text,
            "Фаил не сохранен : "_cp1251 + (folder / "missing-folder/plot.ini"));
}

TEST(SettingsFile, SaveReplacesAnExistingFileWithoutAsking) {
  ScratchFolder folder;
  std::string path = folder / "plot.ini";
  writeBytes(path, "Orlenta:Lumicurve\n3\n");
  PlotSettings s;
  MessageBoxes boxes;
  s.saveFile(path.c_str());
  EXPECT_EQ(readBytes(path), kDefaultFile);
  EXPECT_TRUE(boxes.shown.empty());
}

// Saves the defaults as an ordinary user would: as nobody (or the user given)
// when the tests run as root, for whom no permission bit counts. Returns the
// number of message boxes shown, or -1 when the save could not be run.
int saveAsOrdinaryUser(const std::string& path, uid_t uid = 65534, gid_t gid = 65534,
                       gid_t group = 65534) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(1, &group) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
      ::_exit(100);
    }
    MessageBoxes boxes;
    PlotSettings s;
    s.saveFile(path.c_str());
    ::_exit(static_cast<int>(boxes.shown.size()));
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
             ? WEXITSTATUS(status)
             : -1;
}

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

TEST(SettingsFile, SaveRefusesAFileTheUserMayNotWrite) {
  ScratchFolder folder;
  std::string path = folder / "plot.ini";
  writeBytes(path, "old content\n");
  ::chmod(path.c_str(), 0444);
  ::chmod(folder.path.c_str(), 0777); // a new file could be put beside it
  EXPECT_EQ(saveAsOrdinaryUser(path), 1);
  EXPECT_EQ(readBytes(path), "old content\n");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"plot.ini"});
}

TEST(SettingsFile, SaveKeepsWhatTheFileIs) {
  SKIP_UNLESS_ROOT();
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    const WriteScene scene(c, ".ini");
    EXPECT_EQ(saveAsOrdinaryUser(scene.written, kUser, kUserGroup, kSharedGroup),
              c.replaced ? 0 : 1);
    scene.check(kDefaultFile);
  }
}

TEST(SettingsFile, AFailedWriteSaysSoAndLeavesNoTemporary) {
  // The call that fails and how; a second name makes Save rewrite the file in
  // place, and only a file replaced by a rename is sure to keep its old content.
  static const struct Case {
    FileWriteStep step;
    int error;
    bool secondName, oldKept;
  } cases[] = {{FileWriteStep::Write, ENOSPC, false, true},
               {FileWriteStep::SyncFile, EIO, false, true},
               {FileWriteStep::Write, ENOSPC, true, false},
               {FileWriteStep::SyncFile, EIO, true, false},
               {FileWriteStep::SyncFolder, EIO, false, false}};
  static const Case* failing = nullptr;
  SetFileWriteFault([](FileWriteStep step) { return step == failing->step ? failing->error : 0; });
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    failing = &c;
    ScratchFolder folder;
    const std::string path = folder / "plot.ini";
    writeBytes(path, "old\n");
    if (c.secondName) {
      ::link(path.c_str(), (folder / "second.ini").c_str());
    }
    const std::vector<std::string> names = folder.names();
    PlotSettings s;
    MessageBoxes boxes;
    s.saveFile(path.c_str());
    EXPECT_EQ(boxes.shown.size(), 1u);
    for (const ShownMessage& shown : boxes.shown) {
      EXPECT_EQ(shown.caption + shown.text,
                std::string("Ошибка"_cp1251) + "Фаил не сохранен : "_cp1251 + path);
    }
    EXPECT_TRUE(!c.oldKept || readBytes(path) == "old\n");
    EXPECT_EQ(folder.names(), names);
  }
  SetFileWriteFault(nullptr);
}

TEST(SettingsFile, SaveRewritesInPlaceWhereTheFolderTakesNoNewFile) {
  ScratchFolder folder;
  std::string path = folder / "plot.ini";
  writeBytes(path, "old content\n");
  ::chmod(path.c_str(), 0666);
  const ino_t before = inodeOf(path);
  ::chmod(folder.path.c_str(), 0555);
  EXPECT_EQ(saveAsOrdinaryUser(path), 0);
  ::chmod(folder.path.c_str(), 0700);
  EXPECT_EQ(readBytes(path), kDefaultFile);
  EXPECT_EQ(inodeOf(path), before);
  EXPECT_EQ(folder.names(), std::vector<std::string>{"plot.ini"});
}

TEST(SettingsFile, SaveThroughALinkReplacesTheFileItNames) {
  struct Case {
    const char* saved;  // the link saved to
    const char* target; // the file that must get the content
  } cases[] = {{"link.ini", "real.ini"},
               {"chain.ini", "real.ini"},
               {"dangling.ini", "sub/created.ini"},
               {"absolute.ini", "sub/real.ini"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.saved);
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path / "sub");
    writeBytes(folder / "real.ini", "old\n");
    writeBytes(folder / "sub/real.ini", "old\n");
    ::chmod((folder / "real.ini").c_str(), 0640);
    std::filesystem::create_symlink("real.ini", folder.path / "link.ini");
    std::filesystem::create_symlink("link.ini", folder.path / "chain.ini");
    std::filesystem::create_symlink("sub/created.ini", folder.path / "dangling.ini");
    std::filesystem::create_symlink(folder.path / "sub/real.ini", folder.path / "absolute.ini");
    const auto entries = [&] {
      std::vector<std::string> all = folder.names();
      for (const auto& e : std::filesystem::directory_iterator(folder.path / "sub")) {
        all.push_back("sub/" + e.path().filename().string());
      }
      std::sort(all.begin(), all.end());
      return all;
    };
    std::vector<std::string> expected = entries();
    if (!std::filesystem::exists(folder.path / c.target)) {
      expected.push_back(c.target);
      std::sort(expected.begin(), expected.end());
    }

    PlotSettings s;
    MessageBoxes boxes;
    s.saveFile((folder / c.saved).c_str());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path / c.saved));
    EXPECT_EQ(readBytes(folder / c.target), kDefaultFile);
    EXPECT_EQ(entries(), expected); // no temporary left, no link replaced
    EXPECT_EQ(std::filesystem::status(folder.path / "real.ini").permissions(),
              std::filesystem::perms(0640));
  }
}

TEST(SettingsFile, SaveUnderNamesOfAnyLength) {
  struct Case {
    const char* name;
    std::string saved; // relative to the folder; it holds ".ini", so it is kept
  } cases[] = {{"the longest name", std::string(251, 'n') + ".ini"},
               {"one byte", "x.ini.d/a"},
               {"dot ini alone", ".ini"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path / "x.ini.d");
    std::string path = folder / c.saved;
    writeBytes(path, "old\n");
    PlotSettings s;
    MessageBoxes boxes;
    s.saveFile(path.c_str());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(readBytes(path), kDefaultFile);
    const auto where = std::filesystem::path(path).parent_path();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(where),
                            std::filesystem::directory_iterator()),
              where == folder.path ? 2 : 1); // nothing left beside it
  }
}

TEST(SettingsFile, LoadRejectsWhatIsNotASettingsFile) {
  struct Case {
    const char* name;
    const char* content; // null: no regular file
    mode_t other = 0;    // what stands there instead, if anything
  } cases[] = {
      {"foreign file", "[section]\nkey=value\n"},
      {"empty file", ""},
      {"missing file", nullptr},
      {"header with a trailing blank", "Orlenta:Lumicurve \n0\n"},
      {"header in another case", "orlenta:lumicurve\n0\n"},
      {"longer name", "Orlenta:Lumicurve2\n0\n"},
      {"a folder", nullptr, S_IFDIR},
      {"a pipe without a writer", nullptr, S_IFIFO},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    std::string path = folder / "file.ini";
    if (c.content != nullptr) {
      writeBytes(path, c.content);
    }
    ASSERT_EQ(c.other == S_IFDIR ? ::mkdir(path.c_str(), 0700) : 0, 0);
    ASSERT_EQ(c.other == S_IFIFO ? ::mkfifo(path.c_str(), 0600) : 0, 0);
    PlotSettings s;
    s.kind = 2;
    s.aText.assign(CText("kept"));
    std::string before = textsOf(s);
    auto load = std::async(std::launch::async, [&] { return loadError(s, path); });
    if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "Load waits on the file";
      ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK)); // lets the waiting reader go
    }
    std::string error = load.get();
    EXPECT_EQ(error, headerMessage(path)) << cp1251::toUtf8(error);
    EXPECT_EQ(textsOf(s), before);
  }
}

// "kind|text|text..." with the texts given first and the rest empty.
std::string expect(int kind, std::vector<std::string> texts) {
  texts.resize(PlotSettings::TextCount);
  std::string all = std::to_string(kind);
  for (const auto& t : texts) {
    all += "|" + t;
  }
  return all;
}

TEST(SettingsFile, LoadTakesLinesAsTheStreamReadsThem) {
  std::vector<std::string> numbered;
  std::string lines;
  for (int i = 1; i <= 20; ++i) {
    numbered.push_back(std::to_string(i));
    lines += std::to_string(i) + "\n";
  }
  std::vector<std::string> first18(numbered.begin(), numbered.begin() + 18);
  struct Case {
    const char* name;
    std::string content;
    std::string expected;
  } cases[] = {
      {"only the header", "Orlenta:Lumicurve\n", expect(0, {})},
      {"header without line end", "Orlenta:Lumicurve", expect(0, {})},
      {"ends after the kind", "Orlenta:Lumicurve\n3\n", expect(3, {})},
      {"ends inside the texts", "Orlenta:Lumicurve\n1\n5\n6", expect(1, {"5", "6"})},
      {"kind not a number", "Orlenta:Lumicurve\nabc\n", expect(5451, {})},
      {"kind out of range", "Orlenta:Lumicurve\n-7\n", expect(-7, {})},
      {"carriage returns before line feeds",
       "Orlenta:"
       "Lumicurve\r\n2\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n"
       "14\r\n15\r\n16\r\n17\r\n18\r\n",
       expect(2, first18)},
      {"a lone carriage return is content", "Orlenta:Lumicurve\n0\na\rb\n", expect(0, {"a\rb"})},
      {"extra lines ignored", "Orlenta:Lumicurve\n0\n" + lines, expect(0, first18)},
      {"a NUL byte ends a text", std::string("Orlenta:Lumicurve\n0\nab\0cd\nz\n", 28),
       expect(0, {"ab", "z"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    writeBytes(folder / "f.ini", c.content);
    PlotSettings s;
    ASSERT_EQ(loadError(s, folder / "f.ini"), "<no error>");
    EXPECT_EQ(textsOf(s), c.expected);
  }
}

TEST(SettingsFile, OverlongLineFillsItsTextAndEmptiesTheRest) {
  ScratchFolder folder;
  std::string longLine(1500, '7');
  std::string fullLine(1023, '8');
  writeBytes(folder / "f.ini", "Orlenta:Lumicurve\n1\n" + fullLine + "\n" + longLine + "\nx\ny\n");
  PlotSettings s;
  ASSERT_EQ(loadError(s, folder / "f.ini"), "<no error>");
  EXPECT_EQ(s.kind, 1);
  EXPECT_EQ(std::string(s.oXText.buffer), fullLine); // exactly capacity - 1 fits
  EXPECT_EQ(std::string(s.oYText.buffer), std::string(1023, '7'));
  for (int i = 2; i < PlotSettings::TextCount; ++i) {
    EXPECT_EQ(s.text(i)->length, 0) << i;
  }
}

TEST(SettingsFile, LineEndsOfEitherKindReadTheSame) {
  ScratchFolder folder;
  std::string crlf = kDefaultFile;
  std::string lf;
  for (char ch : crlf) {
    lf += ch == '\r' ? std::string() : std::string(1, ch);
  }
  writeBytes(folder / "lf.ini", lf);
  writeBytes(folder / "crlf.ini", crlf);
  PlotSettings a, b;
  a.kind = b.kind = 4;
  ASSERT_EQ(loadError(a, folder / "lf.ini"), "<no error>");
  ASSERT_EQ(loadError(b, folder / "crlf.ini"), "<no error>");
  EXPECT_EQ(textsOf(a), textsOf(b));
  PlotSettings defaults;
  EXPECT_EQ(textsOf(a), textsOf(defaults));
}

} // namespace
