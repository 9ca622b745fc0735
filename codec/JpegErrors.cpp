#include "codec/JpegErrors.h"

#include <csetjmp>

#include <jerror.h>

#include "codec/JpegInput.h"

namespace quorvale {
namespace {

void ErrorExit(j_common_ptr info) {
  ErrorManager& errors = ErrorsOf(info);
  (*info->err->format_message)(info, errors.message);
  errors.outOfMemory = info->err->msg_code == JERR_OUT_OF_MEMORY;
  std::longjmp(errors.jump, 1);
}

// Warnings about markers (a JFIF revision, an ICC profile) and trace
// messages (level > 0) are dropped.
void CountWarning(j_common_ptr info, int level) {
  if (level != -1 || KindOfWarning(info->err->msg_code) == WarningKind::None) return;
  ErrorManager& errors = ErrorsOf(info);
  if (errors.warnings++ == 0) (*info->err->format_message)(info, errors.firstWarning);
}

void IgnoreOutput(j_common_ptr) {}

}  // namespace

ErrorManager& ErrorsOf(j_common_ptr info) {
  return *reinterpret_cast<ErrorManager*>(info->err);
}

void InitErrorManager(ErrorManager& error) {
  jpeg_std_error(&error.pub);
  error.pub.error_exit = ErrorExit;
  error.pub.emit_message = CountWarning;
  error.pub.output_message = IgnoreOutput;
}

}  // namespace quorvale
