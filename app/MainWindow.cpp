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
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSlider>
#include <QStringList>
#include <QStyle>
#include <QTextCursor>
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
#include "folders/PathRules.h"
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
constexpr const char* InputBrowseTitle = "入力フォルダの選択";
constexpr const char* OutputBrowseTitle = "出力フォルダの選択";

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
// queued, and what needs an answer (a box) waits until the GUI thread has
// given it. Events queued to the window keep their order, so a log line
// always precedes the box that follows it. The options of a photo need no
// wait: the GUI thread publishes them whenever a control changes.
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

  // The print options of the run; set before each run starts.
  std::shared_ptr<PrintRun> print;

  // The per-photo options as the controls now show them, from the GUI thread.
  void Publish(const PhotoOptions& options) {
    const std::lock_guard lock(mutex_);
    published_ = options;
  }

  PhotoOptions OptionsForPhoto() override {
    const std::lock_guard lock(mutex_);
    return published_;
  }

  void RunStarted(int) override {
    start_ = std::chrono::steady_clock::now();
    Post([this] { window_.EnterRun(); });
  }

  void LeftOutOfRun(const LeftOut& leftOut) override {
    QStringList lines;
    for (const std::string& line : PassedOverTexts(PassedOver{}, leftOut)) lines << DisplayText(line);
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
    if (report.outcome == PhotoOutcome::Saved) {
      // What quorvale-batch names on standard error; a declined high-quality
      // reduction stays unlogged, as it always has.
      PhotoWarnings named = report.warnings;
      named.declined.reset();
      for (const std::string& line : WarningTexts(named, Wording::Locale)) {
        lines << DisplayText(line);
      }
    }
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
  PhotoOptions published_;
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
  for (const SizePreset& preset : SizeTable().first(ListedSizes)) {
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
  // Where the hidden trim check lies, so that no control of the layout moves.
  fitIndicator_ = new QLabel(client_);
  fitIndicator_->setObjectName("fitIndicator");
  fitIndicator_->setGeometry(256, 131, 209, 16);
  fitIndicator_->hide();
  FitCaptions(*client_);

  setAcceptDrops(true);
  captionText_ = MainCaption;
  setWindowTitle(DisplayText(captionText_));

  menus_ = new WindowMenus(*menuBar, dialogs_, captionText_);
  otherSizes_ = new QMenu(QStringLiteral("その他のサイズ(&Z)"), menuBar);
  otherSizes_->setObjectName("otherSizesMenu");
  menuBar->insertMenu(menuBar->actions().value(1), otherSizes_);
  for (std::size_t row = ListedSizes; row < SizeTable().size(); ++row) {
    const QString key = QStringLiteral("(&%1)").arg(row - ListedSizes + 1);
    QAction* item = otherSizes_->addAction(DisplayText(SizeCaption(SizeTable()[row])) + key);
    item->setObjectName("size" + CapitalisedId(SizeTable()[row].id) + "Action");
    item->setCheckable(true);
    connect(item, &QAction::triggered, this,
            [this, row](bool on) { ChooseOtherSize(on ? std::optional(row) : std::nullopt); });
    otherSizeItems_.push_back(item);
  }
  new WindowKeys(*this, *ui_->cancelButton, *menuBar);
  initial_.last = Controls();
  settings_ = OpenWindowSettings();
  const WindowSettings loaded = settings_ ? LoadWindowSettings(*settings_, initial_) : initial_;
  // The folders of the last session are where a dialog opens when both
  // fields are empty, whether or not the window reopens with them.
  lastBrowsed_ =
      !loaded.last.inputFolder.empty() ? loaded.last.inputFolder : loaded.last.outputFolder;
  menus_->Show(loaded.print, loaded.reopenLast);
  if (loaded.reopenLast) ShowControls(loaded.last);
  connect(menus_, &WindowMenus::Changed, this, [this] {
    ShowFit();
    relay_->Publish(PhotoOptionsNow());
    SaveSettings();
  });
  connect(menus_, &WindowMenus::ResetRequested, this, [this] { ResetSettings(); });
  connect(menus_, &WindowMenus::PreviewRequested, this, [this] { OpenPreview(); });
  // A run takes each photo's options from what is published here whenever
  // a control that sets them changes, and never waits for this thread.
  const auto publish = [this] { relay_->Publish(PhotoOptionsNow()); };
  for (QCheckBox* check :
       {ui_->trimCheck, ui_->skipSmallCheck, ui_->reduceCheck, ui_->highQualityCheck}) {
    connect(check, &QCheckBox::toggled, this, publish);
  }
  connect(ui_->qualitySlider, &QSlider::valueChanged, this, publish);
  connect(menus_, &WindowMenus::Changed, this, publish);
  publish();
  menus_->EnablePreview(!inputFolder_.empty());
  ShowFit();
  // The menu bar's height is known once it holds its menus.
  setFixedSize(client_->width(), menuBar->sizeHint().height() + client_->height());
  fullSize_ = size();
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
      if (!selected) return;
      if (otherSize_) ChooseOtherSize(std::nullopt);
      SizeChosen();
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
      FitScreen(where->availableGeometry().size());
      // The client area is centred; the frame is the window manager's.
      setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), where->geometry()));
    }
  }
  QWidget::setVisible(visible);
}

