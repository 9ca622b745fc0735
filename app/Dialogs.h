#pragma once

#include <optional>
#include <string>

class QDialog;

namespace quorvale {

// Every modal dialog and shell service the windows use, so that tests can
// answer them from a script and never block on a real dialog. Texts are UTF-8
// message texts or path bytes as the core passes them; an implementation
// shows them decoded and never changes the bytes it returns.
class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The folder-browse dialog, folders only, titled `title`, opening at
  // `start` (path bytes) with no folder preselected; at the home folder when
  // `start` is empty or no longer a folder. The chosen folder as path bytes;
  // empty when the operator cancelled.
  virtual std::string BrowseFolder(const std::string& title, const std::string& start) = 0;

  // The save dialog for an HTML page, opening at `suggested` (path bytes;
  // the home folder when empty). The chosen path as bytes, ending in ".html"
  // when the operator gave no extension; empty when cancelled.
  virtual std::string SaveFilePath(const std::string& caption, const std::string& suggested) = 0;

  // The open or save dialog for a crop file (JSON), opening at `suggested`
  // (path bytes; the home folder when empty). The chosen path as bytes, a
  // saved one ending in ".json" when the operator gave no extension; empty
  // when cancelled.
  virtual std::string CropFilePath(bool save, const std::string& suggested) = 0;

  // A one-line text prompt with an empty initial value whose entry field
  // takes at most `maxChars` characters. The typed text in the locale's
  // bytes, or nullopt when cancelled.
  virtual std::optional<std::string> PromptText(const std::string& caption,
                                                const std::string& prompt, int maxChars) = 0;

  // A box with one OK button and no icon.
  virtual void Message(const std::string& caption, const std::string& text) = 0;
  // A Yes/No box without icon, Yes the default button (No when
  // `noByDefault`, for a question whose Yes cannot be undone); true for Yes.
  virtual bool YesNo(const std::string& caption, const std::string& text,
                     bool noByDefault = false) = 0;
  // The box for an error that escaped a handler: stop icon, one OK button.
  virtual void ErrorBox(const std::string& caption, const std::string& text) = 0;

  // Asks the desktop to open a web address in the default browser and
  // returns at once; a failure is not reported.
  virtual void OpenUrl(const std::string& address) = 0;

  // Shows `dialog` modally and returns when it has closed.
  virtual void RunModal(QDialog& dialog) = 0;
};

}  // namespace quorvale
