#include "fakes/unprivileged.h"

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace orvex_test {

int RunUnprivileged(const std::function<int()>& check) {
#ifdef _WIN32
  return check();
#else
  const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
  if (geteuid() == 0 && nobody == nullptr) return -1;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (nobody != nullptr &&
        (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
      _exit(255);
    _exit(check());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
#endif
}

}  // namespace orvex_test
