// A private Xvfb server for tests that drive a real X display.
#pragma once

#include <sys/types.h>

#include <string>

namespace zc::testkit {

// An Xvfb server on a display it picks itself (-displayfd), stopped with the object. Name() is the
// display name (":N"), empty when the server did not start.
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  const std::string& Name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace zc::testkit
