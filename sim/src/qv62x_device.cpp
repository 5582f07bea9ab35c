// The simulated QV62x scanner: status, blocks, commands, the document cycle through the shared feeder
// and the QV62x raw format, and its controller's firmware download.
#include "sim/qv62x_device.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace sim {
namespace {

constexpr uint8_t kCodeSamples = 0x41;
constexpr uint8_t kCodeRawImage = 0x42;
constexpr uint8_t kCodeUpload = 0x43;
constexpr uint16_t kPipeImage = 1;
constexpr uint16_t kPipeSamples = 2;
constexpr int kCalibrationLines = 100;       // 20 lead-in and 80 image lines of empty track
constexpr uint8_t kEmptyTrack = 10;          // what the sensors read of the empty track
constexpr uint16_t kErrorDoubleFeed = 0x10;  // simulator convention for the error word
constexpr uint16_t kErrorJam = 0x80;         // simulator convention for the error word
constexpr uint16_t kDoubleFeedBlock = 35;
constexpr size_t kPhotoOutByte = 3;          // 1: the scanner runs its own photo-out test

void PutBe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

}  // namespace

Qv62xDevice::Qv62xDevice(Identity identity, IdentificationCodes codes)
    : LaterSeriesTemplate(kQv62xTraits, std::move(identity), codes) {
  std::vector<uint8_t> info4(16);
  for (size_t i = 0; i < info4.size(); ++i) info4[i] = static_cast<uint8_t>(0xA0 + i);
  SetBlock(4, info4);
  // Mechanical sections read back before the host sent any: cleared ones of the right sizes.
  SetBlock(64, std::vector<uint8_t>(66, 0));
  SetBlock(65, std::vector<uint8_t>(325, 0));
  SetBlock(66, std::vector<uint8_t>(15, 0));
  SetBlock(67, std::vector<uint8_t>(5, 0));
  if (codes.product == 28 || codes.product == 29) controller_.Boot();
}

// ---- Controller ----

drv::Reply Qv62xDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  drv::Reply reply = LaterSeriesTemplate::Control(code, in, out);
  controller_.OnControl(reply, code, in, out);
  return reply;
}

// ---- State for tests ----

void Qv62xDevice::SetDocumentSource(std::shared_ptr<Qv62xDocumentSource> source) {
  std::lock_guard lock(mutex_);
  source_ = std::move(source);
}

void Qv62xDevice::SetWords(uint16_t status, uint16_t error) {
  std::lock_guard lock(mutex_);
  status_ = status;
  error_ = error;
}

uint16_t Qv62xDevice::StatusWord() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void Qv62xDevice::SetStatusLength(std::optional<size_t> length) {
  std::lock_guard lock(mutex_);
  statusLength_ = length;
}

void Qv62xDevice::InjectEntryJam() {
  std::lock_guard lock(mutex_);
  entryJam_ = true;
}

void Qv62xDevice::RefuseBlocks(int count, std::optional<uint16_t> type) {
  std::lock_guard lock(mutex_);
  refuseBlocks_ = count;
  refuseType_ = type;
}

void Qv62xDevice::RefuseRawReads(int count) {
  std::lock_guard lock(mutex_);
  refuseRaw_ = count;
}

void Qv62xDevice::SetDoubleFeedMeasure(uint16_t word) {
  std::lock_guard lock(mutex_);
  measure_ = word;
}

std::vector<uint16_t> Qv62xDevice::SampleRequests() const {
  std::lock_guard lock(mutex_);
  return sampleRequests_;
}

int Qv62xDevice::RawReads() const {
  std::lock_guard lock(mutex_);
  return rawReads_;
}

std::vector<std::pair<uint16_t, uint16_t>> Qv62xDevice::Uploads() const {
  std::lock_guard lock(mutex_);
  return uploads_;
}

// ---- Blocks and commands ----

int Qv62xDevice::Pixels() const {
  std::vector<uint8_t> module;
  const_cast<Qv62xDevice*>(this)->LaterSeriesDevice::BlockPayload(64, 66, &module);
  const int p = module.size() >= 20 ? (module[18] << 8) | module[19] : 0;
  return p > 0 ? p : 864;
}

bool Qv62xDevice::BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) {
  if (type == kStatusBlock) {
    std::vector<uint8_t> b(kQv62xTraits.statusBlockSize, 0);
    PutBe16(b, 0, status_);
    PutBe16(b, 2, error_);
    b[6] = imageState_;
    PutBe16(b, 10, fed_.lines);
    PutBe16(b, 12, fed_.distance);
    PutBe16(b, 14, fed_.leadIn);
    b[16] = micrState_;
    PutBe16(b, 17, fed_.samples);
    PutBe16(b, 19, static_cast<uint16_t>(std::min<size_t>(SerialWaiting(), 0xFFFF)));
    PutBe16(b, 21, fed_.trailing);
    if (statusLength_) b.resize(std::min(*statusLength_, b.size()));
    *payload = std::move(b);
    return true;
  }
  if (type == kStatusWordBlock) {
    *payload = {static_cast<uint8_t>(statusWord_ >> 8), static_cast<uint8_t>(statusWord_)};
    return true;
  }
  return LaterSeriesTemplate::BlockPayload(type, capacity, payload);
}

