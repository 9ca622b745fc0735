// Drives the main window through one whole run, offscreen, for timing the
// window against quorvale-batch on the same folder: the two folders are
// chosen, 解像度縮小 (and with --high-quality 高品質で圧縮) is ticked, the
// size stays L at 400 dpi, Run is pressed, every question is answered No,
// and the program ends when the run has. The summary goes to standard
// output. Exit status 0 when the run ended with no error, 1 otherwise,
// 2 for a usage error.
//
//   window_run [--high-quality] INPUT_FOLDER OUTPUT_FOLDER

#include <QAbstractButton>
#include <QEventLoop>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/ScriptedDialogs.h"

int main(int argc, char** argv) {
  const bool highQuality = argc == 4 && std::strcmp(argv[1], "--high-quality") == 0;
  if (argc != 3 && !highQuality) {
    std::fprintf(stderr, "usage: window_run [--high-quality] INPUT_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  // Absolute now: the main window makes its own folder current.
  const std::string input = std::filesystem::absolute(argv[argc - 2]).string();
  const std::string output = std::filesystem::absolute(argv[argc - 1]).string();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  quorvale::testing::ScriptedDialogs dialogs;
  quorvale::Application app(argc, argv);
  app.SetDialogs(&dialogs);
  quorvale::MainWindow window(dialogs);
  dialogs.folders = {input, output};
  window.BrowseInputFolder();
  window.BrowseOutputFolder();
  window.findChild<QAbstractButton*>("reduceCheck")->setChecked(true);
  window.findChild<QAbstractButton*>("highQualityCheck")->setChecked(highQuality);

  QEventLoop loop;
  QObject::connect(&window, &quorvale::MainWindow::RunEnded, &loop, &QEventLoop::quit);
  window.findChild<QAbstractButton*>("runButton")->click();
  loop.exec();

  const std::string status = window.StatusText().toStdString();
  std::printf("%s\n", status.c_str());
  for (const auto& box : dialogs.boxes) {
    if (box.kind != "message" || box.text != status) std::fprintf(stderr, "%s\n", box.text.c_str());
  }
  return status.find("エラー    0") != std::string::npos ? 0 : 1;
}
