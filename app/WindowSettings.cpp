#include "app/WindowSettings.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>
#include <algorithm>
#include <optional>

#include "geometry/SizeTable.h"

namespace quorvale {
namespace {

constexpr const char* Organisation = "Tessaly";
constexpr const char* Application = "Quorvale";
constexpr const char* FormatKey = "format";

// INI files hold every value as text, so each reader takes the text forms
// QSettings writes and nothing looser: QVariant's own toBool() would read
// any word but "false" as true.
std::optional<bool> Bool(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  const QString text = value.toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

std::optional<int> Int(const QVariant& value) {
  bool ok = false;
  const int number = value.toString().toInt(&ok);
  return ok ? std::optional<int>(number) : std::nullopt;
}

class Reader {
 public:
  explicit Reader(QSettings& settings) : settings_(settings) {}

  void Flag(const char* key, bool& into) {
    if (const auto value = Bool(settings_.value(key))) into = *value;
  }
  void Number(const char* key, int& into, int low, int high) {
    const auto value = Int(settings_.value(key));
    if (value && *value >= low && *value <= high) into = *value;
  }
  // Path bytes as QSettings writes a QByteArray; text typed into the file
  // by hand is taken as UTF-8.
  void Bytes(const char* key, std::string& into) {
    const QVariant value = settings_.value(key);
    if (value.typeId() == QMetaType::QByteArray) {
      into = value.toByteArray().toStdString();
    } else if (value.typeId() == QMetaType::QString) {
      into = value.toString().toStdString();
    }
  }
  template <typename T, std::size_t N>
  void Word(const char* key, T& into, const std::pair<const char*, T> (&words)[N]) {
    const QString text = settings_.value(key).toString();
    for (const auto& [word, meaning] : words) {
      if (text == QLatin1String(word)) into = meaning;
    }
  }
  QSettings& settings_;
};

constexpr std::pair<const char*, ExistingOutput> ExistingWords[] = {
    {"ask", ExistingOutput::Ask},
    {"overwrite", ExistingOutput::Overwrite},
    {"skip", ExistingOutput::Skip},
};

constexpr std::pair<const char*, DateFormat> DateFormatWords[] = {
    {"kiosk", DateFormat::Kiosk},
    {"dotted", DateFormat::Dotted},
    {"japanese", DateFormat::Japanese},
};

constexpr std::pair<const char*, Fit> FitWords[] = {
    {"trim", Fit::Trim},
    {"border", Fit::Border},
};

const char* ExistingWord(ExistingOutput existing) {
  for (const auto& [word, meaning] : ExistingWords) {
    if (meaning == existing) return word;
  }
  return "ask";
}

bool IsSizeId(const std::string& id) {
  return std::any_of(SizeTable().begin(), SizeTable().end(),
                     [&](const SizePreset& row) { return id == row.id; });
}

bool IsResolution(int dpi) {
  return std::find(PrintResolutions().begin(), PrintResolutions().end(), dpi) !=
         PrintResolutions().end();
}

// The format the file says it has: 0 for a new file, -1 for one that
// cannot be told.
int FileFormat(QSettings& settings) {
  const QVariant value = settings.value(FormatKey);
  if (!value.isValid()) return 0;
  return Int(value).value_or(-1);
}

}  // namespace

std::unique_ptr<QSettings> OpenWindowSettings() {
  // A QSettings reads its file as it is made, and one waiting on a FIFO
  // never returns, so the path is asked of one whose file is never there.
  const QString unused = QSettings(QSettings::NativeFormat, QSettings::UserScope, Organisation,
                                   QStringLiteral("%1.unused").arg(QLatin1String(Application)))
                             .fileName();
  const QString path =
      QFileInfo(unused).dir().filePath(QStringLiteral("%1.conf").arg(QLatin1String(Application)));
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
    return nullptr;
  }
  return std::make_unique<QSettings>(path, QSettings::NativeFormat);
}

WindowSettings LoadWindowSettings(QSettings& settings, const WindowSettings& initial) {
  WindowSettings loaded = initial;
  const int format = FileFormat(settings);
  // A line Qt cannot parse (a comment, a stray '[') is passed over alone:
  // the rest of the file still holds what it held.
  if (settings.status() == QSettings::AccessError || format < 0 || format > WindowSettingsFormat) {
    return loaded;
  }
  Reader read(settings);
  PrintSettings& print = loaded.print;
  read.Flag("print/autoOrient", print.autoOrient);
  read.Flag("print/keepMetadata", print.keepMetadata);
  read.Flag("print/writeDpi", print.writeDpi);
  read.Flag("print/keepTimes", print.keepTimes);
  read.Word("print/existing", print.existing, ExistingWords);
  read.Flag("print/largePhotos", print.largePhotos);
  read.Bytes("print/reportPath", print.reportPath);
  read.Flag("print/writeReport", print.writeReport);
  read.Flag("print/openReport", print.openReport);
  read.Word("print/fit", print.fit, FitWords);
  read.Flag("print/allJpegNames", print.allJpegNames);
  read.Flag("print/allPhotos", print.allPhotos);
  read.Flag("print/colourSrgb", print.colourSrgb);
  read.Number("print/margin", print.margin, 0, 100);
  read.Flag("print/dateStamp", print.dateStamp);
  read.Word("print/dateFormat", print.dateFormat, DateFormatWords);
  read.Flag("print/shopNames", print.shopNames);
  // A report is written only to a path.
  if (print.reportPath.empty()) print.writeReport = false;

  read.Flag("window/reopenLast", loaded.reopenLast);
  WindowControls& last = loaded.last;
  read.Bytes("window/inputFolder", last.inputFolder);
  read.Bytes("window/outputFolder", last.outputFolder);
  std::string size = last.size;
  read.Bytes("window/size", size);
  if (IsSizeId(size)) last.size = size;
  int dpi = last.dpi;
  read.Number("window/dpi", dpi, 0, 10000);
  if (IsResolution(dpi)) last.dpi = dpi;
  read.Flag("window/trim", last.trim);
  read.Flag("window/reduce", last.reduce);
  read.Flag("window/highQuality", last.highQuality);
  read.Number("window/quality", last.quality, 0, 100);
  read.Flag("window/noSubfolders", last.noSubfolders);
  read.Flag("window/skipSmall", last.skipSmall);
  return loaded;
}

bool SaveWindowSettings(QSettings& settings, const WindowSettings& values) {
  if (FileFormat(settings) > WindowSettingsFormat) return false;
  // Keys and groups that are not ours are kept as Qt read them.
  const auto bytes = [](const std::string& path) { return QByteArray::fromStdString(path); };
  const PrintSettings& print = values.print;
  settings.setValue(FormatKey, WindowSettingsFormat);
  settings.setValue("print/autoOrient", print.autoOrient);
  settings.setValue("print/keepMetadata", print.keepMetadata);
  settings.setValue("print/writeDpi", print.writeDpi);
  settings.setValue("print/keepTimes", print.keepTimes);
  settings.setValue("print/existing", ExistingWord(print.existing));
  settings.setValue("print/largePhotos", print.largePhotos);
  settings.setValue("print/writeReport", print.writeReport);
  settings.setValue("print/reportPath", bytes(print.reportPath));
  settings.setValue("print/openReport", print.openReport);
  settings.setValue("print/fit", print.fit == Fit::Border ? "border" : "trim");
  settings.setValue("print/allJpegNames", print.allJpegNames);
  settings.setValue("print/allPhotos", print.allPhotos);
  settings.setValue("print/colourSrgb", print.colourSrgb);
  settings.setValue("print/margin", print.margin);
  settings.setValue("print/dateStamp", print.dateStamp);
  for (const auto& [word, format] : DateFormatWords) {
    if (format == print.dateFormat) settings.setValue("print/dateFormat", word);
  }
  settings.setValue("print/shopNames", print.shopNames);

  const WindowControls& last = values.last;
  settings.setValue("window/reopenLast", values.reopenLast);
  settings.setValue("window/inputFolder", bytes(last.inputFolder));
  settings.setValue("window/outputFolder", bytes(last.outputFolder));
  settings.setValue("window/size", QString::fromStdString(last.size));
  settings.setValue("window/dpi", last.dpi);
  settings.setValue("window/trim", last.trim);
  settings.setValue("window/reduce", last.reduce);
  settings.setValue("window/highQuality", last.highQuality);
  settings.setValue("window/quality", last.quality);
  settings.setValue("window/noSubfolders", last.noSubfolders);
  settings.setValue("window/skipSmall", last.skipSmall);
  settings.sync();
  // A format error stays reported for the file as it was read.
  return settings.status() != QSettings::AccessError;
}

}  // namespace quorvale
