#pragma once

#include <QDialog>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Dialogs.h"

namespace quorvale::testing {

// Answers every dialog from a script and records what was asked; nothing
// ever waits for an operator.
class ScriptedDialogs : public Dialogs {
 public:
  struct Box {
    std::string kind;  // "message", "yesno" or "error"
    std::string caption;
    std::string text;
    bool noByDefault = false;  // a question whose default button is No
  };
  struct Prompt {
    std::string caption;
    std::string prompt;
    int maxChars;
  };

  // Script. Browsing answers from `folders` (cancelled when it runs out),
  // prompts from `typed` (cancelled when it runs out), questions from
  // `answers` (No when it runs out).
  std::deque<std::string> folders;
  std::deque<std::optional<std::string>> typed;
  std::deque<bool> answers;
  // Save dialogs answer from `savePaths` (cancelled when it runs out).
  std::deque<std::string> savePaths;
  std::deque<std::string> cropPaths;
  // Runs as each box is shown, with the box already recorded.
  std::function<void(const Box&)> onBox;
  // Runs in place of the modal loop of a dialog shown modally.
  std::function<void(QDialog&)> onModal;

  // Record.
  std::vector<Box> boxes;
  std::vector<Prompt> prompts;
  std::vector<std::string> urls;
  std::vector<std::string> saveCaptions;
  std::vector<QDialog*> modals;
  int browses = 0;
  struct Browse {
    std::string title;
    std::string start;
    friend bool operator==(const Browse&, const Browse&) = default;
  };
  std::vector<Browse> browsed;

  std::string BrowseFolder(const std::string& title, const std::string& start) override {
    ++browses;
    browsed.push_back({title, start});
    if (folders.empty()) return std::string();
    std::string folder = folders.front();
    folders.pop_front();
    return folder;
  }
  std::string SaveFilePath(const std::string& caption, const std::string&) override {
    saveCaptions.push_back(caption);
    if (savePaths.empty()) return std::string();
    std::string path = savePaths.front();
    savePaths.pop_front();
    return path;
  }
  // Crop file dialogs answer from `cropPaths` (cancelled when it runs out).
  std::string CropFilePath(bool, const std::string&) override {
    if (cropPaths.empty()) return std::string();
    std::string path = cropPaths.front();
    cropPaths.pop_front();
    return path;
  }
  std::optional<std::string> PromptText(const std::string& caption, const std::string& prompt,
                                        int maxChars) override {
    prompts.push_back({caption, prompt, maxChars});
    if (typed.empty()) return std::nullopt;
    std::optional<std::string> text = typed.front();
    typed.pop_front();
    return text;
  }
  void Message(const std::string& caption, const std::string& text) override {
    Show({"message", caption, text});
  }
  bool YesNo(const std::string& caption, const std::string& text,
             bool noByDefault = false) override {
    Show({"yesno", caption, text, noByDefault});
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void ErrorBox(const std::string& caption, const std::string& text) override {
    Show({"error", caption, text});
  }
  void OpenUrl(const std::string& address) override { urls.push_back(address); }
  void RunModal(QDialog& dialog) override {
    modals.push_back(&dialog);
    if (onModal) onModal(dialog);
  }

  // The texts of the boxes of one kind, in order.
  std::vector<std::string> Texts(const std::string& kind) const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) {
      if (box.kind == kind) texts.push_back(box.text);
    }
    return texts;
  }

 private:
  void Show(const Box& box) {
    boxes.push_back(box);
    if (onBox) onBox(boxes.back());
  }
};

}  // namespace quorvale::testing