void MainWindow::FitScreen(const QSize& room) {
  const QSize full = fullSize_;
  if (full.width() <= room.width() && full.height() <= room.height()) return;
  // A screen too small for the window at its scale (a 1600 x 1200 one at
  // scale 2): the stored client area scrolls inside a window that fits.
  if (client_->parentWidget() == this) {
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("clientScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(client_);
    layout()->addWidget(scroll);
  }
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  setMinimumSize(0, 0);
  setMaximumSize(full + QSize(bar, bar));
  resize((full + QSize(bar, 0)).boundedTo(room));
}

bool MainWindow::AnyFixedSizeSelected() const {
  for (std::size_t row = 0; row < sizeButtons_.size(); ++row) {
    if (SizeTable()[row].kind == SizeKind::Fixed && sizeButtons_[row]->isChecked()) return true;
  }
  return false;
}

void MainWindow::ChooseOtherSize(std::optional<std::size_t> row) {
  otherSize_ = row;
  for (std::size_t n = 0; n < otherSizeItems_.size(); ++n) {
    otherSizeItems_[n]->setChecked(row == ListedSizes + n);
  }
  if (row) {
    // The list's button goes unchecked, so that a click on any of them,
    // the one checked before too, comes back to the list.
    if (QAbstractButton* listed = ui_->sizeButtons->checkedButton()) listedBefore_ = listed;
    ui_->sizeButtons->setExclusive(false);
    for (QAbstractButton* button : sizeButtons_) button->setChecked(false);
    ui_->sizeButtons->setExclusive(true);
    SizeChosen();
    SetStatus(QStringLiteral("サイズ: %1").arg(DisplayText(SizeCaption(SizeTable()[*row]))));
  } else if (ui_->sizeButtons->checkedButton() == nullptr) {
    (listedBefore_ != nullptr ? listedBefore_ : sizeButtons_.front())->setChecked(true);
  }
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
  ShowFit();
}

FolderListing MainWindow::ListInput() const {
  return ScanInputFolder(inputFolder_, !ui_->noSubfoldersCheck->isChecked(),
                         menus_->Print().allJpegNames, menus_->Print().allPhotos);
}

void MainWindow::ShowListing(const FolderListing& listing) {
  lastScan_ = listing.counts;
  ui_->logView->clear();
  for (const std::string& path : listing.files) AppendLog(DisplayText(path));
  // The folder itself, when it cannot be listed (a dropped file), lists
  // nothing as it always has; its subfolders are named.
  LeftOut passedOver;
  passedOver.earlierOutputs = listing.earlier;
  for (const UnlistedFolder& folder : listing.unlisted) {
    if (WithSeparator(folder.path) != WithSeparator(inputFolder_)) {
      passedOver.unlisted.push_back(folder);
    }
  }
  PassedOver files;
  files.otherJpegNames = listing.counts.OtherJpegNameCount;
  files.heifNames = listing.counts.HeifNameCount;
  files.pngNames = listing.counts.PngNameCount;
  for (const std::string& line : PassedOverTexts(files, passedOver)) {
    AppendLog(DisplayText(line));
  }
  SetStatus(DisplayText(ScanSummaryText(listing.counts)));
}

std::string MainWindow::BrowseStart(const std::string& own, const std::string& other) const {
  if (!own.empty()) return own;
  if (!other.empty()) return other;
  return lastBrowsed_;
}

std::optional<std::string> MainWindow::BrowseFor(const char* title, const std::string& start) {
  const FolderChoice choice = AcceptBrowsedFolder(dialogs_.BrowseFolder(title, start));
  if (!choice.message.empty()) ShowMessage(choice.message);
  if (choice.folder) lastBrowsed_ = *choice.folder;
  return choice.folder;
}

void MainWindow::BrowseInputFolder() {
  const std::optional<std::string> folder =
      BrowseFor(InputBrowseTitle, BrowseStart(inputFolder_, outputFolder_));
  if (!folder) return;
  SetInputFolder(*folder);
  ShowListing(ListInput());
}

void MainWindow::BrowseOutputFolder() {
  const std::optional<std::string> folder =
      BrowseFor(OutputBrowseTitle, BrowseStart(outputFolder_, inputFolder_));
  if (!folder) return;
  SetOutputFolder(*folder);
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
  ShowListing(ListInput());
}

RunChoices MainWindow::ChoicesForRun() const {
  return WindowRunChoices(Controls(), menus_->Print(), crops_);
}

RunOptions MainWindow::OptionsForRun() const {
  return PlanRun(ChoicesForRun()).options;
}

PhotoOptions MainWindow::PhotoOptionsNow() const {
  return {ui_->trimCheck->isChecked(), ui_->skipSmallCheck->isChecked(),
          ui_->reduceCheck->isChecked(), ui_->highQualityCheck->isChecked(), Quality(),
          menus_->Print().fit,
          // The frame is in pixels of the size fixed at the press of Run.
          runActive_ ? runFrame_ : FrameNow()};
}

int MainWindow::FrameNow() const {
  if (menus_->Print().fit != Fit::Border) return 0;
  return FrameMargin(ChosenSize(), menus_->Print().margin);
}

void MainWindow::ShowFit() {
  const PrintSettings& print = menus_->Print();
  fitIndicator_->setVisible(print.fit == Fit::Border);
  fitIndicator_->setText(
      print.margin == 0 ? QStringLiteral("フチあり（フチの幅なし）")
                        : QStringLiteral("フチあり（フチの幅 %1 %2）")
                              .arg(print.margin)
                              .arg(ChosenSize().Preset().kind == SizeKind::Fixed ? "px" : "mm"));
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
  runFrame_ = options.photo.margin;
  relay_->Publish(options.photo);
  relay_->print = print;
  runThread_ = std::thread([this, options, stop = stop_.get_token()] {
    std::exception_ptr error;
    QStringList passedOver;
    try {
      const RunOutcome outcome = RunBatch(options, *relay_, stop);
      // A run that started told what it left out before its first photo.
      for (const std::string& line :
           PassedOverTexts(outcome.passedOver, outcome.started ? LeftOut{} : outcome.leftOut)) {
        passedOver << DisplayText(line);
      }
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(
        this,
        [this, error, passedOver] {
          for (const QString& line : passedOver) AppendLog(line);
          RunThreadEnded(error);
        },
        Qt::QueuedConnection);
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
  // The status line says the run is over while its box is up.
  SetStatus(DisplayText(summary));
  ShowMessage(summary);
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
  if (otherSize_) chosen.preset = *otherSize_;
  for (std::size_t n = 0; n < dpiButtons_.size(); ++n) {
    if (dpiButtons_[n]->isChecked()) chosen.dpi = PrintResolutions()[n];
  }
  return chosen;
}

int MainWindow::Quality() const {
  return ui_->qualitySlider->value();
}

void MainWindow::AppendLog(const QString& line) {
  QPlainTextEdit& log = *ui_->logView;
  log.appendPlainText(line);
  // The cursor, which the first line carried to its end, goes to the start
  // of the last line: a showing then scrolls to the latest line's start,
  // not to the right where long paths end.
  QTextCursor cursor = log.textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.movePosition(QTextCursor::StartOfBlock);
  log.setTextCursor(cursor);
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
  otherSizes_->setEnabled(!running);
  menus_->SetRunning(running);
  menus_->EnablePreview(!running && !inputFolder_.empty());
}

void MainWindow::OpenPreview() {
  if (inputFolder_.empty() || running_) return;
  PreviewSubject subject;
  subject.inputFolder = inputFolder_;
  subject.photos = ListInput().files;
  subject.target = TargetSize(ChosenSize());
  subject.fit = menus_->Print().fit;
  subject.margin = FrameNow();
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
  std::optional<std::size_t> other;
  for (std::size_t row = 0; row < SizeTable().size(); ++row) {
    if (controls.size != SizeTable()[row].id) continue;
    if (row < sizeButtons_.size())
      sizeButtons_[row]->setChecked(true);
    else
      other = row;
  }
  ChooseOtherSize(other);
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
    ShowListing(ListInput());
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
