#pragma once

#include <QApplication>
#include <QIcon>
#include <QString>
#include <QTranslator>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "app/Dialogs.h"

namespace quorvale {

class MainWindow;

// The application title, and the caption of the error box.
inline constexpr const char* ApplicationTitle = "Quorvale";

// The text of the error box: `text` with a full stop appended when it is not
// empty and its last character's code (of the lead byte, for a multi-byte
// character) is above that of '.' (0x2E).
std::string ErrorBoxText(const std::string& text);

// The text an escaped exception is shown with: "Out of memory" for
// std::bad_alloc, what() for another std::exception, empty for anything else.
std::string EscapedErrorText(std::exception_ptr error);

// Qt's own catalog of its texts in Japanese (stock buttons, the folder
// dialog), as Debian's qt6-translations-l10n installs it: the full path of
// qtbase_ja.qm in Qt's translations folder, whether it exists or not.
QString QtTranslationsFile();

// The program's icon, drawn at 16 to 256 pixels; never null.
QIcon ApplicationIcon();

// The application object. An exception that escapes an event handler ends in
// notify(), which shows it in the error box (caption "Quorvale", stop icon)
// and lets the event loop go on.
//
// Every window shows ApplicationIcon(), and Qt's own texts are Japanese like
// the rest of the window whatever the locale, as long as QtTranslationsFile()
// is installed; without it they stay English and nothing is reported.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);

  // Whether Qt's Japanese catalog was found and installed.
  bool QtTranslationsLoaded() const { return qtTranslationsLoaded_; }

  // The dialogs the error box is shown through; must outlive the application
  // or be replaced.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows `error` in the error box.
  void ReportError(std::exception_ptr error);

 private:
  Dialogs* dialogs_ = nullptr;
  QTranslator qtTranslator_;
  bool qtTranslationsLoaded_ = false;
};

// The program after the application object exists: fixes the active code
// page, creates the main window with `createWindow`, shows it and runs the
// event loop. An error on the way is shown in the error box. Returns 0 in
// every case.
int RunProgram(Application& app, const std::function<std::unique_ptr<MainWindow>()>& createWindow);

}  // namespace quorvale
