// The scripted fake device library: a shared library with the device library's exports, loaded by file
// name like the real one, for tests of the QV600 back-end. Tests reach its script through the extra export
// FakeQv6GetControl. It records every export call, runs a polling thread per connection that holds a
// re-entrant connection mutex while it calls the event functions (so a callback may call the exports
// again), delivers the next scripted document after each enable of scanning (one document per enable), and
// can make any export fail with a chosen last error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::fake {

// One scripted document. Within its tick: the code-line events (6 with samples when event 6 is set, 3 when
// event 3 is set), then front (4) and rear (5) image events for non-empty DIBs, then for each status pair
// the words are set and the status event (2) fires.
struct FakeDocument {
  std::string codeLine;
  std::vector<uint16_t> samples;
  std::vector<uint8_t> frontDib;  // empty: no front image (its getter gives null)
  std::vector<uint8_t> rearDib;
  std::vector<std::pair<uint32_t, uint32_t>> statusWords;  // {status, error} after the images
  uint32_t delayMs = 0;  // after scanning is enabled, before the document is delivered
};

class FakeQv6Control {
 public:
  // Closes every connection (joining its thread) and clears the script, failures and log.
  virtual void Reset() = 0;
  virtual void QueueDocument(const FakeDocument& document) = 0;
  // Milliseconds after opening until the device connects (event 0); -1 never connects.
  virtual void SetConnectDelay(int ms) = 0;
  // Makes QV6OpenConnection fail with this last error (0: succeed).
  virtual void SetOpenFailure(int lastError) = 0;
  virtual void SetStatusWords(uint32_t status, uint32_t error) = 0;
  virtual void SetIdentity(const std::vector<uint8_t>& block) = 0;
  virtual void SetOperatingMode(int mode) = 0;
  // Every later call of the export fails with `lastError` until ClearFailures.
  virtual void FailExport(const std::string& exportName, int lastError) = 0;
  virtual void ClearFailures() = 0;
  // Drops the device of every open connection (event 1, connected bit cleared).
  virtual void Disconnect() = 0;
  virtual std::vector<std::string> CallLog() const = 0;
  virtual void ClearCallLog() = 0;
  virtual int DocumentsDelivered() const = 0;
  // The thread id (platform numbering) of the last event delivery.
  virtual uint32_t LastEventThread() const = 0;

 protected:
  ~FakeQv6Control() = default;
};

}  // namespace zarn::fake

extern "C" zarn::fake::FakeQv6Control* FakeQv6GetControl();
