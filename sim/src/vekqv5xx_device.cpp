// The simulated VEKQv5xx scanner: its status block, commands, data requests and controller.
#include "sim/vekqv5xx_device.h"

#include "platform/byte_order.h"
#include "sim/catalog.h"

namespace sim {
namespace {

constexpr uint16_t kBlockAcquisition = 34;
constexpr uint16_t kBlockImageTransfer = 37;
constexpr uint16_t kBlockSamples = 38;
constexpr uint16_t kSamplesPipe = 2;
constexpr size_t kPotentiometerAt = 2;
constexpr uint8_t kBootProduct = 24;
constexpr size_t kControlBlock = 10;
constexpr uint8_t kCodeFirmwareHigh = 0x12;
constexpr uint8_t kCodeMemoryWrite = 0xA0;

}  // namespace

VekQv5xxDevice::VekQv5xxDevice(Identity identity, IdentificationCodes codes)
    : LaterSeriesTemplate(kVekQv5xxTraits, std::move(identity), codes) {
  if (codes.product == kBootProduct) {
    for (const ModelInfo& info : AllModels()) {
      // No loader on this series: the first records its boot loader takes are the firmware.
      if (this->identity().model == info.modelText) {
        firmware_ = FirmwareLoader(FirmwareLoader::Stage::kLoader, info.running);
      }
    }
  }
}

drv::Reply VekQv5xxDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  std::lock_guard lock(mutex_);
  drv::Reply reply = LaterSeriesTemplate::Control(code, in, out);
  if (!reply.ok || code != kIoctlVendorRequest || in.size() < kControlBlock || in[0] != 0) return reply;
  if (in[4] != kCodeFirmwareHigh && in[4] != kCodeMemoryWrite) return reply;
  const auto address = static_cast<uint16_t>(in[6] | (in[7] << 8));
  if (auto started = firmware_.OnMemoryWrite(address, out)) {
    if (*started == FirmwareLoader::Stage::kFirmware && firmware_.firmwareDownloads() > 0) {
      Identity running = identity();
      running.state = "OK";
      if (auto texts = FirmwareLoader::TextsOf(firmware_.firmwareImage())) {
        running.manufacturer = texts->manufacturer;
        running.version = texts->version;
      }
      SetIdentity(running);
      SetCodes(firmware_.runningCodes());
    }
  }
  return reply;
}

bool VekQv5xxDevice::BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) {
  if (type != kStatusBlock) return LaterSeriesTemplate::BlockPayload(type, capacity, payload);
  std::vector<uint8_t> p(kVekQv5xxTraits.statusBlockSize, 0);
  p[0] = s0_;
  p[1] = s1_;
  p[2] = s2_;
  for (size_t i = 0; i < words_.size(); ++i) plat::bytes::PutBe16(&p[3 + 2 * i], words_[i]);
  if (statusLength_) p.resize(std::min(*statusLength_, p.size()));
  *payload = std::move(p);
  return true;
}

void VekQv5xxDevice::StartFeed() {
  s0_ |= kVekEnabled;
  s0_ &= static_cast<uint8_t>(~kVekFeeding);
  if (!source_) return;
  const Fault fault = fault_;
  fault_ = Fault::kNone;
  std::optional<VekFedDocument> doc = source_->Feed(acquisition_);
  if (!doc) return;
  // Each start feed takes one document and ends the feed.
  s0_ &= static_cast<uint8_t>(~kVekEnabled);
  s0_ = static_cast<uint8_t>((s0_ & ~kVekDirection) | (source_->Direction() ? kVekDirection : 0));
  words_[5] = static_cast<uint16_t>(words_[5] + 1);
  if (fault != Fault::kNone || doc->jam) {
    s0_ |= kVekError | (fault == Fault::kInsertError ? kVekInsertError : kVekJam);
    if (fault != Fault::kInsertError) s1_ |= kVekSensorExit;
    s2_ = 0;
    return;
  }
  words_[0] = words_[1] = doc->lines;
  words_[2] = doc->firstLine;
  words_[4] = doc->samples;
  s2_ = static_cast<uint8_t>(kVekLengthValid | kVekImagesReady | (doc->samples != 0 ? kVekSamplesReady : 0) |
                             holdBack_ | (same_ ? kVekSameDocument : 0));
}

