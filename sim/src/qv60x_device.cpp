// The first series' device side: status, mechanical blocks, table load and the firmware update mode.
#include "sim/qv60x_device.h"

#include <algorithm>
#include <string>

#include "platform/byte_order.h"

namespace sim {
namespace {

constexpr uint8_t kOpTableLoad = 6;
constexpr uint8_t kOpTableData = 7;
constexpr uint8_t kOpBlockWrite = 9;
constexpr uint8_t kOpBulkBlock = 14;
constexpr uint8_t kOpDevice = 15;
constexpr uint8_t kOpMechImage = 20;
constexpr uint8_t kOpFirmwareData = 169;
constexpr uint8_t kOpEnterUpdate = 0xAA;
constexpr uint8_t kOpChecksum = 0xAC;
constexpr uint8_t kPrintBlock = 96;
constexpr uint8_t kSerialOutBlock = 97;
constexpr int kTables = 12;

uint8_t Reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> out;
  for (uint16_t w : words) {
    out.push_back(static_cast<uint8_t>(w >> 8));
    out.push_back(static_cast<uint8_t>(w));
  }
  return out;
}

// Image module record: resolution, flags (type in bits 5-7, direction in bit 4), 0, pixels, first,
// valid, position, intensity drop.
std::vector<uint8_t> Module(bool rear, bool colour) {
  const uint8_t type = colour ? 2 : 0;
  const uint8_t flags = static_cast<uint8_t>((type << 5) | (rear ? 0x10 : 0));
  std::vector<uint8_t> m = {0, 200, flags, 0};
  auto rest = Words({Qv60xDevice::kPixels, 0, Qv60xDevice::kPixels, static_cast<uint16_t>(rear ? 403 : 333), 0});
  m.insert(m.end(), rest.begin(), rest.end());
  return m;
}

}  // namespace

Qv60xDevice::Qv60xDevice(Identity identity)
    : FirstSeriesDevice(std::move(identity)), colour_(identity_.model.find("605") != std::string::npos) {
  SetBlock(64, Module(false, colour_));
  SetBlock(65, Module(true, colour_));
  for (uint8_t adc : {66, 67}) SetBlock(adc, {0x33, 0, 0, 0, 16, 16, 16, 0, 0, 16});
  // Calibration: a white level well above the black one on every pixel.
  for (uint8_t table : {68, 70}) SetBlock(table, std::vector<uint8_t>(kPixels, 230));
  for (uint8_t table : {69, 71}) SetBlock(table, std::vector<uint8_t>(kPixels, 20));
  std::vector<uint8_t> motor = {0x0A, 0xF0, 0, 0, 0, 15};
  motor.resize(134, 0);
  SetBlock(72, motor);
  SetBlock(73, Words({450, 50}));
  SetBlock(74, Words({101, 25000}));
  SetBlock(75, Words({300, 60, 5, 2, 120, 16, 900, 40}));
  if (colour_) {
    for (uint8_t t = 76; t <= 87; ++t) SetBlock(t, std::vector<uint8_t>(kPixels, (t - 76) % 2 == 0 ? 230 : 20));
    SetBlock(88, std::vector<uint8_t>(6, 255));
  }
  for (uint8_t b = kFirstMechBlock; b <= kLastMechBlock; ++b) stored_[b - kFirstMechBlock] = Block(b);
}

void Qv60xDevice::QueueDocument(FirstSeriesDocument document) {
  std::lock_guard lock(mutex_);
  waiting_.push_back(std::move(document));
}

size_t Qv60xDevice::waitingDocuments() const {
  std::lock_guard lock(mutex_);
  return waiting_.size();
}

std::chrono::nanoseconds Qv60xDevice::rawLineTime() const {
  std::lock_guard lock(mutex_);
  return rawLineTime_;
}

std::vector<uint8_t> Qv60xDevice::LastTransfer(int side) const {
  std::lock_guard lock(mutex_);
  return lastTransfer_[side != 0 ? 1 : 0];
}

void Qv60xDevice::SetDocumentSource(std::shared_ptr<Qv60xDocumentSource> source) {
  std::lock_guard lock(mutex_);
  source_ = std::move(source);
}

