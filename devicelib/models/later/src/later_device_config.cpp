// The later-series template's configuration: the scan configuration and the settings blocks it becomes,
// the mechanical sections with their INI file and EEPROM records, configuration data exchanged with the
// application, and the double-feed sensor calibration.
#include <algorithm>
#include <cstring>

#include "app/log.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/later/channel_settings.h"
#include "qv6/later/firmware_update.h"
#include "qv6/later/later_device_template.h"

namespace qv6 {

using namespace later;

namespace {

constexpr size_t kInfo4Request = 16;
constexpr size_t kInfo5Bytes = 10;
constexpr size_t kReadRounding = 512;
constexpr uint16_t kConfigBlocks[] = {kBlockPrinter, kBlockAcquisition, kBlockDoubleFeed, kBlockSerialPort};
constexpr int kCalibrationPasses = 64;

}  // namespace

// ---- Scan configuration ----

int ScannerQV63xDeviceTemplate::InitDeviceFromFile(const char* file, const char* section) {
  std::string name = CurrentDirectoryName(file);
  const char* s = section != nullptr && *section != '\0' ? section : kDefaultScanSection;
  ScanConfig loaded;
  if (file == nullptr || !LoadScanConfig(file, s, &loaded, traits_.scanRules)) return 0;
  g_Log.LoadSettings(name.c_str(), s);
  config_ = loaded;
  SaveScanConfig(file, s, config_, traits_.scanRules);
  g_Log.SaveSettings(name.c_str(), s);
  int result = PrepareScan();
  if (result) result = SendCommand(kOpConfigApplied, {0, 0});
  // The loaders take the correction tables here only: tables changed later apply from the next
  // initialisation, not from the next document.
  PrepareLineLoaders();
  configured_ = true;
  return result;
}

void ScannerQV63xDeviceTemplate::PrepareAcquisition() {
  PrepareChannelRecords(blocks_);
  colourMode_ = config_.front.color == 0                                  ? 0
                : (config_.front.color == 2 || AlternativeColourTiming()) ? 2
                                                                          : 1;
  int line = colourMode_ == 0 ? traits_.sensorDpi : 100;
  blocks_.Set(kBlockAcquisition, kAcqLineSetting,
              colourMode_ == 0   ? line
              : colourMode_ == 1 ? (2 * line) & ~1
                                 : 3 * line);
  blocks_.Set(kBlockAcquisition, kAcqRecordCount, colourMode_ == 2 ? 3 : 4);
  for (int r = 0; r < static_cast<int>(kChannelRecords); ++r) {
    for (Side side : {Side::kFront, Side::kRear}) {
      const SideConfig& sc = side == Side::kFront ? config_.front : config_.rear;
      if (colourMode_ == 0) {
        int red = 0, green = 0, blue = 0;
        ComputeColorRatios(static_cast<unsigned>(sc.red), static_cast<unsigned>(sc.green),
                           static_cast<unsigned>(sc.blue), &red, &green, &blue);
        ComputeChannelSettings(blocks_, side, r, red, green, blue, sc.contrast, 0);
      } else {
        const ColourRecord& c = (colourMode_ == 1 ? kColourMode1Records : kColourMode2Records)[r];
        ComputeChannelSettings(blocks_, side, r, c.red, c.green, c.blue, c.contrast, c.flags);
      }
    }
  }
}

void ScannerQV63xDeviceTemplate::SetupMicr(int rate) {
  micr_.Setup(3, 0, 0, 0, rate, 0, 0.13);
}

int ScannerQV63xDeviceTemplate::PrepareScan() {
  PrepareAcquisition();
  int control = (config_.printerEnable & 1) | ((config_.printerDensity << 1) & 0x0E) |
                ((config_.printerIntensity << 4) & 0x70);
  blocks_.Set(kBlockPrinter, kPrinterControl, control);
  blocks_.Set(kBlockPrinter, 1, 0);
  blocks_.Set(kBlockPrinter, 2, 0);
  blocks_.Set(kBlockDoubleFeed, kDfDelay, config_.doubleFeedDelay);
  blocks_.Set(kBlockDoubleFeed, kDfEnable, config_.doubleFeedEnable);
  blocks_.Set(kBlockDoubleFeed, kDfSolenoid, config_.feedSolenoidMode);
  // Only a block that carries the franker settings takes them.
  blocks_.Set(kBlockDoubleFeed, kDfFrankerMode, config_.franker.mode);
  blocks_.Set(kBlockDoubleFeed, kDfFrankerAllowance, config_.franker.allowance);
  blocks_.Set(kBlockSerialPort, kSerBaud, config_.baudRate);
  blocks_.Set(kBlockSerialPort, kSerParity, config_.parity);
  blocks_.Set(kBlockSerialPort, kSerCharLen, config_.charLen);
  blocks_.Set(kBlockSerialPort, kSerStopBits, config_.stopBits);
  // The head's signal is sampled faster under the alternative colour timing (on a 200 dpi sensor).
  SetupMicr(traits_.micrRates[colourMode_ == 2 ? 1 : 0]);
  if (!SendChangedConfig()) return 0;
  SetImageType(0);
  SetImageType(1);
  if (traits_.configAppliedInPrepare) SendCommand(kOpConfigApplied, {});
  return 1;
}

int ScannerQV63xDeviceTemplate::SendChangedConfig() {
  int result = 1;
  for (size_t i = 0; i < std::size(kConfigBlocks); ++i) {
    std::vector<uint8_t> payload = EncodePayload(blocks_, kConfigBlocks[i], ByteOrder::kBig);
    if (kConfigBlocks[i] == kBlockDoubleFeed && traits_.franker) {
      // A franker setting that changed sends the block again, whether or not the block carries it.
      auto franker = config_.franker.Bytes();
      payload.insert(payload.end(), franker.begin(), franker.end());
    }
    if (sentConfig_[i] && *sentConfig_[i] == payload) continue;
    // Remembered only once the scanner has it, so a failed send is tried again next time.
    if (SendDeviceBlock(kConfigBlocks[i])) {
      sentConfig_[i] = std::move(payload);
    } else {
      result = 0;
    }
  }
  return result;
}

// ---- Mechanical configuration ----

int ScannerQV63xDeviceTemplate::SetMechConfig(const char* file, int flag) {
  if (file != nullptr && !LoadMechConfigFromIni(file)) return 0;
  int result = TransferMechSections(1);
  if (result && flag) result = WriteMechImage();
  return result;
}

int ScannerQV63xDeviceTemplate::GetMechConfig(const char* file, int flag) {
  int result = 1;
  if (flag) {
    if (!ReadMechImage() || !TransferMechSections(1)) return 0;
  }
  if (file != nullptr) result = SaveMechConfigToIni(file);
  return result;
}

int ScannerQV63xDeviceTemplate::LoadMechConfigFromIni(const char* file) {
  return LoadMechIni(file, traits_.mechIni, blocks_) ? 1 : 0;
}

int ScannerQV63xDeviceTemplate::SaveMechConfigToIni(const char* file) {
  return SaveMechIni(file, traits_.mechIni, blocks_) ? 1 : 0;
}

int ScannerQV63xDeviceTemplate::TransferMechSections(int send) {
  int result = 1;
  for (uint16_t type : traits_.mechTransferOrder) {
    const BlockLayout* layout = traits_.blocks.Find(type);
    int ok = send ? SendDeviceBlock(type) : (layout != nullptr && ReadDeviceBlock(type, layout->size));
    if (!ok) result = 0;
  }
  return result;
}

int ScannerQV63xDeviceTemplate::ReadMechImage() {
  if (mechFile_ == nullptr) return 0;
  for (uint16_t type : traits_.mechImageOrder) {
    const BlockLayout* layout = traits_.blocks.Find(type);
    if (layout == nullptr) continue;
    std::vector<uint8_t> record(layout->size, 0);
    mechFile_->GetRecord(type, record.data(), record.size());
    DecodePayload(blocks_, type, record, ByteOrder::kLittle);
  }
  FixupMechConfig();
  for (int i = 0; i < kCorrectionTables; ++i) {
    auto& table = tables_[static_cast<size_t>(i)];
    mechFile_->GetRecord(kFirstTableTag + i, table.data(), table.size());
  }
  return 1;
}

int ScannerQV63xDeviceTemplate::WriteMechImage() {
  if (mechFile_ == nullptr) return 0;
  std::array<uint8_t, 256> identity{};
  if (!commands_.Identify(identity.data(), identity.size())) return 0;
  CQv6Info info(identity.data(), identity.size());
  if (!mechFile_->InitImage(info.serial())) return 0;
  for (uint16_t type : traits_.mechImageOrder) {
    std::vector<uint8_t> record = EncodePayload(blocks_, type, ByteOrder::kLittle);
    if (!mechFile_->AddRecord(type, record.data(), static_cast<int>(record.size()))) return 0;
  }
  // Every table is stored with the front's good-pixel count, never beyond the table.
  size_t length = CorrectionLength(kFirstTableTag);
  for (int i = 0; i < kCorrectionTables; ++i) {
    if (!mechFile_->AddRecord(kFirstTableTag + i, tables_[static_cast<size_t>(i)].data(),
                              static_cast<int>(length))) {
      return 0;
    }
  }
  return mechFile_->SyncImage();
}

// ---- Connection start-up ----

FirmwareOutcome ScannerQV63xDeviceTemplate::EnsureFirmware(const char* firmwareFile, const char* state,
                                                           const char* version, const char* manufacturer) {
  FirmwareUpdateOptions options;
  options.view = firmwareView_;
  return RunLaterFirmwareUpdate(commands_, firmwareFile, state, version, manufacturer, options);
}

void ScannerQV63xDeviceTemplate::ShowFirmwareStatus(const char* text) {
  if (firmwareView_ != nullptr) firmwareView_->SetStatusText(text);
}

int ScannerQV63xDeviceTemplate::UpdateFirmware(const char* firmwareFile, const char* state,
                                               const char* version, const char* manufacturer) {
  const FirmwareOutcome firmware = EnsureFirmware(firmwareFile, state, version, manufacturer);
  if (firmware == FirmwareOutcome::kRefused) return 0;
  // After a failed download the configuration steps are skipped, but their texts still show.
  int result = firmware == FirmwareOutcome::kReady ? 1 : 0;
  ShowFirmwareStatus("Loading configuration");
  if (result && mechFile_ != nullptr) mechFile_->SyncImage();
  if (!traits_.keepsConfigurationText) ShowFirmwareStatus("");
  if (result) result = GetMechConfig(nullptr, 1);
  if (traits_.showsDownloadDone) ShowFirmwareStatus("Download done");
  // The scanner hears that its configuration is loaded only once it is.
  if (result) result = SendCommand(kOpMechLoaded, {});
  return result;
}

// ---- Configuration data ----

int ScannerQV63xDeviceTemplate::CorrectionTag(int type) const {
  if (type == 1 || type == 2) return kFirstTableTag + type - 1;
  if (type >= 13 && type <= 18) return kFirstTableTag + 2 + type - 13;
  if (type == 3 || type == 4) return kFirstTableTag + 8 + type - 3;
  if (type >= 19 && type <= 24) return kFirstTableTag + 10 + type - 19;
  return 0;
}

size_t ScannerQV63xDeviceTemplate::CorrectionLength(int tag) const {
  bool front = tag < kFirstTableTag + 8;
  auto count =
      static_cast<size_t>(blocks_.Get(kBlockImageModule, front ? kImFrontGoodPixels : kImRearGoodPixels));
  return std::min(count, traits_.correctionTableSize);
}

std::span<const uint8_t> ScannerQV63xDeviceTemplate::CorrectionTable(int tag) const {
  int i = tag - kFirstTableTag;
  if (i < 0 || i >= kCorrectionTables) return {};
  return tables_[static_cast<size_t>(i)];
}

size_t ScannerQV63xDeviceTemplate::ImageModuleBytes() const {
  const BlockLayout* layout = traits_.blocks.Find(kBlockImageModule);
  return layout != nullptr ? layout->size : 0;
}

int ScannerQV63xDeviceTemplate::GetCfgData(int type, void* buffer, int length) {
  if (length < 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  auto capacity = static_cast<size_t>(length);
  if (type != 11 && out != nullptr) std::memset(out, 0, capacity);
  if (int tag = CorrectionTag(type)) {
    size_t n = CorrectionLength(tag);
    if (capacity < n) return 0;
    std::memcpy(out, tables_[static_cast<size_t>(tag - kFirstTableTag)].data(), n);
    return 1;
  }
  switch (type) {
    case 5:
    case 6: {
      if (!ReadDeviceBlock(kBlockImageModule, ImageModuleBytes())) return 0;
      std::vector<uint8_t> members = EncodePayload(blocks_, kBlockImageModule, ByteOrder::kLittle);
      std::memcpy(out, members.data(), std::min(capacity, members.size()));
      return 1;
    }
    case 11: {
      if (capacity < 2 || out[0] != 4 || out[1] != 0) return 0;
      if (!ReadDeviceBlock(kBlockInfo4, kInfo4Request)) return 0;
      std::vector<uint8_t> members = EncodePayload(blocks_, kBlockInfo4, ByteOrder::kLittle);
      members.resize(kInfo4Request, 0);  // the six bytes behind the ten defined ones read 0
      std::memcpy(out, members.data(), std::min(capacity, members.size()));
      return 1;
    }
    case 12: {
      // The bulk read fills whole 512-byte packets: read into our own buffer, hand out what fits.
      size_t n = std::min(capacity, kSampleBufferBytes);
      std::vector<uint8_t> samples((n + kReadRounding - 1) / kReadRounding * kReadRounding + kReadRounding,
                                   0);
      if (!commands_.ReadSamples(samples.data(), n)) return 0;
      std::memcpy(out, samples.data(), n);
      return 1;
    }
    case 25:
      return 1;
    case 28:
    case 29: {
      uint8_t value = 0;
      if (!CalibrateDoubleFeed(type - 28, &value)) return 0;
      if (capacity >= 1) out[0] = value;
      return 1;
    }
    case 30: {
      if (!ReadDeviceBlock(kBlockInfo5, kInfo5Bytes)) return 0;
      std::vector<uint8_t> members = EncodePayload(blocks_, kBlockInfo5, ByteOrder::kLittle);
      std::memcpy(out, members.data(), std::min(capacity, members.size()));
      return 1;
    }
    default:
      return 0;
  }
}

int ScannerQV63xDeviceTemplate::SetCfgData(int type, const void* data, int length) {
  if (length < 0) return 0;
  const auto* in = static_cast<const uint8_t*>(data);
  auto count = static_cast<size_t>(length);
  if (int tag = CorrectionTag(type)) {
    size_t n = CorrectionLength(tag);
    if (count < n) return 0;
    std::memcpy(tables_[static_cast<size_t>(tag - kFirstTableTag)].data(), in, n);
    return 1;
  }
  switch (type) {
    case 5:
    case 6:
      DecodePayload(blocks_, kBlockImageModule, {in, std::min(count, ImageModuleBytes())},
                    ByteOrder::kLittle);
      return SendDeviceBlock(kBlockImageModule);
    case 11: {
      std::vector<uint8_t> packet(in, in + count);
      // A start feed from the application takes over the sequence numbers; its packet is looked at only
      // as far as it goes.
      if (count >= 4 && packet[1] == kOpFeed && (packet[2] == 2 || packet[2] == 3)) {
        if (packet[3] == expected_) packet[3] = NextSequence(packet[3]);
        sent_ = expected_ = packet[3];
        imagesFinal_ = true;
      }
      return commands_.SendRawCommand(packet.data(), packet.size());
    }
    case 28:
    case 29:
      if (count < 1) return 0;
      blocks_.Set(kBlockTransport, type == 28 ? kTsPwmDoubleFeed0 : kTsPwmDoubleFeed1, in[0]);
      return SendDeviceBlock(kBlockTransport);
    case 30:
      return 1;
    default:
      return 0;
  }
}

int ScannerQV63xDeviceTemplate::CalibrateDoubleFeed(int sensor, uint8_t* result) {
  // The lowest PWM at which the sensor sees no double feed: halving steps that turn back at each change.
  SendCommand(kOpDoubleFeedPwm, {64, 64});
  plat::Sleep(100);
  int v = 64;
  int s = 64;
  const int64_t bit = traits_.doubleFeedBits[sensor == 0 ? 0 : 1];
  for (int pass = 0; pass < kCalibrationPasses; ++pass) {
    auto pwm = static_cast<uint8_t>(v);
    if (!SendCommand(kOpDoubleFeedPwm, {sensor == 0 ? pwm : uint8_t{64}, sensor == 0 ? uint8_t{64} : pwm}))
      return 0;
    plat::Sleep(500);
    if (!ReadStatusBlock()) return 0;
    bool b = (blocks_.Get(kBlockStatus, kSensor) & bit) != 0;
    int step = -s / 2;
    bool last = false;
    if (!b && s == 1) break;
    if (!b && s <= 0) {
      step = s;
      last = v <= 0;
    } else if (b && s >= 0) {
      step = s;
      last = v >= 255;
    }
    v = std::clamp(v + step, 0, 255);
    s = step;
    if (last) break;
  }
  *result = static_cast<uint8_t>(v);
  return 1;
}

}  // namespace qv6
