#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace quorvale::testing {

// A scripted stand-in for the main window. Records every box, log line,
// status text and progress value in `events` in the order they happened,
// answers Yes/No questions from `answers` (No when the script runs out),
// and runs `onProcessMessages` on every pump, where a test can press Cancel.
class FakeWindow : public Window {
 public:
  // Controls, set by the test.
  bool checks[5] = {true, false, false, false, true};  // CheckBox1..5 as the window opens
  RadioSelection radios = RadioSelection().set(1).set(13);
  int quality = 90;
  std::string inputFolder;
  std::string outputFolder;

  // Script.
  std::deque<bool> answers;
  std::function<void()> onProcessMessages;

  // Record.
  std::vector<std::string> log;          // Memo1 lines
  std::vector<std::string> events;       // "message: ...", "ask: ...", "status: ...", ...
  std::vector<std::string> messages;     // OK boxes
  std::vector<std::string> questions;    // Yes/No boxes
  std::vector<std::string> statusTexts;  // every status text set
  std::vector<int> progress;             // every progress position set
  bool running = false;
  int pumps = 0;

  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    events.push_back("message: " + text);
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    events.push_back("ask: " + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void ProcessMessages() override {
    ++pumps;
    if (onProcessMessages) onProcessMessages();
  }
  bool IsChecked(CheckBox box) override { return checks[static_cast<int>(box)]; }
  RadioSelection SelectedRadioButtons() override { return radios; }
  int Quality() override { return quality; }
  std::string InputFolderText() override { return inputFolder; }
  std::string OutputFolderText() override { return outputFolder; }
  void AppendLog(const std::string& line) override {
    log.push_back(line);
    events.push_back("log: " + line);
  }
  void ClearLog() override {
    log.clear();
    events.push_back("clear log");
  }
  void SetStatusText(const std::string& text) override {
    statusTexts.push_back(text);
    events.push_back("status: " + text);
  }
  void SetProgress(int percent) override {
    progress.push_back(percent);
    events.push_back("progress: " + std::to_string(percent));
  }
  void SetRunning(bool value) override {
    running = value;
    events.push_back(value ? "running" : "idle");
  }

  void Check(CheckBox box, bool value) { checks[static_cast<int>(box)] = value; }
  std::string Status() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }
};

}  // namespace quorvale::testing
