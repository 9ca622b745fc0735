#include "app/MainWindow.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMenuBar>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QStringList>
#include <QStyle>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>

#include "app/Application.h"
#include "app/DisplayText.h"
#include "app/Fonts.h"
#include "app/PreviewWindow.h"
#include "app/PrintRun.h"
#include "app/Resources.h"
#include "app/SplashScreen.h"
#include "app/WindowKeys.h"
#include "app/WindowMenus.h"
#include "batch/BatchRun.h"
#include "batch/RunEvents.h"
#include "folders/FolderChoice.h"
#include "folders/FolderScan.h"
#include "messages/Messages.h"
#include "messages/RunClock.h"
#include "platform/FileSystem.h"
#include "ui_MainWindow.h"

namespace quorvale {

namespace {

constexpr const char* MainCaption = "Quorvale（Tessaly付属ツール）";
constexpr const char* SubfolderPromptCaption = "サブフォルダの作成";
constexpr const char* SubfolderPromptText = "作成するサブフォルダ名";
constexpr int SubfolderNameMaxChars = 255;

QIcon Glyph(const char* name) {
  return QIcon(QPixmap(QString(":/quorvale/") + name));
}

QString CapitalisedId(const char* id) {
  QString word;
  bool capital = true;
  for (const char* c = id; *c != '\0'; ++c) {
    if (*c == '-') {
      capital = true;
      continue;
    }
    word += capital ? QChar(*c).toUpper() : QChar(*c);
    capital = false;
  }
  return word;
}

}  // namespace

QString SizeButtonName(const SizePreset& size) {
  return "size" + CapitalisedId(size.id) + "Button";
}

QString ResolutionButtonName(int dpi) {
  return QStringLiteral("dpi%1Button").arg(dpi);
}

// The window's listener of a run. It is called on the run's thread and
// hands every event to the GUI thread: what only changes the window is
// queued, and what needs an answer (a box, the options of a photo) waits
// until the GUI thread has given it. Events queued to the window keep
// their order, so a log line always precedes the box that follows it.
class MainWindow::Relay final : public RunListener {
 public:
  explicit Relay(MainWindow& window) : window_(window) {}

  // The window is going away: every hand-off waiting or still to come is
  // answered at once, a question with Yes (stop).
  void Abandon() {
    {
      std::lock_guard lock(mutex_);
      abandoned_ = true;
    }
    answered_.notify_all();
  }

  // What OptionsForPhoto answers once abandoned, and the print options of
  // the run; set before each run starts.
  PhotoOptions optionsAtStart;
  std::shared_ptr<PrintRun> print;

  PhotoOptions OptionsForPhoto() override {
    return HandOff([this] { return window_.PhotoOptionsNow(); }, optionsAtStart);
  }

  void RunStarted(int) override {
    start_ = std::chrono::steady_clock::now();
    Post([this] { window_.EnterRun(); });
  }

  void LeftOutOfRun(const LeftOut& leftOut) override {
    QStringList lines;
    for (const std::string& line : LeftOutLines(leftOut)) lines << DisplayText(line);
    Post([this, lines] {
      for (const QString& line : lines) window_.AppendLog(line);
    });
  }

  void PhotoStarted(std::size_t, const std::string& path) override {
    Post([this, line = DisplayText(path)] { window_.AppendLog(line); });
  }

  void PhotoFinished(const PhotoReport& report) override {
    print->PhotoFinished(report);
    QStringList lines;
    for (const std::string& line : PhotoLogLines(report)) lines << DisplayText(line);
    // A stop inside the high-quality reduction clears the status line.
    const bool clearStatus =
        report.outcome == PhotoOutcome::Stopped && report.stop == StopCause::InReduction;
    if (lines.isEmpty() && !clearStatus) return;
    Post([this, lines, clearStatus] {
      for (const QString& line : lines) window_.AppendLog(line);
      if (clearStatus) window_.SetStatus(QString());
    });
  }

