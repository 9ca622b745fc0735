#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <functional>

#include <gtest/gtest.h>

namespace quorvale::testing {

// Runs `body` in a child process once `setup` (run there first) has
// succeeded; the child's failed expectations are printed by the child and
// fail the test here through its exit status.
inline void RunInChild(const std::function<bool()>& setup, const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (!setup()) {
      std::fputs("the child's set-up failed\n", stderr);
      ::_exit(3);
    }
    try {
      body();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "the child threw: %s\n", error.what());
      ::_exit(4);
    }
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the part run in a child process failed (its messages are above)";
}

// Limits the address space of this process to what it uses now and
// `headroom` bytes more; false when that cannot be done. For a child: the
// sanitizers reserve far more address space than any such limit allows.
inline bool LimitAddressSpace(rlim_t headroom) {
  std::FILE* statm = std::fopen("/proc/self/statm", "re");
  unsigned long pages = 0;
  if (statm != nullptr) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlimit limit{pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom, RLIM_INFINITY};
  return pages > 0 && setrlimit(RLIMIT_AS, &limit) == 0;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVALE_SKIP_UNDER_SANITIZERS() \
  GTEST_SKIP() << "an address space limit cannot be set under the sanitizers"
#else
#define QUORVALE_SKIP_UNDER_SANITIZERS() (void)0
#endif

}  // namespace quorvale::testing
