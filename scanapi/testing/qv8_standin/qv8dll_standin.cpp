// Stand-in for the QV800 device library "QV8DLL.DLL": the entry points of zarn/qv8dll.h over a simulated
// QV800 (no SCSI protocol under it). The scanner sits on a simulated bus, takes its configuration from the
// device-layout INI file handed to QVInit, and feeds synthetic cheques from the simulator's document stack,
// delivered as BMP or single-strip uncompressed TIFF images (into memory or files) with their code lines.
// Variant QV8_STANDIN_MISSING_EXPORT leaves "QVGetParam" out.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "qv8_standin/qv8_standin_control.h"
#include "sim/documents/document_stack.h"
#include "zarn/qv8dll.h"

#define QV8_EXPORT extern "C" __attribute__((visibility("default")))

namespace zarn::qv8sim {
namespace {

// Device error numbers the simulated scanner gives.
constexpr int32_t kErrFeederEmpty = 62000;
constexpr int32_t kErrCommand = 62021;       // a read while no scan is open
constexpr int32_t kErrImageTooLarge = 62030;  // the image does not fit the offered buffer
constexpr int32_t kErrFile = 62025;           // an image file cannot be written
constexpr int32_t kErrBadBitmap = 62027;

constexpr size_t kMaxLog = 10000;
constexpr size_t kMaxCodeLine = 69;

struct Inquiry {
  std::string vendor, product, release;
};

std::string Num(long v) { return std::to_string(v); }

uint8_t GrayOf(const sim::documents::SideImage& side, int x, int y) {
  const uint8_t* p = side.rgb.data() + (static_cast<size_t>(y) * static_cast<size_t>(side.width) + x) * 3;
  return static_cast<uint8_t>((77 * p[0] + 151 * p[1] + 28 * p[2]) >> 8);
}

// The side's rows, top first, at `bits` per pixel without padding: 1 bit leftmost pixel in bit 7 with a set
// bit `setIsWhite` or black, 4 bit the left pixel in the high nibble, 8 bit 0 black.
std::vector<uint8_t> Rows(const sim::documents::SideImage& side, int bits, bool setIsWhite, size_t stride) {
  std::vector<uint8_t> out(stride * static_cast<size_t>(side.height), 0);
  for (int y = 0; y < side.height; ++y) {
    uint8_t* row = out.data() + stride * static_cast<size_t>(y);
    for (int x = 0; x < side.width; ++x) {
      const uint8_t g = GrayOf(side, x, y);
      if (bits == 8) {
        row[x] = g;
      } else if (bits == 4) {
        row[x / 2] |= static_cast<uint8_t>((x & 1) != 0 ? g >> 4 : g & 0xF0);
      } else if ((g >= 128) == setIsWhite) {
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  }
  return out;
}

size_t RowBytes(int width, int bits) { return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 7) / 8; }

// A BMP file image: bottom-up rows padded to 4 bytes, a gray palette (1 bit: index 1 black).
std::vector<uint8_t> MakeBmp(const sim::documents::SideImage& side, int bits) {
  const size_t stride = (RowBytes(side.width, bits) + 3) / 4 * 4;
  const uint32_t colours = 1u << bits;
  const uint32_t offset = 54 + 4 * colours;
  const std::vector<uint8_t> rows = Rows(side, bits, false, stride);
  std::vector<uint8_t> out(offset + rows.size(), 0);
  uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  plat::bytes::PutLe32(p + 2, static_cast<uint32_t>(out.size()));
  plat::bytes::PutLe32(p + 10, offset);
  plat::bytes::PutLe32(p + 14, 40);
  plat::bytes::PutLe32(p + 18, static_cast<uint32_t>(side.width));
  plat::bytes::PutLe32(p + 22, static_cast<uint32_t>(side.height));
  plat::bytes::PutLe16(p + 26, 1);
  plat::bytes::PutLe16(p + 28, static_cast<uint16_t>(bits));
  plat::bytes::PutLe32(p + 34, static_cast<uint32_t>(rows.size()));
  const uint32_t ppm = static_cast<uint32_t>(side.dpi) * 3937 / 100;
  plat::bytes::PutLe32(p + 38, ppm);
  plat::bytes::PutLe32(p + 42, ppm);
  plat::bytes::PutLe32(p + 46, colours);
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t level = bits == 1 ? (i == 0 ? 255 : 0) : static_cast<uint8_t>(i * 255 / (colours - 1));
    std::memset(p + 54 + 4 * i, level, 3);
  }
  for (int y = 0; y < side.height; ++y) {
    std::memcpy(p + offset + stride * static_cast<size_t>(side.height - 1 - y), rows.data() + stride * y, stride);
  }
  return out;
}

// A little-endian single-strip uncompressed TIFF, black is zero (a set 1-bit pixel is white).
std::vector<uint8_t> MakeTiff(const sim::documents::SideImage& side, int bits) {
  const size_t stride = RowBytes(side.width, bits);
  const std::vector<uint8_t> rows = Rows(side, bits, true, stride);
  constexpr uint16_t kEntries = 12;
  constexpr uint32_t kIfd = 8;
  constexpr uint32_t kRationals = kIfd + 2 + 12 * kEntries + 4;
  constexpr uint32_t kData = kRationals + 16;
  std::vector<uint8_t> out(kData + rows.size(), 0);
  uint8_t* p = out.data();
  p[0] = 'I';
  p[1] = 'I';
  plat::bytes::PutLe16(p + 2, 42);
  plat::bytes::PutLe32(p + 4, kIfd);
  plat::bytes::PutLe16(p + kIfd, kEntries);
  uint8_t* e = p + kIfd + 2;
  auto entry = [&e](uint16_t tag, uint16_t type, uint32_t value) {
    plat::bytes::PutLe16(e, tag);
    plat::bytes::PutLe16(e + 2, type);
    plat::bytes::PutLe32(e + 4, 1);
    if (type == 3) {
      plat::bytes::PutLe16(e + 8, static_cast<uint16_t>(value));
    } else {
      plat::bytes::PutLe32(e + 8, value);
    }
    e += 12;
  };
  entry(256, 4, static_cast<uint32_t>(side.width));
  entry(257, 4, static_cast<uint32_t>(side.height));
  entry(258, 3, static_cast<uint32_t>(bits));
  entry(259, 3, 1);
  entry(262, 3, 1);
  entry(273, 4, kData);
  entry(277, 3, 1);
  entry(278, 4, static_cast<uint32_t>(side.height));
  entry(279, 4, static_cast<uint32_t>(rows.size()));
  entry(282, 5, kRationals);
  entry(283, 5, kRationals + 8);
  entry(296, 3, 2);
  for (uint32_t at : {kRationals, kRationals + 8}) {
    plat::bytes::PutLe32(p + at, static_cast<uint32_t>(side.dpi));
    plat::bytes::PutLe32(p + at + 4, 1);
  }
  std::memcpy(p + kData, rows.data(), rows.size());
  return out;
}

class Simulator final : public Qv8SimControl {
 public:
  Simulator() { Reset(); }

