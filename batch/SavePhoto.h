#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec/JpegFile.h"
#include "pixels/Bitmap.h"

namespace quorvale {

enum class SaveStatus {
  Saved,
  NoPath,            // the path holds at most 2 bytes
  FolderNotCreated,  // the folder part (`folder`) cannot be created
  Exists,            // a file of that name exists and replacing was not asked
                     // (EEXIST); it is untouched
  WriteFailed,       // the photo cannot be encoded, or the file cannot be written
};

struct SaveResult {
  SaveStatus status = SaveStatus::Saved;
  int error = 0;       // errno of the call that failed; 0 for an encoder error
  std::string folder;  // the folder part of the path
};

// Encodes `bitmap` at `quality` and saves it to the full path `path`. The
// folder part is created with every missing level once the photo is
// encoded. The file is written as SafeFile writes (platform/SafeFile.h), so
// neither a failure, a kill nor a power cut leaves a partial file under the
// name, and an existing one is never harmed. An existing file, even one
// made by another writer after the caller looked, is replaced only with
// `replace` (else Exists). A target that is a folder, or a file nobody may
// write, is refused (WriteFailed, EISDIR or EACCES). Never changes the
// current folder. `extras` are written as EncodeJpeg writes them.
SaveResult SaveJpegFile(const Bitmap& bitmap, const std::string& path, int quality,
                        const JpegExtras& extras = {}, bool replace = true);

// SaveJpegFile of a photo encoded already: `bytes`, or nullopt for an
// encode that failed (WriteFailed).
SaveResult SaveJpegBytes(const std::optional<std::vector<std::uint8_t>>& bytes,
                         const std::string& path, bool replace = true);

// True when the file at `path` ends with the end-of-image marker (FF D9),
// as every complete JPEG does: one cut short by a power cut does not, nor
// the empty file by which a save on a file system without link() reserves
// its name.
bool EndsWithEndOfImage(const std::string& path);

}  // namespace quorvale
