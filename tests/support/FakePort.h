#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "batch/RunPort.h"

namespace quorvale::testing {

// A scripted stand-in for a run's front end. Records every box, log line,
// status text and progress value in `events` in the order they happened,
// answers Yes/No questions from `answers` (No when the script runs out),
// and runs `onPoll` on every poll, where a test can press Cancel by setting
// `cancel`.
class FakePort : public RunPort {
 public:
  // Controls, set by the test: the per-photo options as the window opens.
  PhotoOptions photo;
  bool cancel = false;

  // Script.
  std::deque<bool> answers;
  std::function<void()> onPoll;

  // Record.
  std::vector<std::string> log;          // the log's lines
  std::vector<std::string> events;       // "message: ...", "ask: ...", "status: ...", ...
  std::vector<std::string> messages;     // OK boxes
  std::vector<Notice> notices;           // their kinds
  std::vector<std::string> questions;    // Yes/No boxes
  std::vector<Question> questionKinds;   // their kinds
  std::vector<std::string> statusTexts;  // every status text set
  std::vector<int> progress;             // every progress position set
  std::vector<PhotoReport> reports;      // one per photo done
  bool running = false;
  int polls = 0;

  PhotoOptions OptionsForPhoto() override { return photo; }
  void Notify(Notice kind, const std::string& text) override {
    messages.push_back(text);
    notices.push_back(kind);
    events.push_back("message: " + text);
  }
  bool Ask(Question kind, const std::string& text) override {
    questions.push_back(text);
    questionKinds.push_back(kind);
    events.push_back("ask: " + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  bool PollCancel() override {
    ++polls;
    if (onPoll) onPoll();
    return cancel;
  }
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
  void SetProgress(int percent, int, int) override {
    progress.push_back(percent);
    events.push_back("progress: " + std::to_string(percent));
  }
  void SetRunning(bool value) override {
    running = value;
    if (value) cancel = false;
    events.push_back(value ? "running" : "idle");
  }
  void PhotoDone(const PhotoReport& report) override { reports.push_back(report); }

  std::string Status() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }
};

}  // namespace quorvale::testing
