// The scanner statistics file and its text and XML listings.
#include "zarn/statistics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <vector>

#include "platform/byte_order.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "zarn/api_state.h"
#include "zarn/qv600.h"
#include "zarn/qv800.h"
#include "zarn/scanner_info.h"
#include "stats/positioned_io.h"

namespace zarn {
namespace {

using stats::ReadAt;
using stats::WriteAt;

constexpr int kApiDateLength = 10;
constexpr const char* kApiDate = "2009:07:11";
constexpr int kNoSerial = -126;
constexpr int kNoMemory = -223;
constexpr int kOpenFailed = -707;
constexpr int kShortRead = -708;
constexpr int kShortWrite = -709;

// Field-by-field cursor over a packed little-endian buffer.
class Writer {
 public:
  explicit Writer(uint8_t* p) : p_(p) {}
  void I(const int32_t& v) { plat::bytes::PutLe32(p_, static_cast<uint32_t>(v)); p_ += 4; }
  void Is(const int32_t* v, int n) { for (int i = 0; i < n; ++i) I(v[i]); }
  void Pad(size_t n) { std::memset(p_, 0, n); p_ += n; }
  template <size_t N>
  void S(const char (&s)[N]) {
    const size_t len = strnlen(s, N);
    std::memcpy(p_, s, len);
    std::memset(p_ + len, 0, N - len);
    p_ += N;
  }

 private:
  uint8_t* p_;
};

class Reader {
 public:
  explicit Reader(const uint8_t* p) : p_(p) {}
  void I(int32_t& v) { v = static_cast<int32_t>(plat::bytes::GetLe32(p_)); p_ += 4; }
  void Is(int32_t* v, int n) { for (int i = 0; i < n; ++i) I(v[i]); }
  void Pad(size_t n) { p_ += n; }
  // Keeps the text NUL-terminated even when the file's field is full.
  template <size_t N>
  void S(char (&s)[N]) {
    std::memcpy(s, p_, N);
    s[N - 1] = '\0';
    p_ += N;
  }

