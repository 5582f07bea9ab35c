// The KQv8x template's own operations, the KQv8 model, its EEPROM image and its registration.
#include "qv6/kqv8x/kqv8_model.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "connect/model_registry.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "qv6/kqv8x/kqv8x_edges.h"
#include "qv6/kqv8x/kqv8x_registers.h"
#include "qv6/kqv8x/kqv8x_side.h"
#include "qv6/later/channel_settings.h"

namespace qv6 {
namespace {

using namespace later;

constexpr uint16_t kTransferOrder[] = {kBlockImageModule, kBlockMotor,          kBlockTransport,
                                       kBlockMicrHead,    kBlockPrinterSection, kBlockRamp0};
constexpr uint16_t kImageOrder[] = {kBlockTransport,      kBlockMicrHead, kBlockImageModule,
                                    kBlockPrinterSection, kBlockMotor,    kBlockRamp0};
constexpr size_t kTableBytes = 3000;
constexpr uint16_t kFactoryDoubleFeedPwm = 50;
constexpr size_t kReadRounding = 512;

}  // namespace

const LaterSeriesTraits& KQv8xSeriesTraits() {
  static const LaterSeriesTraits traits = [] {
    LaterSeriesTraits t{kqv8x::KQv8xBlockTable(), kqv8x::KQv8xMechIniBindings(), kTransferOrder, kImageOrder,
                        kTableBytes};
    t.scanRules.sensor300 = true;
    t.scanRules.colourTwoOnly = true;
    t.scanRules.noFeedSolenoid = true;
    t.sensorDpi = 300;
    t.fullWidthTransfer = true;
    t.wholeWidthWindow = true;
    t.resample = &kqv8x::ResampleSide;
    t.micrRates = {50000, 50000};
    t.statusSize = kqv8x::kStatusBlockSize;
    t.statusRecords = kStatusRecordA;
    t.serialCountField = kqv8x::kSerialCountField;
    t.documentBits = {kqv8x::kDocSamplesReady, kqv8x::kDocFrontReady, kqv8x::kDocRearReady};
    // One double-feed sensor serves both calibration positions.
    t.doubleFeedBits = {kqv8x::kSensorDoubleFeed, kqv8x::kSensorDoubleFeed};
    t.hostBufferSize = 8192;
    t.framedTransfers = true;
    t.micrSampleBytes = 1;
    t.micrMaxSamples = 32668;
    t.micrMinSamples = 51;
    return t;
  }();
  return traits;
}

void KQv8xMechFile::GetDefaultSection(int tag, uint8_t* buffer, size_t length) {
  CopyDefaultSection(tag, buffer, length, kqv8x::KQv8xBlockTable(), &kqv8x::FillKQv8Defaults);
}

// ---- ScannerKQv8xDeviceTemplate ----

StatusWords ScannerKQv8xDeviceTemplate::ComposeStatus() const {
  return kqv8x::ComposeStatusWords(CurrentStatusInputs());
}

void ScannerKQv8xDeviceTemplate::PrepareAcquisition() {
  const SideConfig& front = config_.front;
  const SideConfig& rear = config_.rear;
  colourMode_ = front.color == 0 ? 0 : (front.color == 2 || AlternativeColourTiming()) ? 2 : 1;
  // Colour lines come at 100 per inch; grey at 200 (for 100 and 200 dpi) or 300.
  const int resolution = colourMode_ != 0                                     ? 100
                         : front.resolution == 100 || front.resolution == 200 ? 200
                                                                              : 300;
  std::array<int, 3> f{};
  std::array<int, 3> r{};
  ComputeColorRatios(static_cast<unsigned>(front.red), static_cast<unsigned>(front.green),
                     static_cast<unsigned>(front.blue), &f[0], &f[1], &f[2]);
  ComputeColorRatios(static_cast<unsigned>(rear.red), static_cast<unsigned>(rear.green),
                     static_cast<unsigned>(rear.blue), &r[0], &r[1], &r[2]);
  int line = resolution;
  int code = kqv8x::kColourCodeGrey;
  const bool full = colourMode_ != 0;
  if (colourMode_ == 2) {
    line = 3 * resolution;
    code = kqv8x::kColourCodePlanes;
  } else if (colourMode_ == 1) {
    line = 2 * (resolution & ~1);
    code = kqv8x::kColourCodeFour;
  }
  if (full) {
    kqv8x::SideRegisters(blocks(), true, true, 100, 100, 100, front.contrast);
    kqv8x::SideRegisters(blocks(), false, true, 100, 100, 100, rear.contrast);
  } else {
    kqv8x::SideRegisters(blocks(), true, false, f[0], f[1], f[2], front.contrast);
    kqv8x::SideRegisters(blocks(), false, false, r[0], r[1], r[2], rear.contrast);
  }
  kqv8x::PrepareRegisters(blocks(), line, code);
}

int ScannerKQv8xDeviceTemplate::FindLineStart(int side) const {
  return kqv8x::FindLineStart(CorrectionTable(side == 0 ? kFirstTableTag : kFirstTableTag + 8));
}

int ScannerKQv8xDeviceTemplate::FindLineEnd(int side) const {
  const auto good =
      static_cast<int>(blocks().Get(kBlockImageModule, side == 0 ? kImFrontGoodPixels : kImRearGoodPixels));
  return kqv8x::FindLineEnd(CorrectionTable(side == 0 ? kFirstTableTag : kFirstTableTag + 8), good);
}

int ScannerKQv8xDeviceTemplate::GetOperatingMode(int* mode) {
  if (mode != nullptr) *mode = static_cast<int>(blocks().Get(kBlockTransport, kqv8x::kTsOperatingMode));
  return 1;
}

int ScannerKQv8xDeviceTemplate::GetCfgData(int type, void* buffer, int length) {
  if (type != 12) return ScannerQV63xDeviceTemplate::GetCfgData(type, buffer, length);
  if (length < 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t n = std::min(static_cast<size_t>(length), kSampleBufferBytes);
  if (out != nullptr) std::memset(out, 0, static_cast<size_t>(length));
  // The bulk read fills whole 512-byte packets: read into our own buffer, hand out what fits.
  std::vector<uint8_t> samples((n + kReadRounding - 1) / kReadRounding * kReadRounding + kReadRounding, 0);
  if (!ReadMicrData(1, samples.data(), n)) return 0;
  if (out != nullptr) std::memcpy(out, samples.data(), n);
  return 1;
}

int ScannerKQv8xDeviceTemplate::SetCfgData(int type, const void* data, int length) {
  switch (type) {
    case 11:
      // A start feed from the application begins with nothing of a document held.
      frontHeld_ = rearHeld_ = micrHeld_ = false;
      imageMissing_ = false;
      return ScannerQV63xDeviceTemplate::SetCfgData(type, data, length);
    case 28:
      if (length < 1 || data == nullptr) return 0;
      blocks().Set(kBlockTransport, kqv8x::kTsPwmDoubleFeed0, *static_cast<const uint8_t*>(data));
      return SendDeviceBlock(kBlockTransport);
    case 29:
      return 0;  // one double-feed sensor only
    default:
      return ScannerQV63xDeviceTemplate::SetCfgData(type, data, length);
  }
}

// ---- KQv8 ----

KQv8::KQv8(DriverDeviceInterface& transport)
    : KQv8Parts(transport), ScannerKQv8xDeviceTemplate(KQv8Parts::commands) {
  SetMechFile(&(this->KQv8Parts::mechFile));
  // Until the scanner's image is read, the model works with its defaults.
  kqv8x::FillKQv8Defaults(blocks());
}

void KQv8::FixupMechConfig() {
  if (blocks().Get(kBlockTransport, kqv8x::kTsPwmDoubleFeed0) == kFactoryDoubleFeedPwm) {
    blocks().Set(kBlockTransport, kqv8x::kTsPwmDoubleFeed0, 0);
  }
}

namespace {

constexpr const char* kClasses[] = {"KQv8"};

const ModelRegistration kKQv8Class(kClasses[0], &CreateDriverModel<KQv8>);

}  // namespace

std::span<const char* const> KQv8xModelClasses() {
  return kClasses;
}

}  // namespace qv6
