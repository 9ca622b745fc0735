#include "app/Unit1.h"

#include <unistd.h>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include "app/DisplayText.h"
#include "app/Fonts.h"
#include "app/Resources.h"
#include "app/Unit2.h"
#include "batch/BatchRun.h"
#include "folders/FolderChoice.h"
#include "folders/FolderScan.h"
#include "imaging/SizeTable.h"
#include "platform/FileSystem.h"
#include "ui_Unit1.h"

namespace quorvale {

TForm1* Form1 = nullptr;

namespace {

constexpr const char* MainCaption = "Quorvale（Tessaly付属ツール）";
constexpr const char* SubfolderPromptCaption = "サブフォルダの作成";
constexpr const char* SubfolderPromptText = "作成するサブフォルダ名";
constexpr int SubfolderNameMaxChars = 255;

QIcon Glyph(const char* name) {
  return QIcon(QPixmap(QString(":/quorvale/") + name));
}

}  // namespace

TForm1::TForm1(Dialogs& dialogs) : ui_(new Ui::TForm1), dialogs_(dialogs) {
  Form1 = this;
  InitResources();
  ui_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(size());

  setFont(WindowFont());
  for (std::size_t n = 1; n < radio_.size(); ++n) {
    radio_[n] = findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(n));
  }
  ui_->GroupBox1->setFont(ColumnHeadingFont());
  for (QLabel* label : ui_->GroupBox1->findChildren<QLabel*>()) label->setFont(WindowFont());
  ui_->Label1->setFont(ColumnHeadingFont());
  for (QAbstractButton* button : ui_->SizeButtons->buttons()) button->setFont(FixedPitchFont());
  SetGlyphs();
  ConnectHandlers();
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::SetGlyphs() {
  ui_->BitBtn8->setIcon(Glyph("BitBtn8.xpm"));
  ui_->BitBtn1->setIcon(Glyph("BitBtn1.xpm"));
  ui_->BitBtn4->setIcon(Glyph("BitBtn4.xpm"));
  ui_->BitBtn3->setIcon(Glyph("BitBtn3.xpm"));
  for (QPushButton* button : {ui_->BitBtn8, ui_->BitBtn1, ui_->BitBtn4}) {
    button->setIconSize(QSize(16, 16));
  }
  ui_->BitBtn3->setIconSize(QSize(32, 32));

  // One strip holds the enabled picture and, beside it, the disabled one.
  const QPixmap strip(":/quorvale/BitBtn2.xpm");
  QIcon run;
  run.addPixmap(strip.copy(0, 0, 18, 18), QIcon::Normal);
  run.addPixmap(strip.copy(18, 0, 18, 18), QIcon::Disabled);
  ui_->BitBtn2->setIcon(run);
  ui_->BitBtn2->setIconSize(QSize(18, 18));
}

void TForm1::ConnectHandlers() {
  connect(ui_->CheckBox2, &QCheckBox::toggled, this, [this] { CheckBox2Click(); });
  for (QAbstractButton* button : ui_->SizeButtons->buttons()) {
    connect(button, &QAbstractButton::toggled, this, [this](bool selected) {
      if (selected) RadioButton1Click();
    });
  }
  connect(ui_->BitBtn8, &QPushButton::clicked, this, [this] { BitBtn8Click(); });
  connect(ui_->BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(ui_->BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });
  connect(ui_->BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(ui_->BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
}

void TForm1::FormCreate() {
  setAcceptDrops(true);
  programFolder_ = ProgramFolder();
  // As the program always has; nothing relies on it, the core works by
  // full paths.
  [[maybe_unused]] const int entered = ::chdir(programFolder_.c_str());
  captionText_ = MainCaption;
  setWindowTitle(DisplayText(captionText_));
}

void TForm1::FormShow() {
  Form2 = new TForm2(dialogs_, this);
  dialogs_.RunModal(*Form2);
}

void TForm1::FormDestroy() {}

void TForm1::setVisible(bool visible) {
  // The splash is shown, and closes, before the main window first appears.
  if (visible && !formShown_) {
    formShown_ = true;
    FormShow();
    if (const QScreen* where = screen()) {
      // The client area is centred; the frame is the window manager's.
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), where->geometry()));
    }
  }
  QWidget::setVisible(visible);
}

bool TForm1::AnyFixedSizeSelected() const {
  for (const SizePreset& preset : SizeTable()) {
    if (preset.kind == SizeKind::Fixed && radio_[preset.button]->isChecked()) return true;
  }
  return false;
}

void TForm1::EnableResolutionButtons(bool enabled) {
  for (const PrintResolution& resolution : PrintResolutions()) {
    radio_[resolution.button]->setEnabled(enabled);
  }
}

void TForm1::CheckBox2Click() {
  if (ui_->CheckBox2->isChecked()) {
    ui_->GroupBox2->setEnabled(true);
    EnableResolutionButtons(!AnyFixedSizeSelected());
    ui_->CheckBox3->setEnabled(true);
  } else {
    ui_->GroupBox2->setEnabled(false);
    EnableResolutionButtons(false);
    ui_->CheckBox3->setEnabled(false);
  }
}

void TForm1::RadioButton1Click() {
  if (AnyFixedSizeSelected()) {
    ui_->CheckBox2->setChecked(true);
    if (ui_->CheckBox2->isChecked()) EnableResolutionButtons(false);
  } else if (ui_->CheckBox2->isChecked()) {
    EnableResolutionButtons(true);
  }
}

