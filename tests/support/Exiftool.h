#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quorvale::testing {

// What exiftool prints for `arguments` (shell-quoted by the caller) on
// `path`; its standard error is dropped.
inline std::string RunExiftool(const std::string& arguments, const std::string& path) {
  const std::string command = "exiftool " + arguments + " '" + path + "' 2>/dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::string();
  std::string out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

// The value exiftool reads for each tag of `tags` (names as exiftool takes
// them, e.g. "ExifIFD:ExifImageWidth"), in order, as numbers where they are
// numbers; "-" for a tag the file does not have.
inline std::vector<std::string> ExiftoolValues(const std::string& path,
                                               const std::vector<std::string>& tags) {
  std::string arguments = "-n -f -s -s -s";
  for (const std::string& tag : tags) arguments += " -" + tag;
  const std::string out = RunExiftool(arguments, path);
  std::vector<std::string> values;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    values.push_back(out.substr(start, end - start));
  }
  return values;
}

}  // namespace quorvale::testing
