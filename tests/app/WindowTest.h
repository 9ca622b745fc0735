#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "app/ScriptedDialogs.h"
#include "app/WindowSettings.h"
#include "messages/Messages.h"
#include "support/Sandbox.h"

namespace quorvale::testing {

// The window words a run's events with the texts that the core's tests hold
// to their bytes (messages/); the window's tests hold only that each event
// reaches its place.
// The log of photos that ended so: each path line, then its outcome's lines.
inline std::vector<std::string> Logged(
    std::initializer_list<std::pair<std::string, PhotoOutcome>> photos) {
  std::vector<std::string> lines;
  for (const auto& [path, outcome] : photos) {
    lines.push_back(path);
    PhotoReport report;
    report.outcome = outcome;
    for (const std::string& line : PhotoLogLines(report)) lines.push_back(line);
  }
  return lines;
}

// Each window starts as at a first start: what an earlier test left in the
// settings (which the test program keeps in a folder of its own) is gone.
struct FirstStart {
  FirstStart() { OpenWindowSettings()->clear(); }
};

// A main window on scripted dialogs, with a sandbox folder. The sandbox
// comes first so that it outlives the window and gives the current folder
// back at the end.
class WindowTest : public ::testing::Test {
 protected:
  Sandbox box;
  ScriptedDialogs dialogs;
  FirstStart firstStart;
  MainWindow window{dialogs};

  // The control of that object name; the test fails when there is none.
  template <typename T>
  T* Control(const char* name) {
    T* control = window.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QAbstractButton* Button(const char* name) { return Control<QAbstractButton>(name); }
  // Chooses the menu item of that object name.
  void Trigger(const char* name) {
    auto* action = window.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    action->trigger();
  }
  bool Enabled(const char* name) { return Control<QWidget>(name)->isEnabled(); }

  // The log, line by line; no lines when it is empty.
  std::vector<std::string> LogLines() {
    const QString text = Control<QPlainTextEdit>("logView")->toPlainText();
    std::vector<std::string> lines;
    if (text.isEmpty()) return lines;
    for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    return lines;
  }
  std::string EditText(const char* name) { return Control<QLineEdit>(name)->text().toStdString(); }
  std::string Status() { return window.StatusText().toStdString(); }

  // Browses to `folder` for the input or the output folder.
  void BrowseInput(const std::string& folder) {
    dialogs.folders.push_back(folder);
    Button("browseInputButton")->click();
  }
  void BrowseOutput(const std::string& folder) {
    dialogs.folders.push_back(folder);
    Button("browseOutputButton")->click();
  }
  // Presses Run and waits for the run to end; fails after a minute.
  void PressRunAndWait() {
    QSignalSpy ended(&window, &MainWindow::RunEnded);
    Button("runButton")->click();
    EXPECT_TRUE(ended.wait(60000)) << "the run did not end";
  }
};

}  // namespace quorvale::testing