void TForm1::ShowListing(const FolderListing& listing) {
  lastScan_ = listing.counts;
  ClearLog();
  for (const std::string& path : listing.files) AppendLog(path);
  SetStatusText(ScanSummaryText(listing.counts));
}

void TForm1::BitBtn8Click() {
  const FolderChoice choice = AcceptBrowsedFolder(dialogs_.BrowseFolder());
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (!choice.folder) return;
  SetEdit1(*choice.folder);
  ShowListing(ScanInputFolder(InputFolderText(), !ui_->CheckBox4->isChecked()));
}

void TForm1::BitBtn1Click() {
  const FolderChoice choice = AcceptBrowsedFolder(dialogs_.BrowseFolder());
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (!choice.folder) return;
  SetEdit2(*choice.folder);
  ui_->BitBtn4->setEnabled(true);
}

void TForm1::BitBtn4Click() {
  const std::optional<std::string> typed =
      dialogs_.PromptText(SubfolderPromptCaption, SubfolderPromptText, SubfolderNameMaxChars);
  if (!typed) return;
  const FolderChoice choice = CreateOutputSubfolder(OutputFolderText(), *typed);
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (choice.folder) SetEdit2(*choice.folder);
}

void TForm1::WMDropFiles(const std::vector<std::string>& items) {
  raise();
  activateWindow();
  // The folders of a run are fixed when Run is pressed.
  if (runActive_) return;
  const std::optional<std::string> first = FirstDroppedFolder(items);
  if (!first) return;
  SetEdit1(*first);
  ShowListing(ScanInputFolder(InputFolderText(), !ui_->CheckBox4->isChecked()));
}

RunOptions TForm1::OptionsForRun() const {
  RunOptions options;
  options.inputFolder = edit1Bytes_;
  options.outputFolder = edit2Bytes_;
  options.target = ResolveTargetSize(SelectedRadioButtons());
  options.subfolders = !ui_->CheckBox4->isChecked();
  options.photo = PhotoOptionsNow();
  return options;
}

PhotoOptions TForm1::PhotoOptionsNow() const {
  return {ui_->CheckBox1->isChecked(), ui_->CheckBox5->isChecked(), ui_->CheckBox2->isChecked(),
          ui_->CheckBox3->isChecked(), Quality()};
}

void TForm1::BitBtn2Click() {
  runActive_ = true;
  try {
    RunBatch(OptionsForRun(), *this);
  } catch (...) {
    // The application's error box reports it; the window goes back to idle.
    SetRunning(false);
    EndRun();
    throw;
  }
  EndRun();
}

void TForm1::EndRun() {
  runActive_ = false;
  if (closePending_) {
    // Queued, so that a box still to come (the error box) is shown before
    // the program ends.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

void TForm1::BitBtn3Click() {
  cancelRequested_ = true;
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A close during a run is held until the run (with its questions and its
  // summary) has ended.
  if (runActive_) {
    closePending_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> items;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) items.push_back(LocalFileBytes(url));
  }
  event->acceptProposedAction();
  WMDropFiles(items);
}

void TForm1::SetEdit1(const std::string& bytes) {
  edit1Bytes_ = bytes;
  ui_->Edit1->setText(DisplayText(bytes));
}

void TForm1::SetEdit2(const std::string& bytes) {
  edit2Bytes_ = bytes;
  ui_->Edit2->setText(DisplayText(bytes));
}

QString TForm1::StatusText() const {
  return ui_->StatusBar1->text();
}

void TForm1::ShowMessage(const std::string& text) {
  dialogs_.Message(captionText_, text);
}

PhotoOptions TForm1::OptionsForPhoto() {
  return PhotoOptionsNow();
}

void TForm1::Notify(Notice, const std::string& text) {
  ShowMessage(text);
}

bool TForm1::Ask(Question, const std::string& text) {
  return dialogs_.YesNo(captionText_, text);
}

bool TForm1::PollCancel() {
  QCoreApplication::processEvents();
  return cancelRequested_;
}

RadioSelection TForm1::SelectedRadioButtons() const {
  RadioSelection selected;
  for (std::size_t n = 1; n < radio_.size(); ++n) selected[n] = radio_[n]->isChecked();
  return selected;
}

int TForm1::Quality() const {
  return ui_->TrackBar1->value();
}

void TForm1::AppendLog(const std::string& line) {
  ui_->Memo1->appendPlainText(DisplayText(line));
}

void TForm1::ClearLog() {
  ui_->Memo1->clear();
}

void TForm1::SetStatusText(const std::string& text) {
  ui_->StatusBar1->setText(DisplayText(text));
  ui_->StatusBar1->repaint();
}

void TForm1::SetProgress(int percent, int, int) {
  ui_->ProgressBar1->setValue(percent);
}

void TForm1::SetRunning(bool running) {
  if (running && !running_) {
    cancelRequested_ = false;
    subfolderButtonWasEnabled_ = ui_->BitBtn4->isEnabled();
  }
  if (running == running_) return;
  running_ = running;
  ui_->BitBtn2->setEnabled(!running);
  ui_->BitBtn3->setEnabled(running);
  ui_->ProgressBar1->setVisible(running);
  ui_->BitBtn8->setEnabled(!running);
  ui_->BitBtn1->setEnabled(!running);
  ui_->BitBtn4->setEnabled(!running && subfolderButtonWasEnabled_);
}

}  // namespace quorvale
