#pragma once

#include <QString>
#include <string>

namespace quorvale {

// Text for a widget from bytes of the core: valid UTF-8 (every message text,
// and paths on a UTF-8 system) is decoded as such, anything else with the
// locale's encoding. The bytes themselves are kept by whoever needs them.
QString DisplayText(const std::string& bytes);

// What the operator typed, as the locale's bytes.
std::string LocalBytes(const QString& text);

// A local file path from Qt (a dialog, a dropped URL) as the file system's bytes.
std::string PathBytes(const QString& path);

}  // namespace quorvale