  void Notify(const RunNotice& notice) override {
    HandOff(
        [this, text = NoticeText(notice)] {
          window_.ShowMessage(text);
          return true;
        },
        true);
  }

  bool Ask(const RunQuestion& question) override {
    if (const std::optional<bool> given = print->Answer(question)) return *given;
    return HandOff(
        [this, text = QuestionText(question)] {
          return window_.dialogs_.YesNo(window_.captionText_, text);
        },
        true);
  }

  void Progress(const RunProgress& progress) override {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    // The time goes on the progress bar, so the status line keeps its text.
    const QString times =
        "%p%　" + DisplayText(TimeLeftText(elapsed, ProgressCount{progress.done, progress.total}));
    Post([this, percent = progress.percent, status = DisplayText(ProgressText(progress)), times] {
      window_.ui_->progressBar->setFormat(times);
      window_.ui_->progressBar->setValue(percent);
      window_.SetStatus(status);
    });
  }

  void RunFinished(bool stopped, const RunCounts& counts) override {
    HandOff(
        [this, summary = SummaryText(stopped, counts)] {
          window_.FinishRun(summary);
          return true;
        },
        true);
  }

 private:
  template <typename Work>
  void Post(Work work) {
    QMetaObject::invokeMethod(&window_, std::move(work), Qt::QueuedConnection);
  }

  // Runs `work` on the GUI thread and returns its answer, or throws what it
  // threw; `otherwise` once the window is going away.
  template <typename Work, typename T = std::invoke_result_t<Work>>
  T HandOff(Work work, T otherwise) {
    struct Answer {
      std::optional<T> value;
      std::exception_ptr error;
    };
    // Shared with the queued call, which may outlive a wait cut short.
    auto answer = std::make_shared<Answer>();
    Post([this, answer, work = std::move(work)] {
      Answer given;
      try {
        given.value = work();
      } catch (...) {
        given.error = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        *answer = std::move(given);
      }
      answered_.notify_all();
    });
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return answer->value || answer->error || abandoned_; });
    if (answer->error) std::rethrow_exception(answer->error);
    return answer->value ? *answer->value : otherwise;
  }

  MainWindow& window_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable answered_;
  bool abandoned_ = false;
};