 private:
  const uint8_t* p_;
};

template <size_t N>
void SetText(char (&dst)[N], const std::string& src, size_t max = N - 1) {
  const size_t n = std::min({src.size(), max, N - 1});
  std::memset(dst, 0, N);
  std::memcpy(dst, src.data(), n);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { if (fd_ >= 0) close(fd_); }
  int get() const { return fd_; }

 private:
  int fd_;
};

StatisticsDevice g_defaultDevice;

// The one list of each block's fields in file order, walked by the writer and by the reader.
template <typename Io, typename Header>
void HeaderFields(Io& io, Header& h) {
  io.I(h.statisticsLength);
  io.I(h.currentStatistics);
  io.I(h.scannerType);
  io.I(h.apiVersion);
  io.S(h.apiDate);
  io.S(h.vendor);
  io.S(h.product);
  io.S(h.release);
  io.S(h.initDate);
  io.S(h.serialNumber);
  io.I(h.documentNumber);
  io.I(h.runTime);
  io.Pad(8);
}

template <typename Io, typename Record>
void RecordFields(Io& io, Record& r) {
  io.S(r.initTime);
  io.S(r.exitTime);
  io.I(r.colorImages);
  io.I(r.gray8Images);
  io.I(r.gray4Images);
  io.I(r.gray1Images);
  io.I(r.totalImages);
  io.I(r.endorsePrints);
  io.Pad(8);
  io.I(r.noFeedErrors);
  io.I(r.doubleFeedErrors);
  io.I(r.paperJamErrors);
  io.I(r.imageTooLongErrors);
  io.I(r.otherErrors);
  io.Is(r.errorRing, 32);
  io.Pad(12);
  io.Is(r.micr, 4);
  io.Pad(16);
  io.Is(r.density, 256);
  io.Is(r.imageQual, 64);
}

}  // namespace

void EncodeStatHeader(const StatHeader& h, uint8_t* out) {
  Writer w(out);
  HeaderFields(w, h);
}

StatHeader DecodeStatHeader(const uint8_t* in) {
  StatHeader h;
  Reader r(in);
  HeaderFields(r, h);
  return h;
}

void EncodeStatRecord(const StatRecord& s, uint8_t* out) {
  Writer w(out);
  RecordFields(w, s);
}

StatRecord DecodeStatRecord(const uint8_t* in) {
  StatRecord s;
  Reader r(in);
  RecordFields(r, s);
  return s;
}

int StatisticsDevice::Serial(int family, std::string& serial, int& documents, int& minutes) {
  documents = 0;
  minutes = 0;
  char buf[kIdentityBlockSize + 1] = {};
  // The RM70 runs through the QV600 device library, so it takes the QV600 call as well.
  if (family == kFamilyQv600 || family == 205 || family == 220 || family == kFamilyRm70) {
    if (QV600GetScannerSerialNumber(buf, sizeof buf, &documents, &minutes) < 0) return -1;
  } else if (funcGetScannerSerialNumber(buf, sizeof buf) != 0) {
    return -1;
  }
  serial = buf;
  return 0;
}

int StatisticsDevice::Info(std::string& vendor, std::string& product, std::string& release) {
  unsigned char adapter = 0, target = 0;
  char v[32] = {}, p[32] = {}, r[32] = {};
  const int rc = GetScannerInfoTexts(&adapter, &target, v, sizeof v, p, sizeof p, r, sizeof r, 0);
  if (rc < 0) return rc;
  vendor = v;
  product = p;
  release = r;
  return 0;
}

std::string StatisticsDevice::Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d:%02d:%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string StatisticsDevice::Folder() {
  char buf[4096];
  const uint32_t n = plat::GetSystemDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return "\\";
  return std::string(buf, n);
}

std::string StatisticsDevice::ConfiguredFolder() {
  char buf[4096] = {};
  plat::GetPrivateProfileStringA("ACQ. SETUP", "Statistics File", "", buf, sizeof buf, Api().zarnIniPath.c_str());
  return buf;
}

std::string StatisticsFileName(const std::string& serial) {
  std::string name = serial.substr(0, kStatSerialMax);
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7f) c = '_';
  }
  return name + ".VEK";
}

StatisticsFile::StatisticsFile(StatisticsDevice* device) : device_(device != nullptr ? device : &g_defaultDevice) {}