bool VekQv5xxDevice::OnCommandPacket(std::span<const uint8_t> packet) {
  if (packet.size() < 2) return false;
  const uint8_t opcode = packet[1];
  auto p = [&packet](size_t i) { return packet.size() > 1 + i ? packet[1 + i] : uint8_t{0}; };
  switch (opcode) {
    case 1:
      if (p(1) == 1) {
        starts_.push_back(p(2));
        StartFeed();
      } else {
        s0_ &= static_cast<uint8_t>(~(kVekEnabled | kVekFeeding));
      }
      break;
    case 2:
      ejects_.push_back(p(2));
      break;
    case 3:
      s0_ &= static_cast<uint8_t>(~kVekPowerOn);
      break;
    case 8:
      s0_ &= static_cast<uint8_t>(~(kVekError | kVekInsertError | kVekJam));
      s1_ &= static_cast<uint8_t>(~kVekSensorExit);
      break;
    case 12:
      frankings_.push_back(static_cast<uint16_t>((p(2) << 8) | p(3)));
      break;
    default:
      break;
  }
  return true;
}

bool VekQv5xxDevice::OnBlock(std::span<const uint8_t> block) {
  if (block.size() < 4) return false;
  const auto type = static_cast<uint16_t>((block[0] << 8) | block[1]);
  std::span<const uint8_t> payload = block.subspan(4);
  if (type == kBlockAcquisition) {
    acquisition_.assign(payload.begin(), payload.end());
  } else if (type == kBlockSamples && source_) {
    ClearPipeData(kSamplesPipe);
    QueuePipeData(kSamplesPipe, source_->Samples());
    if (!keepReady_) s2_ &= static_cast<uint8_t>(~kVekSamplesReady);
  } else if (type == kBlockImageTransfer && source_ && payload.size() >= 11) {
    const int side = payload[0] != 0 ? 1 : 0;
    const int first = plat::bytes::GetBe16(&payload[3]);
    const int end = plat::bytes::GetBe16(&payload[5]);
    const int length = plat::bytes::GetBe16(&payload[9]);
    ClearPipeData(static_cast<uint16_t>(side));
    QueuePipeData(static_cast<uint16_t>(side), source_->Image(side, first, end, length));
    if (side == 1 && !keepReady_) s2_ &= static_cast<uint8_t>(~kVekImagesReady);
  }
  return true;
}

void VekQv5xxDevice::SetDocumentSource(std::shared_ptr<VekQv5xxDocumentSource> source) {
  std::lock_guard lock(mutex_);
  source_ = std::move(source);
}

void VekQv5xxDevice::SetFlags(uint8_t s0, uint8_t s1, uint8_t s2) {
  std::lock_guard lock(mutex_);
  s0_ = s0;
  s1_ = s1;
  s2_ = s2;
}

std::array<uint8_t, 3> VekQv5xxDevice::Flags() const {
  std::lock_guard lock(mutex_);
  return {s0_, s1_, s2_};
}

void VekQv5xxDevice::SetWord(size_t index, uint16_t value) {
  std::lock_guard lock(mutex_);
  if (index < words_.size()) words_[index] = value;
}

void VekQv5xxDevice::SetStatusLength(std::optional<size_t> length) {
  std::lock_guard lock(mutex_);
  statusLength_ = length;
}

void VekQv5xxDevice::SetHoldBack(uint8_t bits) {
  std::lock_guard lock(mutex_);
  holdBack_ = bits & (kVekHoldImages | kVekHoldSamples);
}

void VekQv5xxDevice::ReleaseHoldBack() {
  std::lock_guard lock(mutex_);
  s2_ &= static_cast<uint8_t>(~(kVekHoldImages | kVekHoldSamples));
}

void VekQv5xxDevice::SetKeepReadyBits(bool keep) {
  std::lock_guard lock(mutex_);
  keepReady_ = keep;
}

void VekQv5xxDevice::SetSameDocument(bool same) {
  std::lock_guard lock(mutex_);
  same_ = same;
  // The scanner knows at once that the document came back.
  s2_ = static_cast<uint8_t>(same ? s2_ | kVekSameDocument : s2_ & ~kVekSameDocument);
}

void VekQv5xxDevice::FailNextFeed(Fault fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
}

std::vector<uint8_t> VekQv5xxDevice::StartParameters() const {
  std::lock_guard lock(mutex_);
  return starts_;
}

std::vector<uint8_t> VekQv5xxDevice::EjectParameters() const {
  std::lock_guard lock(mutex_);
  return ejects_;
}

std::vector<uint16_t> VekQv5xxDevice::Frankings() const {
  std::lock_guard lock(mutex_);
  return frankings_;
}

std::optional<uint8_t> VekQv5xxDevice::Potentiometer() const {
  std::lock_guard lock(mutex_);
  if (acquisition_.size() <= kPotentiometerAt) return std::nullopt;
  return acquisition_[kPotentiometerAt];
}

int VekQv5xxDevice::FirmwareDownloads() const {
  std::lock_guard lock(mutex_);
  return firmware_.firmwareDownloads();
}

}  // namespace sim
