#pragma once

#include <string>
#include <string_view>

#include "batch/BatchRun.h"
#include "batch/RunEvents.h"

namespace quorvale::cli {

// The word that names `outcome` in --json output: saved, skipped-small,
// skipped-existing, missing, unreadable, trim-failed, bad-name,
// name-too-long, in-input-tree, save-failed or stopped. Scripts match these words; they never change.
const char* OutcomeWord(PhotoOutcome outcome);

// True when `text` is well-formed UTF-8: no stray continuation byte, no
// truncated or overlong sequence, no surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);

// `text` as a JSON string, quotes included. '"' and '\' are escaped, the
// C0 controls, DEL and the C1 controls (U+0080..U+009F) are written as
// \b \f \n \r \t or \u00XX, U+2028 and U+2029 as \u2028 and \u2029; other
// characters stand as they are. Each byte that is not part of well-formed
// UTF-8 becomes U+FFFD, so the result is always valid UTF-8 (and loses
// those bytes: see PathFields).
std::string JsonString(std::string_view text);

// The members for a path named `key`: "key":"…" as JsonString writes it,
// then, only when the path is not well-formed UTF-8, "key_base64":"…" with
// every byte of it. An empty path is null.
std::string PathFields(const char* key, const std::string& path);

// One photo's object and the run's closing object, each on one line
// without its line end:
// {"type":"photo","input":…,"output":…,"outcome":…,"log":[…],
//  "decoded":{"width":W,"height":H},"crop":{…},"saved":{…},"warnings":[…]}
// (a size that is 0 x 0, not had, is null) and
// {"type":"summary","saved":N,"errors":N,"skipped":N,"stopped":B,
//  "unreadable_folders":N,"earlier_outputs":N,"unknown_crops":N,"text":…}
// (the folders the scan could not list, the earlier outputs it passed over,
// the crop keys for no photo).
std::string PhotoJson(const PhotoReport& report);
std::string SummaryJson(const RunOutcome& outcome);

}  // namespace quorvale::cli
