// The QV62x template: status block and API words, polling and events, the serial port, the feeder
// commands, the photo-out thresholds and the host jam check.
#include "qv6/qv62x/qv62x_template.h"

#include <algorithm>
#include <cstring>

#include "app/log.h"
#include "platform/clock.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/line_edges.h"
#include "qv6/qv6dll.h"

namespace qv6 {

using namespace qv62x;
using later::kImFrontGoodPixels;
using later::kImFrontSensor;
using later::kImRearGoodPixels;
using later::kImRearSensor;

namespace {

constexpr size_t kFraming = 4;
constexpr size_t kBuildBuffer = 2048;
constexpr int64_t kSensorTopDown = 0x8;
constexpr unsigned kLogJam = 90;

// API status bits.
constexpr uint32_t kApiError = 0x8;
constexpr uint32_t kApiFeedSensor = 0x10;
constexpr uint32_t kApiWaitForSort = 0x4000000;
constexpr uint32_t kApiConnected = 0x80000000u;
constexpr uint32_t kApiRs232Ready = 0x800000;
constexpr uint32_t kApiMicrReady = 0x100000;
constexpr uint32_t kApiFrontReady = 0x200000;
constexpr uint32_t kApiRearReady = 0x400000;
constexpr uint32_t kErrorJam = 0x80;
constexpr int64_t kDeviceScanning = 0x4;
constexpr int64_t kDeviceScanEnable = 0x80;

const char* EventText(int event) {
  switch (event) {
    case 2:
      return "Status Chg\n";
    case 3:
      return "Micr Rdy\n";
    case 4:
      return "FrontImg Rdy\n";
    case 5:
      return "RearImg Rdy\n";
    default:
      return "MicrSamples Rdy\n";
  }
}

}  // namespace

ScannerQV62xDeviceTemplate::ScannerQV62xDeviceTemplate(Qv62xCommands& commands, Model model)
    : commands_(commands),
      blocks_(Qv62xBlockTable()),
      tables_(kTables),
      photoOut_(8, std::vector<uint8_t>(kPhotoOutBytes, 0)),
      averages_(8, std::vector<uint8_t>(kPhotoOutBytes, 0)) {
  for (int i = 0; i < kTables; ++i) {
    // Even tags hold a white reference, odd tags a black one.
    tables_[static_cast<size_t>(i)].assign(kTableBytes, i % 2 == 0 ? 0xFF : 0x00);
  }
  FillMechDefaults(blocks_, model);
}

// ---- Blocks ----

int ScannerQV62xDeviceTemplate::SendDeviceBlock(uint16_t type) {
  std::array<uint8_t, kBuildBuffer> buffer{};
  size_t length = BuildDeviceBlock(blocks_, type, buffer);
  if (length == 0) return 0;
  return commands_.SendBlock(buffer.data(), length);
}

int ScannerQV62xDeviceTemplate::ReadDeviceBlock(uint16_t type, size_t length) {
  transferBuffer_.assign(length + kFraming, 0);
  if (!commands_.ReceiveBlock(type, transferBuffer_.data(), transferBuffer_.size())) return 0;
  int result = ParseDeviceBlock(blocks_, transferBuffer_, length);
  if (type == kBlockImageModule) ClampGoodPixels();
  return result;
}

int ScannerQV62xDeviceTemplate::ReadStatusBlock() {
  auto& status = blocks_.Fields(kBlockStatus);
  std::fill(status.begin(), status.end(), 0);
  return ReadDeviceBlock(kBlockStatus, kStatusBytes);
}

void ScannerQV62xDeviceTemplate::ClampGoodPixels() {
  // The calibration tables hold 2048 pixels; a larger count would index past them.
  for (size_t f : {size_t{kImFrontGoodPixels}, size_t{kImRearGoodPixels}}) {
    if (blocks_.Get(kBlockImageModule, f) > static_cast<int64_t>(kTableBytes)) {
      blocks_.Set(kBlockImageModule, f, kTableBytes);
    }
  }
}

int ScannerQV62xDeviceTemplate::GoodPixels(int side) const {
  return static_cast<int>(blocks_.Get(kBlockImageModule, side == 0 ? kImFrontGoodPixels : kImRearGoodPixels));
}

bool ScannerQV62xDeviceTemplate::LaterSensor(int side) const {
  const int64_t front = blocks_.Get(kBlockImageModule, later::kImFrontPosition);
  const int64_t rear = blocks_.Get(kBlockImageModule, later::kImRearPosition);
  return side == 0 ? rear < front : front < rear;
}

// ---- Status ----

void ScannerQV62xDeviceTemplate::ComposeReadyBit(int side, uint32_t bit, uint32_t* status, uint32_t* errors) {
  const bool enabled = (side == 0 ? config_.front.enable : config_.rear.enable) != 0;
  const bool held = acquired_[static_cast<size_t>(side)] && imagesComplete_;
  if (eventMode_ != 0) {
    if (held) *status |= bit;
    return;
  }
  const bool ready = blocks_.Get(kBlockStatus, kStImageState) == kDataReady;
  if (!held && (!enabled || !ready)) {
    *status &= ~bit;
  } else if (!jamCheck_) {
    *status |= bit;
  } else if (enabled && ready) {
    // The caller polls: the document is fetched, checked and cropped before its bit shows.
    if (!held) GetImages(scanMode_);
    if (noJam_ && acquired_[static_cast<size_t>(side)] && imagesComplete_) {
      *status |= bit;
    } else if (!noJam_) {
      *status |= kApiError;
      *errors |= kErrorJam;
    }
  }
}

int ScannerQV62xDeviceTemplate::GetStatus(int* status, int* errors) {
  if (status != nullptr) *status = 0;
  if (errors != nullptr) *errors = 0;
  if (!ReadStatusBlock()) return 0;
  size_t waiting = static_cast<size_t>(blocks_.Get(kBlockStatus, kStSerialCount));
  if (waiting != 0 && !FillRs232Ring(waiting)) return 0;
  const auto s = static_cast<uint32_t>(blocks_.Get(kBlockStatus, kStStatus));
  uint32_t st = (s & 0x0FFF) | ((s & 0x8000) ? kApiWaitForSort : 0) | kApiConnected;
  uint32_t er = static_cast<uint32_t>(blocks_.Get(kBlockStatus, kStError)) & 0xFFFF;
  if (!ring_.empty()) st |= kApiRs232Ready;
  if (eventMode_ != 0) {
    if (micrDecoded_) st |= kApiMicrReady;
  } else if (micrDecoded_ || blocks_.Get(kBlockStatus, kStMicrState) == kDataReady) {
    st |= kApiMicrReady;
  }
  ComposeReadyBit(0, kApiFrontReady, &st, &er);
  ComposeReadyBit(1, kApiRearReady, &st, &er);
  if (imageMissing_) {
    st |= kApiError;
    er |= QV6_ERRORS_DEVICE;
  }
  if (jamCheck_ && !noJam_) {
    st |= kApiError;
    st &= ~(kApiFrontReady | kApiRearReady);
    er |= kErrorJam;
    blocks_.Set(kBlockStatus, kStImageState, kImageJammed);
  }
  // A document at the feed sensor settles the calibration; the next enable calibrates after it left.
  if (st & kApiFeedSensor) {
    if (calibrationState_ == 2) calibrationState_ = 0;
  } else if (calibrationState_ == 0) {
    calibrationState_ = 1;
  }
  if (status != nullptr) *status = static_cast<int>(st);
  if (errors != nullptr) *errors = static_cast<int>(er);
  return 1;
}

int ScannerQV62xDeviceTemplate::ServicePending() {
  while (reprocessPending_) {
    reprocessPending_ = false;
    GetImages(scanMode_);
  }
  return 1;
}

int ScannerQV62xDeviceTemplate::PollStatus() {
  if (!ReadStatusBlock()) return 0;
  size_t waiting = static_cast<size_t>(blocks_.Get(kBlockStatus, kStSerialCount));
  if (waiting != 0) FillRs232Ring(waiting);
  std::vector<uint8_t> wire = EncodePayload(blocks_, kBlockStatus, ByteOrder::kBig);
  std::array<uint8_t, 20> snapshot{};
  std::copy_n(wire.begin(), snapshot.size(), snapshot.begin());
  // A change shows in the status word, the error word, the image state or the MICR state.
  auto same = [&](size_t at, size_t n) {
    return std::equal(&snapshot[at], &snapshot[at] + n, &snapshot_[at]);
  };
  // After a fetch the snapshot is stale: the scanner dropped the marks it shows, and a document fed at
  // once after it raises them again, which would compare equal and never be fetched.
  if (haveSnapshot_ && waiting == 0 && !fetched_ && same(0, 4) && same(6, 1) && same(16, 1)) return 1;
  snapshot_ = snapshot;
  haveSnapshot_ = true;
  OnStatusChanged();
  return 1;
}

void ScannerQV62xDeviceTemplate::OnStatusChanged() {
  fetched_ = false;
  if (initialised_) {
    // The scanner's states leave 2 once the host has read the samples and the raw data.
    if (blocks_.Get(kBlockStatus, kStMicrState) == kDataReady) {
      ReadMicr();
      fetched_ = true;
    }
    if (blocks_.Get(kBlockStatus, kStImageState) == kDataReady) {
      // Raw data already here was read before; a failed read leaves the document to the next tick.
      const bool held = raw_.read;
      GetImages(scanMode_);
      fetched_ = fetched_ || !held;
      rawReadFailed_ = !raw_.read;
    } else if (rawReadFailed_ && !raw_.read) {
      // The scanner let go of data the host never received (the driver failed the transfer): without a
      // mark the caller would take the document's missing images for sides not scanned.
      rawReadFailed_ = false;
      imageMissing_ = true;
    }
  }
  Raise(2, 0);
}

void ScannerQV62xDeviceTemplate::Raise(int event, intptr_t value) {
  if (eventMode_ == 0) {
    g_Log.Write(kLogEvent, EventText(event));
    return;
  }
  RaiseEvent(event, value, EventText(event));
}

int ScannerQV62xDeviceTemplate::SetEventMode(int mode) {
  eventMode_ = mode;
  ForgetMissingImage();
  imagesComplete_ = false;
  acquired_ = {};
  micrDecoded_ = false;
  config_.micrSaveSamples = 0;
  reprocess_ = {};
  return 0;
}

// ---- Feeder ----

int ScannerQV62xDeviceTemplate::SendCommand(uint8_t opcode, std::initializer_list<uint8_t> parameters) {
  DeviceCommandRequest request;
  request.opcode = opcode;
  std::copy_n(parameters.begin(), std::min(parameters.size(), request.p.size()), request.p.begin());
  return commands_.SendCommand(request);
}

int ScannerQV62xDeviceTemplate::ScanEnableBit() const {
  return (blocks_.Get(kBlockStatus, kStStatus) & kDeviceScanEnable) != 0 ? 1 : 0;
}

int ScannerQV62xDeviceTemplate::EnableScan(int on) {
  noJam_ = true;
  if (on) raw_.read = false;
  ForgetMissingImage();
  if (!initialised_) on = 0;
  acquired_ = {};
  micrDecoded_ = false;
  reprocess_ = {};
  imagesComplete_ = config_.cropEnable == 0;
  // A document still passing finishes first (at most 5 s on the monotonic clock).
  if (!ReadStatusBlock()) return 0;
  const uint64_t deadline = plat::DeadlineAfter(kScanningWaitMs);
  while (blocks_.Get(kBlockStatus, kStStatus) & kDeviceScanning) {
    if (plat::NowMs() > deadline) break;
    plat::Sleep(10);
    if (!ReadStatusBlock()) return 0;
  }
  if (on) {
    if (!PrepareScan()) return 0;
    if (calibrationState_ == 1) {
      calibrationState_ = 2;
      if (!SelfCalib(0)) return 0;
    }
  }
  const uint8_t sorter = on ? static_cast<uint8_t>(config_.sorterEnable != 0 ? 1 : 0) : 0;
  return SendCommand(later::kOpFeed, {static_cast<uint8_t>(on ? 1 : 0), sorter, 0, 0, 0});
}

int ScannerQV62xDeviceTemplate::EjectDocument(int /*value*/) {
  return SendCommand(later::kOpEject, {});
}

int ScannerQV62xDeviceTemplate::ClearPowerOnFlag() {
  return SendCommand(later::kOpClearPowerOn, {});
}

int ScannerQV62xDeviceTemplate::ClearErrors() {
  return EnableScan(0);
}

int ScannerQV62xDeviceTemplate::SetDestinationPocket(int /*pocket*/) {
  return 1;
}

// ---- Serial port ----

int ScannerQV62xDeviceTemplate::FillRs232Ring(size_t count) {
  std::array<uint8_t, kRs232ReadPiece> piece{};
  while (count > 0) {
    size_t n = std::min(count, piece.size());
    if (!commands_.Rs232Receive(piece.data(), n)) return 0;
    ring_.Append({piece.data(), n});
    count -= n;
  }
  return 1;
}

int ScannerQV62xDeviceTemplate::Rs232Tx(const void* data, int length) {
  if (length <= 0) return 1;
  std::array<uint8_t, kRs232TxMax> buffer{};
  size_t n = std::min(static_cast<size_t>(length), kRs232TxMax);
  std::memcpy(buffer.data(), data, n);
  return commands_.Rs232Send(buffer.data(), n);
}

int ScannerQV62xDeviceTemplate::Rs232Rx(void* buffer, int* count) {
  if (count == nullptr) return 1;
  size_t capacity = *count > 0 ? static_cast<size_t>(*count) : 0;
  *count = static_cast<int>(ring_.Take({static_cast<uint8_t*>(buffer), buffer != nullptr ? capacity : 0}));
  return 1;
}

int ScannerQV62xDeviceTemplate::ReadIdentity(uint8_t* buffer, size_t size) {
  return commands_.Identify(buffer, size);
}

// ---- Photo-out thresholds and the jam check ----

std::span<const uint8_t> ScannerQV62xDeviceTemplate::PhotoOut(int side, int channel) const {
  return photoOut_[static_cast<size_t>((side != 0 ? 4 : 0) + channel)];
}

std::span<const uint8_t> ScannerQV62xDeviceTemplate::Averages(int side, int channel) const {
  return averages_[static_cast<size_t>((side != 0 ? 4 : 0) + channel)];
}

std::vector<uint8_t>& ScannerQV62xDeviceTemplate::AverageTable(int side, int channel) {
  return averages_[static_cast<size_t>((side != 0 ? 4 : 0) + channel)];
}

int ScannerQV62xDeviceTemplate::ProcessChannelTables(int thresholdOffset) {
  for (int side = 0; side < 2; ++side) {
    const int n = std::clamp(GoodPixels(side), 0, static_cast<int>(kTableBytes));
    const bool topDown =
        (blocks_.Get(kBlockImageModule, side == 0 ? kImFrontSensor : kImRearSensor) & kSensorTopDown) != 0;
    const int base = side == 0 ? kFirstTableTag : kFirstTableTag + 8;
    for (int channel = 0; channel < 4; ++channel) {
      // Grey: tags 256/257; red, green, blue: the pairs that follow.
      const auto& white = tables_[static_cast<size_t>(base - kFirstTableTag + 2 * channel)];
      const auto& black = tables_[static_cast<size_t>(base - kFirstTableTag + 2 * channel + 1)];
      const auto& average = averages_[static_cast<size_t>(side * 4 + channel)];
      auto& out = photoOut_[static_cast<size_t>(side * 4 + channel)];
      for (int i = 0; i < n; ++i) {
        const auto k = static_cast<size_t>(topDown ? n - 1 - i : i);
        const int w = white[k];
        const int b = black[k];
        const int level = std::min(255, thresholdOffset + 2 * average[k]);
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(b + level * (w - b) / 255);
      }
    }
  }
  return 1;
}

int ScannerQV62xDeviceTemplate::CheckJam(int mode, unsigned count, unsigned step, unsigned tripPixels) {
  JamSide sides[2];
  for (int s = 0; s < 2; ++s) {
    sides[s].lineStart = FindLineStart(s);
    sides[s].lineEnd = FindLineEnd(s);
    sides[s].later = LaterSensor(s);
    for (int c = 0; c < 4; ++c) sides[s].thresholds[c] = PhotoOut(s, c);
  }
  JamReason reason = JamReason::kNone;
  JamResult result = qv62x::CheckJam(raw_, mode, count, step, tripPixels, sides[0], sides[1], &reason);
  if (reason == JamReason::kNotEntered) g_Log.Write(kLogJam, "JAM ERROR: document not entered in CIS\n");
  if (reason == JamReason::kNotExited) g_Log.Write(kLogJam, "JAM ERROR: document not exited from CIS\n");
  return static_cast<int>(result);
}

int ScannerQV62xDeviceTemplate::FindLineStart(int side) const {
  const int base = side == 0 ? kFirstTableTag : kFirstTableTag + 8;
  return later::FindLineStart(Table(base), Table(base + 1), GoodPixels(side));
}

int ScannerQV62xDeviceTemplate::FindLineEnd(int side) const {
  const int base = side == 0 ? kFirstTableTag : kFirstTableTag + 8;
  return later::FindLineEnd(Table(base), Table(base + 1), GoodPixels(side));
}

std::span<const uint8_t> ScannerQV62xDeviceTemplate::Table(int tag) const {
  int i = tag - kFirstTableTag;
  if (i < 0 || i >= kTables) return {};
  return tables_[static_cast<size_t>(i)];
}

}  // namespace qv6
