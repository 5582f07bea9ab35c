// The QV62x configuration: the scan configuration and its settings blocks, the mechanical sections with
// their INI file and EEPROM records, configuration data for the application, the double-feed
// measurement, and the firmware check at connection.
#include <algorithm>
#include <cstring>

#include "app/log.h"
#include "identity/identity_block.h"
#include "platform/clock.h"
#include "qv6/later/firmware_update.h"
#include "qv6/later/later_blocks.h"
#include "qv6/qv62x/qv62x_template.h"

namespace qv6 {

using namespace qv62x;
using namespace later;

namespace {

constexpr uint16_t kConfigBlocks[] = {kBlockPrinter, kBlockAcquisition, kBlockDoubleFeed, kBlockSerialPort};
constexpr uint16_t kMechSendOrder[] = {kBlockImageModule, kBlockMotor, kBlockTransport, kBlockMicrHead,
                                       kBlockPrinterSection};
constexpr uint16_t kMechReadOrder[] = {kBlockImageModule, kBlockMotor, kBlockTransport, kBlockMicrHead};
constexpr uint16_t kMechImageOrder[] = {kBlockTransport, kBlockMicrHead, kBlockImageModule,
                                        kBlockPrinterSection, kBlockMotor};
constexpr size_t kImageModuleBytes = 66;
constexpr uint32_t kDoubleFeedPollMs = 10;

// The QV62x dialect of the scan configuration file.
constexpr ScanConfigRules kScanRules = {
    .photoOut = true,
    .saveSamplesWritten = true,
    .cropFirst = true,
    .fontAfterPrinter = true,
    .fontChars = 1023,
};

const char* SectionOrDefault(const char* section) {
  return section != nullptr && *section != '\0' ? section : kDefaultScanSection;
}

}  // namespace

// ---- Scan configuration ----

int ScannerQV62xDeviceTemplate::LoadCfgFromIni(const char* file, const char* section) {
  const char* s = SectionOrDefault(section);
  ScanConfig loaded;
  if (file == nullptr || !LoadScanConfig(file, s, &loaded, kScanRules)) return 0;
  g_Log.LoadSettings(CurrentDirectoryName(file).c_str(), s);
  config_ = loaded;
  // The file holds the values in force from now on.
  SaveCfgToIni(file, section);
  return 1;
}

int ScannerQV62xDeviceTemplate::SaveCfgToIni(const char* file, const char* section) {
  if (file == nullptr) return 0;
  const char* s = SectionOrDefault(section);
  g_Log.SaveSettings(CurrentDirectoryName(file).c_str(), s);
  return SaveScanConfig(file, s, config_, kScanRules) ? 1 : 0;
}

int ScannerQV62xDeviceTemplate::InitDeviceFromFile(const char* file, const char* section) {
  if (!LoadCfgFromIni(file, section)) return 0;

  // The host checks for jams when the scanner confirms a document-end allowance and photo-out is on; the
  // scanner's own photo-out test is switched off then.
  jamCheck_ = false;
  blocks_.Set(kBlockDoubleFeed, qv62x::kDfPhotoOut, config_.photoOutEnable);
  const int64_t extra = blocks_.Get(kBlockTransport, qv62x::kTsExtraDocSize);
  if (extra != 0 && config_.photoOutEnable != 0) {
    blocks_.Set(kBlockTransport, qv62x::kTsExtraDocSize, 0);
    if (!ReadDeviceBlock(kBlockTransport, 15)) return 0;
    if (blocks_.Get(kBlockTransport, qv62x::kTsExtraDocSize) != 0) {
      blocks_.Set(kBlockDoubleFeed, qv62x::kDfPhotoOut, 0);
      jamCheck_ = true;
    } else {
      blocks_.Set(kBlockTransport, qv62x::kTsExtraDocSize, extra);
    }
  }
  int result = PrepareScan();
  if (result) result = SendCommand(kOpConfigApplied, {});
  PrepareLineLoaders();
  if (SelfCalib(0)) initialised_ = true;
  return result;
}

int ScannerQV62xDeviceTemplate::SendChangedConfig() {
  int result = 1;
  for (size_t i = 0; i < std::size(kConfigBlocks); ++i) {
    std::vector<uint8_t> payload = EncodePayload(blocks_, kConfigBlocks[i], ByteOrder::kBig);
    if (sentConfig_[i] && *sentConfig_[i] == payload) continue;
    // Remembered only once this scanner has it, so a failed send is tried again at the next document.
    if (SendDeviceBlock(kConfigBlocks[i])) {
      sentConfig_[i] = std::move(payload);
    } else {
      result = 0;
    }
  }
  return result;
}

// ---- Mechanical configuration ----

int ScannerQV62xDeviceTemplate::SetMechConfig(const char* file, int flag) {
  if (file != nullptr && !LoadMechConfigFromIni(file)) return 0;
  int result = TransferMechSections(1);
  if (result && flag) result = WriteMechImage();
  return result;
}

int ScannerQV62xDeviceTemplate::GetMechConfig(const char* file, int flag) {
  int result = 1;
  if (flag) {
    if (!ReadMechImage() || !TransferMechSections(1)) return 0;
  }
  if (file != nullptr) result = SaveMechConfigToIni(file);
  return result;
}

int ScannerQV62xDeviceTemplate::LoadMechConfigFromIni(const char* file) {
  if (!LoadMechIni(file, Qv62xMechIniBindings(), blocks_)) return 0;
  // A document-end allowance below 28 is not one the transport can keep.
  const int64_t extra = blocks_.Get(kBlockTransport, qv62x::kTsExtraDocSize);
  if (extra != 0 && extra < 28) blocks_.Set(kBlockTransport, qv62x::kTsExtraDocSize, 50);
  ClampGoodPixels();
  return 1;
}

int ScannerQV62xDeviceTemplate::SaveMechConfigToIni(const char* file) {
  return SaveMechIni(file, Qv62xMechIniBindings(), blocks_) ? 1 : 0;
}

int ScannerQV62xDeviceTemplate::TransferMechSections(int toDevice) {
  int result = 1;
  if (toDevice) {
    for (uint16_t type : kMechSendOrder) {
      if (!SendDeviceBlock(type)) result = 0;
    }
    return result;
  }
  for (uint16_t type : kMechReadOrder) {
    const BlockLayout* layout = blocks_.table().Find(type);
    if (layout == nullptr || !ReadDeviceBlock(type, layout->size)) result = 0;
  }
  return result;
}

int ScannerQV62xDeviceTemplate::ReadMechImage() {
  if (mechFile_ == nullptr) return 0;
  for (uint16_t type : kMechImageOrder) {
    const BlockLayout* layout = blocks_.table().Find(type);
    std::vector<uint8_t> record(layout->size, 0);
    mechFile_->GetRecord(type, record.data(), record.size());
    DecodePayload(blocks_, type, record, ByteOrder::kLittle);
  }
  FixupMechConfig();
  ClampGoodPixels();
  for (int i = 0; i < kTables; ++i) {
    auto& table = tables_[static_cast<size_t>(i)];
    mechFile_->GetRecord(kFirstTableTag + i, table.data(), table.size());
  }
  return 1;
}

int ScannerQV62xDeviceTemplate::WriteMechImage() {
  if (mechFile_ == nullptr) return 0;
  std::array<uint8_t, 256> identity{};
  if (!commands_.Identify(identity.data(), identity.size())) return 0;
  CQv6Info info(identity.data(), identity.size());
  if (!mechFile_->InitImage(info.serial())) return 0;
  for (uint16_t type : kMechImageOrder) {
    std::vector<uint8_t> record = EncodePayload(blocks_, type, ByteOrder::kLittle);
    if (!mechFile_->AddRecord(type, record.data(), static_cast<int>(record.size()))) return 0;
  }
  // Every table is stored with the front's good-pixel count (never beyond the table).
  const size_t length = CorrectionLength(kFirstTableTag);
  for (int i = 0; i < kTables; ++i) {
    if (!mechFile_->AddRecord(kFirstTableTag + i, tables_[static_cast<size_t>(i)].data(),
                              static_cast<int>(length))) {
      return 0;
    }
  }
  return mechFile_->SyncImage();
}

// ---- Connection start-up ----

int ScannerQV62xDeviceTemplate::StartUp(const ModelStartUp& start) {
  firmwareView_ = start.firmwareView;
  return UpdateFirmware(start.firmwareFile, start.state, start.version, start.manufacturer);
}

int ScannerQV62xDeviceTemplate::UpdateFirmware(const char* pattern, const char* state, const char* version,
                                               const char* manufacturer) {
  FirmwareUpdateOptions options;
  options.view = firmwareView_;
  options.fpgaSettleMs = 0;
  // A failed download of loader, firmware or FPGA image ends the update with 0.
  int result = UpdateLaterFirmware(commands_, pattern, state, version, manufacturer, options);
  if (result) result = DeviceCommand4();
  if (firmwareView_ != nullptr) firmwareView_->SetStatusText("Loading configuration");
  if (result && mechFile_ != nullptr) mechFile_->SyncImage();
  if (firmwareView_ != nullptr) firmwareView_->SetStatusText("");
  if (result) result = GetMechConfig(nullptr, 1);
  if (result) result = SendCommand(kOpMechLoaded, {});
  return result;
}

// ---- Configuration data ----

int ScannerQV62xDeviceTemplate::CorrectionTag(int type) const {
  if (type == 1 || type == 2) return kFirstTableTag + type - 1;
  if (type >= 13 && type <= 18) return kFirstTableTag + 2 + type - 13;
  if (type == 3 || type == 4) return kFirstTableTag + 8 + type - 3;
  if (type >= 19 && type <= 24) return kFirstTableTag + 10 + type - 19;
  return 0;
}

size_t ScannerQV62xDeviceTemplate::CorrectionLength(int tag) const {
  const bool front = tag < kFirstTableTag + 8;
  return std::min(static_cast<size_t>(std::max(GoodPixels(front ? 0 : 1), 0)), kTableBytes);
}

int ScannerQV62xDeviceTemplate::MeasureDoubleFeed(uint8_t* out, size_t capacity) {
  SendCommand(kOpDoubleFeedPwm, {});
  // The scanner answers with a non-zero word once it measured; a scanner that never does is given up
  // after a few seconds.
  const uint64_t deadline = plat::DeadlineAfter(kDoubleFeedWaitMs);
  uint16_t word = 0;
  while (word == 0) {
    if (!commands_.ReadStatusWord(&word)) return 0;
    if (word != 0) break;
    if (plat::NowMs() > deadline) return 0;
    plat::Sleep(kDoubleFeedPollMs);
  }
  const int ejected = SendCommand(kOpEject, {});
  if (word == 0xFFFF || !ejected) return 0;
  if (capacity >= 2) {
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
  }
  return 1;
}

int ScannerQV62xDeviceTemplate::GetCfgData(int type, void* buffer, int length) {
  if (length < 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  auto capacity = out != nullptr ? static_cast<size_t>(length) : 0;
  uint8_t selector = capacity >= 1 ? out[0] : 0;
  if (capacity != 0) std::memset(out, 0, capacity);
  if (int tag = CorrectionTag(type)) {
    const size_t n = CorrectionLength(tag);
    if (capacity < n) return 0;
    std::memcpy(out, tables_[static_cast<size_t>(tag - kFirstTableTag)].data(), n);
    return 1;
  }
  switch (type) {
    case 5:
    case 6: {
      if (!ReadDeviceBlock(kBlockImageModule, kImageModuleBytes)) return 0;
      std::vector<uint8_t> members = EncodePayload(blocks_, kBlockImageModule, ByteOrder::kLittle);
      std::memcpy(out, members.data(), std::min(capacity, members.size()));
      return 1;
    }
    case 11: {
      if (selector != 4) return 0;
      if (!ReadDeviceBlock(kBlockInfo4, kInfo4Bytes)) return 0;
      std::vector<uint8_t> members = EncodePayload(blocks_, kBlockInfo4, ByteOrder::kLittle);
      std::memcpy(out, members.data(), std::min(capacity, members.size()));
      return 1;
    }
    case 25:
      return 1;
    case 28:
      return MeasureDoubleFeed(out, capacity);
    default:
      return 0;
  }
}

int ScannerQV62xDeviceTemplate::SetCfgData(int type, const void* data, int length) {
  if (length < 0) return 0;
  const auto* in = static_cast<const uint8_t*>(data);
  auto count = in != nullptr ? static_cast<size_t>(length) : 0;
  if (int tag = CorrectionTag(type)) {
    const size_t n = CorrectionLength(tag);
    if (count < n) return 0;
    std::memcpy(tables_[static_cast<size_t>(tag - kFirstTableTag)].data(), in, n);
    return 1;
  }
  switch (type) {
    case 5:
    case 6:
      DecodePayload(blocks_, kBlockImageModule, {in, std::min(count, kImageModuleBytes)}, ByteOrder::kLittle);
      ClampGoodPixels();
      return SendDeviceBlock(kBlockImageModule);
    case 11:
      return commands_.SendRawCommand(in, count);
    case 28:
    case 29:
      if (count < 1) return 0;
      blocks_.Set(kBlockTransport, type == 28 ? qv62x::kTsPwmDoubleFeed : qv62x::kTsPwmDoubleFeed1, in[0]);
      return SendDeviceBlock(kBlockTransport);
    default:
      return 0;
  }
}

}  // namespace qv6
