#pragma once

// Runs quorvale-batch, or another program, as the command line tests need
// it, and reads what it wrote. Header-only: QUORVALE_BATCH_EXE is defined
// for the cli tests alone.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Sandbox.h"

namespace quorvale::testing {

// A program's exit status (-1 when it did not exit) and what it wrote.
struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// How the child is started besides its arguments.
struct Launch {
  std::string cwd;                    // empty: the test's own
  int pendingSignal = 0;              // start with it (SIGINT: a Ctrl-C) blocked and pending
  bool terminalOnStderr = false;      // standard error is a pseudo-terminal
  bool cwdRemoved = false;            // `cwd` is removed once the program is in it
  bool terminalOnStdout = false;      // standard output is a pseudo-terminal
  rlim_t fileSizeLimit = 0;           // non-zero: no file may grow past it, as on a full disk
  std::string exe = {};               // empty: the program as built; else a path or a name on PATH
  std::vector<std::string> env = {};  // "NAME=value" set, "NAME" removed, in the child only
};

// Runs quorvale-batch (or `launch.exe`) with `args`, standard input empty,
// standard output and standard error captured in files of `box`, or one of
// them read from a pseudo-terminal of 120 columns that passes bytes unchanged.
inline Result RunCli(const Sandbox& box, const std::vector<std::string>& args,
                     const Launch& launch = {}) {
  const std::string outPath = box.Path("stdout.txt");
  const std::string errPath = box.Path("stderr.txt");
  std::vector<char*> argv;
  std::string exe = launch.exe.empty() ? QUORVALE_BATCH_EXE : launch.exe;
  argv.push_back(exe.data());
  std::vector<std::string> copy = args;
  for (std::string& arg : copy) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int master = -1;
  std::string terminal;
  if (launch.terminalOnStderr || launch.terminalOnStdout) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    terminal = ptsname(master);
    const winsize size{.ws_row = 24, .ws_col = 120, .ws_xpixel = 0, .ws_ypixel = 0};
    ioctl(master, TIOCSWINSZ, &size);
  }

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const auto openOutput = [&](bool onTerminal, const std::string& file) {
      return onTerminal ? open(terminal.c_str(), O_WRONLY | O_NOCTTY)
                        : open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    };
    const int out = openOutput(launch.terminalOnStdout, outPath);
    const int err = openOutput(launch.terminalOnStderr, errPath);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    termios mode{};
    if (tcgetattr(launch.terminalOnStdout ? out : err, &mode) == 0) {
      mode.c_oflag &= ~OPOST;  // no "\r\n" for "\n"
      tcsetattr(launch.terminalOnStdout ? out : err, TCSANOW, &mode);
    }
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (master >= 0) close(master);
    for (const std::string& variable : launch.env) {
      const std::size_t equals = variable.find('=');
      if (equals == std::string::npos) {
        unsetenv(variable.c_str());
      } else {
        setenv(variable.substr(0, equals).c_str(), variable.c_str() + equals + 1, 1);
      }
    }
    if (!launch.cwd.empty() && chdir(launch.cwd.c_str()) != 0) _exit(126);
    if (launch.cwdRemoved && rmdir(launch.cwd.c_str()) != 0) _exit(126);
    if (launch.fileSizeLimit != 0) {
      // With SIGXFSZ ignored (kept across exec) a write past the limit
      // fails with EFBIG instead of killing the program.
      const rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
      signal(SIGXFSZ, SIG_IGN);
    }
    if (launch.pendingSignal != 0) {
      // Blocked signals stay pending across exec, so the program meets
      // this one as soon as it is ready for it.
      sigset_t pending;
      sigemptyset(&pending);
      sigaddset(&pending, launch.pendingSignal);
      sigprocmask(SIG_BLOCK, &pending, nullptr);
      raise(launch.pendingSignal);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  Result result;
  std::string& onTerminal = launch.terminalOnStdout ? result.out : result.err;
  if (master >= 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(master, buffer, sizeof buffer)) > 0) onTerminal.append(buffer, n);
    close(master);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (!launch.terminalOnStdout) result.out = box.Read("stdout.txt");
  if (!launch.terminalOnStderr) result.err = box.Read("stderr.txt");
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

// The lines of `text`, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The bytes of base64 `quoted`; what is no digit (quotes, padding) is skipped.
inline std::string FromBase64(const std::string& quoted) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  unsigned group = 0;
  int bits = 0;
  for (const char c : quoted) {
    if (digits.find(c) == std::string::npos) continue;  // quotes, padding
    group = (group << 6) | static_cast<unsigned>(digits.find(c));
    bits += 6;
    if (bits >= 8) bytes += static_cast<char>((group >> (bits -= 8)) & 0xFF);
  }
  return bytes;
}

}  // namespace quorvale::testing
