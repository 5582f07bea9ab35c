// A diagnostics host for tests: Shift as the test sets it, a count of changes, a pump that can press a
// button of the view it pumps for.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/diagnostics_host.h"

namespace qv6::testing {

class FakeHost : public plat::DiagnosticsHost {
 public:
  FakeHost() { plat::SetDiagnosticsHost(this); }
  ~FakeHost() override { plat::SetDiagnosticsHost(nullptr); }
  bool ShiftDown() override { return shift; }
  void Changed(plat::DiagnosticsView& v) override {
    ++changes;
    const std::string status = v.StatusText();
    std::lock_guard lock(m);
    if (statuses.empty() || statuses.back().second != status) statuses.emplace_back(plat::NowMs(), status);
  }
  void Detach(plat::DiagnosticsView&) override { ++detaches; }
  void Pump() override {
    ++pumps;
    if (onPump) onPump();
  }

  std::atomic<bool> shift{false};
  std::atomic<int> changes{0}, detaches{0}, pumps{0};
  std::mutex m;
  std::vector<std::pair<uint64_t, std::string>> statuses;  // each new status text and when it came
  std::function<void()> onPump;
};

}  // namespace qv6::testing
