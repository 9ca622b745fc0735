#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStringList>
#include <string>
#include <vector>

#include "app/ScriptedDialogs.h"
#include "app/Unit1.h"
#include "support/Sandbox.h"

namespace quorvale::testing {

// A main window on scripted dialogs, with a sandbox folder. The sandbox
// comes first so that it outlives the window and gives the current folder
// back at the end.
class WindowTest : public ::testing::Test {
 protected:
  Sandbox box;
  ScriptedDialogs dialogs;
  TForm1 form{dialogs};

  // The control of that object name; the test fails when there is none.
  template <typename T>
  T* Control(const char* name) {
    T* control = form.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QAbstractButton* Button(const char* name) { return Control<QAbstractButton>(name); }
  bool Enabled(const char* name) { return Control<QWidget>(name)->isEnabled(); }

  // Memo1, line by line; no lines when it is empty.
  std::vector<std::string> MemoLines() {
    const QString text = Control<QPlainTextEdit>("Memo1")->toPlainText();
    std::vector<std::string> lines;
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
  }
  std::string EditText(const char* name) { return Control<QLineEdit>(name)->text().toStdString(); }
  std::string Status() { return form.StatusText().toStdString(); }

  // Browses to `folder` with BitBtn8 (input) or BitBtn1 (output).
  void BrowseInput(const std::string& folder) {
    dialogs.folders.push_back(folder);
    Button("BitBtn8")->click();
  }
  void BrowseOutput(const std::string& folder) {
    dialogs.folders.push_back(folder);
    Button("BitBtn1")->click();
  }
};

}  // namespace quorvale::testing
