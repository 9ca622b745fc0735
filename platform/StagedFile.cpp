#include "platform/StagedFile.h"

#include <cerrno>
#include <utility>

#include "platform/SafeFile.h"

namespace quorvale {

// The folder is declared first, so that it stays open until the file is
// gone.
struct StagedFile::State {
  State(FileDescriptor folderToUse, const std::string& name)
      : folder(std::move(folderToUse)),
        file(SafeFile::CreateIn(folder.Get(), name, IfExists::Keep)) {}
  FileDescriptor folder;
  SafeFile file;
};

std::optional<StagedFile> StagedFile::Stage(FileDescriptor folder, const std::string& name,
                                            std::span<const std::uint8_t> bytes) {
  auto state = std::make_unique<State>(std::move(folder), name);
  if (!state->file.Append(bytes)) return std::nullopt;
  return StagedFile(std::move(state));
}

StagedFile::StagedFile(std::unique_ptr<State> state) : state_(std::move(state)) {}
StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;
StagedFile::~StagedFile() = default;

int StagedFile::Commit() {
  if (!state_) return EBADF;
  const std::unique_ptr<State> state = std::move(state_);
  return state->file.Commit();
}

}  // namespace quorvale
