// Renders the pictures of the README into DOCS_FOLDER: the splash, the main
// window (menu bar included) after an input and an output folder of drawn
// photos have been chosen, the same window with its オプション menu open,
// its 確認 window with every thumbnail in, and, when a browser is given, a
// crop report of a dry run over a few drawn photos as headless Chromium
// shows it. Everything is made under the system's temporary folder and
// removed again; the settings the window reads and writes are kept there
// too, so the pictures never show the user's own.
// The screen is 1600 x 1200 pixels; run with QT_SCALE_FACTOR=2, the program
// draws only main-window@2x.png and preview@2x.png, the two windows as that
// screen shows them at scale 2 (in device pixels).
//
// Usage: quorvale_screenshots DOCS_FOLDER [QUORVALE_BATCH CHROMIUM]

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <fstream>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/PreviewWindow.h"
#include "app/SplashScreen.h"

namespace {

// Browsing answers the prepared folders in turn; nothing else is shown.
class DemoDialogs : public quorvale::Dialogs {
 public:
  QStringList folders;

  std::string BrowseFolder(const std::string&, const std::string&) override {
    return folders.isEmpty() ? std::string() : folders.takeFirst().toStdString();
  }
  std::string SaveFilePath(const std::string&, const std::string&) override { return {}; }
  std::string CropFilePath(bool, const std::string&) override { return {}; }
  std::optional<std::string> PromptText(const std::string&, const std::string&, int) override {
    return std::nullopt;
  }
  void Message(const std::string&, const std::string&) override {}
  bool YesNo(const std::string&, const std::string&, bool) override { return false; }
  void ErrorBox(const std::string&, const std::string&) override {}
  void OpenUrl(const std::string&) override {}
  void RunModal(QDialog&) override {}
};

// Full colour; the screenshots target reduces the pictures to 256 colours
// afterwards when pngquant is there.
bool SavePicture(const QImage& picture, const QString& path) {
  if (picture.convertToFormat(QImage::Format_RGB32).save(path, "PNG", 9)) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

bool Save(QWidget& window, const QString& path) {
  return SavePicture(window.grab().toImage(), path);
}

// The window with its options menu open below the menu bar: the menu is a
// window of its own, so it is grabbed apart and drawn over the window.
bool SaveWithOptionsMenu(quorvale::MainWindow& window, const QString& path) {
  auto* bar = window.findChild<QMenuBar*>();
  auto* menu = window.findChild<QMenu*>("optionsMenu");
  if (bar == nullptr || menu == nullptr) return false;
  for (const char* name : {"autoOrientAction", "keepMetadataAction", "writeDpiAction"}) {
    if (auto* item = window.findChild<QAction*>(name)) item->setChecked(true);
  }
  window.show();
  bar->setActiveAction(menu->menuAction());
  const QPoint at = bar->actionGeometry(menu->menuAction()).bottomLeft() + QPoint(0, 1);
  menu->setActiveAction(window.findChild<QAction*>("writeDpiAction"));
  const QPixmap shown = menu->grab();
  const QPixmap under = window.grab();
  QImage picture(qMax(under.width(), at.x() + shown.width()),
                 qMax(under.height(), at.y() + shown.height()), QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.drawPixmap(0, 0, under);
  painter.drawPixmap(at, shown);
  painter.setPen(QColor(0x80, 0x80, 0x80));
  painter.drawRect(QRect(at, shown.size()).adjusted(0, 0, -1, -1));
  painter.end();
  menu->hide();
  window.hide();
  return SavePicture(picture, path);
}

// The 確認 window on the chosen folders, once every thumbnail is in (or a
// minute has passed), with one photo selected.
bool SavePreview(quorvale::MainWindow& window, const QString& path) {
  window.OpenPreview();
  auto* preview = window.findChild<quorvale::PreviewWindow*>();
  if (preview == nullptr) {
    std::fprintf(stderr, "the preview did not open\n");
    return false;
  }
  const quorvale::PreviewModel& model = preview->Model();
  const auto settled = [&] {
    for (int row = 0; row < model.rowCount(); ++row) {
      const auto state = model.Photo(row).state;
      if (state != quorvale::PreviewPhoto::State::Shown &&
          state != quorvale::PreviewPhoto::State::Failed) {
        return false;
      }
    }
    return true;
  };
  const QDeadlineTimer deadline(60000);
  while (!settled() && !deadline.hasExpired()) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  if (model.rowCount() > 1) preview->PhotoList().setCurrentIndex(model.index(1, 0));
  const bool saved = Save(*preview, path);
  preview->close();
  return saved;
}

// A made-up photo: sky, ground, a sun and a figure, in colours of its own.
void DrawPhoto(const QString& path, int width, int height, int hue) {
  QImage photo(width, height, QImage::Format_RGB32);
  QPainter painter(&photo);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0, QColor::fromHsv(hue, 120, 240));
  sky.setColorAt(0.6, QColor::fromHsv((hue + 40) % 360, 90, 250));
  sky.setColorAt(0.61, QColor::fromHsv((hue + 120) % 360, 140, 150));
  sky.setColorAt(1, QColor::fromHsv((hue + 140) % 360, 160, 90));
  painter.fillRect(photo.rect(), sky);
  painter.setPen(Qt::NoPen);
  const int unit = qMin(width, height) / 10;
  painter.setBrush(QColor(255, 236, 190));
  painter.drawEllipse(QPoint(width / 2, height / 2 - 2 * unit), unit, unit);
  painter.setBrush(QColor(60, 62, 70));
  painter.drawRect(width / 2 - unit, height / 2 - unit, 2 * unit, 4 * unit);
  painter.end();
  photo.save(path, "JPEG", 85);
}

// A dry run's crop report over a few photos of different shapes, one of
// them small and one not a JPEG at all, drawn by the browser.
bool SaveReport(const QDir& root, const QString& batch, const QString& browser,
                const QString& path) {
  const QString input = root.filePath("photos");
  root.mkpath("photos/2024-summer");
  root.mkpath("photos/2024-autumn");
  const struct {
    const char* name;
    int width, height;
  } photos[] = {
      {"2024-summer/IMG_4001.jpg", 1600, 1200}, {"2024-summer/IMG_4002.jpg", 1200, 1600},
      {"2024-summer/PXL_0917.jpg", 2000, 900},  {"2024-autumn/IMG_4004.jpg", 1500, 1500},
      {"2024-autumn/IMG_4005.jpg", 1600, 1067}, {"2024-autumn/small.jpg", 300, 200},
  };
  int hue = 10;
  for (const auto& photo : photos) {
    DrawPhoto(QDir(input).filePath(photo.name), photo.width, photo.height, hue);
    hue = (hue + 67) % 360;
  }
  std::ofstream(QDir(input).filePath("2024-autumn/notes.jpg").toStdString()) << "notes\n";

  const QString report = root.filePath("report.html");
  QProcess run;
  run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  run.setStandardOutputFile(QProcess::nullDevice());
  run.start(batch, {"--size", "L", "--dpi", "300", "--reduce", "--dry-run", "--report", report,
                    input, root.filePath("prints")});
  if (!run.waitForFinished(120000) || run.exitCode() > 1) {
    std::fprintf(stderr, "%s did not write the report\n", qPrintable(batch));
    return false;
  }

  const QString shot = root.filePath("report.png");
  QProcess draw;
  draw.setProcessChannelMode(QProcess::MergedChannels);
  draw.start(browser, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                       "--screenshot=" + shot, "--window-size=960,800",
                       QUrl::fromLocalFile(report).toString()});
  if (!draw.waitForFinished(120000) || !QImage(shot).width()) {
    std::fprintf(stderr, "%s did not draw the report:\n%s\n", qPrintable(browser),
                 draw.readAll().constData());
    return false;
  }
  return SavePicture(QImage(shot), path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: %s DOCS_FOLDER [QUORVALE_BATCH CHROMIUM]\n", argv[0]);
    return 2;
  }
  QTemporaryDir work(QDir::tempPath() + "/qv-XXXXXX");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    const QString screen = work.filePath("screen.json");
    std::ofstream(screen.toStdString())
        << R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1600, "height": 1200,)"
        << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).toLocal8Bit());
  }
  const bool scale2 = qgetenv("QT_SCALE_FACTOR") == "2";
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.path());
  quorvale::Application app(argc, argv);
  // Absolute now: the main window makes its own folder current.
  const QDir docs(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());

  const QDir root(work.path());
  const QString input = root.filePath("運動会");
  const QString output = root.filePath("プリント");
  root.mkpath(input + "/午前");
  root.mkpath(input + "/午後");
  root.mkpath(output);
  const struct {
    const char* name;
    int width, height;
  } photos[] = {
      {"IMG_0412.JPG", 1200, 900},      {"IMG_0413.JPG", 900, 1200},
      {"午前/IMG_0398.jpg", 1200, 800}, {"午前/IMG_0401.jpg", 1000, 1000},
      {"午後/IMG_0455.jpg", 1400, 630}, {"午後/IMG_0460.jpg", 1200, 900},
  };
  int hue = 200;
  for (const auto& photo : photos) {
    DrawPhoto(QDir(input).filePath(QString::fromUtf8(photo.name)), photo.width, photo.height, hue);
    hue = (hue + 53) % 360;
  }
  std::ofstream(QDir(input).filePath(QString::fromUtf8("午後/メモ.txt")).toStdString()) << "memo\n";

  DemoDialogs dialogs;
  dialogs.folders = {input, output};
  quorvale::MainWindow window(dialogs);
  window.BrowseInputFolder();
  window.BrowseOutputFolder();
  // Prints on L at 300 dpi, as most of the README's examples do.
  window.findChild<QCheckBox*>("reduceCheck")->setChecked(true);
  window.findChild<QAbstractButton*>("dpi300Button")->setChecked(true);
  quorvale::SplashScreen splash(dialogs, &window);
  if (scale2) {
    window.show();
    return Save(window, docs.filePath("main-window@2x.png")) &&
                   SavePreview(window, docs.filePath("preview@2x.png"))
               ? 0
               : 1;
  }

  bool saved = Save(window, docs.filePath("main-window.png")) &&
               Save(splash, docs.filePath("splash.png")) &&
               SaveWithOptionsMenu(window, docs.filePath("options-menu.png")) &&
               SavePreview(window, docs.filePath("preview.png"));
  if (saved && argc == 4) {
    saved = SaveReport(root, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                       docs.filePath("report.png"));
  }
  return saved ? 0 : 1;
}
