// The simulated KQv8x scanner: its status block, framing and EEPROM.
#include "sim/kqv8x_device.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "sim/kqv8x_eeprom.h"

namespace sim {
namespace {

constexpr uint16_t kBlockImageTransfer = 37;
constexpr uint16_t kBlockSamples = 38;
constexpr uint16_t kBlockHostBuffer = 39;
constexpr uint16_t kSamplesPipe = 2;

}  // namespace

KQv8xDevice::KQv8xDevice(Identity identity, IdentificationCodes codes)
    : Qv63xDevice(std::move(identity), codes, kKQv8xTraits) {
  // The base set up its boot loader by the QV63x product codes.
  InitFirmware();
  std::vector<uint8_t> eeprom = KQv8xEepromImage(kKQv8xLitEdges, this->identity().serial);
  eeprom.resize(kKQv8xTraits.eepromSize, 0xFF);
  SetEeprom(std::move(eeprom));
}

std::vector<uint8_t> KQv8xDevice::StatusPayload() const {
  std::vector<uint8_t> p(traits().statusBlockSize, 0);
  plat::bytes::PutBe16(&p[0], state_);
  plat::bytes::PutBe16(&p[2], sensor_);
  plat::bytes::PutBe16(&p[4], error_);
  const DocumentRecord& d = records_[0];
  p[6] = d.spare;
  p[7] = d.sequence;
  plat::bytes::PutBe16(&p[8], d.word);
  plat::bytes::PutBe16(&p[10], d.width);
  plat::bytes::PutBe16(&p[12], d.lines);
  plat::bytes::PutBe16(&p[14], d.firstFront);
  plat::bytes::PutBe16(&p[16], d.firstRear);
  plat::bytes::PutBe16(&p[18], d.samples);
  plat::bytes::PutBe16(&p[20], static_cast<uint16_t>(std::min<size_t>(SerialWaiting(), 0xFFFF)));
  if (statusLength_) p.resize(std::min(*statusLength_, p.size()));
  return p;
}

void KQv8xDevice::Note(std::string entry) {
  if (transcript_.size() >= kTranscriptEntries) transcript_.pop_front();
  transcript_.push_back(std::move(entry));
  lastPipe_.clear();
}

bool KQv8xDevice::OnBlock(std::span<const uint8_t> block) {
  if (block.size() < 4) return false;
  const auto type = static_cast<uint16_t>((block[0] << 8) | block[1]);
  std::span<const uint8_t> payload = block.subspan(4);
  if (type == kBlockImageTransfer || type == kBlockSamples || type == kBlockHostBuffer) {
    std::string entry = std::to_string(type);
    entry += ':';
    entry += payload.empty() ? std::string("-") : std::to_string(payload[0]);
    Note(std::move(entry));
  }
  if (type == kBlockSamples) {
    // Begin: the samples of the document in the scanner; end: nothing more to send.
    if (source_ && !payload.empty() && payload[0] == 1) {
      ClearPipeData(kSamplesPipe);
      QueuePipeData(kSamplesPipe, source_->Samples(lastFed_));
    }
    return true;
  }
  // The closing image block leaves the data of the side alone.
  if (type == kBlockImageTransfer && !payload.empty() && payload[0] == 0) return true;
  return Qv63xDevice::OnBlock(block);
}

drv::Reply KQv8xDevice::Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) {
  drv::Reply reply = Qv63xDevice::Control(code, in, out);
  if ((code == kIoctlPipeWrite || code == kIoctlPipeRead) && in.size() >= 4 && reply.ok) {
    std::lock_guard lock(mutex_);
    std::string pipe(1, code == kIoctlPipeWrite ? 'w' : 'r');
    pipe += std::to_string(in[0]);
    size_t bytes = out.size();  // the data either way
    const bool more = pipe == lastPipe_ && !transcript_.empty();
    if (more) {
      const std::string& last = transcript_.back();
      bytes += std::stoull(last.substr(last.find(':') + 1));
      transcript_.pop_back();
    }
    std::string entry = pipe;
    entry += ':';
    entry += std::to_string(bytes);
    Note(std::move(entry));
    lastPipe_ = pipe;
  }
  return reply;
}

std::vector<std::string> KQv8xDevice::Transcript() const {
  std::lock_guard lock(mutex_);
  return {transcript_.begin(), transcript_.end()};
}

void KQv8xDevice::ClearTranscript() {
  std::lock_guard lock(mutex_);
  transcript_.clear();
  lastPipe_.clear();
}

}  // namespace sim
