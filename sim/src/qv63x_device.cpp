// The simulated QV63x scanner: status words, document records, commands and mechanical sections.
#include "sim/qv63x_device.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace sim {
namespace {

constexpr uint8_t kOpFeed = 1;
constexpr uint8_t kOpClearPowerOn = 3;
constexpr uint8_t kOpDoubleFeedPwm = 5;
constexpr uint8_t kOpClearErrors = 8;
constexpr uint8_t kOpFrank = 12;
constexpr uint16_t kBlockAcquisition = 34;
constexpr uint16_t kBlockImageTransfer = 37;
constexpr uint16_t kBlockSamples = 38;
constexpr uint16_t kSamplesPipe = 2;

}  // namespace

void Qv63xDevice::SetWords(uint16_t state, uint16_t sensor, uint16_t error) {
  std::lock_guard lock(mutex_);
  state_ = state;
  sensor_ = sensor;
  error_ = error;
}

uint16_t Qv63xDevice::StateWord() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void Qv63xDevice::SetRecord(int index, const DocumentRecord& record) {
  std::lock_guard lock(mutex_);
  records_[index != 0 ? 1 : 0] = record;
}

DocumentRecord Qv63xDevice::Record(int index) const {
  std::lock_guard lock(mutex_);
  return records_[index != 0 ? 1 : 0];
}

void Qv63xDevice::QueueDocument(const DocumentRecord& record) {
  std::lock_guard lock(mutex_);
  queued_.push_back(record);
}

void Qv63xDevice::SetStatusLength(std::optional<size_t> length) {
  std::lock_guard lock(mutex_);
  statusLength_ = length;
}

void Qv63xDevice::SetDoubleFeedThresholds(int sensor0, int sensor1) {
  std::lock_guard lock(mutex_);
  thresholds_ = {sensor0, sensor1};
  ApplyDoubleFeedSensors();
}

void Qv63xDevice::ApplyDoubleFeedSensors() {
  for (int s = 0; s < 2; ++s) {
    if (pwm_[s] < thresholds_[s]) {
      sensor_ |= kSensorDoubleFeed[s];
    } else {
      sensor_ &= static_cast<uint16_t>(~kSensorDoubleFeed[s]);
    }
  }
}

std::vector<Qv63xDevice::Franking> Qv63xDevice::Frankings() const {
  std::lock_guard lock(mutex_);
  return frankings_;
}

void Qv63xDevice::SetDocumentSource(std::shared_ptr<Qv63xDocumentSource> source) {
  std::lock_guard lock(mutex_);
  source_ = std::move(source);
}

std::vector<uint8_t> Qv63xDevice::StatusPayload() const {
  std::vector<uint8_t> p(traits().statusBlockSize, 0);
  plat::bytes::PutBe16(&p[0], state_);
  plat::bytes::PutBe16(&p[2], sensor_);
  plat::bytes::PutBe16(&p[4], error_);
  for (size_t r = 0; r < 2; ++r) {
    size_t at = 6 + 14 * r;
    const DocumentRecord& d = records_[r];
    p[at] = d.spare;
    p[at + 1] = d.sequence;
    plat::bytes::PutBe16(&p[at + 2], d.word);
    plat::bytes::PutBe16(&p[at + 4], d.width);
    plat::bytes::PutBe16(&p[at + 6], d.lines);
    plat::bytes::PutBe16(&p[at + 8], d.firstFront);
    plat::bytes::PutBe16(&p[at + 10], d.firstRear);
    plat::bytes::PutBe16(&p[at + 12], d.samples);
  }
  plat::bytes::PutBe16(&p[34], static_cast<uint16_t>(std::min<size_t>(SerialWaiting(), 0xFFFF)));
  if (statusLength_) p.resize(std::min(*statusLength_, p.size()));
  return p;
}

bool Qv63xDevice::BlockPayload(uint16_t type, size_t capacity, std::vector<uint8_t>* payload) {
  if (type == kStatusBlock) {
    // A document put into the hopper while the scanner waits enabled is fed as the scanner finds it.
    if (feedWaiting_ && (state_ & kStateEnabled) != 0 && source_) FeedFromSource(lastFed_);
    *payload = StatusPayload();
    return true;
  }
  return LaterSeriesTemplate::BlockPayload(type, capacity, payload);
}

bool Qv63xDevice::OnBlock(std::span<const uint8_t> block) {
  if (block.size() < 4) return false;
  uint16_t type = static_cast<uint16_t>((block[0] << 8) | block[1]);
  std::span<const uint8_t> payload = block.subspan(4);
  // Mechanical sections are kept and answered back on a read.
  if (type >= 64 && type <= 70) SetBlock(type, std::vector<uint8_t>(payload.begin(), payload.end()));
  if (type == kBlockAcquisition) acquisition_.assign(payload.begin(), payload.end());
  if (source_ && type == kBlockImageTransfer && payload.size() >= 2) {
    const uint16_t pipe = payload[1] != 0 ? 1 : 0;
    ClearPipeData(pipe);
    QueuePipeData(pipe, source_->Image(payload));
  }
  if (source_ && type == kBlockSamples && !payload.empty()) {
    ClearPipeData(kSamplesPipe);
    QueuePipeData(kSamplesPipe, source_->Samples(payload[0]));
  }
  return true;
}

void Qv63xDevice::FeedFromSource(uint8_t sequence) {
  std::optional<FedDocument> fed = source_->Feed(sequence, acquisition_);
  feedWaiting_ = !fed;
  if (!fed) return;  // nothing in the hopper: the scanner waits, enabled
  DocumentRecord d = fed->record;
  d.sequence = sequence;
  records_[1] = records_[0];
  records_[0] = d;
  // One document per start feed: the feed ends with it.
  state_ &= static_cast<uint16_t>(~kStateEnabled);
  sensor_ |= fed->sensor;
  if (fed->error) state_ |= kStateError;
}

bool Qv63xDevice::OnCommandPacket(std::span<const uint8_t> packet) {
  if (packet.size() < 2) return false;
  switch (packet[1]) {
    case kOpFeed:
      if (packet.size() < 7) return false;
      if (packet[2] != 0) {
        state_ |= kStateEnabled;
        lastFed_ = packet[3];
        if (source_) {
          FeedFromSource(packet[3]);
        } else if (!queued_.empty()) {
          DocumentRecord d = queued_.front();
          queued_.pop_front();
          d.sequence = packet[3];
          records_[1] = records_[0];
          records_[0] = d;
        }
      } else {
        state_ &= static_cast<uint16_t>(~kStateEnabled);
        feedWaiting_ = false;
        for (DocumentRecord& d : records_) {
          if (d.sequence == lastFed_) d.word |= kDocStopped;
        }
      }
      return true;
    case kOpClearPowerOn:
      state_ &= static_cast<uint16_t>(~kStatePowerOn);
      return true;
    case kOpDoubleFeedPwm:
      if (packet.size() < 4) return false;
      pwm_ = {packet[2], packet[3]};
      ApplyDoubleFeedSensors();
      return true;
    case kOpFrank:
      if (packet.size() < 7) return false;
      frankings_.push_back({packet[2], static_cast<uint16_t>((packet[3] << 8) | packet[4])});
      return true;
    case kOpClearErrors:
      state_ &= static_cast<uint16_t>(~kStateError);
      for (DocumentRecord& d : records_) d.word &= static_cast<uint16_t>(~kDocErrors);
      if (source_)
        sensor_ &= static_cast<uint16_t>(~(kSensorDoubleFeed[0] | kSensorDoubleFeed[1] | kSensorJams));
      return true;
    default:
      return true;
  }
}

}  // namespace sim
