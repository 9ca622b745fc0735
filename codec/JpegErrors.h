#pragma once

// libjpeg's error handling as the codec's reader and writer share it.
// Internal to the codec.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace quorvale {

// libjpeg reports a fatal error by calling error_exit, which must not return:
// it jumps back to the setjmp of the one function that drives the library.
// Its message is kept for the caller before the jump. Warnings about the
// picture's data (it ended early, or was corrupt) are counted and the first
// one kept; the library prints nothing.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  int warnings;
  char firstWarning[JMSG_LENGTH_MAX];
  bool outOfMemory;  // libjpeg could not have the memory it asked for
};

void InitErrorManager(ErrorManager& error);

ErrorManager& ErrorsOf(j_common_ptr info);

}  // namespace quorvale
