// Runs outside programs for tests: fork and exec of /bin/sh in its own process group, both output
// streams on one pipe, a poll loop that stops at the time limit.
#include "testkit/support/external_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace zc::testkit {

bool HaveTool(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos) return false;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const size_t colon = dirs.find(':');
    std::string candidate(dirs.substr(0, colon));
    if (candidate.empty()) candidate = ".";
    candidate += '/';
    candidate.append(name);
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return true;
    }
    if (colon == std::string_view::npos) return false;
    dirs.remove_prefix(colon + 1);
  }
}

bool HavePythonModule(std::string_view module) {
  return RunCommand("/usr/bin/python3 -c 'import " + std::string(module) + "'", std::chrono::seconds(30))
      .ok();
}

CommandResult RunCommand(const std::string& command, std::chrono::milliseconds limit) {
  CommandResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (pid == 0) {
    // Only async-signal-safe calls until exec: the parent may have other threads.
    ::setpgid(0, 0);
    const int nul = ::open("/dev/null", O_RDONLY);
    if (nul >= 0) ::dup2(nul, STDIN_FILENO);
    ::dup2(fds[1], STDOUT_FILENO);
    ::dup2(fds[1], STDERR_FILENO);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also from here, so the kill below finds the group whichever runs first
  ::close(fds[1]);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // every writer has closed the pipe
    result.output.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (result.timedOut) ::kill(-pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = !result.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace zc::testkit
