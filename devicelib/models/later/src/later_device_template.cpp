// The later-series template: blocks on the wire, status words, feed sequence numbers, events and the
// serial port.
#include "qv6/later/later_device_template.h"

#include <algorithm>
#include <cstring>

#include "app/log.h"
#include "platform/clock.h"
#include "qv6/later/command_packet.h"
#include "qv6/later/franker.h"

namespace qv6 {
namespace {

constexpr size_t kBuildBuffer = 2048;
constexpr size_t kFraming = 4;
constexpr uint32_t kStopSettleMs = 30;

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

using namespace later;

ScannerQV63xDeviceTemplate::ScannerQV63xDeviceTemplate(Qv63xCommands& commands,
                                                       const LaterSeriesTraits& traits)
    : commands_(commands),
      traits_(traits),
      blocks_(traits.blocks),
      hostBuffer_(traits.hostBufferSize, 0),
      tables_(kCorrectionTables) {
  for (int i = 0; i < kCorrectionTables; ++i) {
    // Even tags hold a white reference, odd tags a black one.
    tables_[static_cast<size_t>(i)].assign(traits.correctionTableSize, i % 2 == 0 ? 0xFF : 0x00);
  }
  blocks_.Set(kBlockImageTransfer, kTrTwo, 2);
}

// ---- Blocks on the wire ----

int ScannerQV63xDeviceTemplate::SendDeviceBlock(uint16_t type) {
  std::array<uint8_t, kBuildBuffer> buffer{};
  size_t length = BuildDeviceBlock(blocks_, type, buffer);
  if (length == 0) return 0;
  return commands_.SendBlock(buffer.data(), length);
}

int ScannerQV63xDeviceTemplate::ReadDeviceBlock(uint16_t type, size_t length) {
  transferBuffer_.assign(length + kFraming, 0);
  if (!commands_.ReceiveBlock(type, transferBuffer_.data(), transferBuffer_.size())) return 0;
  return ParseDeviceBlock(blocks_, transferBuffer_, length);
}

int ScannerQV63xDeviceTemplate::ReadStatusBlock() {
  auto& status = blocks_.Fields(kBlockStatus);
  std::fill(status.begin(), status.end(), 0);
  if (!ReadDeviceBlock(kBlockStatus, traits_.statusSize)) return 0;
  if (traits_.statusRecords.size() == 1) {
    // The one record is always the current document's, whatever number the scanner put in it.
    status[traits_.statusRecords[0] + kRecSequence] = expected_;
  } else {
    status[kState] = WithIdleBit(static_cast<uint16_t>(status[kState]), sent_, expected_);
  }
  return 1;
}

std::optional<size_t> ScannerQV63xDeviceTemplate::DocumentRecord(uint8_t n) const {
  for (size_t base : traits_.statusRecords) {
    if (blocks_.Get(kBlockStatus, base + kRecSequence) == n) return base;
  }
  return std::nullopt;
}

std::optional<uint16_t> ScannerQV63xDeviceTemplate::DocumentWord(uint8_t n) const {
  auto record = DocumentRecord(n);
  if (!record) return std::nullopt;
  return static_cast<uint16_t>(blocks_.Get(kBlockStatus, *record + kRecWord));
}

// ---- Status ----

StatusWords ScannerQV63xDeviceTemplate::ComposeStatus() const {
  return ComposeStatusWords(CurrentStatusInputs());
}

StatusWords ScannerQV63xDeviceTemplate::StatusWordsNow() const {
  StatusWords w = ComposeStatus();
  if (imageMissing_) {
    // Without it a caller would take the document for complete, its missing side for one not scanned.
    w.errors |= QV6_ERRORS_DEVICE;
    w.status |= QV6_STATUS_ERROR;
  }
  return w;
}

StatusInputs ScannerQV63xDeviceTemplate::CurrentStatusInputs() const {
  StatusInputs in;
  in.state = static_cast<uint16_t>(blocks_.Get(kBlockStatus, kState));
  in.sensor = static_cast<uint16_t>(blocks_.Get(kBlockStatus, kSensor));
  in.error = static_cast<uint16_t>(blocks_.Get(kBlockStatus, kError));
  in.currentDocument = DocumentWord(expected_);
  in.sent = sent_;
  in.expected = expected_;
  in.ringNotEmpty = !ring_.empty();
  in.eventMode = eventMode_;
  in.micrHeld = micrHeld_;
  in.frontHeld = frontHeld_;
  in.rearHeld = rearHeld_;
  in.imagesFinal = imagesFinal_;
  in.frontEnabled = config_.front.enable != 0;
  in.rearEnabled = config_.rear.enable != 0;
  return in;
}

int ScannerQV63xDeviceTemplate::GetStatus(int* status, int* errors) {
  if (status != nullptr) *status = 0;
  if (errors != nullptr) *errors = 0;
  if (!ReadStatusBlock()) return 0;
  size_t waiting = static_cast<size_t>(blocks_.Get(kBlockStatus, traits_.serialCountField));
  if (waiting != 0 && !FillRs232Ring(waiting)) return 0;
  StatusWords w = StatusWordsNow();
  if (status != nullptr) *status = static_cast<int>(w.status);
  if (errors != nullptr) *errors = static_cast<int>(w.errors);
  return 1;
}

int ScannerQV63xDeviceTemplate::ServicePending() {
  newImagePending_ = false;
  return 1;
}

int ScannerQV63xDeviceTemplate::PollStatus() {
  if (!ReadStatusBlock()) return 0;
  size_t waiting = static_cast<size_t>(blocks_.Get(kBlockStatus, traits_.serialCountField));
  if (waiting != 0) FillRs232Ring(waiting);
  // The snapshot keeps what a change shows in: the three words and the two document words.
  std::array<uint8_t, kStatusBlockSize> snapshot{};
  std::vector<uint8_t> wire = EncodePayload(blocks_, kBlockStatus, ByteOrder::kBig);
  std::copy_n(wire.begin(), std::min<size_t>(6, wire.size()), snapshot.begin());
  for (size_t r = 0; r < traits_.statusRecords.size(); ++r) {
    const size_t at = 8 + 14 * r;  // the record's document word
    if (at + 2 <= wire.size() && at + 2 <= snapshot.size())
      std::copy_n(wire.begin() + at, 2, snapshot.begin() + at);
  }
  if (haveSnapshot_ && snapshot == snapshot_ && waiting == 0 && expected_ == snapshotExpected_) return 1;
  snapshot_ = snapshot;
  snapshotExpected_ = expected_;
  haveSnapshot_ = true;
  OnStatusChanged();
  return 1;
}

void ScannerQV63xDeviceTemplate::OnStatusChanged() {
  auto record = DocumentRecord(expected_);
  if (configured_ && record) {
    auto word = static_cast<uint16_t>(blocks_.Get(kBlockStatus, *record + kRecWord));
    if (lastMicrSequence_ != expected_ && (word & traits_.documentBits.samplesReady) &&
        ReadMicr(expected_, static_cast<int>(blocks_.Get(kBlockStatus, *record + kRecSamples)))) {
      lastMicrSequence_ = expected_;
    }
    if (lastImageSequence_ != expected_ && (word & traits_.documentBits.frontReady) &&
        (word & traits_.documentBits.rearReady)) {
      GetImages(expected_, colourMode_);
    }
  }
  Raise(2, 0);
}

void ScannerQV63xDeviceTemplate::Raise(int event, intptr_t value) {
  const char* text = event == 2 && traits_.documentLogLines ? nullptr : EventText(event);
  if (eventMode_ == 0) {
    g_Log.Write(kLogEvent, text);
    return;
  }
  RaiseEvent(event, value, text);
}

int ScannerQV63xDeviceTemplate::SetEventMode(int mode) {
  eventMode_ = mode;
  imagesFinal_ = false;
  frontHeld_ = false;
  rearHeld_ = false;
  micrHeld_ = false;
  imageMissing_ = false;
  newImageFlags_ = {};
  config_.micrSaveSamples = 0;
  return 0;
}

// ---- Feeding ----

int ScannerQV63xDeviceTemplate::SendCommand(uint8_t opcode, std::initializer_list<uint8_t> parameters) {
  DeviceCommandRequest request;
  request.opcode = opcode;
  std::copy_n(parameters.begin(), std::min(parameters.size(), request.p.size()), request.p.begin());
  return commands_.SendCommand(request);
}

int ScannerQV63xDeviceTemplate::SendFramingBlock(uint16_t type, int value) {
  blocks_.Set(type, 0, value);
  return SendDeviceBlock(type);
}

int ScannerQV63xDeviceTemplate::UploadDeviceBuffer() {
  if (!traits_.framedTransfers) {
    if (!SendFramingBlock(kBlockHostBuffer, 0)) return 0;
    return commands_.UploadBuffer(hostBuffer_.data(), hostBuffer_.size());
  }
  // The closing block goes out whatever happened, so the scanner never waits for the rest of an upload.
  int result = SendFramingBlock(kBlockHostBuffer, 1);
  if (result) result = commands_.UploadBuffer(hostBuffer_.data(), hostBuffer_.size());
  const int closed = SendFramingBlock(kBlockHostBuffer, 0);
  return result && closed ? 1 : 0;
}

int ScannerQV63xDeviceTemplate::ReadMicrData(uint8_t sequence, uint8_t* buffer, size_t length) {
  if (!traits_.framedTransfers) {
    if (!SendFramingBlock(kBlockMicrRequest, sequence)) return 0;
    return commands_.ReadSamples(buffer, length);
  }
  if (!SendFramingBlock(kBlockMicrRequest, 1)) return 0;
  const int read = commands_.ReadSamples(buffer, length);
  const int closed = SendFramingBlock(kBlockMicrRequest, 0);
  return read && closed ? 1 : 0;
}

int ScannerQV63xDeviceTemplate::StartFeed() {
  int uploaded = UploadDeviceBuffer();
  if (!uploaded) return uploaded;
  uint8_t old = sent_;
  sent_ = NextSequence(sent_);
  int result = SendCommand(kOpFeed, {1, sent_, static_cast<uint8_t>(config_.sorterEnable), 0, 0});
  if (!result) sent_ = old;
  return result;
}

int ScannerQV63xDeviceTemplate::EnableScan(int on) {
  bool start = on != 0 && configured_;
  frontHeld_ = rearHeld_ = micrHeld_ = false;
  imageMissing_ = false;
  newImageFlags_ = {};
  imagesFinal_ = config_.cropEnable == 0;
  if (start) {
    int status = 0;
    int errors = 0;
    if (!GetStatus(&status, &errors) || (static_cast<uint32_t>(status) & QV6_STATUS_ERROR)) return 0;
    int result = 1;
    bool enabled = blocks_.Get(kBlockStatus, kState) & kStateEnabled;
    if (enabled) {
      if (sent_ != expected_) expected_ = NextSequence(expected_);
    } else if (sent_ == expected_) {
      result = StartFeed();
      if (result) expected_ = NextSequence(expected_);
    } else {
      expected_ = NextSequence(expected_);
    }
    if (expected_ == 0) expected_ = 1;
    return result;
  }
  int result = commands_.StopFeed();
  plat::Sleep(kStopSettleMs);
  if (!result) return result;
  result = ReadStatusBlock();
  if (!result) return result;
  if (traits_.statusRecords.size() == 1) {
    sent_ = expected_;
    return result;
  }
  auto record = DocumentRecord(sent_);
  if (!record || (blocks_.Get(kBlockStatus, *record + kRecWord) & kDocStopped)) sent_ = expected_;
  return result;
}

int ScannerQV63xDeviceTemplate::EnableEarlyScan() {
  if (!configured_) return 0;
  int status = 0;
  int errors = 0;
  if (!GetStatus(&status, &errors)) return 0;
  auto s = static_cast<uint32_t>(status);
  if ((s & QV6_STATUS_ERROR) || !(s & QV6_STATUS_EARLY_SCAN)) return 0;
  return StartFeed();
}

int ScannerQV63xDeviceTemplate::ClearErrors() {
  imageMissing_ = false;
  uint8_t parameter = expected_;
  if (traits_.statusRecords.size() == 1) {
    // One record: nothing to tell the documents apart by.
    if (ReadStatusBlock()) parameter = 0;
  } else if (ReadStatusBlock()) {
    auto record = DocumentRecord(expected_);
    if (record) {
      auto word = static_cast<uint16_t>(blocks_.Get(kBlockStatus, *record + kRecWord));
      if ((word & (kDocInsertError | kDocDoubleFeed | kDocJam)) == 0) return EnableScan(0);
      size_t other = *record == kRecordA ? kRecordB : kRecordA;
      auto otherSequence = static_cast<uint8_t>(blocks_.Get(kBlockStatus, other + kRecSequence));
      if (NextSequence(otherSequence) == expected_) parameter = 0;  // the newer of the two
    } else {
      parameter = 0;
    }
  }
  int result = SendCommand(kOpClearErrors, {parameter});
  if (result && expected_ != sent_) expected_ = NextSequence(expected_);
  return result;
}

int ScannerQV63xDeviceTemplate::Frank(int value) {
  if (!traits_.franker) return kNoFranker;
  return commands_.SendCommand(FrankRequest(expected_, value));
}

int ScannerQV63xDeviceTemplate::EjectDocument(int /*value*/) {
  return SendCommand(kOpEject, {});
}

int ScannerQV63xDeviceTemplate::ClearPowerOnFlag() {
  return SendCommand(kOpClearPowerOn, {});
}

int ScannerQV63xDeviceTemplate::SetDestinationPocket(int pocket) {
  return SendCommand(kOpPocket, {expected_, static_cast<uint8_t>(pocket != 0 ? 1 : 0)});
}

int ScannerQV63xDeviceTemplate::MaintenanceMode(int value) {
  return SendCommand(kOpMaintenance, {static_cast<uint8_t>(value != 0 ? 1 : 0), 0});
}

int ScannerQV63xDeviceTemplate::GetOperatingMode(int* mode) {
  if (mode != nullptr) *mode = static_cast<int>(blocks_.Get(kBlockTransport, kTsOperatingMode));
  return 1;
}

// ---- Serial port ----

int ScannerQV63xDeviceTemplate::FillRs232Ring(size_t count) {
  std::array<uint8_t, kRs232ReadPiece> piece{};
  while (count > 0) {
    size_t n = std::min(count, piece.size());
    if (!commands_.Rs232Receive(piece.data(), n)) return 0;
    ring_.Append({piece.data(), n});
    count -= n;
  }
  return 1;
}

int ScannerQV63xDeviceTemplate::Rs232Tx(const void* data, int length) {
  if (length <= 0) return 1;
  std::array<uint8_t, kRs232TxMax + 10> buffer{};
  size_t n = std::min(static_cast<size_t>(length), kRs232TxMax);
  std::memcpy(buffer.data(), data, n);
  return commands_.Rs232Send(buffer.data(), n);
}

int ScannerQV63xDeviceTemplate::Rs232Rx(void* buffer, int* count) {
  if (count == nullptr) return 1;
  size_t capacity = *count > 0 ? static_cast<size_t>(*count) : 0;
  *count = static_cast<int>(ring_.Take({static_cast<uint8_t*>(buffer), buffer != nullptr ? capacity : 0}));
  return 1;
}

int ScannerQV63xDeviceTemplate::StartUp(const ModelStartUp& start) {
  firmwareView_ = start.firmwareView;
  return UpdateFirmware(start.firmwareFile, start.state, start.version, start.manufacturer);
}

int ScannerQV63xDeviceTemplate::ReadIdentity(uint8_t* buffer, size_t size) {
  return commands_.Identify(buffer, size);
}

}  // namespace qv6
