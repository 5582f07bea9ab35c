// The first-series template: status words, events, the document cycle, the magnetic read, the serial
// ring, configuration types, the endorsement block and the shared block encodings.
#include "qv6/qv60x/first_template.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/log.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "qv6/endorsement/printer_string.h"
#include "qv6/later/scan_config.h"

namespace qv6 {

using namespace first;
namespace bytes = plat::bytes;

namespace {

constexpr unsigned kLogScan = 75;
constexpr int kStatusReads = 10;
constexpr size_t kStatusWords = 11;
constexpr size_t kSectionBuffer = 1024;
constexpr size_t kBuildBuffer = 8192;
constexpr size_t kSerialPiece = 128;
constexpr size_t kCodeLineLimit = 64;
constexpr char kReject = '@';
constexpr const char* kSamplesFile = "Qv6MICRSamples.dat";
constexpr int kPrintRows = 12;

constexpr uint16_t kW3FrontRead = 0x1;
constexpr uint16_t kW3RearRead = 0x2;
constexpr uint16_t kW3ImagesReady = 0x4;
constexpr uint16_t kSamplesReady = 2;

uint8_t ReverseBits(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

const char* EventText(int event) {
  switch (event) {
    case 2:
      return "Status Chg\n";
    case 3:
      return "Micr Rdy";
    case 4:
      return "FrontImg Rdy\n";
    case 5:
      return "RearImg Rdy\n";
    default:
      return "MicrSamples Rdy\n";
  }
}

bool SameStatus(const std::array<uint16_t, kStatusWords>& a, const std::array<uint16_t, kStatusWords>& b) {
  for (size_t i : {0, 1, 2, 3, 4, 5, 7, 8, 10}) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// The settings record as GetCfgData / SetCfgData callers see it: 32 bytes, little-endian.
void PutRecord(const ImageSettings& s, uint8_t* r) {
  std::memset(r, 0, 32);
  bytes::PutLe16(r, s.word);
  bytes::PutLe32(r + 10, s.start);
  bytes::PutLe32(r + 14, s.end);
  bytes::PutLe16(r + 18, s.resolution);
  bytes::PutLe16(r + 20, 200);
  r[22] = s.ratios[0];
  r[23] = s.ratios[1];
  r[24] = s.ratios[2];
  bytes::PutLe16(r + 26, s.contrast);
  bytes::PutLe16(r + 28, s.iniPos);
  bytes::PutLe16(r + 30, s.endPos);
}

ImageSettings GetRecord(const uint8_t* r) {
  ImageSettings s;
  s.word = bytes::GetLe16(r);
  s.start = bytes::GetLe32(r + 10);
  s.end = bytes::GetLe32(r + 14);
  s.resolution = bytes::GetLe16(r + 18);
  s.ratios[0] = r[22];
  s.ratios[1] = r[23];
  s.ratios[2] = r[24];
  s.contrast = bytes::GetLe16(r + 26);
  s.iniPos = bytes::GetLe16(r + 28);
  s.endPos = bytes::GetLe16(r + 30);
  return s;
}

void PutModule(const ModuleRecord& m, uint8_t* r) {
  const uint16_t v[7] = {m.resolution, m.flags, m.pixels, m.first, m.valid, m.position, m.drop};
  for (size_t i = 0; i < 7; ++i) bytes::PutLe16(r + 2 * i, v[i]);
}

ModuleRecord GetModule(const uint8_t* r) {
  ModuleRecord m;
  uint16_t* v[7] = {&m.resolution, &m.flags, &m.pixels, &m.first, &m.valid, &m.position, &m.drop};
  for (size_t i = 0; i < 7; ++i) *v[i] = bytes::GetLe16(r + 2 * i);
  return m;
}

}  // namespace

ScannerDeviceTemplate::ScannerDeviceTemplate(Qv600Commands& commands) : commands_(commands) {
  micr_.Setup(2, 0, 0, 0, 0, 0, 0.13);
  modules_[1].flags = 0x8;
  for (auto& table : pixelTables_) table.assign(modules_[0].pixels, 0);
  for (auto& adc : adc_) adc = {0x33, 0, 0, 0, 16, 16, 16, 0, 0, 16};
}

size_t ScannerDeviceTemplate::SettingsIndex(uint8_t block) {
  switch (block) {
    case kRearSettings:
      return 1;
    case kAuxFrontSettings:
      return 2;
    case kAuxRearSettings:
      return 3;
    default:
      return 0;
  }
}

void ScannerDeviceTemplate::Raise(int event, intptr_t value) {
  RaiseEvent(event, value, EventText(event));
}

int ScannerDeviceTemplate::StartUp(const ModelStartUp& /*start*/) {
  return TransferMechSections(0);
}

// ---- Blocks ----

int ScannerDeviceTemplate::WriteSection(uint8_t block) {
  std::vector<uint8_t> buffer(kBuildBuffer, 0);
  const size_t n = BuildDeviceBlock(block, buffer);
  if (n == 0) return 0;
  return commands_.WriteBlock(block, buffer.data(), n);
}

int ScannerDeviceTemplate::WriteBulkSection(uint8_t block) {
  std::vector<uint8_t> buffer(kBuildBuffer, 0);
  const size_t n = BuildDeviceBlock(block, buffer);
  if (n == 0) return 0;
  return commands_.WriteBulkData(buffer.data(), n);
}

int ScannerDeviceTemplate::ReadSection(uint8_t block) {
  std::vector<uint8_t> buffer(kSectionBuffer, 0);
  int received = 0;
  if (!commands_.ReadBlock(block, buffer.data(), buffer.size(), &received)) return 0;
  if (received < static_cast<int>(kBlockHead)) return 0;
  return ParseDeviceBlock(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(received)));
}

int ScannerDeviceTemplate::ReadSectionData(uint8_t block, uint8_t* buffer, size_t length, size_t* received) {
  *received = 0;
  std::vector<uint8_t> reply(length + kBlockHead, 0);
  int n = 0;
  if (!commands_.ReadBlock(block, reply.data(), reply.size(), &n)) return 0;
  if (n < static_cast<int>(kBlockHead)) return 0;
  const size_t data = static_cast<size_t>(n) - kBlockHead;
  if (data > length) return 0;
  std::memcpy(buffer, reply.data() + kBlockHead, data);
  *received = data;
  ParseDeviceBlock(std::span<const uint8_t>(reply.data(), static_cast<size_t>(n)));
  return 1;
}

size_t ScannerDeviceTemplate::BuildDeviceBlock(uint8_t block, std::span<uint8_t> out) {
  std::vector<uint8_t> d;
  auto put16 = [&d](uint16_t v) {
    d.push_back(static_cast<uint8_t>(v >> 8));
    d.push_back(static_cast<uint8_t>(v));
  };
  auto put32 = [&](uint32_t v) {
    put16(static_cast<uint16_t>(v >> 16));
    put16(static_cast<uint16_t>(v));
  };
  switch (block) {
    case kBlock34:
      d.assign(block34_.begin(), block34_.end());
      break;
    case kPrinterBlock: {
      const int enable = config_.printerEnable != 0 ? 1 : 0;
      d = {static_cast<uint8_t>(enable << 7 | (config_.printerDensity & 7) << 4 | (config_.printerIntensity & 7) << 1), 0};
      put32(0);
      put32(0);
      break;
    }
    case kSerialBlock:
      put32(static_cast<uint32_t>(config_.baudRate));
      put16(static_cast<uint16_t>(config_.parity));
      put16(static_cast<uint16_t>(config_.charLen));
      put16(static_cast<uint16_t>(config_.stopBits));
      break;
    case kFrontModule:
    case kRearModule: {
      const ModuleRecord& m = modules_[block - kFrontModule];
      put16(m.resolution);
      d.push_back(static_cast<uint8_t>((m.flags & 7) << 5 | (m.flags & 8) << 1));
      d.push_back(0);
      for (uint16_t v : {m.pixels, m.first, m.valid, m.position, m.drop}) put16(v);
      break;
    }
    case kFrontAdc:
    case kRearAdc:
      d.assign(adc_[block - kFrontAdc].begin(), adc_[block - kFrontAdc].end());
      break;
    case 68:
    case 69:
    case 70:
    case 71:
      d = pixelTables_[block - kFirstPixelTable];
      break;
    case kMotorBlock:
      put16(motor_.start);
      put32(motor_.steps);
      for (const auto& step : motor_.accel) {
        put16(step[0]);
        put16(step[1]);
      }
      break;
    case kPathBlock:
      for (uint16_t v : path_) put16(v);
      break;
    case kMicrHeadBlock:
      for (uint16_t v : micrHead_) put16(v);
      break;
    case kPrinterPosBlock:
      for (uint16_t v : printerPos_) put16(v);
      break;
    default:
      return 0;
  }
  if (kBlockHead + d.size() > out.size() || d.size() > 0xFFFF) return 0;
  out[0] = block;
  out[1] = 0;
  bytes::PutBe16(&out[2], static_cast<uint16_t>(d.size()));
  std::copy(d.begin(), d.end(), out.begin() + kBlockHead);
  return kBlockHead + d.size();
}

int ScannerDeviceTemplate::ParseDeviceBlock(std::span<const uint8_t> reply) {
  if (reply.size() < kBlockHead) return 0;
  const uint8_t block = reply[0];
  // Bounded by the head, the reply and the block's own size.
  const size_t length = std::min<size_t>(bytes::GetBe16(&reply[2]), reply.size() - kBlockHead);
  const uint8_t* d = reply.data() + kBlockHead;
  auto need = [length](size_t n) { return length >= n; };
  switch (block) {
    case 1:
    case kSerialInBlock:
      return 1;
    case kBlock34:
      if (!need(10)) return 0;
      std::copy_n(d, 10, block34_.begin());
      return 1;
    case kPrinterBlock:
    case kSerialBlock:
      return need(10) ? 1 : 0;
    case kFrontModule:
    case kRearModule: {
      if (!need(14)) return 0;
      ModuleRecord& m = modules_[block - kFrontModule];
      m.resolution = bytes::GetBe16(d);
      m.flags = static_cast<uint16_t>((d[2] >> 5) & 7) | static_cast<uint16_t>((d[2] >> 1) & 8);
      m.pixels = bytes::GetBe16(d + 4);
      m.first = bytes::GetBe16(d + 6);
      m.valid = bytes::GetBe16(d + 8);
      m.position = bytes::GetBe16(d + 10);
      m.drop = bytes::GetBe16(d + 12);
      return 1;
    }
    case kFrontAdc:
    case kRearAdc:
      if (!need(10)) return 0;
      std::copy_n(d, 10, adc_[block - kFrontAdc].begin());
      return 1;
    case 68:
    case 69:
    case 70:
    case 71: {
      std::vector<uint8_t>& table = pixelTables_[block - kFirstPixelTable];
      std::copy_n(d, std::min(length, table.size()), table.begin());
      return 1;
    }
    case kMotorBlock:
      if (!need(134)) return 0;
      motor_.start = bytes::GetBe16(d);
      motor_.steps = bytes::GetBe32(d + 2);
      for (size_t i = 0; i < motor_.accel.size(); ++i) {
        motor_.accel[i] = {bytes::GetBe16(d + 6 + 4 * i), bytes::GetBe16(d + 8 + 4 * i)};
      }
      return 1;
    case kPathBlock:
    case kMicrHeadBlock:
      if (!need(4)) return 0;
      (block == kPathBlock ? path_ : micrHead_) = {bytes::GetBe16(d), bytes::GetBe16(d + 2)};
      return 1;
    case kPrinterPosBlock:
      if (!need(16)) return 0;
      for (size_t i = 0; i < printerPos_.size(); ++i) printerPos_[i] = bytes::GetBe16(d + 2 * i);
      return 1;
    default:
      return 0;
  }
}

// ---- Status and polling ----

int ScannerDeviceTemplate::ReadStatus() {
  std::array<uint16_t, kStatusWords> last{};
  bool haveLast = false;
  bool any = false;
  for (int i = 0; i < kStatusReads; ++i) {
    std::array<uint8_t, kSectionBuffer> reply{};
    int n = 0;
    if (!commands_.ReadBlock(kStatusBlock, reply.data(), reply.size(), &n)) continue;
    // A reply without its head and all eleven words is no status.
    if (n < static_cast<int>(kBlockHead + 2 * kStatusWords)) continue;
    std::array<uint16_t, kStatusWords> words{};
    for (size_t k = 0; k < kStatusWords; ++k) {
      uint8_t hi = reply[kBlockHead + 2 * k];
      uint8_t lo = reply[kBlockHead + 2 * k + 1];
      if (k < 3) {
        hi = ReverseBits(hi);
        lo = ReverseBits(lo);
      }
      words[k] = static_cast<uint16_t>(hi << 8 | lo);
    }
    w_ = words;
    any = true;
    if (haveLast && SameStatus(last, words)) break;
    last = words;
    haveLast = true;
  }
  return any ? 1 : 0;
}

int ScannerDeviceTemplate::DrainSerial() {
  size_t remaining = w_[10];
  std::array<uint8_t, kSerialPiece> piece{};
  while (remaining > 0) {
    size_t got = 0;
    if (!ReadSectionData(kSerialInBlock, piece.data(), std::min(remaining, kSerialPiece), &got) || got == 0) break;
    ring_.Append(std::span<const uint8_t>(piece.data(), got));
    remaining -= std::min(remaining, got);
  }
  return 1;
}

int ScannerDeviceTemplate::GetStatus(int* status, int* errors) {
  *status = 0;
  *errors = 0;
  if (!ReadStatus()) return 0;
  if (w_[10] != 0 && !DrainSerial()) return 0;
  uint32_t s = w_[0] | 0x80000000u;
  if (!ring_.empty()) s |= 0x800000;
  const bool frontEnabled = config_.front.enable != 0;
  const bool rearEnabled = config_.rear.enable != 0;
  if (eventMode_ != 0) {
    if (micrDone_) s |= 0x100000;
    if (sideRead_[0] && imagesFinal_) s |= 0x200000;
    if (sideRead_[1] && imagesFinal_) s |= 0x400000;
  } else {
    const bool ready = (w_[3] & kW3ImagesReady) != 0;
    if (micrDone_ || w_[8] == kSamplesReady) s |= 0x100000;
    if ((sideRead_[0] && imagesFinal_) || (frontEnabled && ready)) s |= 0x200000;
    if ((sideRead_[1] && imagesFinal_) || (rearEnabled && ready)) s |= 0x400000;
  }
  uint32_t e = w_[1];
  if (imageMissing_) {
    s |= QV6_STATUS_ERROR;
    e |= QV6_ERRORS_DEVICE;
  }
  *status = static_cast<int>(s);
  *errors = static_cast<int>(e);
  return 1;
}

int ScannerDeviceTemplate::PollStatus() {
  if (!ReadStatus()) return 0;
  if (w_[10] != 0) DrainSerial();
  const bool same = w_[0] == previous_[0] && w_[1] == previous_[1] && w_[3] == previous_[3] &&
                    w_[8] == previous_[8];
  // After a fetch the previous status is stale: the scanner dropped the marks it shows, and a document
  // fed at once after it raises them again, which would compare equal and never be fetched.
  if (same && w_[10] == 0 && !fetched_) return 1;
  previous_ = w_;
  RaiseEvents();
  return 1;
}

int ScannerDeviceTemplate::RaiseEvents() {
  fetched_ = false;
  if (eventMode_ != 0) {
    if (w_[8] == kSamplesReady) {
      ReadMicr();
      fetched_ = true;
    }
    if (w_[3] & kW3ImagesReady) {
      // GetImages marks each side it asks the scanner for; sides marked already are not asked again.
      const uint16_t marks = w_[3] & (kW3FrontRead | kW3RearRead);
      GetImages();
      fetched_ = fetched_ || (w_[3] & (kW3FrontRead | kW3RearRead)) != marks;
    } else if ((sideFailed_[0] && !sideRead_[0]) || (sideFailed_[1] && !sideRead_[1])) {
      // The scanner let go of a side the host never received (the driver failed the transfer): without a
      // mark the caller would take the missing image for a side not scanned.
      sideFailed_[0] = sideFailed_[1] = false;
      imageMissing_ = true;
    }
  }
  Raise(2, 0);
  return 1;
}

int ScannerDeviceTemplate::ServicePending() {
  while (pending_) {
    SendImageSettings();
    GetImages();
  }
  return 1;
}

int ScannerDeviceTemplate::SetEventMode(int mode) {
  eventMode_ = mode;
  sideFailed_[0] = sideFailed_[1] = imageMissing_ = false;
  imagesFinal_ = false;
  sideRead_[0] = sideRead_[1] = false;
  micrDone_ = false;
  reprocess_[0] = reprocess_[1] = false;
  config_.micrSaveSamples = 0;
  return 0;
}

// ---- Document cycle ----

int ScannerDeviceTemplate::EnableScan(int on) {
  sideFailed_[0] = sideFailed_[1] = imageMissing_ = false;
  sideRead_[0] = sideRead_[1] = false;
  micrDone_ = false;
  reprocess_[0] = reprocess_[1] = false;
  imagesFinal_ = config_.cropEnable == 0;
  if (!initialised_) on = 0;
  const int result = on == 1 ? PrepareScan() : 1;
  if (!result) return 0;
  return commands_.DeviceCommand(1, on);
}

int ScannerDeviceTemplate::EnablePartialScan(int on, int mask) {
  sideFailed_[0] = sideFailed_[1] = imageMissing_ = false;
  sideRead_[0] = sideRead_[1] = false;
  micrDone_ = false;
  reprocess_[0] = reprocess_[1] = false;
  imagesFinal_ = config_.cropEnable == 0;
  if (!initialised_) on = 0;
  if (on == 1) {
    config_.micrEnable = (mask >> 1) & 1;
    config_.printerEnable = (mask >> 2) & 1;
    config_.front.enable = (mask >> 3) & 1;
    config_.rear.enable = (mask >> 4) & 1;
    if (!PrepareScan()) return 0;
  }
  return commands_.DeviceCommand(4, on, mask);
}

int ScannerDeviceTemplate::EjectDocument(int /*value*/) {
  return commands_.DeviceCommand(2);
}

int ScannerDeviceTemplate::ClearPowerOnFlag() {
  return commands_.DeviceCommand(3);
}

int ScannerDeviceTemplate::ReadNewImage(const std::array<int, 8>& a) {
  reprocess_[a[0] != 0 ? 1 : 0] = true;
  newImage_ = a;
  // Values go into block fields and the image paths: keep them inside what the model takes.
  newImage_[1] = std::clamp(a[1], 0, MaxDepthCode());
  newImage_[2] = std::clamp(a[2], 0, 15);
  newImage_[3] = a[3] == 100 ? 100 : 200;
  pending_ = true;
  if (eventMode_ == 0) {
    SendImageSettings();
    GetImages();
  }
  return 1;
}

int ScannerDeviceTemplate::SendImageSettings() {
  pending_ = false;
  const int side = newImage_[0] != 0 ? 1 : 0;
  depthCode_ = newImage_[1];
  resolution_ = newImage_[3];
  SideConfig c = side == 0 ? config_.front : config_.rear;
  c.threshold = newImage_[2];
  c.contrast = 100;
  // The caller's window is in tenths of a millimetre, as the configuration's: the same encoder turns it
  // into sensor pixels.
  c.bottom = newImage_[6];
  c.top = newImage_[7];
  const uint8_t main = side == 0 ? kFrontSettings : kRearSettings;
  const uint8_t aux = side == 0 ? kAuxFrontSettings : kAuxRearSettings;
  for (uint8_t block : {main, aux}) FillSettings(block, c, depthCode_, resolution_);
  SetImageType(side);
  WriteSection(aux);
  if (WriteSection(main)) w_[3] &= static_cast<uint16_t>(~(side == 0 ? kW3FrontRead : kW3RearRead));
  return 1;
}

void* ScannerDeviceTemplate::GetFrontImageDIBPtr() {
  if (sideRead_[0] && imagesFinal_) return GetImageBuffer(0);
  if (eventMode_ == 0 && ReadStatus() && (w_[3] & kW3ImagesReady)) {
    GetImages();
    if (sideRead_[0] && imagesFinal_) return GetImageBuffer(0);
  }
  return nullptr;
}

void* ScannerDeviceTemplate::GetRearImageDIBPtr() {
  if (sideRead_[1] && imagesFinal_) return GetImageBuffer(1);
  if (eventMode_ == 0 && ReadStatus() && (w_[3] & kW3ImagesReady)) {
    GetImages();
    if (sideRead_[1] && imagesFinal_) return GetImageBuffer(1);
  }
  return nullptr;
}

const char* ScannerDeviceTemplate::GetMicrCodelinePtr() {
  if (micrDone_) return codeLine_;
  if (eventMode_ == 0 && ReadStatus() && w_[8] == kSamplesReady) {
    ReadMicr();
    if (micrDone_) return codeLine_;
  }
  return nullptr;
}

int ScannerDeviceTemplate::ReadMicr() {
  g_Log.Write(kLogScan, "Start ReadMicr\n");
  const int asked = w_[9] < 32719 ? 2 * w_[9] : kMaxSampleBytes;
  const int count = asked / 64 * 64;
  samples_.assign(static_cast<size_t>(count / 2), 0);
  int received = 0;
  const int ok = commands_.ReadSamples(samples_.data(), static_cast<uint32_t>(count), &received);
  if (config_.micrSaveSamples != 0) {
    std::FILE* f = std::fopen(plat::ResolvePath(kSamplesFile).c_str(), "wb");
    if (f != nullptr) {
      for (uint16_t s : samples_) {
        uint8_t le[2];
        bytes::PutLe16(le, s);
        std::fwrite(le, 1, 2, f);
      }
      std::fclose(f);
    }
  }
  samplesRecord_.samples = samples_.data();
  samplesRecord_.byteCount = count;
  Raise(6, reinterpret_cast<intptr_t>(&samplesRecord_));
  if (config_.micrEnable != 0 && asked >= 64) {
    codeLine_ = nullptr;
    if (ok) {
      const int font = config_.micrFont == 0 ? 1 : config_.micrFont == 1 ? 2 : 0;
      micr_.DecodeSamples(samples_.data(), static_cast<unsigned>(count / 2), font, 0, 0);
      if (const char* line = micr_.GetCodeline(config_.micrSpaces, kReject)) {
        codeLineText_.fill('\0');
        std::strncpy(codeLineText_.data(), line, kCodeLineLimit);
        codeLine_ = codeLineText_.data();
        g_Log.WriteFormatted(kLogScan, "%s\n", codeLine_);
      }
    }
    micrDone_ = true;
    Raise(3, reinterpret_cast<intptr_t>(codeLine_));
  }
  g_Log.Write(kLogScan, "End ReadMicr\n");
  return ok;
}

// ---- Serial port ----

int ScannerDeviceTemplate::Rs232Tx(const void* data, int length) {
  if (length <= 0) return 1;
  return commands_.Rs232Tx(static_cast<const uint8_t*>(data), static_cast<size_t>(length));
}

int ScannerDeviceTemplate::Rs232Rx(void* buffer, int* count) {
  const int capacity = std::max(*count, 0);
  *count = static_cast<int>(ring_.Take(std::span<uint8_t>(static_cast<uint8_t*>(buffer), static_cast<size_t>(capacity))));
  return 1;
}

// ---- Configuration ----

int ScannerDeviceTemplate::SetMechConfig(const char* file, int store) {
  if (file != nullptr && *file != '\0' && !LoadMechConfigFromIni(file)) return 0;
  if (!TransferMechSections(1)) return 0;
  return store == 1 ? SelectMechImage(1) : 1;
}

int ScannerDeviceTemplate::GetMechConfig(const char* file, int recall) {
  if (recall == 1 && !SelectMechImage(0)) return 0;
  if (!TransferMechSections(0)) return 0;
  if (file != nullptr && *file != '\0') return SaveMechConfigToIni(file);
  return 1;
}

int ScannerDeviceTemplate::GetCfgData(int type, void* buffer, int length) {
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t n = static_cast<size_t>(std::max(length, 0));
  auto copy = [&](const uint8_t* from, size_t size) {
    std::memcpy(out, from, std::min(n, size));
    return 1;
  };
  switch (type) {
    case 1:
    case 2:
    case 3:
    case 4: {
      const auto block = static_cast<uint8_t>(kFirstPixelTable + type - 1);
      if (!ReadSection(block)) return 0;
      const auto& table = pixelTables_[static_cast<size_t>(type - 1)];
      return copy(table.data(), table.size());
    }
    case 5:
    case 6: {
      if (!ReadSection(static_cast<uint8_t>(kFrontModule + type - 5))) return 0;
      uint8_t r[14];
      PutModule(modules_[static_cast<size_t>(type - 5)], r);
      return copy(r, sizeof r);
    }
    case 7:
    case 8:
      if (!ReadSection(static_cast<uint8_t>(kFrontAdc + type - 7))) return 0;
      return copy(adc_[static_cast<size_t>(type - 7)].data(), 10);
    case 9:
    case 10:
    case 26:
    case 27: {
      const uint8_t block = type == 9 ? kFrontSettings : type == 10 ? kRearSettings
                                                     : type == 26 ? kAuxFrontSettings : kAuxRearSettings;
      if (!ReadSection(block)) return 0;
      uint8_t r[32];
      PutRecord(settings_[SettingsIndex(block)], r);
      return copy(r, sizeof r);
    }
    case 12: {
      std::vector<uint16_t> words((n + 1) / 2);
      int received = 0;
      const int ok = commands_.ReadSamples(words.data(), static_cast<uint32_t>(n), &received);
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i % 2 == 0 ? words[i / 2] : words[i / 2] >> 8);
      return ok;
    }
    default:
      return 0;
  }
}

int ScannerDeviceTemplate::SetCfgData(int type, const void* data, int length) {
  const auto* in = static_cast<const uint8_t*>(data);
  const size_t n = static_cast<size_t>(std::max(length, 0));
  switch (type) {
    case 1:
    case 2:
    case 3:
    case 4: {
      auto& table = pixelTables_[static_cast<size_t>(type - 1)];
      std::memcpy(table.data(), in, std::min(n, table.size()));
      return WriteBulkSection(static_cast<uint8_t>(kFirstPixelTable + type - 1));
    }
    case 5:
    case 6: {
      uint8_t r[14];
      PutModule(modules_[static_cast<size_t>(type - 5)], r);
      std::memcpy(r, in, std::min(n, sizeof r));
      modules_[static_cast<size_t>(type - 5)] = GetModule(r);
      return WriteSection(static_cast<uint8_t>(kFrontModule + type - 5));
    }
    case 7:
    case 8:
      std::memcpy(adc_[static_cast<size_t>(type - 7)].data(), in, std::min<size_t>(n, 10));
      return WriteSection(static_cast<uint8_t>(kFrontAdc + type - 7));
    case 9:
    case 10:
    case 26:
    case 27: {
      const uint8_t block = type == 9 ? kFrontSettings : type == 10 ? kRearSettings
                                                     : type == 26 ? kAuxFrontSettings : kAuxRearSettings;
      uint8_t r[32];
      ImageSettings& s = settings_[SettingsIndex(block)];
      PutRecord(s, r);
      std::memcpy(r, in, std::min(n, sizeof r));
      s = GetRecord(r);
      return WriteSection(block);
    }
    case 11:
      return commands_.SendPacket(in, n);
    default:
      return 0;
  }
}

int ScannerDeviceTemplate::LoadCfgFromIni(const char* file, const char* section) {
  if (!first::LoadScanConfig(file, section, &config_)) return 0;
  const std::string name = later::CurrentDirectoryName(file);
  const char* s = section != nullptr && *section != '\0' ? section : first::kDefaultSection;
  g_Log.LoadSettings(name.c_str(), s);
  resolution_ = config_.front.resolution;
  depthCode_ = std::min(config_.front.greyCode, MaxDepthCode());
  SaveCfgToIni(file, section);
  return 1;
}

int ScannerDeviceTemplate::SaveCfgToIni(const char* file, const char* section) {
  const std::string name = later::CurrentDirectoryName(file);
  const char* s = section != nullptr && *section != '\0' ? section : first::kDefaultSection;
  g_Log.SaveSettings(name.c_str(), s);
  return first::SaveScanConfig(file, section, config_) ? 1 : 0;
}

// ---- Image windows ----

void ScannerDeviceTemplate::SetWindow(ImageSettings& s, int side, int startPos, int endPos) const {
  const ModuleRecord& m = modules_[side != 0 ? 1 : 0];
  const int valid = m.valid;
  auto pixel = [&](int position) {
    const int p = position * m.resolution / 254;
    return position < 0 ? valid + p : p;
  };
  int start = pixel(startPos) & ~1;
  if (start < 0 || start >= valid) start = 0;
  int end = pixel(endPos);
  end += end & 1;
  if (end <= start || end > valid) end = valid;
  s.start = static_cast<uint32_t>(start);
  s.end = static_cast<uint32_t>(end);
}

void ScannerDeviceTemplate::FillSettings(uint8_t block, const SideConfig& c, int depthCode, int resolution) {
  ImageSettings& s = settings_[SettingsIndex(block)];
  const int side = block == kRearSettings || block == kAuxRearSettings ? 1 : 0;
  s.word = static_cast<uint16_t>((s.word & 0xFC01) | (depthCode & 7) << 1 | (c.threshold & 15) << 4);
  s.resolution = static_cast<uint16_t>(resolution);
  s.contrast = static_cast<uint16_t>(c.contrast);
  s.iniPos = static_cast<uint16_t>(c.iniPos);
  s.endPos = static_cast<uint16_t>(c.endPos);
  SetWindow(s, side, c.bottom, c.top);
}

int ScannerDeviceTemplate::ComputeWidth(bool aux, int side) const {
  const uint8_t block = aux ? (side == 0 ? kAuxFrontSettings : kAuxRearSettings)
                            : (side == 0 ? kFrontSettings : kRearSettings);
  const ImageSettings& s = settings_[SettingsIndex(block)];
  return std::max(static_cast<int>(s.end) - static_cast<int>(s.start), 0);
}

int ScannerDeviceTemplate::FirstValidPixel(int side) const {
  const auto& white = pixelTables_[side != 0 ? 2 : 0];
  const auto& black = pixelTables_[side != 0 ? 3 : 1];
  for (size_t i = 0; i < 32 && i < white.size() && i < black.size(); ++i) {
    if (white[i] > black[i] + 64) return static_cast<int>(i);
  }
  return 32;
}

void ScannerDeviceTemplate::SetAdcGain(int side, int gain, std::initializer_list<int> bytes) {
  const auto v = static_cast<uint8_t>(std::clamp(gain, 0, 63));
  for (int b : bytes) adc_[static_cast<size_t>(side)][static_cast<size_t>(b)] = v;
}

void ScannerDeviceTemplate::SetAdcOffset(int side, int offset, std::initializer_list<int> bytes) {
  const int o = std::clamp(offset, -31, 31);
  const auto v = static_cast<uint8_t>(o < 0 ? 32 - o : o);
  for (int b : bytes) adc_[static_cast<size_t>(side)][static_cast<size_t>(b)] = v;
}

int ScannerDeviceTemplate::AdcOffset(int side, int byte) const {
  const int v = adc_[static_cast<size_t>(side)][static_cast<size_t>(byte)];
  return v > 32 ? 32 - v : v == 32 ? 0 : v;
}

// ---- Endorsement ----

int ScannerDeviceTemplate::PrintBitmap(const void* bits, int width, int rows, int position, int flags) {
  // The block is 2 bytes a column behind a 6-byte head; its size must fit an int.
  if (width < 0 || width > (INT_MAX - 100) / 2 || (bits == nullptr && width > 0)) return 0;
  const size_t columns = static_cast<size_t>(width);
  std::vector<uint8_t> block(2 * columns + 100, 0);
  block[0] = kPrintBlock;
  bytes::PutBe16(&block[1], static_cast<uint16_t>(position));
  bytes::PutBe16(&block[3], static_cast<uint16_t>(flags));
  const size_t rowBytes = (columns + 31) / 32 * 4;
  const int used = std::clamp(rows, 0, kPrintRows);
  const bool inkOnOne = (flags & 2) != 0;
  const auto* in = static_cast<const uint8_t*>(bits);
  for (size_t x = 0; x < columns; ++x) {
    for (int r = 0; r < kPrintRows; ++r) {
      // A row the caller did not give prints no ink.
      if (r >= used) continue;
      const bool one = (in[static_cast<size_t>(r) * rowBytes + x / 8] >> (7 - x % 8)) & 1;
      if (one != inkOnOne) continue;
      if (r < 8) block[6 + 2 * x] = static_cast<uint8_t>(block[6 + 2 * x] | 1 << r);
      else block[7 + 2 * x] = static_cast<uint8_t>(block[7 + 2 * x] | 1 << (r - 8));
    }
  }
  return commands_.WriteBulkData(block.data(), 2 * columns + 6);
}

int ScannerDeviceTemplate::PrintString(const char* text, int length, int position, int flags) {
  endorsement::PrinterString printer(config_.printerFont);
  int columns = 0;
  int rows = 0;
  printer.RenderText(text, length, &columns, &rows);
  return PrintBitmap(printer.bitmap().data(), columns, rows, position, flags ^ 2);
}

int ScannerDeviceTemplate::SetBmpToPrint(const void* bits, int width, int rows, int position1,
                                         int /*position2*/, int flags) {
  return PrintBitmap(bits, width, rows, position1, flags);
}

int ScannerDeviceTemplate::StringToPrint(const char* text, int length, int position1, int /*position2*/,
                                         int flags) {
  return PrintString(text, length, position1, flags);
}

}  // namespace qv6
