#include "app/QtDialogs.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

#include "app/DisplayText.h"

namespace quorvale {

namespace {

// What a title bar holds beside its caption: an icon and three buttons.
constexpr int TitleBarButtons = 120;

// A question must be answered with one of its buttons: Escape and the
// window's close button would otherwise count as No, and a No to the
// same-name question replaces every later file of the run without asking.
class QuestionBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) return event->accept();
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

// Caption, no icon, the first button the default one.
QMessageBox::StandardButton ShowBox(QWidget* owner, QMessageBox::Icon icon,
                                    const std::string& caption, const std::string& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton first) {
  const bool question = buttons.testFlag(QMessageBox::No);
  std::unique_ptr<QMessageBox> box =
      question ? std::make_unique<QuestionBox>(icon, DisplayText(caption), DisplayText(text),
                                               buttons, owner)
               : std::make_unique<QMessageBox>(icon, DisplayText(caption), DisplayText(text),
                                               buttons, owner);
  // Paths may hold '<' and '&'; they are shown as they are.
  box->setTextFormat(Qt::PlainText);
  box->setDefaultButton(first);
  // A box as narrow as a short text leaves its caption to be cut short in
  // the title bar; room for it and the bar's buttons keeps it whole.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    const int room = box->fontMetrics().horizontalAdvance(box->windowTitle()) + TitleBarButtons;
    grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (question) {
    box->setWindowFlag(Qt::WindowCloseButtonHint, false);
  } else {
    box->setEscapeButton(first);
  }
  return static_cast<QMessageBox::StandardButton>(box->exec());
}

}  // namespace

std::string QtDialogs::BrowseFolder(const std::string& title, const std::string& start) {
  // No owner window and nothing preselected, as the shell's own browse
  // dialog had. Without a start the home folder stands in for the desktop
  // (the current folder is the program's own).
  const QString shown = DisplayText(start);
  const QString at = !start.empty() && QFileInfo(shown).isDir() ? shown : QDir::homePath();
  const QString folder = QFileDialog::getExistingDirectory(
      nullptr, DisplayText(title), at,
      QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
  return folder.isEmpty() ? std::string() : PathBytes(folder);
}

std::string QtDialogs::SaveFilePath(const std::string& caption, const std::string& suggested) {
  QFileDialog dialog(owner_, DisplayText(caption),
                     suggested.empty() ? QDir::homePath() : DisplayText(suggested),
                     QStringLiteral("HTML (*.html *.htm)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("html"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
  return PathBytes(dialog.selectedFiles().front());
}

std::string QtDialogs::CropFilePath(bool save, const std::string& suggested) {
  QFileDialog dialog(
      owner_,
      save ? QStringLiteral("トリミング位置の保存") : QStringLiteral("トリミング位置の読み込み"),
      suggested.empty() ? QDir::homePath() : DisplayText(suggested),
      QStringLiteral("JSON (*.json)"));
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
  return PathBytes(dialog.selectedFiles().front());
}

std::optional<std::string> QtDialogs::PromptText(const std::string& caption,
                                                 const std::string& prompt, int maxChars) {
  QDialog dialog(owner_);
  dialog.setWindowTitle(DisplayText(caption));
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  auto* label = new QLabel(DisplayText(prompt), &dialog);
  auto* field = new QLineEdit(&dialog);
  field->setMaxLength(maxChars);
  field->setMinimumWidth(300);
  label->setBuddy(field);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(label);
  layout->addWidget(field);
  layout->addWidget(buttons);
  dialog.setFixedSize(dialog.sizeHint());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return LocalBytes(field->text());
}

void QtDialogs::Message(const std::string& caption, const std::string& text) {
  ShowBox(owner_, QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::YesNo(const std::string& caption, const std::string& text, bool noByDefault) {
  return ShowBox(owner_, QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                 noByDefault ? QMessageBox::No : QMessageBox::Yes) == QMessageBox::Yes;
}

void QtDialogs::ErrorBox(const std::string& caption, const std::string& text) {
  ShowBox(owner_, QMessageBox::Critical, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtDialogs::OpenUrl(const std::string& address) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void QtDialogs::RunModal(QDialog& dialog) {
  dialog.exec();
}

}  // namespace quorvale
