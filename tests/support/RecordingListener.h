#pragma once

#include <deque>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "batch/RunEvents.h"
#include "messages/Messages.h"

namespace quorvale::testing {

// A scripted front end that words a run's events as the window does and
// records them in the order they came: "running", "clear log", "log: ...",
// "message: ...", "ask: ...", "status: ...", "progress: N", "idle". Answers
// questions from `answers` (No when the script runs out). A test presses
// Cancel with `stop` from `onPhotoStarted` (at the top of a photo) or
// `onOptions` (once the photo is decoded, before its trim and reduction).
class RecordingListener : public RunListener {
 public:
  // Controls, set by the test: the per-photo options as the window opens.
  PhotoOptions photo;
  std::stop_source stop;

  // Script.
  std::deque<bool> answers;
  std::function<void()> onPhotoStarted;
  std::function<void()> onOptions;

  // Record.
  std::vector<std::string> log;          // the log's lines
  std::vector<std::string> events;       // in order, as above
  std::vector<std::string> messages;     // OK boxes
  std::vector<Notice> notices;           // their kinds
  std::vector<std::string> questions;    // Yes/No boxes
  std::vector<Question> questionKinds;   // their kinds
  std::vector<std::string> statusTexts;  // every status text set
  std::vector<int> progress;             // every progress position set
  std::vector<PhotoReport> reports;      // one per photo done
  bool running = false;

  PhotoOptions OptionsForPhoto() override {
    if (onOptions) onOptions();
    return photo;
  }
  void RunStarted(int) override {
    running = true;
    log.clear();
    events.insert(events.end(), {"running", "clear log"});
    Progress(0);
  }
  void PhotoStarted(std::size_t, const std::string& path) override {
    Log(path);
    if (onPhotoStarted) onPhotoStarted();
  }
  void PhotoFinished(const PhotoReport& report) override {
    for (const std::string& line : PhotoLogLines(report)) Log(line);
    if (report.outcome == PhotoOutcome::Stopped && report.stop == StopCause::InReduction) {
      Status("");
    }
    reports.push_back(report);
  }
  void Notify(const RunNotice& notice) override { Message(notice.kind, NoticeText(notice)); }
  bool Ask(const RunQuestion& question) override {
    questions.push_back(QuestionText(question));
    questionKinds.push_back(question.kind);
    events.push_back("ask: " + questions.back());
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void Progress(const RunProgress& value) override {
    Progress(value.percent);
    Status(ProgressText(value));
  }
  void RunFinished(bool stopped, const RunCounts& counts) override {
    const std::string summary = SummaryText(stopped, counts);
    messages.push_back(summary);
    events.push_back("message: " + summary);
    Status(summary);
    running = false;
    events.push_back("idle");
  }

  std::string Status() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }

 private:
  void Log(const std::string& line) {
    log.push_back(line);
    events.push_back("log: " + line);
  }
  void Message(Notice kind, const std::string& text) {
    messages.push_back(text);
    notices.push_back(kind);
    events.push_back("message: " + text);
  }
  void Status(const std::string& text) {
    statusTexts.push_back(text);
    events.push_back("status: " + text);
  }
  void Progress(int percent) {
    progress.push_back(percent);
    events.push_back("progress: " + std::to_string(percent));
  }
};

}  // namespace quorvale::testing
