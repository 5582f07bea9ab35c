// ScannerDeviceTemplate: the base of the first-series models (QV600, QV605). It owns what both share:
// the status words, the document cycle and its events, the magnetic read and decode, the serial receive
// ring, the configuration-block requests, the endorsement block, the scan configuration and the shared
// device blocks. The models supply the image paths, the image-settings and mechanical blocks and their
// mechanical configuration file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/device_model.h"
#include "devicelib/core/micr/micr.h"
#include "qv6/later/serial_ring.h"
#include "qv6/qv60x/first_scan_config.h"
#include "qv6/qv60x/qv6xx_commands.h"
#include "qv6/qv6dll.h"

namespace qv6 {

namespace first {

// Block numbers.
inline constexpr uint8_t kStatusBlock = 2;
inline constexpr uint8_t kFrontSettings = 32;
inline constexpr uint8_t kRearSettings = 33;
inline constexpr uint8_t kBlock34 = 34;
inline constexpr uint8_t kPrinterBlock = 35;
inline constexpr uint8_t kSerialBlock = 36;
inline constexpr uint8_t kAuxFrontSettings = 37;
inline constexpr uint8_t kAuxRearSettings = 38;
inline constexpr uint8_t kFrontModule = 64;
inline constexpr uint8_t kRearModule = 65;
inline constexpr uint8_t kFrontAdc = 66;
inline constexpr uint8_t kRearAdc = 67;
inline constexpr uint8_t kFirstPixelTable = 68;  // 68, 69 front; 70, 71 rear
inline constexpr uint8_t kMotorBlock = 72;
inline constexpr uint8_t kPathBlock = 73;
inline constexpr uint8_t kMicrHeadBlock = 74;
inline constexpr uint8_t kPrinterPosBlock = 75;
inline constexpr uint8_t kPrintBlock = 96;
inline constexpr uint8_t kSerialInBlock = 98;
inline constexpr size_t kBlockHead = 4;

// The settings of one image side as blocks 32, 33, 37 and 38 carry them.
struct ImageSettings {
  uint16_t word = 0;  // bit 0 and bits 10-15 the device's; depth bits 1-3; threshold 4-7; field 8-9
  uint32_t start = 0;
  uint32_t end = 0;
  uint16_t resolution = 200;
  uint8_t ratios[3] = {33, 34, 33};
  uint16_t contrast = 100;
  uint16_t iniPos = 0;
  uint16_t endPos = 0;

  int depthCode() const { return (word >> 1) & 7; }
  int threshold() const { return (word >> 4) & 15; }
};

struct ModuleRecord {
  uint16_t resolution = 200;
  uint16_t flags = 0;  // bits 0-2 sensor type, bit 3 scan direction
  uint16_t pixels = 832;
  uint16_t first = 0;
  uint16_t valid = 832;
  uint16_t position = 0;
  uint16_t drop = 0;
};

struct MotorBlock {
  uint16_t start = 2800;
  uint32_t steps = 15;
  std::array<std::array<uint16_t, 2>, 32> accel{};
};

// Serial-port and endorsement limits, and the most sample bytes one magnetic read asks for.
inline constexpr size_t kRingSize = later::SerialRing::kSize;
inline constexpr int kMaxSampleBytes = 65436;

}  // namespace first

class ScannerDeviceTemplate : public DeviceModel {
 public:
  explicit ScannerDeviceTemplate(Qv600Commands& commands);
  ~ScannerDeviceTemplate() override = default;

  // ---- DeviceModel ----
  int GetStatus(int* status, int* errors) override;
  int SetMechConfig(const char* file, int store) override;
  int GetMechConfig(const char* file, int recall) override;
  int GetCfgData(int type, void* buffer, int length) override;
  int SetCfgData(int type, const void* data, int length) override;
  int ReadNewImage(const std::array<int, 8>& arguments) override;
  const char* GetMicrCodelinePtr() override;
  void* GetFrontImageDIBPtr() override;
  void* GetRearImageDIBPtr() override;
  int EnableScan(int on) override;
  int EnablePartialScan(int on, int mask) override;
  int EjectDocument(int value) override;
  int ClearPowerOnFlag() override;
  int ClearErrors() override { return EnableScan(0); }
  int Rs232Tx(const void* data, int length) override;
  int Rs232Rx(void* buffer, int* count) override;
  int SetBmpToPrint(const void* bits, int width, int rows, int position1, int position2, int flags) override;
  int StringToPrint(const char* text, int length, int position1, int position2, int flags) override;
  int ReadIdentity(uint8_t* buffer, size_t size) override { return commands_.ReadIdentity(buffer, size); }
  int LinkCheck() override { return ServicePending(); }
  int PollStatus() override;
  int SetEventMode(int mode) override;
  // The first series has no firmware file: the scanner's mechanical sections are read instead.
  int StartUp(const ModelStartUp& start) override;

