#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace quorvale::testing {

// A fresh temporary folder for one test, removed with everything in it
// (read-only parts included) when the test ends. Also restores the current
// folder, should a test change it.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The folder, without a trailing '/'.
  const std::string& Root() const { return root_; }
  // Root() + "/" + relative.
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  // Creates each named file (with a little text) and the folders above it;
  // a name ending in '/' makes a folder.
  void Fill(std::initializer_list<std::string> names) const;
  // Writes `bytes` to the file `relative`, making folders as needed.
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;
  // Makes `folders` below the root, each inside the one before, and writes
  // `bytes` to `name` in the innermost; the whole path may pass the system's
  // path limit, as each step is made relative to the folder before. Returns
  // the file's full path.
  std::string WriteDeep(const std::vector<std::string>& folders, const std::string& name,
                        const std::string& bytes) const;

 private:
  std::string root_;
  std::filesystem::path previousCwd_;
};

}  // namespace quorvale::testing
