#include "messages/Translate.h"

#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace quorvale {
namespace {

constexpr const char* kDomain = "quorvale";

// share/locale beside the program's folder holds the catalogue both in the
// build tree (build/cli/quorvale-batch, build/share/locale) and under any
// prefix the package is installed to, so the program can be moved.
std::string CatalogueFolder() {
  std::string exe(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", exe.data(), exe.size());
  if (length > 0 && static_cast<std::size_t>(length) < exe.size()) {
    exe.resize(static_cast<std::size_t>(length));
    const std::size_t slash = exe.rfind('/');
    if (slash != std::string::npos) {
      const std::string folder = exe.substr(0, slash) + "/../share/locale";
      struct stat st {};
      if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
    }
  }
  return QUORVALE_LOCALEDIR;
}

void BindOnce() {
  static std::once_flag bound;
  std::call_once(bound, [] {
    ::bindtextdomain(kDomain, CatalogueFolder().c_str());
    ::bind_textdomain_codeset(kDomain, "UTF-8");
  });
}

}  // namespace

const char* Translate(const char* english, Wording wording) {
  if (wording == Wording::English) return english;
  BindOnce();
  return ::dgettext(kDomain, english);
}

const char* TranslatePlural(const char* singular, const char* plural, unsigned long count,
                            Wording wording) {
  if (wording == Wording::English) return count == 1 ? singular : plural;
  BindOnce();
  return ::dngettext(kDomain, singular, plural, count);
}

const char* TranslatedLanguage() {
  // TRANSLATORS: the code of the catalogue's language, for the report
  // page's lang attribute ("ja" for Japanese).
  return Translate("en");
}

std::string Format(const char* format, ...) {
  va_list values;
  va_start(values, format);
  va_list again;
  va_copy(again, values);
  const int length = std::vsnprintf(nullptr, 0, format, values);
  va_end(values);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace quorvale