  // ---- Template operations ----
  int ServicePending();
  int ReadStatus();
  int RaiseEvents();
  int ReadMicr();
  int PrintBitmap(const void* bits, int width, int rows, int position, int flags);
  int PrintString(const char* text, int length, int position, int flags);
  int LoadCfgFromIni(const char* file, const char* section);
  int SaveCfgToIni(const char* file, const char* section);
  int WriteSection(uint8_t block);
  int WriteBulkSection(uint8_t block);
  int ReadSection(uint8_t block);
  int ComputeWidth(bool aux, int side) const;
  // First of the first 32 pixels whose table 1 exceeds table 2 by more than 64; 32 when none does.
  int FirstValidPixel(int side) const;

  // ---- Model operations ----
  virtual int SetImageType(int side) = 0;
  virtual void* GetImageBuffer(int side) = 0;
  virtual int PrepareScan() = 0;
  virtual int GetImages() = 0;
  virtual int SendImageSettings();
  virtual int TransferMechSections(int write) = 0;
  virtual int SelectMechImage(int flag) { return commands_.SelectMechImage(flag); }
  virtual int LoadMechConfigFromIni(const char* file) = 0;
  virtual int SaveMechConfigToIni(const char* file) = 0;
  // The block's total length (head included) in out, or 0 for a block without an encoding.
  virtual size_t BuildDeviceBlock(uint8_t block, std::span<uint8_t> out);
  // 1 for a known block; data is the reply (head and data), received its length.
  virtual int ParseDeviceBlock(std::span<const uint8_t> reply);
  // The depth codes the model takes: 0-2 for the QV600, 0-3 for the QV605.
  virtual int MaxDepthCode() const { return 2; }

  // ---- State visible to the models and to tests ----
  const first::ScanConfig& scanConfig() const { return config_; }
  const std::array<uint16_t, 11>& statusWords() const { return w_; }
  const first::ImageSettings& settings(uint8_t block) const { return settings_[SettingsIndex(block)]; }
  const first::ModuleRecord& module(int side) const { return modules_[side != 0 ? 1 : 0]; }
  std::span<const uint8_t> pixelTable(int index) const { return pixelTables_[static_cast<size_t>(index & 3)]; }
  const QV6MicrSamples& micrSamples() const { return samplesRecord_; }
  int eventMode() const { return eventMode_; }
  bool initialised() const { return initialised_; }

 protected:
  static size_t SettingsIndex(uint8_t block);
  // Encodes / parses one side's settings through the model's layout.
  void FillSettings(uint8_t block, const first::SideConfig& side, int depthCode, int resolution);
  // Window pixels of a side's positions (tenths of a millimetre) along its module.
  void SetWindow(first::ImageSettings& s, int side, int startPos, int endPos) const;
  void Raise(int event, intptr_t value);
  void SetAdcGain(int side, int gain, std::initializer_list<int> bytes);
  void SetAdcOffset(int side, int offset, std::initializer_list<int> bytes);
  int AdcGain(int side, int byte) const { return adc_[side][static_cast<size_t>(byte)]; }
  int AdcOffset(int side, int byte) const;

  Qv600Commands& commands_;
  first::ScanConfig config_;
  int resolution_ = 200;
  int depthCode_ = 2;
  int eventMode_ = 0;
  bool initialised_ = false;
  std::array<uint16_t, 11> w_{};
  std::array<uint16_t, 11> previous_{};
  // The last status change fetched data: the previous status holds ready marks the fetch took down.
  bool fetched_ = false;
  // Per document.
  bool reprocess_[2] = {false, false};
  bool imagesFinal_ = false;
  bool sideRead_[2] = {false, false};
  bool micrDone_ = false;
  // A side asked for whose read failed; once the scanner no longer offers the images the document is
  // incomplete, a device error until the next enable or a change of event mode.
  bool sideFailed_[2] = {false, false};
  bool imageMissing_ = false;
  bool pending_ = false;
  std::array<int, 8> newImage_{};
  // Blocks.
  std::array<first::ImageSettings, 4> settings_{};
  std::array<uint8_t, 10> block34_{};
  std::array<first::ModuleRecord, 2> modules_{};
  std::array<std::array<uint8_t, 10>, 2> adc_{};
  std::array<std::vector<uint8_t>, 4> pixelTables_;
  first::MotorBlock motor_;
  std::array<uint16_t, 2> path_{450, 50};
  std::array<uint16_t, 2> micrHead_{101, 25000};
  std::array<uint16_t, 8> printerPos_{300, 60, 5, 2, 120, 16, 900, 40};

 private:
  int DrainSerial();
  int ReadSectionData(uint8_t block, uint8_t* buffer, size_t length, size_t* received);

  later::SerialRing ring_;
  Micr micr_;
  const char* codeLine_ = nullptr;
  std::array<char, 65> codeLineText_{};
  std::vector<uint16_t> samples_;
  QV6MicrSamples samplesRecord_{};
};

}  // namespace qv6
