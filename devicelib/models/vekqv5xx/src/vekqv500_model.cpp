// The VEKQv5xx template's own operations, the VEKQv500 model, its EEPROM image and its registration.
#include "qv6/vekqv5xx/vekqv500_model.h"

#include <algorithm>
#include <string>

#include "app/log.h"
#include "connect/model_registry.h"
#include "platform/clock.h"
#include "qv6/later/channel_settings.h"
#include "qv6/later/franker.h"
#include "qv6/vekqv5xx/vekqv5xx_blocks.h"

namespace qv6 {
namespace {

using namespace later;
using namespace vekqv5xx;

constexpr uint16_t kTransferOrder[] = {kBlockImageModule, kBlockMotor, kBlockTransport, kBlockMicrHead,
                                       kBlockPrinterSection};
constexpr uint16_t kImageOrder[] = {kBlockTransport, kBlockMicrHead, kBlockImageModule, kBlockPrinterSection,
                                    kBlockMotor};
constexpr size_t kTableBytes = 2048;
constexpr uint16_t kChangedBlocks[] = {kBlockPrinter, kBlockAcquisition, kBlockDoubleFeed};
constexpr uint32_t kStopSettleMs = 30;
constexpr uint32_t kFeedPollMs = 10;
constexpr unsigned kLogGain = 90;
constexpr const char kGainConversionLine[] =
    "Gain conversion. Gain=%d, Pot=%d (0x%02x). (ScannerVEKQv5xxDeviceTemplate::ConfigMicrGainOffset)\r\n";
constexpr int64_t kPrinterKeptBit = 0x80;
// Print columns per 100 tenths of a millimetre, by density.
constexpr uint64_t kColumnsPer10Mm[8] = {10, 13, 17, 22, 29, 37, 48, 62};
// The channel record bytes the image settings fill; the others are the head's (ConfigMicrGainOffset).
constexpr size_t kImageRecordBytes[] = {4, 5, 6, 7, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21};

// The sensor is read at 300 dpi and handed out as read.
int KeepResolution(CLoadScanLines& /*image*/, int /*colourMode*/, int /*resolution*/) {
  return ScannerVEKQv5xxDeviceTemplate::kOutputResolution;
}

// Start-feed parameter by scan mode.
uint8_t StartParameter(int scanMode) {
  switch (scanMode) {
    case 1:
      return 3;
    case 2:
      return 0;
    case 3:
      return 4;
    default:
      return 1;
  }
}

}  // namespace

const LaterSeriesTraits& VEKQv5xxSeriesTraits() {
  static const LaterSeriesTraits traits = [] {
    LaterSeriesTraits t{VEKQv5xxBlockTable(), VEKQv5xxMechIniBindings(), kTransferOrder, kImageOrder,
                        kTableBytes};
    t.scanRules.sensor300 = true;
    t.scanRules.readFranker = true;
    t.scanRules.scanModeKeys = true;
    t.sensorDpi = 300;
    t.fullWidthTransfer = true;
    t.micrRates = {ScannerVEKQv5xxDeviceTemplate::kMicrRate, ScannerVEKQv5xxDeviceTemplate::kMicrRate};
    t.franker = true;
    t.statusSize = vekqv5xx::kStatusBlockSize;
    t.statusRecords = {};  // no document records: the flags and words describe the one document
    t.serialCountField = kStatusFields;  // no serial port: reads as 0
    t.resample = &KeepResolution;
    t.keepsConfigurationText = true;
    return t;
  }();
  return traits;
}

void VEKQv5xxMechFile::GetDefaultSection(int tag, uint8_t* buffer, size_t length) {
  CopyDefaultSection(tag, buffer, length, VEKQv5xxBlockTable(), &FillVEKQv500Defaults);
}

// ---- ScannerVEKQv5xxDeviceTemplate ----

ScannerVEKQv5xxDeviceTemplate::ScannerVEKQv5xxDeviceTemplate(Qv63xCommands& commands)
    : ScannerQV63xDeviceTemplate(commands, VEKQv5xxSeriesTraits()) {
  sent_[0] = std::vector<uint8_t>(9, 0);
  sent_[1] = std::vector<uint8_t>(kAcquisitionSize, 0);
  sent_[2] = std::vector<uint8_t>(2, 0xFF);
}

uint8_t ScannerVEKQv5xxDeviceTemplate::StatusByte(size_t i) const {
  return static_cast<uint8_t>(blocks().Get(kBlockStatus, i));
}

uint8_t ScannerVEKQv5xxDeviceTemplate::potentiometer() const {
  return static_cast<uint8_t>(blocks().Get(kBlockAcquisition, kAcqPotentiometer));
}

bool ScannerVEKQv5xxDeviceTemplate::Direction() const {
  return (StatusByte(kS0) & kS0Direction) != 0;
}

bool ScannerVEKQv5xxDeviceTemplate::ImagesSuppressed() const {
  return scanMode_ == 3 && Direction();
}

int ScannerVEKQv5xxDeviceTemplate::ReadStatusBlock() {
  auto& status = blocks().Fields(kBlockStatus);
  std::fill(status.begin(), status.end(), 0);
  if (!ReadDeviceBlock(kBlockStatus, vekqv5xx::kStatusBlockSize)) return 0;
  if (StatusByte(kS2) & kS2LengthValid) {
    // Tenths of a millimetre; a colour scan's lines are planes, three to a line.
    const auto lines = static_cast<uint32_t>(blocks().Get(kBlockStatus, kWordDocumentLines));
    documentLength_ = lines * 254u / static_cast<uint32_t>(scanResolution_);
    if (planeDivisor_ == 3) documentLength_ /= 3;
  }
  return 1;
}

StatusWords ScannerVEKQv5xxDeviceTemplate::ComposeStatus() const {
  vekqv5xx::StatusInputs in;
  in.s0 = StatusByte(kS0);
  in.s1 = StatusByte(kS1);
  in.s2 = StatusByte(kS2);
  in.eventMode = eventMode_;
  in.scanMode = scanMode_;
  in.micrHeld = micrHeld_;
  in.frontHeld = frontHeld_;
  in.rearHeld = rearHeld_;
  in.imagesFinal = imagesFinal_;
  in.frontEnabled = config_.front.enable != 0;
  in.rearEnabled = config_.rear.enable != 0;
  return vekqv5xx::ComposeStatusWords(in);
}

int ScannerVEKQv5xxDeviceTemplate::GetStatus(int* status, int* errors) {
  if (status != nullptr) *status = 0;
  if (errors != nullptr) *errors = 0;
  if (!ReadStatusBlock()) return 0;
  const StatusWords w = StatusWordsNow();
  if (status != nullptr) *status = static_cast<int>(w.status);
  if (errors != nullptr) *errors = static_cast<int>(w.errors);
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::SetEventMode(int mode) {
  eventMode_ = mode;
  return ScannerQV63xDeviceTemplate::SetEventMode(mode);
}

// ---- Feeding ----

int ScannerVEKQv5xxDeviceTemplate::EnableScan(int on) {
  const bool enable = on != 0 && configured_;
  frontHeld_ = rearHeld_ = micrHeld_ = false;
  imageMissing_ = false;
  newImageFlags_ = {};
  imagesFinal_ = config_.cropEnable == 0;
  // A document still on its way is let through first, for at most five seconds.
  const uint64_t start = plat::NowMs();
  int read = ReadStatusBlock();
  while (read && (StatusByte(kS0) & kS0Feeding) && plat::NowMs() - start <= kFeedWaitMs) {
    plat::Sleep(kFeedPollMs);
    read = ReadStatusBlock();
  }
  if (enable) {
    int status = 0;
    int errors = 0;
    const int result = GetStatus(&status, &errors);
    if (!result || (static_cast<uint32_t>(status) & QV6_STATUS_ERROR)) return 0;
    if (StatusByte(kS0) & (kS0Enabled | kS0Feeding)) return result;
    return EnableNextScan();
  }
  const int stopped = commands().StopFeed();
  plat::Sleep(kStopSettleMs);
  if (!stopped) return 0;
  return ReadStatusBlock();
}

int ScannerVEKQv5xxDeviceTemplate::EnableNextScan() {
  if (!(StatusByte(kS2) & kS2SameDocument)) {
    g_Log.WriteFormatted(kLogGain,
                         "New doc, reset gain=%d, old=%d (ScannerVEKQv5xxDeviceTemplate::EnableNextScan)\r\n",
                         static_cast<int>(baseGain_), static_cast<int>(currentGain_));
    currentGain_ = baseGain_;
    documentLength_ = 0;
  }
  samplesFetched_ = false;
  imagesFetched_ = false;
  PrepareScan();
  if (!UploadDeviceBuffer()) return 0;
  SendCommand(kOpFeed, {1, StartParameter(scanMode_), 0, 0, 0});
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::UploadDeviceBuffer() {
  std::span<const uint8_t> host = hostBuffer();
  if ((StatusByte(kS2) & kS2SameDocument) && !Direction()) {
    // The same document comes back the other way: its endorsement is printed from its other end.
    const auto density = static_cast<size_t>((blocks().Get(kBlockPrinter, kPrinterControl) >> 1) & 7);
    const size_t columns = std::min<uint64_t>(kColumnsPer10Mm[density] * documentLength_ / 100, kHostColumns);
    std::vector<uint8_t> reversed(host.size(), 0);
    for (size_t i = 0; i < columns && 2 * (columns - i) <= host.size(); ++i) {
      const size_t from = 2 * (columns - 1 - i);
      reversed[2 * i] = host[from];
      reversed[2 * i + 1] = host[from + 1];
    }
    if (!SendDeviceBlock(kBlockHostBuffer)) return 0;
    return commands().UploadBuffer(reversed.data(), reversed.size());
  }
  if (!SendDeviceBlock(kBlockHostBuffer)) return 0;
  return commands().UploadBuffer(host.data(), host.size());
}

int ScannerVEKQv5xxDeviceTemplate::EjectDocument(int kind) {
  uint8_t m = 0;
  if (kind == 2) {
    m = 2;
  } else if (kind != 1) {
    m = scanMode_ == 1 || scanMode_ == 2 ? 2 : 0;
  }
  SendCommand(kOpEject, {0, m});
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::ClearErrors() {
  imageMissing_ = false;
  if (ReadStatusBlock() && StatusByte(kS0) < kS0Error) return EnableScan(0);
  SendCommand(kOpClearErrors, {0});
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::GetOperatingMode(int* mode) {
  if (mode != nullptr) *mode = static_cast<int>(blocks().Get(kBlockTransport, kPaOperatingMode));
  return 1;
}

// ---- Gain, AGC, scan mode, franker ----

int ScannerVEKQv5xxDeviceTemplate::SetConfig_MicrGain(int gain, int /*ignored*/) {
  baseGain_ = currentGain_ = ClampGain(gain);
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::SetConfig_MicrAgc(int enable, int /*ignored*/) {
  agc_ = enable != 0;
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::SetConfig_ScanMode(int mode) {
  scanMode_ = mode;
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::Frank(int value) {
  commands().SendCommand(FrankRequest(0, value & 0xFFFF));
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::ConfigMicrGainOffset() {
  const OffsetCode offset = HeadOffsetCode(static_cast<int>(blocks().Get(kBlockMicrHead, vekqv5xx::kMhOffset)));
  for (size_t r = 0; r < 4; ++r) {
    const std::pair<size_t, uint8_t> bytes[] = {{0, 0x00}, {1, 0x69}, {2, 0x10},        {3, 0xC0},
                                                {8, 0x40}, {9, 0x00}, {14, offset.code}, {15, offset.magnitude}};
    for (auto [at, value] : bytes) blocks().Set(kBlockAcquisition, RecordByte(r, at), value);
  }
  const uint8_t pot = Potentiometer(static_cast<int>(blocks().Get(kBlockMicrHead, vekqv5xx::kMhGainCalib)), currentGain_);
  blocks().Set(kBlockAcquisition, kAcqPotentiometer, pot);
  g_Log.WriteFormatted(kLogGain, kGainConversionLine, static_cast<int>(currentGain_), pot, pot);
  return 1;
}

// ---- Configuration ----

int ScannerVEKQv5xxDeviceTemplate::InitDeviceFromFile(const char* file, const char* section) {
  const std::string name = CurrentDirectoryName(file);
  const char* s = section != nullptr && *section != '\0' ? section : kDefaultScanSection;
  ScanConfig loaded;
  if (file == nullptr || !LoadScanConfig(file, s, &loaded, traits().scanRules)) return 0;
  g_Log.LoadSettings(name.c_str(), s);
  config_ = loaded;
  scanMode_ = config_.scanMode;
  baseGain_ = config_.micrGain;
  agc_ = config_.micrAgc != 0;
  SaveScanConfig(file, s, config_, traits().scanRules);
  g_Log.SaveSettings(name.c_str(), s);
  const int result = PrepareScan();
  PrepareLineLoaders();
  configured_ = true;
  return result;
}

int ScannerVEKQv5xxDeviceTemplate::PrepareScan() {
  ConfigMicrGainOffset();
  SetupMicr(kMicrRate);
  colour_ = config_.front.color != 0;
  planeDivisor_ = colour_ ? 3 : 2;
  scanResolution_ = colour_ ? 100 : 300;
  colourMode_ = colour_ ? 2 : 0;  // three plane lines per group
  blocks().Set(kBlockAcquisition, kAcqImageWord, colour_ ? 3 * scanResolution_ : scanResolution_);
  blocks().Set(kBlockAcquisition, kAcqPlanes, colour_ ? 3 : 1);

  // The image settings are those of the shared channel records, one byte further down (no length byte).
  BlockValues shared(Qv63xBlockTable());
  for (size_t f = 0; f < kImFields; ++f) shared.Set(kBlockImageModule, f, blocks().Get(kBlockImageModule, f));
  PrepareChannelRecords(shared);
  std::array<int, 3> front{};
  std::array<int, 3> rear{};
  ComputeColorRatios(static_cast<unsigned>(config_.front.red), static_cast<unsigned>(config_.front.green),
                     static_cast<unsigned>(config_.front.blue), &front[0], &front[1], &front[2]);
  ComputeColorRatios(static_cast<unsigned>(config_.rear.red), static_cast<unsigned>(config_.rear.green),
                     static_cast<unsigned>(config_.rear.blue), &rear[0], &rear[1], &rear[2]);
  for (int r = 0; r < 4; ++r) {
    if (colour_) {
      // The three plane lines of a group come green, blue, red, as on the other later series.
      const later::ColourRecord& c = later::kColourMode2Records[r];
      for (later::Side side : {later::Side::kFront, later::Side::kRear}) {
        ComputeChannelSettings(shared, side, r, c.red, c.green, c.blue, c.contrast, c.flags);
      }
    } else {
      ComputeChannelSettings(shared, later::Side::kFront, r, front[0], front[1], front[2], config_.front.contrast, 0);
      ComputeChannelSettings(shared, later::Side::kRear, r, rear[0], rear[1], rear[2], config_.rear.contrast, 0);
    }
    for (size_t b : kImageRecordBytes) {
      const auto from = kAcqChannelBytes + static_cast<size_t>(r) * later::kChannelRecordSize + b + 1;
      blocks().Set(kBlockAcquisition, RecordByte(static_cast<size_t>(r), b), shared.Get(kBlockAcquisition, from));
    }
  }

  const int64_t kept = blocks().Get(kBlockPrinter, kPrinterControl) & kPrinterKeptBit;
  blocks().Set(kBlockPrinter, kPrinterControl,
               kept | (config_.printerEnable & 1) | ((config_.printerDensity << 1) & 0x0E) |
                   ((config_.printerIntensity << 4) & 0x70));
  blocks().Set(kBlockPrinter, 1, 0);
  blocks().Set(kBlockPrinter, 2, 0);
  blocks().Set(kBlockDoubleFeed, kFrMode, config_.franker.mode);
  blocks().Set(kBlockDoubleFeed, kFrAllowance, config_.franker.allowance);
  if (!SendChangedBlocks()) return 0;
  SendCommand(kOpConfigApplied, {});
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::SendChangedBlocks() {
  int result = 1;
  for (size_t i = 0; i < std::size(kChangedBlocks); ++i) {
    std::vector<uint8_t> payload = EncodePayload(blocks(), kChangedBlocks[i], ByteOrder::kBig);
    if (sent_[i] && *sent_[i] == payload) continue;
    // Remembered only once the scanner has it, so a failed send is tried again next time.
    if (SendDeviceBlock(kChangedBlocks[i])) {
      sent_[i] = std::move(payload);
    } else {
      result = 0;
    }
  }
  return result;
}

int ScannerVEKQv5xxDeviceTemplate::SetCfgData(int type, const void* data, int length) {
  if (type == 11 && length >= 3 && data != nullptr) {
    const auto* in = static_cast<const uint8_t*>(data);
    // A start feed from the application: the images it brings are final as they come.
    if (in[1] == kOpFeed && (in[2] == 2 || in[2] == 3)) imagesFinal_ = true;
    return commands().SendRawCommand(in, static_cast<size_t>(length));
  }
  // No double-feed sensors on this series.
  if (type == 28 || type == 29) return 0;
  return ScannerQV63xDeviceTemplate::SetCfgData(type, data, length);
}

// ---- Polling and the document's data ----

int ScannerVEKQv5xxDeviceTemplate::PollStatus() {
  if (!ReadStatusBlock()) return 0;
  // The change key: the flag bytes and word 5; the counts and lines in between do not count.
  std::vector<uint8_t> wire = EncodePayload(blocks(), kBlockStatus, ByteOrder::kBig);
  std::array<uint8_t, vekqv5xx::kStatusBlockSize> key{};
  for (size_t i : {size_t{0}, size_t{1}, size_t{2}, size_t{13}, size_t{14}}) key[i] = wire[i];
  if (haveKey_ && key == changeKey_) return 1;
  changeKey_ = key;
  haveKey_ = true;
  if (configured_) {
    const uint8_t s2 = StatusByte(kS2);
    if ((s2 & kS2SamplesReady) && !(s2 & kS2HoldSamples) && !samplesFetched_) FetchMicr();
    if ((s2 & kS2ImagesReady) == kS2ImagesReady && !(s2 & (kS2HoldFront | kS2HoldRear)) && !imagesFetched_) {
      FetchImages();
    }
  }
  Raise(2, 0);
  return 1;
}

int ScannerVEKQv5xxDeviceTemplate::FetchMicr() {
  samplesFetched_ = true;
  return ReadMicr(0, static_cast<int>(blocks().Get(kBlockStatus, kWordSamples)));
}

int ScannerVEKQv5xxDeviceTemplate::FetchImages() {
  imagesFetched_ = true;
  return GetImages(0, colourMode_);
}

void ScannerVEKQv5xxDeviceTemplate::AdjustSamples(std::span<uint16_t> samples) {
  const bool direction = Direction();
  if (direction != (sampleDirection_ != 0)) std::reverse(samples.begin(), samples.end());
  if (direction) {
    for (uint16_t& s : samples) s = static_cast<uint16_t>(~s);
  }
}

void ScannerVEKQv5xxDeviceTemplate::AfterSamples(std::span<const uint16_t> samples) {
  if (!agc_) {
    currentGain_ = baseGain_;
    return;
  }
  const AgcResult r = RunAgc(samples, currentGain_);
  g_Log.WriteFormatted(kLogGain, "oldGain=%d, Min=%d, Max=%d, clipNeg=%d, clipPos=%d, NewGain=%d",
                       static_cast<int>(currentGain_), r.minimum, r.maximum, r.clipNegative, r.clipPositive,
                       static_cast<int>(r.gain));
  currentGain_ = r.gain;
}

int ScannerVEKQv5xxDeviceTemplate::GetImages(uint8_t sequence, int colourMode) {
  if (ImagesSuppressed()) return 1;
  // The line order follows the direction this document ran.
  SetImageType(0);
  SetImageType(1);
  return ScannerQV63xDeviceTemplate::GetImages(sequence, colourMode);
}

bool ScannerVEKQv5xxDeviceTemplate::SideRunsBackward(int side) const {
  const bool usual = Direction() == (sampleDirection_ != 0);
  return side == 0 ? !usual : usual;
}

std::optional<ScannerQV63xDeviceTemplate::DocumentExtent> ScannerVEKQv5xxDeviceTemplate::DocumentExtentOf(
    uint8_t /*sequence*/, int side) const {
  // Word 1 lines from word 2; never more than the scanner holds (word 0, whole pairs).
  const auto held = static_cast<int>(blocks().Get(kBlockStatus, kWordLinesHeld) & ~int64_t{1});
  const int lines = std::min(static_cast<int>(blocks().Get(kBlockStatus, kWordDocumentLines)), held);
  if (lines <= 0) return std::nullopt;
  DocumentExtent e;
  e.width = Geometry(side).goodPixels;
  e.firstLine = static_cast<int>(blocks().Get(kBlockStatus, kWordFirstLine));
  e.lineCount = lines;
  return e;
}

const char* ScannerVEKQv5xxDeviceTemplate::GetMicrCodelinePtr() {
  if (micrHeld_) return ScannerQV63xDeviceTemplate::GetMicrCodelinePtr();
  if (eventMode_ != 0 || !ReadStatusBlock() || !(StatusByte(kS2) & kS2SamplesReady)) return nullptr;
  if (!ReadMicr(0, static_cast<int>(blocks().Get(kBlockStatus, kWordSamples)))) return nullptr;
  return micrHeld_ ? ScannerQV63xDeviceTemplate::GetMicrCodelinePtr() : nullptr;
}

void* ScannerVEKQv5xxDeviceTemplate::GetFrontImageDIBPtr() {
  if (!(frontHeld_ && imagesFinal_) && eventMode_ == 0 && ReadStatusBlock() &&
      (StatusByte(kS2) & kS2ImagesReady) == kS2ImagesReady) {
    GetImages(0, colourMode_);
  }
  return frontHeld_ && imagesFinal_ ? GetImageBuffer(0) : nullptr;
}

void* ScannerVEKQv5xxDeviceTemplate::GetRearImageDIBPtr() {
  if (!(rearHeld_ && imagesFinal_) && eventMode_ == 0 && ReadStatusBlock() &&
      (StatusByte(kS2) & kS2ImagesReady) == kS2ImagesReady) {
    GetImages(0, colourMode_);
  }
  return rearHeld_ && imagesFinal_ ? GetImageBuffer(1) : nullptr;
}

int ScannerVEKQv5xxDeviceTemplate::ReadNewImage(const std::array<int, 8>& arguments) {
  newImage_ = arguments;
  newImagePending_ = true;
  newImageFlags_ = {arguments[0] == 0, arguments[0] != 0};
  if (eventMode_ == 0 && ReadStatusBlock() && (StatusByte(kS2) & kS2ImagesReady) == kS2ImagesReady) {
    GetImages(0, colourMode_);
  }
  return 1;
}

// ---- VEKQv500 ----

VEKQv500::VEKQv500(DriverDeviceInterface& transport)
    : VEKQv500Parts(transport), ScannerVEKQv5xxDeviceTemplate(VEKQv500Parts::commands) {
  SetMechFile(&(this->VEKQv500Parts::mechFile));
  sampleDirection_ = 1;
  // Until the scanner's image is read, the model works with its defaults.
  FillVEKQv500Defaults(blocks());
}

namespace {

constexpr const char* kClasses[] = {"VEKQv500"};

const ModelRegistration kVEKQv500Class(kClasses[0], &CreateDriverModel<VEKQv500>);

}  // namespace

std::span<const char* const> VEKQv5xxModelClasses() {
  return kClasses;
}

}  // namespace qv6