MainWindow::MainWindow(Dialogs& dialogs)
    : ui_(new Ui::MainWindow), dialogs_(dialogs), relay_(std::make_unique<Relay>(*this)) {
  InitResources();
  // The stored layout fills a client area of its own, so that its places
  // stay those of the layout with the menu bar above it.
  client_ = new QWidget(this);
  client_->setObjectName("clientArea");
  ui_->setupUi(client_);
  client_->setFixedSize(client_->size());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  auto* menuBar = new QMenuBar(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(menuBar);
  layout->addWidget(client_);

  setFont(WindowFont());
  client_->setFont(WindowFont());
  for (const SizePreset& preset : SizeTable()) {
    sizeButtons_.push_back(findChild<QAbstractButton*>(SizeButtonName(preset)));
  }
  for (const std::int32_t dpi : PrintResolutions()) {
    dpiButtons_.push_back(findChild<QAbstractButton*>(ResolutionButtonName(dpi)));
  }
  ui_->sizeGroup->setFont(ColumnHeadingFont());
  for (QLabel* label : ui_->sizeGroup->findChildren<QLabel*>()) label->setFont(WindowFont());
  ui_->fixedSizesHeading->setFont(ColumnHeadingFont());
  for (QAbstractButton* button : ui_->sizeButtons->buttons()) button->setFont(FixedPitchFont());
  SetGlyphs();
  ConnectHandlers();

  setAcceptDrops(true);
  captionText_ = MainCaption;
  setWindowTitle(DisplayText(captionText_));

  new WindowKeys(*this, *ui_->cancelButton);
  menus_ = new WindowMenus(*menuBar, dialogs_, captionText_);
  initial_.last = Controls();
  settings_ = OpenWindowSettings();
  const WindowSettings loaded = settings_ ? LoadWindowSettings(*settings_, initial_) : initial_;
  menus_->Show(loaded.print, loaded.reopenLast);
  if (loaded.reopenLast) ShowControls(loaded.last);
  connect(menus_, &WindowMenus::Changed, this, [this] { SaveSettings(); });
  connect(menus_, &WindowMenus::ResetRequested, this, [this] { ResetSettings(); });
  connect(menus_, &WindowMenus::PreviewRequested, this, [this] { OpenPreview(); });
  menus_->EnablePreview(!inputFolder_.empty());
  // The menu bar's height is known once it holds its menus.
  setFixedSize(client_->width(), menuBar->sizeHint().height() + client_->height());
  layout->activate();
}

MainWindow::~MainWindow() {
  if (!runThread_.joinable()) return;
  stop_.request_stop();
  relay_->Abandon();
  runThread_.join();
}

void MainWindow::SetGlyphs() {
  const QIcon folder = Glyph("open-folder.xpm");
  ui_->browseInputButton->setIcon(folder);
  ui_->browseOutputButton->setIcon(folder);
  ui_->newSubfolderButton->setIcon(Glyph("new-folder.xpm"));
  ui_->cancelButton->setIcon(Glyph("stop.xpm"));
  for (QPushButton* button :
       {ui_->browseInputButton, ui_->browseOutputButton, ui_->newSubfolderButton}) {
    button->setIconSize(QSize(16, 16));
  }
  ui_->cancelButton->setIconSize(QSize(32, 32));

  // One strip holds the enabled picture and, beside it, the disabled one.
  const QPixmap strip(":/quorvale/run.xpm");
  QIcon run;
  run.addPixmap(strip.copy(0, 0, 18, 18), QIcon::Normal);
  run.addPixmap(strip.copy(18, 0, 18, 18), QIcon::Disabled);
  ui_->runButton->setIcon(run);
  ui_->runButton->setIconSize(QSize(18, 18));
}

void MainWindow::ConnectHandlers() {
  connect(ui_->reduceCheck, &QCheckBox::toggled, this, [this] { ReductionToggled(); });
  for (QAbstractButton* button : ui_->sizeButtons->buttons()) {
    connect(button, &QAbstractButton::toggled, this, [this](bool selected) {
      if (selected) SizeChosen();
    });
  }
  connect(ui_->browseInputButton, &QPushButton::clicked, this, [this] { BrowseInputFolder(); });
  connect(ui_->browseOutputButton, &QPushButton::clicked, this, [this] { BrowseOutputFolder(); });
  connect(ui_->newSubfolderButton, &QPushButton::clicked, this, [this] { CreateSubfolder(); });
  connect(ui_->runButton, &QPushButton::clicked, this, [this] { StartRun(); });
  connect(ui_->cancelButton, &QPushButton::clicked, this, [this] { CancelRun(); });

  // The scale under the quality slider has numbers every 50 only: the value
  // itself is the slider's tooltip, and shows over the handle at once while
  // the slider is dragged or moved by the keys.
  ui_->qualitySlider->setToolTip(QString::number(Quality()));
  connect(ui_->qualitySlider, &QSlider::valueChanged, this, [this](int value) {
    QSlider& slider = *ui_->qualitySlider;
    slider.setToolTip(QString::number(value));
    if (!slider.isSliderDown() && !slider.hasFocus()) return;
    const int x =
        QStyle::sliderPositionFromValue(slider.minimum(), slider.maximum(), value, slider.width());
    QToolTip::showText(slider.mapToGlobal(QPoint(x, 0)), slider.toolTip(), &slider);
  });
}

void MainWindow::setVisible(bool visible) {
  // The splash is shown, and closes, before the main window first appears.
  if (visible && !splashShown_) {
    splashShown_ = true;
    SplashScreen splash(dialogs_, this);
    dialogs_.RunModal(splash);
    if (const QScreen* where = screen()) {
      // The client area is centred; the frame is the window manager's.
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), where->geometry()));
    }
  }
  QWidget::setVisible(visible);
}

