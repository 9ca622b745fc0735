// Renders the two windows of Quorvale into the pictures of the README: the
// splash, and the main window after an input and an output folder have been
// chosen. The folders are made under the system's temporary folder and
// removed again. Usage: quorvale_screenshots DOCS_FOLDER

#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/SplashScreen.h"
#include "platform/CodePage.h"

namespace {

// Browsing answers the prepared folders in turn; nothing else is shown.
class DemoDialogs : public quorvale::Dialogs {
 public:
  QStringList folders;

  std::string BrowseFolder() override {
    return folders.isEmpty() ? std::string() : folders.takeFirst().toStdString();
  }
  std::string SaveFilePath(const std::string&, const std::string&) override { return {}; }
  std::optional<std::string> PromptText(const std::string&, const std::string&, int) override {
    return std::nullopt;
  }
  void Message(const std::string&, const std::string&) override {}
  bool YesNo(const std::string&, const std::string&) override { return false; }
  void ErrorBox(const std::string&, const std::string&) override {}
  void OpenUrl(const std::string&) override {}
  void RunModal(QDialog&) override {}
};

bool Save(QWidget& window, const QString& path) {
  if (window.grab().save(path, "PNG", 9)) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DOCS_FOLDER\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  quorvale::Application app(argc, argv);
  quorvale::InitActiveCodePage();
  // Absolute now: the main window makes its own folder current.
  const QDir docs(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());

  QTemporaryDir work(QDir::tempPath() + "/qv-XXXXXX");
  const QDir root(work.path());
  const QString input = root.filePath("運動会");
  const QString output = root.filePath("プリント");
  root.mkpath(input + "/午前");
  root.mkpath(input + "/午後");
  root.mkpath(output);
  for (const char* name : {"IMG_0412.JPG", "IMG_0413.JPG", "午前/IMG_0398.jpg", "午前/IMG_0401.jpg",
                           "午後/IMG_0455.jpg", "午後/IMG_0460.jpg", "午後/メモ.txt"}) {
    std::ofstream(QDir(input).filePath(QString::fromUtf8(name)).toStdString()) << name;
  }

  DemoDialogs dialogs;
  dialogs.folders = {input, output};
  quorvale::MainWindow window(dialogs);
  window.BrowseInputFolder();
  window.BrowseOutputFolder();
  quorvale::SplashScreen splash(dialogs, &window);

  const bool saved =
      Save(window, docs.filePath("main-window.png")) && Save(splash, docs.filePath("splash.png"));
  return saved ? 0 : 1;
}
