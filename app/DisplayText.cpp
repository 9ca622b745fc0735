#include "app/DisplayText.h"

#include <QFile>
#include <QStringDecoder>

namespace quorvale {

QString DisplayText(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string LocalBytes(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

std::string PathBytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

std::string LocalFileBytes(const QUrl& url) {
  // toLocalFile() decodes the path as UTF-8, turning other bytes into U+FFFD.
  if (!url.host().isEmpty()) return PathBytes(url.toLocalFile());
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace quorvale
