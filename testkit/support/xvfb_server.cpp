// Starts Xvfb with -displayfd and reads the display number it writes once it accepts connections.
#include "testkit/support/xvfb_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zc::testkit {

XvfbServer::XvfbServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) name_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace zc::testkit
