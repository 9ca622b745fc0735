#include "support/Sandbox.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvale::testing {

namespace fs = std::filesystem;

namespace {

// Empties the folder open as `folder` (and closes it), giving every folder
// its owner's bits back first so that a read-only or unlistable folder made
// by a test does not keep the sandbox alive. Works through descriptors, so
// depth and path length do not matter.
void EmptyFolder(int folder) {
  fchmod(folder, 0700);
  DIR* dir = fdopendir(folder);
  if (dir == nullptr) {
    close(folder);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      const int inner = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
      if (inner < 0) {
        fchmodat(dirfd(dir), name.c_str(), 0700, 0);
        const int retried = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (retried >= 0) EmptyFolder(retried);
      } else {
        EmptyFolder(inner);
      }
      unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(dirfd(dir), name.c_str(), 0);
    }
  }
  closedir(dir);
}

}  // namespace

Sandbox::Sandbox() : previousCwd_(fs::current_path()) {
  std::string pattern = (fs::temp_directory_path() / "quorvale-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::current_path(previousCwd_, ignored);
  chmod(root_.c_str(), 0700);
  const int root = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (root >= 0) EmptyFolder(root);
  rmdir(root_.c_str());
}

void Sandbox::Fill(std::initializer_list<std::string> names) const {
  for (const std::string& name : names) {
    if (!name.empty() && name.back() == '/') {
      fs::create_directories(Path(name));
    } else {
      Write(name, "not a photo: " + name + "\n");
    }
  }
}

void Sandbox::Write(const std::string& relative, const std::string& bytes) const {
  const fs::path path = Path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Sandbox::Read(const std::string& relative) const {
  std::ifstream in(Path(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string Sandbox::WriteDeep(const std::vector<std::string>& folders, const std::string& name,
                               const std::string& bytes) const {
  int folder = open(root_.c_str(), O_RDONLY | O_DIRECTORY);
  std::string path = root_;
  for (const std::string& step : folders) {
    if (mkdirat(folder, step.c_str(), 0777) != 0 && errno != EEXIST) folder = -1;
    const int inner = folder < 0 ? -1 : openat(folder, step.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) close(folder);
    folder = inner;
    if (folder < 0) throw std::runtime_error("cannot make " + path + "/" + step);
    path += "/" + step;
  }
  const int file = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  close(folder);
  path += "/" + name;
  if (file < 0 || write(file, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    if (file >= 0) close(file);
    throw std::runtime_error("cannot write " + path);
  }
  close(file);
  return path;
}

}  // namespace quorvale::testing
