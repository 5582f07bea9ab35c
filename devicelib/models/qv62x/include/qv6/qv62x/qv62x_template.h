// ScannerQV62xDeviceTemplate: the device object of the QV62x series (QV602, QV620, QV702). It owns the
// whole document cycle: the 23-byte status block, the API status words, the events, the raw image data of
// both sides in one buffer, the host-side jam check, both sides' images and the code line, and the scan
// and mechanical configurations. It is built from the later series' parts: the block tables (with the
// QV62x layouts), the serial ring, the scan configuration (its QV62x dialect), the mechanical INI
// bindings, the EEPROM image and the firmware update, and keeps its settings-block copies per connection.
//
// The models derive from it and change a handful of operations (ClearErrors, SetDestinationPocket, the
// command after a firmware check, SelfCalib, FixupMechConfig, the print position).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "device/device_model.h"
#include "devicelib/core/micr/micr.h"
#include "qv6/image/image_cropping.h"
#include "qv6/image/scan_lines.h"
#include "qv6/later/device_block.h"
#include "qv6/later/scan_config.h"
#include "qv6/later/serial_ring.h"
#include "qv6/models/mech_file_base.h"
#include "qv6/qv62x/qv62x_blocks.h"
#include "qv6/qv62x/qv62x_commands.h"
#include "qv6/qv62x/raw_document.h"

namespace qv6 {

class ScannerQV62xDeviceTemplate : public DeviceModel {
 public:
  static constexpr size_t kTableBytes = 2048;     // each calibration table
  static constexpr size_t kPhotoOutBytes = 3000;  // each threshold and average table
  static constexpr int kTables = 16;
  static constexpr int kFirstTableTag = 256;
  static constexpr size_t kMaxSampleBytes = 65436;
  static constexpr size_t kSampleBufferBytes = 65536;  // the sample read rounded up to whole packets
  static constexpr size_t kRs232TxMax = 100;
  static constexpr size_t kRs232ReadPiece = 128;
  static constexpr uint32_t kScanningWaitMs = 5000;
  static constexpr uint32_t kDoubleFeedWaitMs = 3000;

  ScannerQV62xDeviceTemplate(Qv62xCommands& commands, qv62x::Model model);
  ~ScannerQV62xDeviceTemplate() override = default;

  void SetMechFile(MechFileBaseClass* mechFile) { mechFile_ = mechFile; }

  // ---- DeviceModel ----
  int GetStatus(int* status, int* errors) override;
  int InitDeviceFromFile(const char* file, const char* section) override;
  int SetMechConfig(const char* file, int flag) override;
  int GetMechConfig(const char* file, int flag) override;
  int GetCfgData(int type, void* buffer, int length) override;
  int SetCfgData(int type, const void* data, int length) override;
  int ReadNewImage(const std::array<int, 8>& arguments) override;
  const char* GetMicrCodelinePtr() override;
  void* GetFrontImageDIBPtr() override;
  void* GetRearImageDIBPtr() override;
  int EnableScan(int on) override;
  int EjectDocument(int value) override;
  int ClearPowerOnFlag() override;
  int ClearErrors() override;
  int Rs232Tx(const void* data, int length) override;
  int Rs232Rx(void* buffer, int* count) override;
  int SetBmpToPrint(const void* bits, int width, int rows, int position1, int position2, int flags) override;
  int StringToPrint(const char* text, int length, int position1, int position2, int flags) override;
  int ReadIdentity(uint8_t* buffer, size_t size) override;
  int LinkCheck() override { return ServicePending(); }
  int PollStatus() override;
  int SetDestinationPocket(int pocket) override;
  int SelfCalib(int /*skip*/) override { return 1; }
  int SetEventMode(int mode) override;
  int StartUp(const ModelStartUp& start) override;

  // ---- Operations of the template ----
  int UpdateFirmware(const char* pattern, const char* state, const char* version, const char* manufacturer);
  int ServicePending();
  int ReadStatusBlock();
  int SendDeviceBlock(uint16_t type);
  int ReadDeviceBlock(uint16_t type, size_t length);
  int LoadCfgFromIni(const char* file, const char* section);
  int SaveCfgToIni(const char* file, const char* section);
  int SendChangedConfig();
  int TransferMechSections(int toDevice);
  int ReadMechImage();
  int WriteMechImage();
  int LoadMechConfigFromIni(const char* file);
  int SaveMechConfigToIni(const char* file);
  int PrepareScan();
  int PrepareLineLoaders();
  void SetImageType(int side);
  int ReadRawImageData();
  int GetImages(int mode);
  int AcquireLines(int side, int mode, int resolution, int greyCode, int bottom, int top);
  int ReadMicr();
  int FindLineStart(int side) const;
  int FindLineEnd(int side) const;
  int ProcessChannelTables(int thresholdOffset);
  // count, step and trip pixels as GetImages passes them; logs the reason of a jam.
  int CheckJam(int mode, unsigned count, unsigned step, unsigned tripPixels);
  void ComputeChannelSettings(int side, int record, int r, int g, int b, int contrast);
  void CropFrontImage();
  void CropRearImage();
  void CropBothImages();
  void* GetImageBuffer(int side);

