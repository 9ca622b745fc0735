#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "support/Child.h"
#include "support/Sandbox.h"

namespace quorvale::testing {

// The user and group that permission checks are made against when the tests
// run as root (as CI does): Debian's nobody and nogroup.
inline constexpr uid_t UnprivilegedUser = 65534;
inline constexpr gid_t UnprivilegedGroup = 65534;

// Runs `body` as a user that file permissions apply to. A normal user runs it
// in place. Root hands the whole sandbox to nobody, then runs `body` in a
// child process that has dropped to nobody for good; the child's failed
// expectations are printed by the child and fail the test here through its
// exit status. `body` must create everything it checks inside the sandbox
// (root-owned files made before the call are handed over too).
inline void RunUnprivileged(const Sandbox& box, const std::function<void()>& body) {
  if (::geteuid() != 0) {
    body();
    return;
  }
  namespace fs = std::filesystem;
  std::error_code error;
  ASSERT_EQ(::lchown(box.Root().c_str(), UnprivilegedUser, UnprivilegedGroup), 0);
  for (auto it = fs::recursive_directory_iterator(box.Root(), error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    ASSERT_EQ(::lchown(it->path().c_str(), UnprivilegedUser, UnprivilegedGroup), 0) << it->path();
  }
  ASSERT_FALSE(error) << error.message();

  RunInChild(
      [] {
        // Groups first: once the user id is dropped they can no longer be changed.
        const gid_t group = UnprivilegedGroup;
        return ::setgroups(1, &group) == 0 &&
               ::setresgid(UnprivilegedGroup, UnprivilegedGroup, UnprivilegedGroup) == 0 &&
               ::setresuid(UnprivilegedUser, UnprivilegedUser, UnprivilegedUser) == 0 &&
               ::geteuid() != 0;
      },
      body);
}

}  // namespace quorvale::testing