  // ---- control ----
  void Reset() override {
    std::lock_guard<std::mutex> lock(mutex_);
    bus_.clear();
    bus_[{0, 4}] = {"QRM Inc ", "Scanner QV800", "1.07"};
    param0_ = 0;
    serial_ = "QV8SIM00042";
    counters_[0] = 1234;
    counters_[1] = 567;
    stack_ = sim::documents::DocumentStack(1);
    errors_.clear();
    delivered_.clear();
    statusBits_ = 0;
    errorBits_ = 0;
    configured_ = false;
    refuseConfig_ = false;
    scanOpen_ = false;
    failures_.clear();
    config_ = {};
    tmpFile_.clear();
    log_.clear();
  }
  void ClearBus() override {
    std::lock_guard<std::mutex> lock(mutex_);
    bus_.clear();
  }
  void SetDevice(int adapter, int target, const std::string& vendor, const std::string& product,
                 const std::string& release) override {
    std::lock_guard<std::mutex> lock(mutex_);
    bus_[{adapter, target}] = {vendor, product, release};
  }
  void SetParam0(int value) override { param0_ = value; }
  void SetSerial(const std::string& serial) override {
    std::lock_guard<std::mutex> lock(mutex_);
    serial_ = serial;
  }
  void SetCounters(int32_t first, int32_t second) override {
    counters_[0] = first;
    counters_[1] = second;
  }
  void AddCheques(int count, uint32_t seed) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stack_.Empty()) stack_ = sim::documents::DocumentStack(seed);
    stack_.AddCheques(count);
    errors_.insert(errors_.end(), static_cast<size_t>(std::max(count, 0)), 0);
  }
  void AddFailingDocument(int32_t errorNumber) override {
    std::lock_guard<std::mutex> lock(mutex_);
    stack_.AddCheque();
    errors_.push_back(errorNumber);
  }
  int DocumentsLeft() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(stack_.Size());
  }
  std::vector<std::string> CodeLinesDelivered() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return delivered_;
  }
  void SetStatusBits(uint32_t bits) override { statusBits_ = bits; }
  void SetErrorBits(uint32_t bits) override { errorBits_ = bits; }
  void SetRefuseConfig(bool refuse) override { refuseConfig_ = refuse; }
  void FailCall(const std::string& entryPoint, int32_t errorNumber) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (errorNumber == 0) {
      failures_.erase(entryPoint);
    } else {
      failures_[entryPoint] = errorNumber;
    }
  }
  DeviceConfig Config() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return config_;
  }
  bool ScanOpen() const override { return scanOpen_; }
  std::vector<std::string> CallLog() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  void ClearCallLog() override {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
  }

  // ---- device side ----
  // Records the call; the injected error number of the entry point, or 0.
  int32_t Enter(const char* name, const std::string& args = {}) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (log_.size() < kMaxLog) log_.push_back(args.empty() ? std::string(name) : std::string(name) + " " + args);
    auto it = failures_.find(name);
    return it != failures_.end() ? it->second : 0;
  }

  int32_t Inquire(uint8_t* record) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = bus_.find({record[0], record[1]});
    if (it == bus_.end()) return -1;
    auto put = [record](size_t offset, const std::string& text) {
      std::memcpy(record + offset, text.data(), std::min(text.size(), kQv8InquiryField));
    };
    put(kQv8VendorOffset, it->second.vendor);
    put(kQv8ProductOffset, it->second.product);
    put(kQv8ReleaseOffset, it->second.release);
    return 0;
  }

  int32_t Init(const char* tmpFile) {
    std::lock_guard<std::mutex> lock(mutex_);
    tmpFile_ = tmpFile != nullptr ? tmpFile : "";
    ReadConfig();
    configured_ = !refuseConfig_;
    return 0;
  }
  int32_t SetConfig() {
    std::lock_guard<std::mutex> lock(mutex_);
    ReadConfig();
    return 0;
  }
  int32_t Status(uint32_t* status, uint32_t* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t s = statusBits_ | (configured_ ? kStConfigured : kStConfigNeeded);
    if (!stack_.Empty()) s |= kStDocuments;
    if (status != nullptr) *status = s & 0xFFFF;
    if (error != nullptr) *error = errorBits_ & 0xFFFF;
    return 0;
  }
  void ClearErrors() { errorBits_ = 0; }
  int32_t Serial(char* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t n = std::min(serial_.size(), kQv8SerialRoom - 1);
    std::memcpy(out, serial_.data(), n);
    out[n] = '\0';
    return 0;
  }
  int32_t Counters(int32_t* first, int32_t* second) {
    if (first != nullptr) *first = counters_[0];
    if (second != nullptr) *second = counters_[1];
    return 0;
  }
  int32_t Open(bool open) {
    scanOpen_ = open;
    return 0;
  }
  int32_t Param(int32_t id) const { return id == 0 ? param0_ : 0; }

  // One document: its images for the configured sides and its code line. Memory targets get at most `size`
  // bytes each; file targets are written whole.
  int32_t Read(void* front, void* rear, int32_t size, const char* frontFile, const char* rearFile, char* codeLine,
               int32_t codeLineSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (codeLine != nullptr && codeLineSize > 0) codeLine[0] = '\0';
    if (!scanOpen_) return kErrCommand;
    std::optional<sim::documents::Document> document = stack_.Pop();
    if (!document) return kErrFeederEmpty;
    const int32_t injected = errors_.empty() ? 0 : errors_.front();
    if (!errors_.empty()) errors_.pop_front();
    ++counters_[0];
    if (injected != 0) return injected;
    const int dpi = config_.Dpi();
    if (document->front.dpi != dpi && document->cheque) {
      sim::documents::ChequeOptions options = *document->cheque;
      options.dpi = dpi;
      *document = sim::documents::MakeCheque(document->seed, options);
    }
    const bool bmp = config_.format == 1 || config_.format == 2;
    const int bits = config_.Bits();
    auto image = [&](const sim::documents::SideImage& side) { return bmp ? MakeBmp(side, bits) : MakeTiff(side, bits); };
    const bool wantFront = config_.frontOnly != 0 || config_.frontRear != 0;
    const bool wantRear = config_.frontRear != 0;
    struct Side {
      bool wanted;
      const sim::documents::SideImage* image;
      void* memory;
      const char* file;
    };
    for (const Side& s : {Side{wantFront, &document->front, front, frontFile}, Side{wantRear, &document->rear, rear, rearFile}}) {
      if (!s.wanted) continue;
      const std::vector<uint8_t> bytes = image(*s.image);
      if (s.memory != nullptr) {
        if (size < 0 || bytes.size() > static_cast<size_t>(size)) return kErrImageTooLarge;
        std::memcpy(s.memory, bytes.data(), bytes.size());
      } else if (s.file != nullptr) {
        std::FILE* f = plat::OpenFile(s.file, "wb");
        if (f == nullptr) return kErrFile;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (std::fclose(f) != 0 || !ok) return kErrFile;
      }
    }
    std::string line = config_.micr != 0 ? document->codeLine.substr(0, kMaxCodeLine) : std::string();
    if (codeLine != nullptr && codeLineSize > 0) {
      const size_t n = std::min(line.size(), static_cast<size_t>(codeLineSize - 1));
      std::memcpy(codeLine, line.data(), n);
      codeLine[n] = '\0';
      line.resize(n);
    }
    delivered_.push_back(line);
    return 0;
  }

  // The bitmap is a BMP file image inside the 64000-byte area.
  int32_t Bitmap(const uint8_t* bitmap, uint32_t* fileSize) {
    *fileSize = 0;
    if (bitmap == nullptr || bitmap[0] != 'B' || bitmap[1] != 'M') return kErrBadBitmap;
    const uint32_t n = plat::bytes::GetLe32(bitmap + 2);
    if (n < 54 || n > kQv8BitmapRoom) return kErrBadBitmap;
    *fileSize = n;
    return 0;
  }

 private:
  void ReadConfig() {
    const char* f = tmpFile_.c_str();
    config_.format = plat::GetPrivateProfileIntA("IMAGE", "Format", 4, f);
    config_.resolution = plat::GetPrivateProfileIntA("IMAGE", "Resolution", 1, f);
    config_.blackWhite = plat::GetPrivateProfileIntA("IMAGE", "B/W", 1, f);
    config_.gray256 = plat::GetPrivateProfileIntA("IMAGE", "Gray 256 lev.", 1, f);
    config_.frontOnly = plat::GetPrivateProfileIntA("IMAGE", "Front only", 0, f);
    config_.frontRear = plat::GetPrivateProfileIntA("IMAGE", "Front + Rear", 1, f);
    config_.micr = plat::GetPrivateProfileIntA("MICR", "Enable", 1, f);
    config_.inkJet = plat::GetPrivateProfileIntA("DEVICES", "Ink-Jet printer", 0, f);
  }

  mutable std::mutex mutex_;
  std::map<std::pair<int, int>, Inquiry> bus_;
  int param0_ = 0;
  std::string serial_;
  int32_t counters_[2] = {};
  sim::documents::DocumentStack stack_{1};
  std::deque<int32_t> errors_;
  std::vector<std::string> delivered_;
  uint32_t statusBits_ = 0;
  uint32_t errorBits_ = 0;
  bool configured_ = false;
  bool refuseConfig_ = false;
  bool scanOpen_ = false;
  std::map<std::string, int32_t> failures_;
  DeviceConfig config_;
  std::string tmpFile_;
  std::vector<std::string> log_;
};

