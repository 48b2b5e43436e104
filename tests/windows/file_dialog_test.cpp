// The open-file dialog on Qt's file dialog, chosen from as a user would.

#include "dialog_test_util.h"
#include "expr/cp1251.h"

#include <QFileDialog>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Folder {
  std::filesystem::path path;
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumicurve-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~Folder() { std::filesystem::remove_all(path); }
  // The 1251 bytes of a path in the folder given in UTF-8.
  std::string operator/(const std::string& name) const {
    return cp1251::fromUtf8((path / name).string());
  }
};

QFileDialog* shownFileDialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog != nullptr && dialog->isVisible()) {
      return dialog;
    }
  }
  return nullptr;
}

TEST(FileDialog, ReturnsTheChosenPathInCodePage1251OrNothing) {
  Folder folder;
  std::ofstream(folder.path / "старый.ini") << "x";
  const std::filesystem::path deep = folder.path / std::string(200, 'd') / std::string(200, 'e');
  std::filesystem::create_directories(deep);

  struct Case {
    const char* name;
    QString typed; // null: the dialog is cancelled with Escape
    bool chosen;
    std::string expected; // the buffer afterwards (1251)
  } cases[] = {
      {"an existing Cyrillic name", QString::fromUtf8("старый.ini"), true, folder / "старый.ini"},
      {"a name that does not exist", QString::fromUtf8("новый"), true, folder / "новый"},
      {"cancelled", QString(), false, folder / "старый.ini"},
      {"a name code page 1251 lacks", QString::fromUtf8("naïve.ini"), false, folder / "старый.ini"},
      {"a path longer than 499 bytes",
       QString::fromStdString((deep / (std::string(100, 'f') + ".ini")).string()), false,
       folder / "старый.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char file[500] = {};
    std::strcpy(file, (folder / "старый.ini").c_str());
    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.lpstrFilter = "ini\0*.ini\0";
    record.nFilterIndex = 1;
    record.lpstrFile = file;
    record.nMaxFile = sizeof file;

    bool answered = false;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(pumpUntil([] { return shownFileDialog() != nullptr; }));
      QFileDialog* dialog = shownFileDialog();
      // It starts from the folder and name in the buffer, with the one filter.
      EXPECT_EQ(dialog->directory().absolutePath(), QString::fromStdString(folder.path.string()));
      EXPECT_EQ(dialog->selectedFiles().value(0).section('/', -1), QString::fromUtf8("старый.ini"));
      EXPECT_EQ(dialog->nameFilters(), QStringList{"ini (*.ini)"});
      EXPECT_EQ(dialog->windowTitle(), "Open");
      // Without an owner it blocks no window.
      EXPECT_EQ(dialog->parentWidget(), nullptr);
      EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
      if (c.typed.isNull()) {
        QTest::keyClick(dialog, Qt::Key_Escape);
      } else {
        dialog->selectFile(c.typed);
        static_cast<QDialog*>(dialog)->accept(); // the Open button
      }
      answered = true;
      // A name the dialog itself refuses leaves it open: it is cancelled then.
      QTimer::singleShot(50, [] {
        if (QFileDialog* still = shownFileDialog()) {
          still->reject();
        }
      });
    });
    EXPECT_EQ(GetOpenFileNameA(&record), c.chosen ? TRUE : FALSE);
    EXPECT_TRUE(answered);
    EXPECT_EQ(std::string(file), c.expected);
    if (c.chosen) {
      EXPECT_STREQ(file + record.nFileOffset, cp1251::fromUtf8(c.typed.toStdString()).c_str());
    }
  }
}

} // namespace
