// Qv6Device: the object behind one connection index.
//
// It holds at most one connected model, the connection's re-entrant mutex, its live event table and event
// mode, and its polling thread. Every operation the exports reach takes the mutex and forwards to the
// model; with no model an operation answers 0 (Frank: -1) without touching a scanner. The device is shared
// (the connection table and each running export or poll tick hold a reference), so a close on one thread
// never frees a device another thread is still using.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_model.h"
#include "device/event_table.h"
#include "device/series_probe.h"
#include "diag/diagnostic_popup.h"
#include "platform/thread.h"

namespace qv6 {

class PollingThread;

class Qv6Device : public std::enable_shared_from_this<Qv6Device> {
 public:
  // A device probing the series registered in the SeriesCatalog.
  Qv6Device();
  // A device probing the given series, in the given order.
  explicit Qv6Device(std::vector<std::unique_ptr<SeriesProbe>> probes);
  virtual ~Qv6Device();
  Qv6Device(const Qv6Device&) = delete;
  Qv6Device& operator=(const Qv6Device&) = delete;

  // ---- Model operations (under the mutex) ----
  int GetStatus(int* status, int* errors);
  int InitDeviceFromFile(const char* file, const char* section);
  int SetMechConfig(const char* file, int flag);
  int GetMechConfig(const char* file, int flag);
  int GetCfgData(int type, void* buffer, int length);
  int SetCfgData(int type, const void* data, int length);
  int ReadNewImage(const std::array<int, 8>& arguments);
  const char* GetMicrCodelinePtr();
  void* GetFrontImageDIBPtr();
  void* GetRearImageDIBPtr();
  int EnableScan(int on);
  int EnablePartialScan(int on, int value);
  int EnableEarlyScan();
  int SetDestinationPocket(int pocket);
  // Disables the scan (one lock), then ejects (a second lock).
  int EjectDocument(int value);
  int ClearPowerOnFlag();
  int ClearErrors();
  int Rs232Tx(const void* data, int length);
  int Rs232Rx(void* buffer, int* count);
  int SelfCalib(int value);
  int GetOperatingMode(int* mode);
  int MaintenanceMode(int value);
  int SetConfigMicrGain(int a, int b);
  int SetConfigMicrAgc(int a, int b);
  int SetConfigScanMode(int mode);
  int SetBmpToPrintEX(const void* bits, int width, int rows, int position1, int position2, int flags);
  int StringToPrintEX(const char* text, int length, int position1, int position2, int flags);
  int Frank(int value);
  // Copies the identity block of the connected scanner into buffer (at most size bytes).
  int GetInfo(uint8_t* buffer, size_t size);

  // ---- Events ----
  // Stores fn for event 0..6 without taking the mutex; 0 for another event number. A first event-0
  // function set while connected is called at once with (0, 0) on the caller's thread.
  int SetEventFunction(int event, QV6EventCallback fn);
  const EventTable& events() const { return events_; }

  // ---- Connection life ----
  // Copies the descriptor INI names, sets the event delivery (mode 2: to threadId, or to the calling
  // thread when it is 0) and starts the polling thread. 1 when the polling thread runs.
  int OpenConnection(int mode, uint32_t messageId, uint32_t threadId, const std::string& descriptorIni,
                     const std::string& descriptorSection);
  // Sets the descriptor INI names without starting anything (immediate connections).
  void SetDescriptor(const std::string& descriptorIni, const std::string& descriptorSection);
  // Ends the polling thread and clears the event mode, so no event is delivered any more.
  int CloseConnection();
  // CloseConnection, then waits until every polling thread of the device has ended, so that the caller's
  // reference is the last one. Not from a polling thread of this device.
  void Shutdown();
  // Probes the series in order; on success hands over the event table and raises event 0.
  int Connect();
  // Drops the model, closes every transport, raises event 1. Only when connected.
  int Disconnect();
  // One poll tick: 0 keep the timer, 1 switch to the check timer, 2 switch to the poll timer.
  int Poll();
  // Firmware download through a series transport without a connected model (temporary devices).
  int UpdateFirmw(const uint8_t* image, size_t length);

  bool connected() const { return connected_.load(); }
  bool closing() const { return closing_.load(); }
  plat::RecursiveMutex& mutex() { return mutex_; }
  // The status word the status trace last reported.
  uint32_t previousStatus() const { return previousStatus_.load(); }
  void setPreviousStatus(uint32_t status) { previousStatus_.store(status); }
  // Id of the current polling thread, 0 when none.
  plat::ThreadId pollingThreadId() const;
  // The connection's diagnostics dialog.
  CDiagnosticPopup& diagnostics() { return *diag_; }

 private:
  friend class PollingThread;

  int StartPolling();
  int StopPolling();
  int RestartPolling();
  void DeleteModels();
  void CloseTransports();
  int PassEventTable();
  int NotifyConnected();
  int NotifyDisconnected();
  void ReportConnect();
  // Joins every polling thread this device started, except the calling one.
  void JoinPollingThreads();
  // Frees retired polling threads that have already ended, so reconnect cycles leave nothing behind.
  void ReapEndedPollingThreads();
  // Parks the calling thread's own retired polling thread, so that a close from inside a callback
  // leaves it where the program's next reap (or its exit) joins it, even before the device goes.
  void ParkOwnPollingThread();

  mutable plat::RecursiveMutex mutex_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> closing_{false};
  std::atomic<uint32_t> previousStatus_{0};
  std::string descriptorIni_;
  std::string descriptorSection_;
  EventTable events_;
  std::vector<std::unique_ptr<SeriesProbe>> probes_;
  std::unique_ptr<DeviceModel> model_;
  std::unique_ptr<PollingThread> polling_;               // guarded by mutex_
  std::vector<std::unique_ptr<PollingThread>> retired_;  // told to end, not yet joined
  std::unique_ptr<CDiagnosticPopup> diag_;
};

}  // namespace qv6