bool MainWindow::AnyFixedSizeSelected() const {
  for (std::size_t row = 0; row < sizeButtons_.size(); ++row) {
    if (SizeTable()[row].kind == SizeKind::Fixed && sizeButtons_[row]->isChecked()) return true;
  }
  return false;
}

void MainWindow::EnableResolutionButtons(bool enabled) {
  for (QAbstractButton* button : dpiButtons_) button->setEnabled(enabled);
}

void MainWindow::ReductionToggled() {
  const bool reduce = ui_->reduceCheck->isChecked();
  ui_->reductionGroup->setEnabled(reduce);
  EnableResolutionButtons(reduce && !AnyFixedSizeSelected());
  ui_->highQualityCheck->setEnabled(reduce);
}

void MainWindow::SizeChosen() {
  if (AnyFixedSizeSelected()) {
    ui_->reduceCheck->setChecked(true);
    if (ui_->reduceCheck->isChecked()) EnableResolutionButtons(false);
  } else if (ui_->reduceCheck->isChecked()) {
    EnableResolutionButtons(true);
  }
}

void MainWindow::ShowListing(const FolderListing& listing) {
  lastScan_ = listing.counts;
  ui_->logView->clear();
  for (const std::string& path : listing.files) AppendLog(DisplayText(path));
  SetStatus(DisplayText(ScanSummaryText(listing.counts)));
}

void MainWindow::BrowseInputFolder() {
  const FolderChoice choice = AcceptBrowsedFolder(dialogs_.BrowseFolder());
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (!choice.folder) return;
  SetInputFolder(*choice.folder);
  ShowListing(ScanInputFolder(InputFolderText(), !ui_->noSubfoldersCheck->isChecked()));
}

void MainWindow::BrowseOutputFolder() {
  const FolderChoice choice = AcceptBrowsedFolder(dialogs_.BrowseFolder());
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (!choice.folder) return;
  SetOutputFolder(*choice.folder);
  ui_->newSubfolderButton->setEnabled(true);
}

void MainWindow::CreateSubfolder() {
  const std::optional<std::string> typed =
      dialogs_.PromptText(SubfolderPromptCaption, SubfolderPromptText, SubfolderNameMaxChars);
  if (!typed) return;
  const FolderChoice choice = CreateOutputSubfolder(OutputFolderText(), *typed);
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (choice.folder) SetOutputFolder(*choice.folder);
}

void MainWindow::DropFolders(const std::vector<std::string>& items) {
  raise();
  activateWindow();
  // The folders of a run are fixed when Run is pressed.
  if (runActive_) return;
  const std::optional<std::string> first = FirstDroppedFolder(items);
  if (!first) return;
  SetInputFolder(*first);
  ShowListing(ScanInputFolder(InputFolderText(), !ui_->noSubfoldersCheck->isChecked()));
}

RunChoices MainWindow::ChoicesForRun() const {
  return WindowRunChoices(Controls(), menus_->Print(), crops_);
}

RunOptions MainWindow::OptionsForRun() const {
  return PlanRun(ChoicesForRun()).options;
}

PhotoOptions MainWindow::PhotoOptionsNow() const {
  return {ui_->trimCheck->isChecked(),
          ui_->skipSmallCheck->isChecked(),
          ui_->reduceCheck->isChecked(),
          ui_->highQualityCheck->isChecked(),
          Quality(),
          menus_->Print().fit};
}

