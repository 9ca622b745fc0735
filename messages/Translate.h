#pragma once

#include <string>

namespace quorvale {

// The words of quorvale-batch beside the stored Japanese texts: written in
// English in the code, marked by these calls (po/ makes the catalogue of
// them), shown in the language of the messages locale. The program chooses
// that locale (setlocale(LC_MESSAGES, "")); until it does, every text stays
// English.

// Which words a text is made in: English as written (--json, which scripts
// read), or the messages locale's.
enum class Wording { English, Locale };

// `english` from the catalogue of the text domain "quorvale", in UTF-8
// whatever the locale's code set (the report page is UTF-8, and so are the
// stored texts beside it); `english` itself when the catalogue has none. The
// catalogue is looked for under share/locale beside the program's own folder
// (the build tree, or the prefix it is installed in), else in the folder
// fixed at build time. With Wording::English, `english` as it stands.
__attribute__((format_arg(1))) const char* Translate(const char* english,
                                                     Wording wording = Wording::Locale);

// The form of `singular` or `plural` for `count`, by the rule of the
// catalogue's language (English: singular for 1).
__attribute__((format_arg(1))) __attribute__((format_arg(2))) const char* TranslatePlural(
    const char* singular, const char* plural, unsigned long count,
    Wording wording = Wording::Locale);

// The language of what Translate gives, as an HTML lang value: "en" until a
// catalogue says otherwise.
const char* TranslatedLanguage();

// printf into a string, as the translated formats need.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...);

}  // namespace quorvale
