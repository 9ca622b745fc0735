#include "app/Application.h"

#include <QLibraryInfo>
#include <new>
#include <stdexcept>

#include "app/MainWindow.h"
#include "app/Resources.h"

namespace quorvale {

std::string ErrorBoxText(const std::string& text) {
  // A byte of 0x80 or more belongs to a multi-byte character whose code is
  // above 0x2E whatever the encoding, so the last byte decides.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

std::string EscapedErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return std::string();
  }
}

QString QtTranslationsFile() {
  return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
}

QIcon ApplicationIcon() {
  InitResources();
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/quorvale/icons/quorvale-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Not the display name too: the platform would append that to every
  // window title, the main window's caption and the boxes' included.
  setApplicationName(ApplicationTitle);
  setWindowIcon(ApplicationIcon());
  // By file name, not by the locale's language: the window's own texts are
  // Japanese under every locale, so Qt's have to be as well.
  qtTranslationsLoaded_ = qtTranslator_.load(QtTranslationsFile());
  if (qtTranslationsLoaded_) installTranslator(&qtTranslator_);
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportError(std::current_exception());
    return false;
  }
}

void Application::ReportError(std::exception_ptr error) {
  if (dialogs_ == nullptr) return;
  dialogs_->ErrorBox(ApplicationTitle, ErrorBoxText(EscapedErrorText(error)));
}

int RunProgram(Application& app, const std::function<std::unique_ptr<MainWindow>()>& createWindow) {
  try {
    std::unique_ptr<MainWindow> window = createWindow();
    window->show();
    app.exec();
  } catch (...) {
    app.ReportError(std::current_exception());
  }
  return 0;
}

}  // namespace quorvale