void MainWindow::StartRun() {
  // The checks and the scan run on the run's thread too; until they have
  // passed the window shows no change, but a second press waits its turn.
  if (runActive_) return;
  const RunPlan plan = PlanRun(ChoicesForRun());
  const RunOptions& options = plan.options;
  auto print = std::make_shared<PrintRun>(menus_->Print(), plan);
  if (const std::string refused = print->OpenReport(); !refused.empty()) {
    ShowMessage(refused);
    return;
  }
  SaveSettings();
  printRun_ = print;
  stop_ = std::stop_source();
  relay_->optionsAtStart = options.photo;
  relay_->print = print;
  runThread_ = std::thread([this, options, stop = stop_.get_token()] {
    std::exception_ptr error;
    try {
      RunBatch(options, *relay_, stop);
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(
        this, [this, error] { RunThreadEnded(error); }, Qt::QueuedConnection);
  });
  runActive_ = true;
}

void MainWindow::CancelRun() {
  stop_.request_stop();
}

void MainWindow::EnterRun() {
  SetRunning(true);
  ui_->logView->clear();
  ui_->progressBar->setValue(0);
  ui_->progressBar->setFormat("%p%");
  ui_->progressBar->setTextVisible(true);
}

void MainWindow::FinishRun(const std::string& summary) {
  ShowMessage(summary);
  SetStatus(DisplayText(summary));
  SetRunning(false);
  const PrintRun::End report = printRun_->Finish(summary);
  if (!report.error.empty()) ShowMessage(report.error);
  if (!report.url.empty()) dialogs_.OpenUrl(report.url);
}

void MainWindow::RunThreadEnded(std::exception_ptr error) {
  runThread_.join();
  runActive_ = false;
  if (error) {
    // As for an error escaping any handler: the application's error box.
    SetRunning(false);
    if (auto* application = dynamic_cast<Application*>(QCoreApplication::instance())) {
      application->ReportError(error);
    }
  }
  if (closePending_) close();
  emit RunEnded();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A close during a run stops it, and is carried out once the run (with
  // its questions and its summary) has ended.
  if (runActive_) {
    closePending_ = true;
    stop_.request_stop();
    event->ignore();
    return;
  }
  SaveSettings();
  QWidget::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> items;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) items.push_back(LocalFileBytes(url));
  }
  event->acceptProposedAction();
  DropFolders(items);
}

void MainWindow::SetInputFolder(const std::string& bytes) {
  // The positions are keyed by paths under the folder they were chosen in.
  if (bytes != inputFolder_) crops_.clear();
  inputFolder_ = bytes;
  if (menus_ != nullptr) menus_->EnablePreview(!running_ && !bytes.empty());
  ui_->inputFolderEdit->setText(DisplayText(bytes));
}

void MainWindow::SetOutputFolder(const std::string& bytes) {
  outputFolder_ = bytes;
  ui_->outputFolderEdit->setText(DisplayText(bytes));
}

QString MainWindow::StatusText() const {
  return ui_->statusLine->text();
}

void MainWindow::ShowMessage(const std::string& text) {
  dialogs_.Message(captionText_, text);
}

SizeChoice MainWindow::ChosenSize() const {
  // Each group holds one checked button, which the layout checks at start.
  SizeChoice chosen;
  for (std::size_t row = 0; row < sizeButtons_.size(); ++row) {
    if (sizeButtons_[row]->isChecked()) chosen.preset = row;
  }
  for (std::size_t n = 0; n < dpiButtons_.size(); ++n) {
    if (dpiButtons_[n]->isChecked()) chosen.dpi = PrintResolutions()[n];
  }
  return chosen;
}

int MainWindow::Quality() const {
  return ui_->qualitySlider->value();
}

void MainWindow::AppendLog(const QString& line) {
  ui_->logView->appendPlainText(line);
}

void MainWindow::SetStatus(const QString& text) {
  ui_->statusLine->setText(text);
}

