// DeviceModel: the operations a connection asks of its connected scanner model.
//
// Each device series implements this interface in its template class; models derive from the template.
// Operations every series has are pure. Operations some series lack have a default that answers the
// fixed value of "no such operation" (1, or -1 for the franker), so a series overrides only what it has.
// Models return 1 for success and 0 for failure and throw nothing across this interface. Text and
// buffer arguments come from the caller as given: texts may be NULL, and a (buffer, length) pair has
// been checked to be usable (length not negative, buffer present when length is not 0).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/event_table.h"

namespace qv6 {

class FirmwareUpdateView;

// Result of an operation the connected series does not have.
inline constexpr int kNoSuchOperation = 1;
// Result of Frank when no franker is there.
inline constexpr int kNoFranker = -1;

// What a freshly detected model starts up with. The later series take the firmware file name read from
// the descriptor INI and three texts of the identity block; the first series has no firmware file
// (firmwareFile is nullptr) and reads its mechanical sections instead.
struct ModelStartUp {
  const char* firmwareFile = nullptr;
  const char* state = "";         // field 7 of the identity
  const char* version = "";       // field 3
  const char* manufacturer = "";  // field 0
  FirmwareUpdateView* firmwareView = nullptr;  // the connection's diagnostics dialog
};

class DeviceModel {
 public:
  DeviceModel() = default;
  virtual ~DeviceModel() = default;
  DeviceModel(const DeviceModel&) = delete;
  DeviceModel& operator=(const DeviceModel&) = delete;

  // ---- Operations of every series ----
  virtual int GetStatus(int* status, int* errors) = 0;
  virtual int InitDeviceFromFile(const char* file, const char* section) = 0;
  virtual int SetMechConfig(const char* file, int flag) = 0;
  virtual int GetMechConfig(const char* file, int flag) = 0;
  virtual int GetCfgData(int type, void* buffer, int length) = 0;
  virtual int SetCfgData(int type, const void* data, int length) = 0;
  virtual int ReadNewImage(const std::array<int, 8>& arguments) = 0;
  virtual const char* GetMicrCodelinePtr() = 0;
  virtual void* GetFrontImageDIBPtr() = 0;
  virtual void* GetRearImageDIBPtr() = 0;
  virtual int EnableScan(int on) = 0;
  // Only the eject of a series that uses it looks at value.
  virtual int EjectDocument(int value) = 0;
  virtual int ClearPowerOnFlag() = 0;
  virtual int ClearErrors() = 0;
  virtual int Rs232Tx(const void* data, int length) = 0;
  // count: the buffer's capacity on entry, the bytes received on return (never above the capacity).
  virtual int Rs232Rx(void* buffer, int* count) = 0;
  // 1-bit endorsement image of width x rows; the series takes one of the two print positions.
  virtual int SetBmpToPrint(const void* bits, int width, int rows, int position1, int position2,
                            int flags) = 0;
  virtual int StringToPrint(const char* text, int length, int position1, int position2, int flags) = 0;
  // Copies the scanner's identity block (at most size bytes) into buffer.
  virtual int ReadIdentity(uint8_t* buffer, size_t size) = 0;
  // The poll tick: link check first, status poll second; a zero result of either disconnects.
  virtual int LinkCheck() = 0;
  virtual int PollStatus() = 0;

  // ---- Operations some series lack ----
  // Series without a partial scan enable the whole scan and drop value.
  virtual int EnablePartialScan(int on, int /*value*/) { return EnableScan(on); }
  virtual int EnableEarlyScan() { return kNoSuchOperation; }
  virtual int SetDestinationPocket(int /*pocket*/) { return kNoSuchOperation; }
  virtual int SelfCalib(int /*value*/) { return kNoSuchOperation; }
  // *mode is already 0 when this is called.
  virtual int GetOperatingMode(int* /*mode*/) { return kNoSuchOperation; }
  virtual int MaintenanceMode(int /*value*/) { return kNoSuchOperation; }
  virtual int SetConfig_MicrGain(int /*a*/, int /*b*/) { return kNoSuchOperation; }
  virtual int SetConfig_MicrAgc(int /*a*/, int /*b*/) { return kNoSuchOperation; }
  virtual int SetConfig_ScanMode(int /*mode*/) { return kNoSuchOperation; }
  virtual int Frank(int /*value*/) { return kNoFranker; }
  // Brings the scanner up right after detection (firmware and configuration); non-zero when it is ready.
  // A model with nothing to bring up is ready at once.
  virtual int StartUp(const ModelStartUp& /*start*/) { return 1; }
  // Told the connection's event mode when the connection hands its event table over.
  virtual int SetEventMode(int /*mode*/) { return 1; }

  // The connection's live event table; set when the model connects.
  void BindEvents(const EventTable* events) { events_ = events; }

 protected:
  // Logs text at level 80, then delivers events 2 to 6 through the connection's table.
  void RaiseEvent(int event, intptr_t value, const char* text) const;

 private:
  const EventTable* events_ = nullptr;
};

}  // namespace qv6
