#pragma once

#include <QString>
#include <QUrl>
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

// The path of a local file URL (a dropped item) as the file system's bytes:
// the percent-escapes are undone byte for byte, so a name that is not valid
// UTF-8 keeps its bytes.
std::string LocalFileBytes(const QUrl& url);

}  // namespace quorvale