int Qv60xDevice::FrontDepthCode() const {
  auto front = blocks_.find(32);
  if (front == blocks_.end() || front->second.empty()) return -1;
  return (front->second[0] >> 4) & 7;
}

bool Qv60xDevice::FeedNext() {
  std::lock_guard lock(mutex_);
  if (!feeding_) return false;
  // A colour scan (depth code 3 in the front settings) runs at 100 lines per inch.
  const int depth = FrontDepthCode();
  const bool colourScan = colour_ && depth == 3;
  FirstSeriesDocument d;
  bool fromSource = false;
  if (!waiting_.empty()) {
    d = std::move(waiting_.front());
    waiting_.pop_front();
  } else if (source_) {
    std::optional<Qv60xFed> fed = source_->Feed(colourScan, depth == 0 ? 1 : depth == 1 ? 4 : 8);
    if (!fed) return false;
    d.lineCount = fed->lineCount;
    d.samples = std::move(fed->samples);
    d.jam = fed->jam;
    d.doubleFeed = fed->doubleFeed;
    fromSource = true;
    if (fed->unplug) {
      // Off the bus with the document inside: when the scanner is back, nothing of it is left.
      current_.reset();
      return true;
    }
  } else {
    return false;
  }
  sideFetched_ = {};
  if (d.jam || d.doubleFeed) {
    words_[0] = static_cast<uint16_t>(words_[0] | 0x8 | (d.jam ? kJam : kDoubleFeed));
    words_[1] = d.jam ? 0x1 : 0x2;
    current_.reset();
    return true;
  }
  const int lines = colourScan ? d.lineCount / 2 : d.lineCount;
  words_[6] = static_cast<uint16_t>(lines);
  words_[7] = static_cast<uint16_t>(lines);
  words_[9] = static_cast<uint16_t>(std::min<size_t>(d.samples.size() / 2, 0xFFFF));
  words_[8] = kSamplesReady;
  words_[3] = kImagesReady;
  current_ = std::move(d);
  currentFromSource_ = fromSource;
  return true;
}

std::vector<uint8_t> Qv60xDevice::BulkInData(const std::vector<uint8_t>& command, uint32_t count) {
  // Without a document the family's answer stands.
  if (!current_) return FirstSeriesDevice::BulkInData(command, count);
  if (command[0] == 12) {
    std::vector<uint8_t> out(current_->samples.begin(),
                             current_->samples.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(count, current_->samples.size())));
    words_[8] = 0;  // fetched
    if (sideFetched_[0] && sideFetched_[1]) current_.reset();
    return out;
  }
  const int side = (command[1] & 3) == 2 ? 1 : 0;
  const auto started = std::chrono::steady_clock::now();
  std::vector<uint8_t> out = RawLines(side, command[1], count);
  lastTransfer_[static_cast<size_t>(side)] = out;
  rawLineTime_ += std::chrono::steady_clock::now() - started;
  sideFetched_[static_cast<size_t>(side)] = true;
  // Each side sent shows as read (bit 0 front, bit 1 rear); once both went, the marks drop.
  words_[3] = static_cast<uint16_t>(words_[3] | (side == 0 ? 0x1 : 0x2));
  if (sideFetched_[0] && sideFetched_[1]) {
    words_[3] = 0;
    // The document goes once its samples went too (a lost sample read is asked for again).
    if (words_[8] != kSamplesReady) current_.reset();
  }
  return out;
}

