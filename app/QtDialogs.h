#pragma once

#include <QPointer>
#include <QWidget>

#include "app/Dialogs.h"

namespace quorvale {

// The dialogs of a real session: QFileDialog, a small prompt dialog,
// QMessageBox and QDesktopServices.
class QtDialogs : public Dialogs {
 public:
  // The window the boxes are modal to and centred over (none before the main
  // window exists).
  void SetOwner(QWidget* owner) { owner_ = owner; }

  std::string BrowseFolder(const std::string& title, const std::string& start) override;
  std::string SaveFilePath(const std::string& caption, const std::string& suggested) override;
  std::string CropFilePath(bool save, const std::string& suggested) override;
  std::optional<std::string> PromptText(const std::string& caption, const std::string& prompt,
                                        int maxChars) override;
  void Message(const std::string& caption, const std::string& text) override;
  bool YesNo(const std::string& caption, const std::string& text,
             bool noByDefault = false) override;
  void ErrorBox(const std::string& caption, const std::string& text) override;
  void OpenUrl(const std::string& address) override;
  void RunModal(QDialog& dialog) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace quorvale
