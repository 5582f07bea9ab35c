// The simulated QV800 behind the stand-in device library "QV8DLL.DLL". Tests reach it through the extra
// export QV8SimGetControl of the same loaded module (the 36 entry points stay as they are): the SCSI bus,
// parameter 0, serial number and counters, the status and error bits, the feeder of synthetic cheques and
// per-call injected error numbers; every entry-point call is recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarn::qv8sim {

// Status-word bits.
inline constexpr uint32_t kStDocuments = 0x1;
inline constexpr uint32_t kStConfigNeeded = 0x10;
inline constexpr uint32_t kStInkJetFault = 0x80;
inline constexpr uint32_t kStConfigured = 0x400;

// The device configuration the simulated scanner took from the device-layout file at its last QVInit or
// QVSetConfig.
struct DeviceConfig {
  int format = 4;       // "IMAGE"/"Format": 1 or 2 BMP, otherwise TIFF
  int resolution = 1;   // "IMAGE"/"Resolution": 0 100 dpi, 4 300 dpi, otherwise 200 dpi
  int blackWhite = 1;   // "IMAGE"/"B/W"
  int gray256 = 1;      // "IMAGE"/"Gray 256 lev."
  int frontOnly = 0;    // "IMAGE"/"Front only"
  int frontRear = 1;    // "IMAGE"/"Front + Rear"
  int micr = 1;         // "MICR"/"Enable"
  int inkJet = 0;       // "DEVICES"/"Ink-Jet printer"
  int Dpi() const { return resolution == 0 ? 100 : resolution == 4 ? 300 : 200; }
  int Bits() const { return blackWhite != 0 ? 1 : gray256 != 0 ? 8 : 4; }
};

class Qv8SimControl {
 public:
  // Empties the bus, the feeder, the log and every injection; puts one QV800 at adapter 0, target 4.
  virtual void Reset() = 0;
  virtual void ClearBus() = 0;
  // A device on the bus; texts longer than their 32-byte field are cut without a NUL.
  virtual void SetDevice(int adapter, int target, const std::string& vendor, const std::string& product,
                         const std::string& release) = 0;
  virtual void SetParam0(int value) = 0;
  virtual void SetSerial(const std::string& serial) = 0;
  virtual void SetCounters(int32_t first, int32_t second) = 0;
  // Synthetic cheques from the seed; a document with an error number makes its read return that number.
  virtual void AddCheques(int count, uint32_t seed = 1) = 0;
  virtual void AddFailingDocument(int32_t errorNumber) = 0;
  virtual int DocumentsLeft() const = 0;
  // The code lines the reads handed out, in order.
  virtual std::vector<std::string> CodeLinesDelivered() const = 0;
  // Extra status bits (besides documents and configuration) and the error word; QVClearErrors clears it.
  virtual void SetStatusBits(uint32_t bits) = 0;
  virtual void SetErrorBits(uint32_t bits) = 0;
  // Keeps the configuration-needed bit set even after QVInit (a device that refuses its configuration).
  virtual void SetRefuseConfig(bool refuse) = 0;
  // Every later call of the entry point returns `errorNumber` (0 lets it work again).
  virtual void FailCall(const std::string& entryPoint, int32_t errorNumber) = 0;
  virtual DeviceConfig Config() const = 0;
  virtual bool ScanOpen() const = 0;
  // One line per call: the name, then its arguments separated by blanks.
  virtual std::vector<std::string> CallLog() const = 0;
  virtual void ClearCallLog() = 0;

 protected:
  ~Qv8SimControl() = default;
};

}  // namespace zarn::qv8sim

extern "C" zarn::qv8sim::Qv8SimControl* QV8SimGetControl();