std::vector<uint8_t> Qv60xDevice::RawLines(int side, uint8_t flags, uint32_t count) {
  const int depth = (flags >> 2) & 3;
  const int bits = depth == 1 ? 1 : depth == 2 ? 4 : 8;
  const bool full = (flags & 0x10) != 0;
  // The window of the side's settings block in force (the auxiliary set while w0 bit 8 is set).
  const bool aux = (words_[0] & 0x100) != 0;
  const uint8_t block = static_cast<uint8_t>(side == 0 ? (aux ? 37 : 32) : (aux ? 38 : 33));
  auto it = blocks_.find(block);
  if (it == blocks_.end() || it->second.size() < 18) return {};
  const uint32_t start = plat::bytes::GetBe32(&it->second[10]);
  const uint32_t end = plat::bytes::GetBe32(&it->second[14]);
  if (end <= start) return {};
  // Colour (depth code 3 in the block) goes as three planes of the 100 dpi line, each padded to 64.
  const bool colour = colour_ && ((it->second[0] >> 4) & 7) == 3;
  const uint32_t width = end - start;
  const uint32_t step = full ? 1 : 2;
  const uint32_t pixels = width / step;
  // Colour is scanned at 100 lines per inch whatever the width.
  const uint32_t along = colour ? 2 : step;
  const uint32_t plane = ((pixels * static_cast<uint32_t>(bits) / 8) + 63) / 64 * 64;
  const uint32_t bpl = colour ? 3 * plane : plane;
  if (bpl == 0) return {};
  const uint32_t docLines = static_cast<uint32_t>(current_->lineCount) / along;
  const uint32_t lines = std::min(count / bpl, docLines);

  // The sensor values: a hopper's document is read through the window (every second line and pixel when
  // half), a queued one holds whole sensor lines.
  std::vector<uint8_t> window;
  uint32_t lineStride = 0;   // bytes from one source line to the next
  uint32_t lineFactor = 0;   // source lines per output line
  uint32_t planeStride = 0;  // bytes from one colour plane to the next within a source line
  const std::vector<uint8_t>* source = &current_->lines[static_cast<size_t>(side)];
  uint32_t first = start;
  uint32_t pixelStep = step;
  if (currentFromSource_) {
    if (!source_) return {};
    const Qv60xWindow w{current_->lineCount, static_cast<int>(start), static_cast<int>(end), !full};
    window = source_->Image(side, w);
    planeStride = pixels;
    lineStride = colour ? 3 * pixels : pixels;
    lineFactor = along / step;
    source = &window;
    first = 0;
    pixelStep = 1;
  } else {
    lineStride = kPixels;
    lineFactor = along;
  }
  std::vector<uint8_t> out(size_t{lines} * bpl, 0);
  // Pixels beyond a queued document's sensor line read nothing.
  const uint32_t linePixels = currentFromSource_ ? lineStride : kPixels;
  auto at = [&](size_t index) { return index < source->size() ? (*source)[index] : uint8_t{0}; };
  for (uint32_t l = 0; l < lines; ++l) {
    const size_t from = size_t{l} * lineFactor * lineStride;
    uint8_t* line = out.data() + size_t{l} * bpl;
    for (uint32_t j = 0; j < pixels; ++j) {
      const size_t p = size_t{first} + size_t{j} * pixelStep;
      if (!currentFromSource_ && p >= linePixels) continue;
      if (colour) {
        if (currentFromSource_) {
          line[j] = at(from + p);
          line[plane + j] = at(from + planeStride + p);
          line[2 * plane + j] = at(from + 2 * planeStride + p);
        } else {
          // A queued document is grey: the same level in every plane.
          const uint8_t v = at(from + p);
          line[j] = v;
          line[plane + j] = v;
          line[2 * plane + j] = v;
        }
        continue;
      }
      const uint8_t v = at(from + p);
      if (bits == 8) {
        line[j] = v;
      } else if (bits == 4) {
        line[j / 2] = static_cast<uint8_t>(line[j / 2] | (j % 2 == 0 ? (v & 0xF0) : v >> 4));
      } else if (v >= 128) {
        line[j / 8] = static_cast<uint8_t>(line[j / 8] | 0x80 >> (j % 8));
      }
    }
  }
  return out;
}

void Qv60xDevice::SetStatusWord(int index, uint16_t value) {
  std::lock_guard lock(mutex_);
  if (index >= 0 && index < static_cast<int>(words_.size())) words_[static_cast<size_t>(index)] = value;
}

uint16_t Qv60xDevice::StatusWord(int index) const {
  std::lock_guard lock(mutex_);
  return index >= 0 && index < static_cast<int>(words_.size()) ? words_[static_cast<size_t>(index)] : 0;
}

void Qv60xDevice::PushSerialInput(std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  serialIn_.insert(serialIn_.end(), bytes.begin(), bytes.end());
  words_[10] = static_cast<uint16_t>(std::min<size_t>(serialIn_.size(), 0xFFFF));
}