int StatisticsFile::Init(int family) {
  header_ = StatHeader{};
  spare_ = StatRecord{};
  run_ = StatRecord{};
  started_ = false;
  saved_ = false;
  std::string serial;
  int documents = 0, minutes = 0;
  if (device_->Serial(family, serial, documents, minutes) != 0) return kNoSerial;
  serial.resize(std::min(serial.size(), kStatSerialMax));
  serial_ = serial;
  documents_ = documents;
  minutes_ = minutes;

  // The folder the INI file names first, then the System folder; an existing file is opened, never emptied.
  auto openIn = [&](std::string folder, bool& created) {
    if (folder.empty()) folder = "\\";
    if (folder.back() != '\\') folder += '\\';
    path_ = folder + StatisticsFileName(serial);
    created = false;
    int fd = plat::OpenFileDescriptor(path_, O_RDWR);
    if (fd < 0) {
      fd = plat::OpenFileDescriptor(path_, O_RDWR | O_CREAT, 0666);
      created = fd >= 0;
    }
    return fd;
  };
  bool fresh = false;
  int fd = -1;
  if (const std::string configured = device_->ConfiguredFolder(); !configured.empty()) fd = openIn(configured, fresh);
  if (fd < 0) fd = openIn(device_->Folder(), fresh);
  if (fd < 0) {
    path_.clear();
    return kOpenFailed;
  }
  Fd file(fd);

  auto writeFreshBlock = [&]() -> int {
    header_ = StatHeader{};
    header_.statisticsLength = kStatBlockSize;
    header_.currentStatistics = 4;
    SetText(header_.serialNumber, serial);
    header_.scannerType = family;
    header_.documentNumber = documents;
    header_.runTime = minutes;
    std::string vendor, product, release;
    if (int rc = device_->Info(vendor, product, release); rc != 0) return rc;
    SetText(header_.vendor, vendor, 31);
    SetText(header_.product, product, 31);
    SetText(header_.release, release, 31);
    SetText(header_.initDate, device_->Now());
    header_.apiVersion = kApiVersion;
    SetText(header_.apiDate, kApiDate, kApiDateLength);
    spare_ = StatRecord{};
    SetText(spare_.initTime, device_->Now());
    std::vector<uint8_t> block(kStatBlockSize, 0);
    EncodeStatHeader(header_, block.data());
    EncodeStatRecord(spare_, block.data() + kStatHeaderSize);
    return WriteAt(file.get(), block.data(), block.size(), 0) ? 0 : kShortWrite;
  };

  if (fresh) {
    if (int rc = writeFreshBlock(); rc != 0) return rc;
  } else {
    uint8_t buf[kStatHeaderSize + kStatRecordSize];
    if (!ReadAt(file.get(), buf, sizeof buf, 0)) return kShortRead;
    header_ = DecodeStatHeader(buf);
    spare_ = DecodeStatRecord(buf + kStatHeaderSize);
    if (header_.apiVersion != kApiVersion) {
      // Another version's file moves, unchanged, behind a fresh block.
      struct stat st {};
      if (fstat(file.get(), &st) != 0) return kShortRead;
      std::vector<uint8_t> old;
      try {
        old.resize(static_cast<size_t>(st.st_size));
      } catch (const std::bad_alloc&) {
        return kNoMemory;
      }
      if (!ReadAt(file.get(), old.data(), old.size(), 0)) return kShortRead;
      if (!WriteAt(file.get(), old.data(), old.size(), kStatBlockSize)) return kShortWrite;
      if (int rc = writeFreshBlock(); rc != 0) return rc;
    }
  }
  SetText(run_.initTime, device_->Now());
  started_ = true;
  return 0;
}

