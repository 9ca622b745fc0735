#include "messages/Messages.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "messages/Translate.h"

namespace quorvale {
namespace {

constexpr const char* kStopLine = "中断";

// The box of a failed save: the stored text first, then the output path and
// the system's reason, so the operator can tell a full disk from a
// read-only folder.
std::string SaveFailureText(const SaveResult& saved, const std::string& path) {
  if (saved.status == SaveStatus::NoPath) return "保存先フォルダが指定されていません。";
  std::string text = "保存先フォルダを作成出来ません。";
  if (saved.status == SaveStatus::FolderNotCreated) text += "\n" + saved.folder;
  text += "\n" + path;
  if (saved.error != 0) text += "\n" + std::string(std::strerror(saved.error));
  return text;
}

const char* OutcomeLine(const PhotoReport& report) {
  switch (report.outcome) {
    case PhotoOutcome::Saved:
      return nullptr;
    case PhotoOutcome::SkippedSmall:
      return "320px×240px以下なのでスキップ";
    case PhotoOutcome::SkippedExisting:
      return "同名のJPEGファイルが存在するのでスキップ";
    case PhotoOutcome::Missing:
      return "JPEGファイルが存在しません";
    case PhotoOutcome::Unreadable:
      return "JPEGファイルを読み込めません";
    case PhotoOutcome::TrimFailed:
      return "トリミング失敗";
    case PhotoOutcome::BadName:
      return "ファイル名が不正";
    case PhotoOutcome::NameTooLong:
      return "ファイル名が長すぎます";
    case PhotoOutcome::InInputTree:
      return "保存先が入力フォルダの中なので保存しません";
    case PhotoOutcome::SaveFailed:
      return "保存に失敗";
    case PhotoOutcome::Stopped:
      return kStopLine;
  }
  return nullptr;
}

}  // namespace

const char* SizeCaption(const SizePreset& size) {
  static constexpr std::pair<std::string_view, const char*> Captions[] = {
      {"L", "L　     89mm×127mm"},           {"hagaki", "はがき 102mm×152mm"},
      {"2L", "2L　   127mm×178mm"},          {"yatsugiri", "八切　 165mm×216mm"},
      {"mutsugiri", "六切　 203mm×254mm"},   {"w-mutsugiri", "W六切　203mm×305mm"},
      {"A4", "A4　   210mm×297mm"},          {"yotsugiri", "四切　 254mm×305mm"},
      {"w-yotsugiri", "W四切　254mm×368mm"}, {"4base", "4Base　1536px×1024px"},
      {"16base", "16Base 3072px×2048px"},    {"svga", "SVGA    800px× 600px"},
      {"xga", "XGA    1024px× 768px"},       {"sxga", "SXGA   1280px×1024px"},
      {"qvga", "QVGA    320px× 240px"},      {"sxga-1600", "SXGA   1600px×1200px"},
      {"sxga-2048", "SXGA   2048px×1536px"}, {"vga", "VGA     640px× 480px"},
      {"dsc", "DSC　    89mm×119mm"},        {"postcard", "郵便はがき 100mm×148mm"},
  };
  for (const auto& [id, caption] : Captions) {
    if (id == size.id) return caption;
  }
  return "";
}

namespace {

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

// The caption up to its first space, ordinary or full-width.
std::string_view CaptionName(const SizePreset& size) {
  const std::string_view caption = SizeCaption(size);
  return caption.substr(0, std::min(caption.find(' '), caption.find("\u3000")));
}

}  // namespace

std::optional<std::size_t> FindSize(std::string_view name) {
  static constexpr std::pair<std::string_view, std::string_view> OtherNames[] = {
      {"KG", "hagaki"},
      {"LD", "dsc"},
  };
  const auto table = SizeTable();
  const auto byId = [&](std::string_view id) -> std::optional<std::size_t> {
    for (std::size_t row = 0; row < table.size(); ++row) {
      if (SameIgnoringAsciiCase(id, table[row].id)) return row;
    }
    return std::nullopt;
  };
  if (const auto row = byId(name)) return row;
  for (const auto& [other, id] : OtherNames) {
    if (SameIgnoringAsciiCase(name, other)) return byId(id);
  }
  for (std::size_t row = 0; row < table.size(); ++row) {
    if (!name.empty() && SameIgnoringAsciiCase(name, CaptionName(table[row]))) return row;
  }
  return std::nullopt;
}

namespace {

constexpr std::pair<DateFormat, std::string_view> DateFormatNames[] = {
    {DateFormat::Kiosk, "'YY M D"},
    {DateFormat::Dotted, "YYYY.MM.DD"},
    {DateFormat::Japanese, "YYYY年M月D日"},
};

}  // namespace

const char* DateFormatName(DateFormat format) {
  for (const auto& [each, name] : DateFormatNames) {
    if (each == format) return name.data();
  }
  return "";
}

std::optional<DateFormat> FindDateFormat(std::string_view name) {
  for (const auto& [format, each] : DateFormatNames) {
    if (SameIgnoringAsciiCase(name, each)) return format;
  }
  return std::nullopt;
}

std::string NoticeText(const RunNotice& notice) {
  switch (notice.kind) {
    case Notice::NoInputFolder:
      return "入力フォルダが指定されていません。";
    case Notice::NoOutputFolder:
      return "出力フォルダが指定されていません。";
    case Notice::NothingToDo:
      return "縦横比変更か解像度縮小のどちらか１つはチェックしてください。";
    case Notice::SameFolder:
      return "出力フォルダに入力フォルダと同じフォルダは指定できません。";
    case Notice::NoJpegFiles:
      return "入力フォルダにJPEGファイルが存在しません。";
    case Notice::UnknownCrops:
      return "トリミング位置の指定に、入力フォルダにない写真があります。";
    case Notice::Cancelled:
      return "中断しました。";
    case Notice::SaveFailed:
      return SaveFailureText(notice.save, notice.path);
    case Notice::OutOfMemory:
      return "メモリが不足したため、処理を中断しました。\n\n" + notice.path;
    case Notice::Unexpected:
      return "予期しないエラーが発生したため、処理を中断しました。\n\n" + notice.path + "\n" +
             notice.detail;
  }
  return {};
}

std::string QuestionText(const RunQuestion& question) {
  const char* text = "";
  switch (question.kind) {
    case Question::MissingFile:
      text = "入力フォルダにJPEGファイルが存在しません。中断しますか？\n\n";
      break;
    case Question::Unreadable:
      text = "JPEGファイルを読み込めませんでした。中断しますか？\n\n";
      break;
    case Question::TrimFailed:
      // The trim leaves no reason, so the question's reason line is empty.
      text = "JPEGファイルのトリミングが実行出来ませんでした。中断しますか？\n\n\n";
      break;
    case Question::BadName:
      text = "JPEGファイルのファイル名が不正です。中断しますか？\n\n";
      break;
    case Question::SameName:
      text = "既に同名のJPEGファイルが存在します。中断しますか？\n\n";
      break;
    case Question::SaveFailed:
      text = "JPEGファイルの保存が出来ませんでした。中断しますか？\n\n";
      break;
  }
  return text + question.path;
}

std::vector<std::string> PhotoLogLines(const PhotoReport& report) {
  std::vector<std::string> lines;
  if (report.outcome == PhotoOutcome::Saved && report.warnings.damage > 0) {
    lines.emplace_back("破損したデータを補って保存しました");
  }
  if (report.notReduced) lines.emplace_back("元画像が指定サイズより小さいので縮小は行われません");
  if (report.outcome == PhotoOutcome::Saved && report.dateSource == DateSource::FileTime) {
    lines.emplace_back("撮影日時がないため、ファイルの更新日時の日付を入れました");
  }
  if (report.outcome == PhotoOutcome::Saved && report.dateSource == DateSource::None) {
    lines.emplace_back("撮影日時がわからないため、日付を入れませんでした");
  }
  if (const char* line = OutcomeLine(report)) lines.emplace_back(line);
  // The system's reason, so that a full disk is told from a read-only card.
  if (report.outcome == PhotoOutcome::SaveFailed && report.saveError != 0) {
    lines.emplace_back(std::strerror(report.saveError));
  }
  // A cancelled high-quality reduction leaves no reason: an empty line.
  if (report.outcome == PhotoOutcome::Stopped && report.stop == StopCause::InReduction) {
    lines.emplace_back();
  }
  return lines;
}

std::string ProgressText(const RunProgress& progress) {
  return Format("処理中...　%3d%%     %5d / %5d  エラー %4d   スキップ  %4d", progress.percent,
                progress.done, progress.total, progress.errors, progress.skipped);
}

std::string SummaryText(bool stopped, const RunCounts& counts) {
  return Format("%s保存ファイル数 %4d  エラー %4d   スキップ  %4d",
                stopped ? "作業を中断しました。" : "作業が終了しました。", counts.saved,
                counts.errors, counts.skipped);
}

std::string DeclineText(const HighQualityDecline& decline) {
  const int w = decline.width, h = decline.height, limit = decline.limit;
  switch (decline.kind) {
    case HighQualityDecline::Ratio:
      return Format("比率が違うので高画質圧縮を中断しました。(幅 %d  高さ%d)", w, h);
    case HighQualityDecline::SameSize:
      return Format("画像サイズが同じなので高画質圧縮を中断しました。(幅 %d  高さ%d)", w, h);
    case HighQualityDecline::SourceTooLarge:
      return Format(
          "元画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
          "最大サイズは幅　%dpx　高さ%dpxです。",
          w, h, limit, limit);
    case HighQualityDecline::TargetTooLarge:
      return Format(
          "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n"
          "最大サイズは幅　%dpx　高さ%dpxです。",
          w, h, limit, limit);
    case HighQualityDecline::TooFar:
      return "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。";
    case HighQualityDecline::NotReduction:
      return "拡大なので高画質圧縮を中断しました。";
  }
  return {};
}

std::vector<std::string> PassedOverTexts(const PassedOver& passedOver, const LeftOut& leftOut,
                                         Wording wording) {
  std::vector<std::string> texts;
  const auto plural = [](std::int32_t n) { return static_cast<unsigned long>(n); };
  const auto count = [&](std::int32_t n, const char* text) {
    if (n > 0) texts.push_back(Format(text, n));
  };
  const PassedOver& p = passedOver;
  count(p.otherJpegNames, TranslatePlural("%d file ending in .jpeg, .jpe or .jfif passed over "
                                          "(--all-jpeg-names takes it)",
                                          "%d files ending in .jpeg, .jpe or .jfif passed over "
                                          "(--all-jpeg-names takes them)",
                                          plural(p.otherJpegNames), wording));
  count(p.heifNames, TranslatePlural("%d HEIC or HEIF file passed over (--all-photos takes it)",
                                     "%d HEIC or HEIF files passed over (--all-photos takes them)",
                                     plural(p.heifNames), wording));
  count(p.pngNames, TranslatePlural("%d PNG file passed over (--all-photos takes it)",
                                    "%d PNG files passed over (--all-photos takes them)",
                                    plural(p.pngNames), wording));
  count(p.orientations, TranslatePlural("%d photo has an Exif orientation that was not applied "
                                        "(--auto-orient applies it)",
                                        "%d photos have an Exif orientation that was not applied "
                                        "(--auto-orient applies it)",
                                        plural(p.orientations), wording));
  count(p.profiles, TranslatePlural("%d photo has a colour profile other than sRGB that was not "
                                    "converted (--colour srgb converts it)",
                                    "%d photos have a colour profile other than sRGB that were "
                                    "not converted (--colour srgb converts them)",
                                    plural(p.profiles), wording));
  for (const UnlistedFolder& folder : leftOut.unlisted) {
    texts.push_back(Format(Translate("cannot list the folder %s: %s", wording), folder.path.c_str(),
                           std::strerror(folder.error)));
  }
  for (const EarlierOutput& folder : leftOut.earlierOutputs) {
    texts.push_back(Format(TranslatePlural("passed over %s, an earlier run's output (%d photo)",
                                           "passed over %s, an earlier run's output (%d photos)",
                                           folder.photos, wording),
                           folder.path.c_str(), static_cast<int>(folder.photos)));
  }
  for (const std::string& path : leftOut.unknownCrops) {
    texts.push_back(
        Format(Translate("--crops: no photo '%s' in this run", wording), path.c_str()));
  }
  if (leftOut.unknownCropCount > leftOut.unknownCrops.size()) {
    const auto more = static_cast<int>(leftOut.unknownCropCount - leftOut.unknownCrops.size());
    texts.push_back(Format(TranslatePlural("--crops: %d more path names no photo in this run",
                                           "--crops: %d more paths name no photo in this run",
                                           static_cast<unsigned long>(more), wording),
                           more));
  }
  return texts;
}

std::vector<std::string> WarningTexts(const PhotoWarnings& warnings, Wording wording) {
  std::vector<std::string> texts;
  if (warnings.damage > 0) {
    texts.push_back(Format(TranslatePlural("the JPEG data ended early or was corrupt (%d warning, "
                                           "first: %s); the rows it left out are grey",
                                           "the JPEG data ended early or was corrupt (%d warnings, "
                                           "first: %s); the rows it left out are grey",
                                           warnings.damage, wording),
                           warnings.damage, warnings.firstDamage.c_str()));
  }
  if (warnings.declined) {
    texts.push_back(Format(
        Translate("the high-quality reduction declined, the plain one was used: %s", wording),
        DeclineText(*warnings.declined).c_str()));
  }
  if (warnings.exifMalformed) {
    texts.emplace_back(Translate("Exif not copied: the photo's Exif block is malformed", wording));
  }
  if (!warnings.iccDropped.empty()) {
    texts.push_back(Format(
        Translate("ICC profile not copied: its colour space is %s, the output's is RGB", wording),
        warnings.iccDropped.c_str()));
  }
  if (warnings.profileUnreadable) {
    texts.emplace_back(
        Translate("colours not made sRGB: the photo's colour profile cannot be read", wording));
  }
  if (!warnings.sharedName.empty()) {
    texts.push_back(Format(Translate("saved under its own name with .jpg added: another photo's "
                                     "output is %s",
                                     wording),
                           warnings.sharedName.c_str()));
  }
  if (warnings.timeNotKept != 0) {
    // strerror speaks the messages locale; scripts get the English reason.
    const int error = warnings.timeNotKept;
    texts.push_back(
        Format(Translate("modification time not kept: %s", wording),
               wording == Wording::Locale ? std::strerror(error) : strerrordesc_np(error)));
  }
  return texts;
}

}  // namespace quorvale