std::vector<uint8_t> Qv60xDevice::StoredBlock(uint8_t block) const {
  std::lock_guard lock(mutex_);
  if (block < kFirstMechBlock || block > kLastMechBlock) return {};
  return stored_[block - kFirstMechBlock];
}

void Qv60xDevice::SetBlockReadRefused(uint8_t block, bool refused) {
  std::lock_guard lock(mutex_);
  refused_[block] = refused;
}

int Qv60xDevice::tableLoads() const {
  std::lock_guard lock(mutex_);
  return tableLoads_;
}

std::vector<uint8_t> Qv60xDevice::LastPrint() const {
  std::lock_guard lock(mutex_);
  return lastPrint_;
}

bool Qv60xDevice::feeding() const {
  std::lock_guard lock(mutex_);
  return feeding_;
}

std::vector<uint8_t> Qv60xDevice::SerialOutput() const {
  std::lock_guard lock(mutex_);
  return serialOut_;
}

bool Qv60xDevice::updateMode() const {
  std::lock_guard lock(mutex_);
  return updateMode_;
}

std::vector<uint8_t> Qv60xDevice::LoadedImage() const {
  std::lock_guard lock(mutex_);
  return image_;
}

bool Qv60xDevice::checksumMatched() const {
  std::lock_guard lock(mutex_);
  return checksumMatched_;
}

void Qv60xDevice::FailFirmwareChunk(int n) {
  std::lock_guard lock(mutex_);
  failChunkIn_ = n;
}

void Qv60xDevice::LeaveInUpdateMode(std::vector<uint8_t> partialImage) {
  std::lock_guard lock(mutex_);
  updateMode_ = true;
  image_ = std::move(partialImage);
  checksumMatched_ = false;
}

std::vector<uint8_t> Qv60xDevice::EncodeStatus() const {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < words_.size(); ++i) {
    uint8_t hi = static_cast<uint8_t>(words_[i] >> 8);
    uint8_t lo = static_cast<uint8_t>(words_[i]);
    if (i < 3) {
      hi = Reversed(hi);
      lo = Reversed(lo);
    }
    out.push_back(hi);
    out.push_back(lo);
  }
  return out;
}

std::optional<std::vector<uint8_t>> Qv60xDevice::DynamicBlock(uint8_t block) {
  if (refused_[block]) return std::vector<uint8_t>{};  // an empty reply
  if (block == kStatusBlock) {
    if (feedPending_) {
      feedPending_ = false;
      if (feeding_ && !current_) FeedNext();
    }
    return EncodeStatus();
  }
  if (block == kSerialInBlock) {
    const size_t n = std::min(serialIn_.size(), kSerialPiece);
    std::vector<uint8_t> piece(serialIn_.begin(), serialIn_.begin() + static_cast<std::ptrdiff_t>(n));
    serialIn_.erase(serialIn_.begin(), serialIn_.begin() + static_cast<std::ptrdiff_t>(n));
    words_[10] = static_cast<uint16_t>(std::min<size_t>(serialIn_.size(), 0xFFFF));
    return piece;
  }
  return std::nullopt;
}

