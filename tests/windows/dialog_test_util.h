#pragma once
// Running a modal dialog in a test: the steps run inside the dialog's own loop.

#include "gui_test_util.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

// Types the text into the widget key by key, whatever its characters.
inline void typeText(QWidget* widget, const QString& text) {
  for (QChar ch : text) {
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

using DialogStep = std::function<void(QDialog&)>;

// Opens the dialog with open(), and once it shows runs the steps on it, each
// after the dialog's loop has run again, so a step runs only if the dialog is
// still there: a dialog that ended early fails the test. The last step usually
// ends the dialog; if it does not, the close box does. Returns what open() returned.
inline INT_PTR withDialog(const std::function<INT_PTR()>& open,
                          const std::vector<DialogStep>& steps) {
  std::size_t ran = 0;
  QObject guard; // no step outlives this call
  std::function<void(QObject*)> next = [&](QObject* context) {
    QTimer::singleShot(0, context, [&] {
      pumpUntil([] { return QApplication::activeModalWidget() != nullptr; });
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        return;
      }
      if (ran == 0) {
        pumpUntil([dialog] { return dialog->isActiveWindow(); }, 1000);
      }
      steps[ran++](*dialog);
      if (ran < steps.size()) {
        next(dialog);
      } else {
        QTimer::singleShot(100, dialog, [dialog] { dialog->close(); });
      }
    });
  };
  next(&guard);
  const INT_PTR result = open();
  EXPECT_EQ(ran, steps.size()) << "the dialog was gone before step " << ran + 1;
  return result;
}

inline INT_PTR withDialog(const std::function<INT_PTR()>& open, const DialogStep& script) {
  return withDialog(open, std::vector<DialogStep>{script});
}
