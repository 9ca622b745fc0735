#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"

namespace {

// Qt reports an application object that cannot be made (no display, no
// platform plugin) as a fatal message and then aborts; the program ends
// with code 0 in every case, so it prints the message and leaves.
void EndOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  if (type == QtFatalMsg) std::_Exit(0);
}

constexpr char kHelp[] = R"(Usage: quorvale
Opens the Quorvale window, which trims and reduces folders of JPEG photos to
print sizes (its texts are Japanese). quorvale-batch does the same from the
command line.

  -h, --help     show this help and exit
      --version  show the version and exit
)";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the application object, which needs a display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") return std::printf("quorvale (Quorvale) %s\n", QUORVALE_VERSION) < 0;
    if (arg == "--help" || arg == "-h") return std::fputs(kHelp, stdout) < 0;
  }
  // Made first so that it outlives the application, whose notify uses it.
  quorvale::QtDialogs dialogs;
  const QtMessageHandler previous = qInstallMessageHandler(EndOnFatal);
  quorvale::Application app(argc, argv);
  qInstallMessageHandler(previous);
  app.SetDialogs(&dialogs);
  return quorvale::RunProgram(app, [&dialogs] {
    auto window = std::make_unique<quorvale::MainWindow>(dialogs);
    dialogs.SetOwner(window.get());
    return window;
  });
}
