#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/FileDescriptor.h"

namespace quorvale {

// A new file's bytes written ahead of the moment it is named, as SafeFile
// writes them (platform/SafeFile.h).
class StagedFile {
 public:
  // Stages `bytes` as the new file `name` of the folder open as `folder`:
  // none when they could not be written (a save made whole at its turn then
  // says why).
  static std::optional<StagedFile> Stage(FileDescriptor folder, const std::string& name,
                                         std::span<const std::uint8_t> bytes);

  // Flushes the file and gives it its name, never over anything: 0, EEXIST
  // when the name is taken (that file untouched), or the errno of the step
  // that failed. Once only; the file is gone after a failure. An
  // uncommitted file vanishes with the object.
  int Commit();

  StagedFile(StagedFile&&) noexcept;
  StagedFile& operator=(StagedFile&&) noexcept;
  ~StagedFile();

 private:
  struct State;
  explicit StagedFile(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quorvale
