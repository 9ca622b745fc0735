#include "platform/CodePage.h"

#include <langinfo.h>

#include <clocale>
#include <string>

namespace quorvale {
namespace {

bool activeDoubleByte = false;

std::string Normalized(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return out;
}

}  // namespace

bool IsDoubleByteCodeset(std::string_view codeset) {
  const std::string name = Normalized(codeset);
  for (const char* known : {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J", "MSKANJI", "GBK", "GB18030",
                            "CP936", "UHC", "CP949", "BIG5", "BIG5HKSCS", "CP950"}) {
    if (name == known) return true;
  }
  return false;
}

void InitActiveCodePage() {
  static const bool done = [] {
    std::setlocale(LC_CTYPE, "");
    activeDoubleByte = IsDoubleByteCodeset(nl_langinfo(CODESET));
    return true;
  }();
  (void)done;
}

bool ActiveCodePageIsDoubleByte() {
  return activeDoubleByte;
}

}  // namespace quorvale