bool Qv60xDevice::OnCommand(const std::vector<uint8_t>& c) {
  const uint32_t parameter = plat::bytes::GetBe32(&c[1]);
  pending_ = Pending::kNone;  // a data phase belongs to the command just before it
  switch (c[0]) {
    case kOpBlockWrite:
      if (c[1] == kSerialOutBlock) serialOut_.insert(serialOut_.end(), c.begin() + 5, c.end());
      break;
    case kOpBulkBlock:
      pending_ = Pending::kBulkBlock;
      break;
    case kOpDevice:
      if (c[1] == 1) {
        feeding_ = c[2] != 0;
        feedPending_ = false;
        if (feeding_ && current_) {
          // The next feed replaces what the host left of the last document (a side it did not ask for).
          current_.reset();
          words_[3] = 0;
          words_[8] = 0;
        }
        if (!feeding_) {
          // Feeding off clears what a jam or a double feed left.
          words_[0] &= static_cast<uint16_t>(~(kJam | kDoubleFeed | 0x8));
          words_[1] = 0;
        } else if (!current_ && !waiting_.empty()) {
          FeedNext();
        } else if (!current_) {
          // The hopper's document is drawn in once the transport has run a while (the next status read),
          // not by a feed-on that is switched off again at once.
          feedPending_ = true;
        }
      }
      break;
    case kOpMechImage:
      if (c[1] == 'V') {
        storeArmed_ = true;
        return true;
      }
      if (c[1] == 'U' && storeArmed_) {
        for (uint8_t b = kFirstMechBlock; b <= kLastMechBlock; ++b) stored_[b - kFirstMechBlock] = Block(b);
      } else if (c[1] == 'Z') {
        for (uint8_t b = kFirstMechBlock; b <= kLastMechBlock; ++b) {
          if (!stored_[b - kFirstMechBlock].empty()) SetBlock(b, stored_[b - kFirstMechBlock]);
        }
      }
      break;
    case kOpTableLoad:
      if (c[1] == 1) {
        tableOpen_ = true;
        tableData_.clear();
      } else if (c[1] == 2 && tableOpen_) {
        tableOpen_ = false;
        // Twelve equal tables, one after the other, into blocks 76 to 87 (kept, and in use).
        if (tableData_.empty()) break;
        const size_t length = tableData_.size() / kTables;
        if (tableData_.size() % kTables != 0) return false;
        for (int t = 0; t < kTables; ++t) {
          std::vector<uint8_t> table(tableData_.begin() + static_cast<std::ptrdiff_t>(t * length),
                                     tableData_.begin() + static_cast<std::ptrdiff_t>((t + 1) * length));
          const auto block = static_cast<uint8_t>(76 + t);
          SetBlock(block, table);
          stored_[block - kFirstMechBlock] = table;
        }
        ++tableLoads_;
      }
      break;
    case kOpTableData:
      if (!tableOpen_) return false;
      pending_ = Pending::kTableData;
      break;
    case kOpEnterUpdate:
      if (!std::equal(kAccessCode.begin(), kAccessCode.end(), c.begin() + 1)) return false;
      // A new load starts from nothing, also over one that was cut off.
      updateMode_ = true;
      image_.clear();
      checksumMatched_ = false;
      break;
    case kOpFirmwareData:
      if (!updateMode_ || parameter < kLoadAddress) return false;
      if (failChunkIn_ > 0 && --failChunkIn_ == 0) return false;
      pending_ = Pending::kFirmware;
      pendingAddress_ = parameter;
      break;
    case kOpChecksum: {
      if (!updateMode_) return false;
      uint32_t sum = 0;
      for (uint8_t b : image_) sum += b;
      checksumMatched_ = sum == parameter;
      if (!checksumMatched_) return false;
      updateMode_ = false;  // the new firmware runs
      break;
    }
    default:
      break;
  }
  if (c[0] != kOpMechImage) storeArmed_ = false;
  return true;
}

bool Qv60xDevice::OnBulkOut(std::span<const uint8_t> data) {
  const Pending pending = pending_;
  switch (pending) {
    case Pending::kNone:
      return true;
    case Pending::kTableData:
      tableData_.insert(tableData_.end(), data.begin(), data.end());
      break;
    case Pending::kFirmware: {
      const size_t at = pendingAddress_ - kLoadAddress;
      if (image_.size() < at + data.size()) image_.resize(at + data.size(), 0xFF);
      std::copy(data.begin(), data.end(), image_.begin() + static_cast<std::ptrdiff_t>(at));
      break;
    }
    case Pending::kBulkBlock:
      if (!data.empty() && data[0] == kPrintBlock) {
        lastPrint_.assign(data.begin(), data.end());
      } else if (data.size() >= 4) {
        const size_t length = std::min<size_t>(plat::bytes::GetBe16(&data[2]), data.size() - 4);
        SetBlock(data[0], std::vector<uint8_t>(data.begin() + 4, data.begin() + 4 + static_cast<std::ptrdiff_t>(length)));
      }
      break;
  }
  pending_ = Pending::kNone;
  return true;
}

}  // namespace sim
