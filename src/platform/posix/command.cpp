// The command interpreter on POSIX: /bin/sh -c with the command line, waited for.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/platform.h"

extern char** environ;

namespace zandovir::platform {

int runInterpreter(const char* commandLine) {
  char shell[] = "/bin/sh";
  char option[] = "-c";
  char* arguments[] = {shell, option, const_cast<char*>(commandLine), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, shell, nullptr, nullptr, arguments, environ) != 0) return -1;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 0;
}

}  // namespace zandovir::platform