void MainWindow::SetRunning(bool running) {
  if (running == running_) return;
  if (running) subfolderButtonWasEnabled_ = ui_->newSubfolderButton->isEnabled();
  running_ = running;
  ui_->runButton->setEnabled(!running);
  ui_->cancelButton->setEnabled(running);
  ui_->progressBar->setVisible(running);
  ui_->browseInputButton->setEnabled(!running);
  ui_->browseOutputButton->setEnabled(!running);
  ui_->newSubfolderButton->setEnabled(!running && subfolderButtonWasEnabled_);
  for (QAbstractButton* button : ui_->sizeButtons->buttons()) button->setEnabled(!running);
  menus_->SetRunning(running);
  menus_->EnablePreview(!running && !inputFolder_.empty());
}

void MainWindow::OpenPreview() {
  if (inputFolder_.empty() || running_) return;
  PreviewSubject subject;
  subject.inputFolder = inputFolder_;
  subject.photos = ScanInputFolder(inputFolder_, !ui_->noSubfoldersCheck->isChecked()).files;
  subject.target = TargetSize(ChosenSize());
  subject.fit = menus_->Print().fit;
  subject.autoOrient = menus_->Print().autoOrient;
  subject.positions = crops_;
  auto* preview = new PreviewWindow(subject, dialogs_, captionText_, this);
  preview->setAttribute(Qt::WA_DeleteOnClose);
  preview->setWindowModality(Qt::WindowModal);
  connect(preview, &PreviewWindow::Changed, this,
          [this, preview] { crops_ = preview->Positions(); });
  preview->show();
}

WindowControls MainWindow::Controls() const {
  WindowControls controls;
  controls.inputFolder = inputFolder_;
  controls.outputFolder = outputFolder_;
  const SizeChoice size = ChosenSize();
  controls.size = size.Preset().id;
  controls.dpi = size.dpi;
  controls.trim = ui_->trimCheck->isChecked();
  controls.reduce = ui_->reduceCheck->isChecked();
  controls.highQuality = ui_->highQualityCheck->isChecked();
  controls.quality = Quality();
  controls.noSubfolders = ui_->noSubfoldersCheck->isChecked();
  controls.skipSmall = ui_->skipSmallCheck->isChecked();
  return controls;
}

void MainWindow::ShowControls(const WindowControls& controls) {
  for (std::size_t row = 0; row < sizeButtons_.size(); ++row) {
    if (controls.size == SizeTable()[row].id) sizeButtons_[row]->setChecked(true);
  }
  for (std::size_t n = 0; n < dpiButtons_.size(); ++n) {
    if (controls.dpi == PrintResolutions()[n]) dpiButtons_[n]->setChecked(true);
  }
  ui_->trimCheck->setChecked(controls.trim);
  ui_->reduceCheck->setChecked(controls.reduce);
  ui_->highQualityCheck->setChecked(controls.highQuality);
  ui_->qualitySlider->setValue(controls.quality);
  ui_->noSubfoldersCheck->setChecked(controls.noSubfolders);
  ui_->skipSmallCheck->setChecked(controls.skipSmall);
  // The option rules, as if the operator had clicked to this state.
  ReductionToggled();
  SizeChosen();

  const auto folder = [](const std::string& path) {
    return !path.empty() && IsUsableFolder(path) ? path : std::string();
  };
  SetOutputFolder(folder(controls.outputFolder));
  ui_->newSubfolderButton->setEnabled(!outputFolder_.empty());
  SetInputFolder(folder(controls.inputFolder));
  if (inputFolder_.empty()) {
    lastScan_ = ScanCounts{};
    ui_->logView->clear();
    SetStatus(QString());
  } else {
    ShowListing(ScanInputFolder(InputFolderText(), !ui_->noSubfoldersCheck->isChecked()));
  }
}

void MainWindow::SaveSettings() {
  if (settings_)
    SaveWindowSettings(*settings_, {menus_->Print(), menus_->ReopenLast(), Controls()});
}

void MainWindow::ResetSettings() {
  menus_->Show(initial_.print, initial_.reopenLast);
  ShowControls(initial_.last);
  SaveSettings();
}

}  // namespace quorvale
