#include "support/Sandbox.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quorvale::testing {

namespace fs = std::filesystem;

Sandbox::Sandbox() : previousCwd_(fs::current_path()) {
  std::string pattern = (fs::temp_directory_path() / "quorvale-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::current_path(previousCwd_, ignored);
  // Give every folder back its write bit so that a test's read-only folder
  // does not keep the sandbox alive.
  for (auto it = fs::recursive_directory_iterator(root_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
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

}  // namespace quorvale::testing
