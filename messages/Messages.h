#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/RunEvents.h"
#include "folders/FolderScan.h"
#include "geometry/SizeTable.h"
#include "messages/Translate.h"
#include "pixels/HighQuality.h"

namespace quorvale {

// The texts of a run, made from its events: the same bytes in the window's
// boxes and log and in quorvale-batch's output. Paths stand in them as the
// events carry them; a front end that shows paths otherwise (escaped on a
// terminal) changes the event's paths before it asks for the text.

// An OK box's text.
std::string NoticeText(const RunNotice& notice);

// A stop question's text, ending in the path after a blank line.
std::string QuestionText(const RunQuestion& question);

// The log lines a photo adds after its path line (none for a plain save;
// one for a photo saved from damaged data, whose missing parts are grey; for
// a failed save, the system's reason after the stored line).
std::vector<std::string> PhotoLogLines(const PhotoReport& report);

// The status line after a saved photo: "処理中...　%3d%%     %5d / %5d  エラー
// %4d   スキップ  %4d".
std::string ProgressText(const RunProgress& progress);

// The summary of a run: "作業が終了しました。保存ファイル数 %4d  エラー %4d
// スキップ  %4d", or in its stopped wording "作業を中断しました。…".
std::string SummaryText(bool stopped, const RunCounts& counts);

// Why the high-quality reduction declined, as the window words it.
std::string DeclineText(const HighQualityDecline& decline);

// What was passed over in a photo, one sentence each, for the front ends
// that name warnings (standard error, JSON, the report page). A declined
// reduction's reason is the window's Japanese text in either wording.
std::vector<std::string> WarningTexts(const PhotoWarnings& warnings, Wording wording);

// What a run passed over or left as it was, one sentence each, as
// quorvale-batch says it on standard error and the window in its log: the
// files of each other kind and the photos of each kind left as they were,
// with the option that takes them (none for a count of 0); each folder that
// could not be listed, with the system's reason; each earlier output with
// its photos; the crop keys that name no photo, the first few by name and
// the rest counted.
std::vector<std::string> PassedOverTexts(const PassedOver& passedOver, const LeftOut& leftOut,
                                         Wording wording = Wording::Locale);

// The caption of a size's button, exactly as the window shows it (for a
// size beyond the window's list, as its menu and --list-sizes show it).
const char* SizeCaption(const SizePreset& size);

// The row of the size table that `name` names: its id in any letter case,
// another name labs give it (KG for はがき, LD for DSC), or the name its
// caption begins with (はがき, 八切, W六切; ASCII letters in any case).
// An id wins over a caption's name, an earlier row over a later one.
std::optional<std::size_t> FindSize(std::string_view name);

// A date stamp's format as --date-format names it: "'YY M D", "YYYY.MM.DD",
// "YYYY年M月D日" (ASCII letters in any case).
const char* DateFormatName(DateFormat format);
std::optional<DateFormat> FindDateFormat(std::string_view name);

}  // namespace quorvale