Simulator& Sim() {
  static Simulator sim;
  return sim;
}

std::string Text(const char* s) { return s != nullptr ? s : "(null)"; }

}  // namespace
}  // namespace zarn::qv8sim

using zarn::qv8sim::Num;
using zarn::qv8sim::Sim;
using zarn::qv8sim::Text;

QV8_EXPORT zarn::qv8sim::Qv8SimControl* QV8SimGetControl() { return &Sim(); }

// The entry points the API never calls answer 0.
QV8_EXPORT int32_t scsi_tx_cmd(int32_t, int32_t, int32_t) { return Sim().Enter("scsi_tx_cmd"); }
QV8_EXPORT int32_t scsi_rx_cmd(int32_t, int32_t, int32_t) { return Sim().Enter("scsi_rx_cmd"); }
QV8_EXPORT int32_t wait_cmd_complete(void) { return Sim().Enter("wait_cmd_complete"); }

QV8_EXPORT int32_t QVScsiIdGetInfo(uint8_t* inquiry) {
  if (inquiry == nullptr) return -1;
  if (int32_t e = Sim().Enter("QVScsiIdGetInfo", Num(inquiry[0]) + " " + Num(inquiry[1]))) return e;
  return Sim().Inquire(inquiry);
}
QV8_EXPORT int32_t QVInit(const char* tmpFile, const char* cfgFile, uint16_t target, uint16_t adapter) {
  if (int32_t e = Sim().Enter("QVInit", Text(tmpFile) + " " + Text(cfgFile) + " " + Num(target) + " " + Num(adapter))) {
    return e;
  }
  return Sim().Init(tmpFile);
}
QV8_EXPORT int32_t QVScannerInfo(void) { return Sim().Enter("QVScannerInfo"); }
QV8_EXPORT int32_t QVSetConfig(uint16_t value) {
  if (int32_t e = Sim().Enter("QVSetConfig", Num(value))) return e;
  return Sim().SetConfig();
}
QV8_EXPORT int32_t QVCalib(uint16_t, uint16_t) { return Sim().Enter("QVCalib"); }
QV8_EXPORT int32_t QVReadConfig(void*, int32_t) { return Sim().Enter("QVReadConfig"); }
QV8_EXPORT int32_t QVUpdateFirmw(const char* file) {
  // Non-zero is success here.
  return Sim().Enter("QVUpdateFirmw", Text(file)) != 0 ? 0 : 1;
}
QV8_EXPORT int32_t QVReadCounters(int32_t* first, int32_t* second) {
  if (int32_t e = Sim().Enter("QVReadCounters")) return e;
  return Sim().Counters(first, second);
}
QV8_EXPORT int32_t QVReadSN(char* serial) {
  if (int32_t e = Sim().Enter("QVReadSN")) return e;
  if (serial == nullptr) return 62027;
  return Sim().Serial(serial);
}
QV8_EXPORT int32_t QVOpenScan(void) {
  if (int32_t e = Sim().Enter("QVOpenScan")) return e;
  return Sim().Open(true);
}
QV8_EXPORT int32_t QVCloseScan(void) {
  if (int32_t e = Sim().Enter("QVCloseScan")) return e;
  return Sim().Open(false);
}
QV8_EXPORT int32_t QVScanDoc(const char* frontFile, const char* rearFile, char* codeLine, int32_t codeLineSize,
                             int32_t flags) {
  if (int32_t e = Sim().Enter("QVScanDoc", Text(frontFile) + " " + Text(rearFile) + " " + Num(codeLineSize) + " " +
                                               Num(flags))) {
    return e;
  }
  return Sim().Read(nullptr, nullptr, 0, frontFile, rearFile, codeLine, codeLineSize);
}
QV8_EXPORT int32_t QVScanDocToMem(void* front, void* rear, int32_t size, char* codeLine, int32_t codeLineSize,
                                  int32_t flags) {
  if (int32_t e = Sim().Enter("QVScanDocToMem", std::string(front != nullptr ? "front" : "-") + " " +
                                                    (rear != nullptr ? "rear" : "-") + " " + Num(size) + " " +
                                                    Num(codeLineSize) + " " + Num(flags))) {
    return e;
  }
  return Sim().Read(front, rear, size, nullptr, nullptr, codeLine, codeLineSize);
}
QV8_EXPORT int32_t QVGetStatus(uint32_t* status, uint32_t* error) {
  if (int32_t e = Sim().Enter("QVGetStatus")) return e;
  return Sim().Status(status, error);
}
QV8_EXPORT int32_t QVClearErrors(void) {
  if (int32_t e = Sim().Enter("QVClearErrors")) return e;
  Sim().ClearErrors();
  return 0;
}
QV8_EXPORT int32_t QVEject(uint16_t zero, uint16_t pocket) { return Sim().Enter("QVEject", Num(zero) + " " + Num(pocket)); }
QV8_EXPORT int32_t QVUpdPrtString(uint16_t value, const uint16_t* text) {
  std::string narrow;
  bool wide = false;
  for (size_t i = 0; text != nullptr && i < 256 && text[i] != 0; ++i) {
    if (text[i] > 0x7F) wide = true;
    narrow += text[i] <= 0x7F ? static_cast<char>(text[i]) : '?';
  }
  std::string args = Num(value) + " " + narrow;
  if (wide) {
    // Characters beyond ASCII are logged by number so tests can see how they were widened.
    for (size_t i = 0; text != nullptr && i < 256 && text[i] != 0; ++i) {
      if (text[i] > 0x7F) args += " U+" + Num(text[i]);
    }
  }
  return Sim().Enter("QVUpdPrtString", args);
}
QV8_EXPORT int32_t QVStringIJ(uint16_t value, const char* text, uint16_t length, uint8_t flag) {
  const std::string t = text != nullptr ? std::string(text, strnlen(text, length)) : "(null)";
  return Sim().Enter("QVStringIJ", Num(value) + " " + t + " " + Num(length) + " " + Num(flag));
}
QV8_EXPORT int32_t QVUpdPrtBitmap(uint16_t value, const uint8_t* bitmap) {
  uint32_t size = 0;
  const int32_t r = Sim().Bitmap(bitmap, &size);
  if (int32_t e = Sim().Enter("QVUpdPrtBitmap", Num(value) + " " + Num(size))) return e;
  return r;
}
QV8_EXPORT int32_t QVGetRIDO(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                             int32_t) {
  return Sim().Enter("QVGetRIDO");
}
QV8_EXPORT int32_t QVGetExtraRIDO(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                  int32_t, int32_t, int32_t) {
  return Sim().Enter("QVGetExtraRIDO");
}
QV8_EXPORT int32_t QVSetDestinationPocket(int32_t pocket) { return Sim().Enter("QVSetDestinationPocket", Num(pocket)); }
QV8_EXPORT int32_t QVSetImageMemoryAcq(int32_t) { return Sim().Enter("QVSetImageMemoryAcq"); }
QV8_EXPORT int32_t QVReadFromMemory(int32_t) { return Sim().Enter("QVReadFromMemory"); }
QV8_EXPORT int32_t QVReadCodeline(int32_t, int32_t, int32_t) { return Sim().Enter("QVReadCodeline"); }
QV8_EXPORT int32_t QVReadImageToFile(int32_t, int32_t, int32_t) { return Sim().Enter("QVReadImageToFile"); }
QV8_EXPORT int32_t QVReadImageToMem(int32_t, int32_t, int32_t, int32_t) { return Sim().Enter("QVReadImageToMem"); }
QV8_EXPORT int32_t QVDwlPrinterFont(const uint8_t*) { return Sim().Enter("QVDwlPrinterFont"); }
QV8_EXPORT int32_t QVClearPrintArea(int32_t a, int32_t b) { return Sim().Enter("QVClearPrintArea", Num(a) + " " + Num(b)); }
#ifndef QV8_STANDIN_MISSING_EXPORT
QV8_EXPORT int32_t QVGetParam(int32_t id) {
  Sim().Enter("QVGetParam", Num(id));
  return Sim().Param(id);
}
#endif
QV8_EXPORT int32_t QVINITHandshake(int32_t, int32_t) { return Sim().Enter("QVINITHandshake"); }
QV8_EXPORT int32_t QVInquiryStatus(int32_t, int32_t, uint8_t, uint8_t) { return Sim().Enter("QVInquiryStatus"); }
QV8_EXPORT int32_t QVTracer(int32_t, uint8_t) { return Sim().Enter("QVTracer"); }
