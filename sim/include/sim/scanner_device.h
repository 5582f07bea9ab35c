// ScannerDevice: what every simulated scanner shares over the driver-device interface, whatever its
// protocol family: its identity, a lock for its state (tests change it while a polling thread talks to
// it), and a count of the sessions the host opened and closed.
//
// The protocol families derive from it (FirstSeriesDevice: 5-byte commands and bulk pipes;
// LaterSeriesDevice: vendor requests and numbered pipes), and each series derives from its family.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "driver/sim_device.h"
#include "sim/identity.h"

namespace sim {

class ScannerDevice : public drv::SimDevice {
 public:
  explicit ScannerDevice(Identity identity) : identity_(std::move(identity)) {}

  Identity identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
  }
  void SetIdentity(Identity identity) {
    std::lock_guard lock(mutex_);
    identity_ = std::move(identity);
  }

  int sessionsOpened() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  int sessionsClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
  }

  void OnOpen() override {
    std::lock_guard lock(mutex_);
    ++opened_;
    SessionStarted();
  }
  void OnClose() override {
    std::lock_guard lock(mutex_);
    ++closed_;
  }

 protected:
  // Called with the lock held when the host opens the device (a family resets its cursors here).
  virtual void SessionStarted() {}

  mutable std::recursive_mutex mutex_;
  Identity identity_;

 private:
  int opened_ = 0;
  int closed_ = 0;
};

}  // namespace sim