  // State visible to the models and to tests.
  Qv62xCommands& commandSet() { return commands_; }
  BlockValues& blocks() { return blocks_; }
  const BlockValues& blocks() const { return blocks_; }
  const later::ScanConfig& scanConfig() const { return config_; }
  const qv62x::RawDocument& raw() const { return raw_; }
  bool initialised() const { return initialised_; }
  bool jamCheckActive() const { return jamCheck_; }
  int scanMode() const { return scanMode_; }
  int calibrationState() const { return calibrationState_; }
  std::span<const uint8_t> Table(int tag) const;
  std::span<const uint8_t> PhotoOut(int side, int channel) const;
  std::span<const uint8_t> Averages(int side, int channel) const;
  const QV6MicrSamples& micrSamples() const { return samplesRecord_; }

 protected:
  // ---- Variation points of the models ----
  virtual int DeviceCommand4() { return 1; }
  virtual void FixupMechConfig() {}
  virtual int GetPrintParameter(int position1, int position2) = 0;

  int SendCommand(uint8_t opcode, std::initializer_list<uint8_t> parameters);
  Qv62xCommands& commands() { return commands_; }
  // The QV702's transport runs the other way round.
  void SetReversedTransport(bool on) { reversed_ = on; }
  bool reversedTransport() const { return reversed_; }
  // The empty-track averages the calibration measured.
  std::vector<uint8_t>& AverageTable(int side, int channel);
  // Raw data state, for the calibration feed.
  void ForgetRawData() { raw_.read = false; }
  void SetRawCounts(uint16_t lines, uint16_t distance, uint16_t leadIn, uint16_t trailing);
  void ForgetAcquired() { acquired_ = {}; }
  // Drops the mark of a document whose raw data the scanner gave up and the host never received.
  void ForgetMissingImage() { rawReadFailed_ = imageMissing_ = false; }
  const CLoadScanLines& Loader(int side) const { return loaders_[side != 0 ? 1 : 0]; }
  int ScanEnableBit() const;

 private:
  int FillRs232Ring(size_t count);
  void OnStatusChanged();
  void Raise(int event, intptr_t value);
  bool LaterSensor(int side) const;
  int GoodPixels(int side) const;
  void ClampGoodPixels();
  int CorrectionTag(int type) const;
  size_t CorrectionLength(int tag) const;
  void ComposeReadyBit(int side, uint32_t bit, uint32_t* status, uint32_t* errors);
  int MeasureDoubleFeed(uint8_t* out, size_t capacity);
  void CropSide(int side);

  Qv62xCommands& commands_;
  MechFileBaseClass* mechFile_ = nullptr;
  BlockValues blocks_;
  later::ScanConfig config_;
  later::SerialRing ring_;
  FirmwareUpdateView* firmwareView_ = nullptr;

  int eventMode_ = 0;
  int scanMode_ = 0;  // 0 grey, 1 colour
  int scanType_ = 2;  // 2 grey, 3 colour
  int deviceRate_ = 200;
  int frontResolution_ = 200;
  bool initialised_ = false;
  bool reversed_ = false;
  std::array<uint8_t, 20> snapshot_{};
  bool haveSnapshot_ = false;
  // The last status change fetched data: the snapshot holds ready marks the fetch took down.
  bool fetched_ = false;

  // Document flags.
  std::array<bool, 2> reprocess_{};
  bool imagesComplete_ = false;
  std::array<bool, 2> acquired_{};
  bool noJam_ = true;
  bool jamCheck_ = false;
  bool micrDecoded_ = false;
  bool reprocessPending_ = false;
  // The raw read of this document failed; once the scanner no longer offers the data the document is
  // incomplete, a device error until the next enable, a change of event mode or ClearErrors.
  bool rawReadFailed_ = false;
  bool imageMissing_ = false;
  std::array<int, 8> newImage_{};
  int calibrationState_ = 0;  // 1 due, 2 run, 0 after a document reached the feed sensor

  std::vector<std::vector<uint8_t>> tables_;    // 16 calibration tables
  std::vector<std::vector<uint8_t>> photoOut_;  // side * 4 + channel
  std::vector<std::vector<uint8_t>> averages_;  // side * 4 + channel
  // The settings blocks 33 to 36 as last sent successfully to this scanner.
  std::array<std::optional<std::vector<uint8_t>>, 4> sentConfig_;
  std::vector<uint8_t> transferBuffer_;

  qv62x::RawDocument raw_;
  std::array<CLoadScanLines, 2> loaders_;
  std::array<CImageCropping, 2> croppers_;
  std::array<std::vector<uint8_t>, 2> lines_;
  std::array<int, 2> imageType_{2, 0x402};
  std::array<int, 2> sideResolution_{200, 200};
  std::array<int, 3> ratios_{33, 34, 33};  // of the front, for the grey lookup tables
  std::array<int, 3> rearRatios_{33, 34, 33};

  Micr micr_;
  const char* codeLine_ = nullptr;
  std::array<char, 65> codeLineText_{};
  std::vector<uint8_t> sampleBuffer_;
  std::vector<uint16_t> sampleWords_;
  QV6MicrSamples samplesRecord_{};
};

}  // namespace qv6