int StatisticsFile::Save(int family) {
  // A second save in one run would add the run into totals that already hold it.
  if (saved_) return 0;
  // The scanner's counters when it still answers with the serial of the start; else those read at the
  // start, so a scanner gone before the end costs the counters' last update, not the run.
  std::string serial;
  int documents = documents_, minutes = minutes_;
  if (int d = 0, m = 0; device_->Serial(family, serial, d, m) == 0 && serial.substr(0, kStatSerialMax) == serial_) {
    documents = d;
    minutes = m;
  }
  // The file chosen at init; never created or emptied here.
  const int fd = path_.empty() ? -1 : plat::OpenFileDescriptor(path_, O_RDWR);
  if (fd < 0) return kOpenFailed;
  Fd file(fd);

  header_.documentNumber = documents;
  header_.runTime = minutes;
  uint8_t head[kStatHeaderSize];
  EncodeStatHeader(header_, head);
  if (!WriteAt(file.get(), head, sizeof head, 0)) return kShortWrite;

  const std::string now = device_->Now();
  SetText(spare_.exitTime, now);
  SetText(run_.exitTime, now);
  // The totals come from the file and may hold anything: a sum stops at the end of its 32-bit counter
  // rather than wrap.
  const auto add = [](int32_t& total, int32_t more) {
    total = static_cast<int32_t>(std::clamp<int64_t>(int64_t{total} + more, INT32_MIN, INT32_MAX));
  };
  add(spare_.colorImages, run_.colorImages);
  add(spare_.gray8Images, run_.gray8Images);
  add(spare_.gray4Images, run_.gray4Images);
  add(spare_.gray1Images, run_.gray1Images);
  add(spare_.endorsePrints, run_.endorsePrints);
  add(spare_.noFeedErrors, run_.noFeedErrors);
  add(spare_.doubleFeedErrors, run_.doubleFeedErrors);
  add(spare_.paperJamErrors, run_.paperJamErrors);
  add(spare_.imageTooLongErrors, run_.imageTooLongErrors);
  add(spare_.otherErrors, run_.otherErrors);
  for (int i = 0; i < 4; ++i) add(spare_.micr[i], run_.micr[i]);
  for (int i = 0; i < 256; ++i) add(spare_.density[i], run_.density[i]);
  spare_.totalImages = spare_.colorImages;
  for (int32_t images : {spare_.gray8Images, spare_.gray4Images, spare_.gray1Images}) add(spare_.totalImages, images);
  uint8_t rec[kStatRecordSize];
  EncodeStatRecord(spare_, rec);
  if (!WriteAt(file.get(), rec, sizeof rec, kStatHeaderSize)) return kShortWrite;

  // The first free slot; else the oldest run older than this one; else slot 1.
  int empty = 0, oldest = 0;
  std::string oldestTime;
  for (int k = 1; k < kStatRecords; ++k) {
    if (!ReadAt(file.get(), rec, sizeof rec, kStatHeaderSize + k * kStatRecordSize)) return kShortRead;
    const StatRecord r = DecodeStatRecord(rec);
    if (r.initTime[0] == '\0') {
      empty = k;
      break;
    }
    if (std::strcmp(r.initTime, run_.initTime) < 0 && (oldest == 0 || r.initTime < oldestTime)) {
      oldest = k;
      oldestTime = r.initTime;
    }
  }
  const int slot = empty != 0 ? empty : (oldest != 0 ? oldest : 1);
  EncodeStatRecord(run_, rec);
  if (!WriteAt(file.get(), rec, sizeof rec, kStatHeaderSize + slot * kStatRecordSize)) return kShortWrite;
  saved_ = true;
  return 0;
}

void StatisticsFile::Error(int status) {
  switch (status) {
    case -216: ++run_.noFeedErrors; return;
    case -217: ++run_.doubleFeedErrors; return;
    case -220: ++run_.paperJamErrors; return;
    case -607: ++run_.imageTooLongErrors; return;
    default: break;
  }
  if (status >= 0 || status == -212) return;
  run_.errorRing[static_cast<uint32_t>(run_.otherErrors) % 32] = status;
  ++run_.otherErrors;
}

void StatisticsFile::Image(int bits) {
  switch (bits) {
    case 1: ++run_.gray1Images; break;
    case 4: ++run_.gray4Images; break;
    case 8: ++run_.gray8Images; break;
    case 24: ++run_.colorImages; break;
    default: break;
  }
  ++run_.totalImages;
}

void StatisticsFile::Micr(int status) {
  if (status >= 0 && status <= 3) ++run_.micr[3 - status];
}

void StatisticsFile::Endorse() { ++run_.endorsePrints; }

void StatisticsFile::Density(int bin) {
  if (bin >= 0 && bin < 256) ++run_.density[bin];
}

StatisticsFile& StatisticsService() {
  static StatisticsFile service;
  return service;
}

int funcStatisticsInit(int family) { return StatisticsService().Init(family); }
int funcStatisticsSave(int family) { return StatisticsService().Save(family); }
int funcStatisticsImage(int bitsPerPixel) { StatisticsService().Image(bitsPerPixel); return 0; }
int funcStatisticsError(int code) { StatisticsService().Error(code); return 0; }
int funcStatisticsMICR(int status) { StatisticsService().Micr(status); return 0; }
int funcStatisticsEndorse() { StatisticsService().Endorse(); return 0; }
int funcStatisticsDensity(int bin) { StatisticsService().Density(bin); return 0; }

}  // namespace zarn
