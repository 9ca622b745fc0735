#include "batch/SavePhoto.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "folders/PathRules.h"
#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/SafeFile.h"

namespace quorvale {

SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras, bool replace) {
  // A path that cannot be a file's is not worth an encode.
  if (path.size() <= 2 || path.back() == '/') return SaveJpegBytes(std::nullopt, path, replace);
  return SaveJpegBytes(EncodeJpeg(bitmap, quality, extras), path, replace);
}

SaveResult SaveJpegBytes(const std::optional<std::vector<std::uint8_t>>& bytes,
                         const std::string& path, bool replace) {
  SaveResult result;
  if (path.size() <= 2) {
    result.status = SaveStatus::NoPath;
    return result;
  }
  result.folder = FolderOfPath(path);
  if (!bytes || path.back() == '/') {
    result.status = SaveStatus::WriteFailed;
    if (path.back() == '/') result.error = EISDIR;
    return result;
  }
  // A path without a folder part names a file in the current folder. The
  // folder is made only when it cannot be opened as it is.
  const std::string where = result.folder.empty() ? "." : result.folder;
  FileDescriptor folder(OpenLongPath(where, O_RDONLY | O_DIRECTORY));
  if (!folder) {
    if (!CreateFolders(result.folder)) {
      result.status = SaveStatus::FolderNotCreated;
      result.error = errno;
      return result;
    }
    folder = FileDescriptor(OpenLongPath(where, O_RDONLY | O_DIRECTORY));
  }
  if (!folder) {
    result.status = SaveStatus::WriteFailed;
    result.error = errno;
    return result;
  }
  const std::string name = path.substr(path.rfind('/') + 1);
  result.error =
      WriteSafeFile(folder.Get(), name, *bytes, replace ? IfExists::Replace : IfExists::Keep);
  if (result.error != 0) {
    result.status =
        result.error == EEXIST && !replace ? SaveStatus::Exists : SaveStatus::WriteFailed;
  }
  return result;
}

bool EndsWithEndOfImage(const std::string& path) {
  const FileDescriptor file(OpenLongPath(path, O_RDONLY | O_NONBLOCK));
  struct stat st {};
  if (!file || ::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 2) {
    return false;
  }
  std::uint8_t end[2] = {};
  return ::pread(file.Get(), end, sizeof end, st.st_size - 2) == 2 && end[0] == 0xFF &&
         end[1] == 0xD9;
}

}  // namespace quorvale