bool Qv62xDevice::OnBlock(std::span<const uint8_t> block) {
  if (block.size() < 4) return false;
  const uint16_t type = plat::bytes::GetBe16(block.data());
  if (refuseBlocks_ > 0 && (!refuseType_ || *refuseType_ == type)) {
    --refuseBlocks_;
    return false;
  }
  const std::vector<uint8_t> payload(block.begin() + 4, block.end());
  // Settings and mechanical sections are kept and read back as sent.
  SetBlock(type, payload);
  return true;
}

bool Qv62xDevice::OnCommandPacket(std::span<const uint8_t> packet) {
  if (packet.size() < 2) return false;
  switch (packet[1]) {
    case 1: {
      const uint8_t on = packet.size() > 2 ? packet[2] : 0;
      if (on == 2) {
        calibration_ = true;
      } else if (on != 0) {
        status_ |= kStatusScanEnable;
        Feed();
      } else {
        status_ &= static_cast<uint16_t>(~kStatusScanEnable);
        // The QV602 and QV620 clear their errors when the feeder stops (their hosts send no command 8);
        // the QV702 keeps them until command 8.
        if (identity_.model.find("702") == std::string::npos) ClearErrors();
      }
      return true;
    }
    case 3:
      status_ &= static_cast<uint16_t>(~0x2);
      return true;
    case 5:
      statusWord_ = measure_;
      return true;
    case 8:
      ClearErrors();
      return true;
    default:
      return true;
  }
}

bool Qv62xDevice::PhotoOutTest() {
  std::vector<uint8_t> settings;
  LaterSeriesDevice::BlockPayload(kDoubleFeedBlock, 4, &settings);
  return settings.size() > kPhotoOutByte && settings[kPhotoOutByte] == 1;
}

void Qv62xDevice::ClearErrors() {
  status_ &= static_cast<uint16_t>(~(kStatusError | kStatusDoubleFeed | kStatusExitJam));
  error_ = 0;
}

void Qv62xDevice::Feed() {
  if (!source_) return;
  std::vector<uint8_t> scan;
  LaterSeriesDevice::BlockPayload(34, 61, &scan);
  auto fed = source_->Feed(scan.size() > 2 && scan[2] == 3);
  if (!fed) return;
  fed_ = *fed;
  if (fed_.unplug) {
    // Off the bus with the document inside: when the scanner is back, nothing of it is left, and a
    // document fed after the replug must show as a change of its image and MICR states.
    fed_ = {};
    imageState_ = 0;
    micrState_ = 0;
    return;
  }
  if (fed_.jam && PhotoOutTest()) {
    // The scanner's own photo-out test finds the sheet still under its sensors: it stops with the
    // jam in its words and no data, as it does for a double feed.
    status_ |= kStatusError | kStatusExitJam;
    error_ = kErrorJam;
    fed_ = {};
    return;
  }
  if (fed_.doubleFeed) {
    status_ |= kStatusError | kStatusDoubleFeed;
    error_ = kErrorDoubleFeed;
    fed_ = {};
    return;
  }
  imageState_ = 2;
  micrState_ = fed_.samples != 0 ? 2 : 0;
}

std::vector<uint8_t> Qv62xDevice::CalibrationLines() const {
  return std::vector<uint8_t>(2 * static_cast<size_t>(Pixels()) * kCalibrationLines, kEmptyTrack);
}

bool Qv62xDevice::OnControlRequest(uint8_t code, uint16_t value, uint16_t index) {
  switch (code) {
    case kCodeSamples: {
      sampleRequests_.push_back(value);
      ClearPipeData(kPipeSamples);
      if (source_ && micrState_ == 2) QueuePipeData(kPipeSamples, source_->Samples());
      micrState_ = 0;
      return true;
    }
    case kCodeRawImage: {
      if (refuseRaw_ > 0) {
        --refuseRaw_;
        return false;
      }
      ++rawReads_;
      ClearPipeData(kPipeImage);
      if (calibration_) {
        QueuePipeData(kPipeImage, CalibrationLines());
        calibration_ = false;
      } else if (source_ && imageState_ == 2) {
        QueuePipeData(kPipeImage, source_->Raw(entryJam_));
        entryJam_ = false;
      }
      imageState_ = 0;
      return true;
    }
    case kCodeUpload:
      uploads_.emplace_back(value, index);
      return true;
    default:
      return true;
  }
}

}  // namespace sim
