#pragma once

#include "platform/CodePage.h"

namespace quorvale {

// How path texts are spelled. The native style here is '/' with no drive
// part; the Windows style (a backslash separates, a colon ends the drive part)
// is kept so the path rules can be checked against their Shift-JIS examples
// and for a later Windows build. Every path rule takes one of these and is
// written once for both.
struct PathSyntax {
  char separator = '/';
  bool driveColon = false;  // ':' ends a drive part, as in D:\out
  LeadByteSet leadBytes;

  // True when the separator byte is always a separator of its own: it is
  // below 0x40, the lowest second byte of a double-byte character in any
  // code page we support (Shift-JIS, GBK, UHC, Big5), so finding it needs
  // no walk over the lead bytes. True of '/', not of '\'.
  bool SeparatorStandsAlone() const { return static_cast<unsigned char>(separator) < 0x40; }

  // '/' and the active code page's lead bytes.
  static PathSyntax Native() { return {'/', false, ActiveLeadBytes()}; }
  // '\' and ':' with the given lead bytes (Shift-JIS unless told otherwise).
  static PathSyntax Windows(const LeadByteSet& lead = LeadByteSet::ShiftJis()) {
    return {'\\', true, lead};
  }
};

}  // namespace quorvale
