// The verified scan.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/vekscan/vekscan.h"
#include "imaging/image_record.h"

namespace analysis::vekscan {
namespace {

constexpr int kNoMemory = -106;
constexpr int kDoubleFeed = -217;
constexpr size_t kImageBuffer = 4'500'000;
constexpr size_t kLargeImageBuffer = 11'500'000;
constexpr size_t kWorkBuffer = 250'000;
constexpr size_t kLargeWorkBuffer = 500'000;
constexpr int kMaxErrors = 4;
constexpr int kNoScore = 32000;

struct Block {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  std::span<uint8_t> all() const { return {data.get(), size}; }
};

struct WorkBuffers {
  Block front, rear, third, work;
  void Release() { *this = WorkBuffers{}; }
};
WorkBuffers g_buffers;
char g_ocrLine[kTextRoom] = {};
char g_ocrConfidence[kTextRoom] = {};

void Copy(char* dst, size_t room, const char* src) {
  if (dst == nullptr || room == 0) return;
  const size_t n = src == nullptr ? 0 : strnlen(src, room - 1);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}
template <size_t N>
void Copy(char (&dst)[N], const char* src) {
  Copy(dst, N, src);
}

bool Given(const char* name) { return name != nullptr && name[0] != '\0'; }

// The record at the start of a block, as far as its header says and the block holds.
std::span<uint8_t> RecordIn(const Block& b) {
  if (b.data == nullptr) return {};
  const int64_t size = funcImageRecordSize(b.data.get());
  return {b.data.get(), static_cast<size_t>(std::clamp<int64_t>(size, 0, static_cast<int64_t>(b.size)))};
}

bool HasImage(const Block& b) {
  const auto view = zc::imaging::CheckRecord(RecordIn(b));
  return view && view->header.width > 0 && view->header.height > 0;
}

// One try's outcome.
struct Grade {
  int score = 0;
  int defects = 0;
  int32_t results[zarn::kIqaResultsCount] = {};
};

// The settings of one call, read once.
struct Settings {
  int32_t options = 0;
  int micrFont = 0;
  bool dpi300 = false;
  bool frontGray = true;
  int32_t tests = 0;
  int maxSpeckles = 0;
  int minMicrQuality = 0;
  int maxBentCorner = 0;
  int maxRawDensity = 0;
  int maxTiffKb = 0;
  bool opticalCheck = true;  // false on the CMC-7 paths, where the score of the check is 0
};

// Entry options that leave a term out of the grading.
constexpr int32_t kNoSpeckles = 2, kNoCorners = 8, kNoLines = 16, kNoDensity = 64;

void ScoreTry(const Settings& s, int32_t exempt, Grade& g) {
  const int32_t* r = g.results;
  auto scaled = [&](int64_t limit) {
    if (r[24] != 0 && r[24] != 200) return limit * r[24] / 200;
    return limit;
  };
  if (r[0] != 0) g.score += 256;
  if (!(exempt & kNoSpeckles) && r[1] >= s.maxSpeckles / 2) g.score += r[1] / 20;
  if (r[2] < 0) g.defects += 128;
  if (r[3] > 0) g.defects += 256;
  if (!(exempt & kNoCorners)) {
    const int64_t limit = scaled(s.maxBentCorner);
    if (std::any_of(r + 4, r + 8, [&](int32_t v) { return v >= limit; })) g.defects += 256;
  }
  if (r[8] != 0) g.defects += 256;
  if (r[9] < s.minMicrQuality && (s.tests & 0x200)) g.score += 256;
  if (!(exempt & kNoDensity)) {
    if (r[10] > s.maxRawDensity) {
      g.score += 512;
    } else if (r[10] < 3 && (s.tests & 0x800)) {
      g.score += 256;
    }
    if (!s.frontGray && r[11] > scaled(int64_t{s.maxTiffKb} * 1024)) g.score += 512;
  }
  if (!(exempt & kNoLines) && r[20] > 0) g.score += 256;
}

class Scan {
 public:
  Scan(ScanCalls& calls, const zarn::VEKScanRequest& request) : c_(calls), q_(request) {}
  ~Scan() {
    // Two-pass mode changes the scan mode and the magnetic gain; every return leaves them as they were.
    if (twoPass_) {
      c_.SetParam(191, 1);
      c_.SetParam(193, 100);
    }
  }
  int Run();

 private:
  int32_t P(int id) { return c_.GetParam(id); }
  void Log(const char* format, auto... args) {
    if (c_.TraceLevel() == 0) return;
    char text[600];
    std::snprintf(text, sizeof text, format, args...);
    c_.Log(text);
  }
  int Fail(int code, const char* line) {
    c_.FerloReportError(code, line);
    return code;
  }
  int Buffers();
  int EnsureWorkRoom();
  void UpsideDown();
  int Outputs();
  int Output(std::span<uint8_t> record, const char* name, bool colour);
  int RearBw();
  int Sweep();
  int Entry(const zarn::VEKScanExpectEntry& e);
  void Check(std::span<uint8_t> bw, const char* file, Grade& g);
  void Results(bool afterSweep);
  int TwoPass(int path);
  iqa::IqaTestArgs Args() const {
    iqa::IqaTestArgs a;
    a.mask = static_cast<uint32_t>(s_.tests);
    a.speckleLimit = s_.maxSpeckles;
    a.minMicrQuality = s_.minMicrQuality;
    a.cornerLimit = s_.maxBentCorner;
    a.codeLine = final_;
    a.text2 = readerLine_;
    a.confidence = opticalConfidence_;
    return a;
  }
  void Keep(const Grade& g, int value) {
    if (g.score == 0 || g.score < best_.score) {
      best_ = g;
      bestValue_ = value;
    }
  }

  ScanCalls& c_;
  const zarn::VEKScanRequest& q_;
  Settings s_;
  int start_ = 450, end_ = 1000, step_ = 150;
  unsigned mode_ = 83;
  int grayFormat_ = 4;
  bool twoPass_ = false;
  bool doubleFeed_ = false;
  bool upsideDown_ = false;
  bool few_cmc7_ = false;
  int update_ = 0;
  int baseDefects_ = 0;
  Grade best_;
  int bestValue_ = 0;
  int status_ = 0;
  int32_t rearDensity_ = 0, rearEndorsement_ = 0;
  char magnetic_[kTextRoom] = {};
  char final_[kTextRoom] = {};
  char optical_[kTextRoom] = {};
  char opticalConfidence_[kTextRoom] = {};
  char readerLine_[kTextRoom] = {};
  char readerConfidence_[kTextRoom] = {};
};

int Allocate(ScanCalls& calls, Block& b, size_t bytes) {
  if (b.data != nullptr && b.size >= bytes) return 0;
  b = Block{};
  b.data = calls.Allocate(bytes);
  if (b.data == nullptr) return kNoMemory;
  b.size = bytes;
  return 0;
}

int Scan::Buffers() {
  // A colour side needs the larger buffers as well: a 24-bit 300-dpi business cheque is about 8.4 MB.
  const int32_t model = P(167);
  const bool large = model == 30 || model == 240;
  const bool colour = P(119) != 0 || P(126) != 0;
  const size_t image = large || colour ? kLargeImageBuffer : kImageBuffer;
  const size_t work = large ? kLargeWorkBuffer : kWorkBuffer;
  if (Allocate(c_, g_buffers.front, image) != 0 || Allocate(c_, g_buffers.rear, image) != 0 ||
      Allocate(c_, g_buffers.third, image) != 0 || Allocate(c_, g_buffers.work, work) != 0) {
    g_buffers.Release();
    return kNoMemory;
  }
  return 0;
}

// The 1-bit renderings go to the work buffer: it grows to hold the front the scan delivered.
int Scan::EnsureWorkRoom() {
  const auto front = zc::imaging::CheckRecord(RecordIn(g_buffers.front));
  if (!front) return 0;
  const size_t need = zc::imaging::kRecordHeaderBytes +
                      static_cast<size_t>((front->header.width + 7) / 8) * static_cast<size_t>(front->header.height);
  if (Allocate(c_, g_buffers.work, std::max(need, g_buffers.work.size)) != 0) {
    g_buffers.Release();
    return kNoMemory;
  }
  return 0;
}

void Scan::UpsideDown() {
  if (!(s_.options & 0x400) || s_.micrFont == 0) return;
  int valid = 0, rejects = 0;
  for (const char* p = magnetic_; *p != '\0'; ++p) {
    rejects += *p == '@';
    valid += *p != '@' && *p != ' ';
  }
  if (!((valid < 9 || rejects >= 6) && valid < 20)) return;
  if (c_.ConvGrayImageEdgeDetectBW(RecordIn(g_buffers.front), nullptr, 600, 83, g_buffers.work.all()) < 0) return;
  char line[kTextRoom] = {};
  char confidence[kTextRoom] = {};
  if (c_.OcrRawImageRotated(RecordIn(g_buffers.work), line, confidence) != 0) return;
  int good = 0, bad = 0;
  for (size_t i = 0; line[i] != '\0'; ++i) {
    if (line[i] == ' ') continue;
    const char conf = confidence[i];
    if (line[i] != '@' && conf > '1') {
      ++good;
    } else {
      ++bad;
    }
  }
  if (good >= 10 && bad < 3) {
    upsideDown_ = true;
    funcRotate180(RecordIn(g_buffers.front));
    funcRotate180(RecordIn(g_buffers.rear));
  }
}

int Scan::Output(std::span<uint8_t> record, const char* name, bool colour) {
  if (s_.options & 0x80) {
    // The caller passed a buffer in place of the name.
    if (name != nullptr) std::memcpy(const_cast<char*>(name), record.data(), record.size());
    return 0;
  }
  if (!Given(name)) return 0;
  if (s_.options & 0x20) {
    if (!s_.frontGray) return 0;
    const int rc = c_.ConvGrayArea(record, name, (s_.options & 0x10) ? 512 : 0);
    return rc < 0 ? Fail(rc, final_) : 0;
  }
  if (colour) {
    const int rc = c_.CompressImageGray(name, record, grayFormat_);
    return rc < 0 ? Fail(rc, final_) : 0;
  }
  // A gray side is scaled to the JPEG resolution first.
  const int target = P(150);
  const bool sixth = (s_.options & 0x1000) != 0, fifth = (s_.options & 0x200) != 0;
  bool scale = true;
  Scaling kind = Scaling::k200To100;
  switch (target) {
    case 100: kind = s_.dpi300 && sixth ? Scaling::k300To100 : Scaling::k200To100; break;
    case 120:
      kind = !s_.dpi300 ? Scaling::k200To120 : (fifth ? Scaling::k200To100 : Scaling::k300To120);
      break;
    case 200:
      scale = s_.dpi300 && !sixth;
      kind = Scaling::k300To200;
      break;
    case 300: scale = false; break;
    default: return 0;
  }
  std::span<const uint8_t> source = record;
  if (scale) {
    const int rc = c_.Scale(kind, record, g_buffers.third.all());
    if (rc < 0) return Fail(rc, final_);
    source = RecordIn(g_buffers.third);
  }
  const int rc = c_.CompressImageGray(name, source, grayFormat_);
  return rc < 0 ? Fail(rc, final_) : 0;
}

int Scan::Outputs() {
  int rc = Output(RecordIn(g_buffers.front), q_.frontImage, !s_.frontGray);
  if (rc < 0) return rc;
  return Output(RecordIn(g_buffers.rear), q_.rearImage, P(126) != 0);
}

int Scan::RearBw() {
  if (!Given(q_.rearBwTiff)) return 0;
  const std::span<uint8_t> rear = RecordIn(g_buffers.rear);
  int rc = 0;
  if ((s_.options & 0x2000) && s_.frontGray) {
    rc = c_.ConvImageToFile(rear, (16 - P(12)) * 16, q_.rearBwTiff);
  } else {
    int contrast = P(200);
    if (contrast == 0) contrast = (start_ + end_) / 2;
    rc = c_.EdgeDetectBW(rear, q_.rearBwTiff, contrast, 87 + ((s_.options & 0x10) ? 512 : 0));
  }
  if (rc < 0) return Fail(rc, final_);
  if (s_.options & 0x100) {
    const auto h = rear.size() >= 8 ? zc::imaging::ReadRecordHeader(rear.data()) : zc::imaging::RecordHeader{};
    iqa::IqaTestArgs a;
    a.mask = 0xC00;
    a.speckleLimit = 2000;
    a.minMicrQuality = 0;
    a.cornerLimit = 250;
    a.endFirst = 100;
    a.endEnd = h.height - 200;
    a.charHeight = 21;
    a.minCount = 8;
    int32_t results[zarn::kIqaResultsCount] = {};
    c_.IQAStatusEx(q_.rearBwTiff, 0, a, results);
    rearDensity_ = results[10];
    rearEndorsement_ = results[27];
  }
  return 0;
}

// The code-line check of one rendering, then its grading.
void Scan::Check(std::span<uint8_t> bw, const char* file, Grade& g) {
  g = Grade{};
  g.defects = baseDefects_;
  if (s_.opticalCheck) {
    const int r = file != nullptr ? c_.OcrTiffImage(file, optical_, opticalConfidence_)
                                  : c_.OcrRawImage(bw, optical_, opticalConfidence_);
    if (r != 0) {
      g.score = 8192;
      Copy(final_, magnetic_);
    } else {
      c_.CombineMICR(magnetic_, optical_, opticalConfidence_, final_, kMaxErrors);
    }
  }
  const iqa::IqaTestArgs args = Args();
  if (file != nullptr) {
    c_.IQAStatusEx(file, update_, args, g.results);
  } else {
    c_.IQAStatusMem(bw, update_, args, g.results);
  }
}

int Scan::Sweep() {
  const char* name = q_.frontBwTiff;
  const std::span<uint8_t> front = RecordIn(g_buffers.front);
  const char* fileToRead = s_.frontGray ? nullptr : name;
  Grade g;
  int lastValue = start_;
  g.score = -1;
  // The start is always tried, also when it lies above the end: every document gets its own rendering.
  for (int contrast = start_; (contrast <= end_ || contrast == start_) && g.score != 0; contrast += step_) {
    Log("VEKScanFront ContrastEdge %d, (%d) MVer %d", contrast, step_, kMaxErrors);
    if (s_.frontGray) {
      const int rc = c_.ConvGrayImageEdgeDetectBW(front, name, contrast, mode_, g_buffers.work.all());
      if (rc < 0) {
        Log("1Abnormal Termination from EdgeDetectBWEx %d", rc);
        return Fail(rc, final_);
      }
    } else {
      const int rc = c_.EdgeDetectBW(front, name, contrast, mode_);
      if (rc < 0) return Fail(rc, final_);
    }
    Check(RecordIn(g_buffers.work), fileToRead, g);
    Log("VEKScanFront ContrastEdge %d, iIQAStatus %x", contrast, static_cast<unsigned>(g.results[0]));
    ScoreTry(s_, 0, g);
    Keep(g, contrast);
    lastValue = contrast;
    Log("VEKScanFront ContrastEdge %d, iImageQuality %d", contrast, g.score);
    if (!(s_.options & 1)) break;
  }
  if ((s_.options & 2) && g.score != 0 && s_.frontGray) {
    Log("VEKScanFront SimpleThresholding");
    const int threshold = P(11);
    const int rc = c_.ConvGrayToBW(front, (16 - threshold) * 16, g_buffers.work.all());
    if (rc < 0) return Fail(rc, final_);
    Check(RecordIn(g_buffers.work), nullptr, g);
    ScoreTry(s_, 0, g);
    Keep(g, threshold);
    lastValue = threshold;
    Log("VEKScanFront SimpleThresholding -- ImageQuality %d\n", g.score);
  }
  if (bestValue_ != lastValue) {
    Log("VEKScan Best Image iBestContrast %d", bestValue_);
    Grade again;
    if (bestValue_ >= 0 && bestValue_ <= 15) {
      const int rc = c_.ConvGrayToBW(front, (16 - bestValue_) * 16, g_buffers.work.all());
      if (rc < 0) return Fail(rc, final_);
    } else {
      const int rc = s_.frontGray
                         ? c_.ConvGrayImageEdgeDetectBW(front, name, bestValue_, mode_, g_buffers.work.all())
                         : c_.EdgeDetectBW(front, name, bestValue_, mode_);
      if (rc < 0) {
        Log("2Abnormal Termination from EdgeDetectBWEx %d", rc);
        return Fail(rc, final_);
      }
    }
    Check(RecordIn(g_buffers.work), fileToRead, again);
  }
  if (s_.frontGray) {
    const int rc = c_.CompressImage(name, RecordIn(g_buffers.work));
    if (rc < 0) return Fail(rc, final_);
    if (s_.tests & 0x1000) best_.results[11] = static_cast<int32_t>(std::min<int64_t>(funcGetFileSize(name), INT32_MAX));
  }
  return 0;
}

int Scan::Entry(const zarn::VEKScanExpectEntry& e) {
  const char* name = q_.frontBwTiff;
  const std::span<uint8_t> front = RecordIn(g_buffers.front);
  const unsigned mode = mode_ + ((e.Options & 1) ? 512 : 0);
  update_ = (s_.options & 4) || (e.Options & 4) ? 1 : 0;
  int rc = 0;
  if (e.Threshold == 1) {
    rc = c_.EdgeDetectBW(front, name, e.Contrast, mode | (static_cast<unsigned>(e.Min & 0xFF) << 24));
  } else if (e.Threshold == 2 && e.Min >= 51 && e.Min <= 99) {
    std::array<uint32_t, 16> bins{};
    c_.GetHistogram(front, bins);
    uint64_t total = 0;
    for (uint32_t b : bins) total += b;
    const uint64_t target = total * static_cast<uint64_t>(e.Min) / 100;
    uint64_t sum = 0;
    int bin = 15;
    for (; bin >= 3; --bin) {
      sum += bins[static_cast<size_t>(bin)];
      if (c_.TraceLevel() == 2) Log("%2d %8u  %8llu", bin, bins[static_cast<size_t>(bin)], static_cast<unsigned long long>(sum));
      if (sum >= target) break;
    }
    bin = std::max(bin, 3);
    rc = c_.ConvImageToFile(front, (16 - bin) * 16, name);
  } else if (e.Threshold == 2) {
    rc = c_.ConvImageToFile(front, (16 - e.Contrast) * 16, name);
  } else {
    rc = c_.ConvGrayArea(front, name, 128);
  }
  if (rc < 0) return Fail(rc, final_);
  Grade g;
  Check({}, name, g);
  ScoreTry(s_, e.Options, g);
  best_ = g;
  bestValue_ = e.Contrast;
  Log("VEKScanFront ContrastEdge %d, iImageQuality %d", e.Contrast, g.score);
  return 0;
}

void Scan::Results(bool afterSweep) {
  if (doubleFeed_) best_.defects += 256;
  Log(afterSweep ? "Setting Final Image Quality" : "Setting Final ImageQuality");
  status_ = best_.score + best_.defects + (rearDensity_ >= 50 ? 1024 : 0);
  Log(afterSweep ? "Setting Final MICR" : "Setting MICR");
  const char* line = final_;
  if (afterSweep && upsideDown_) {
    line = optical_;
    status_ += 256;
  }
  if (few_cmc7_) status_ += 512;
  Copy(q_.codeLine, q_.codeLineSize, line);
  Log("Setting Final Contrast");
  if (q_.contrast != nullptr) *q_.contrast = bestValue_;
  if (q_.iqaStatus != nullptr) *q_.iqaStatus = status_;
  best_.results[27] = rearEndorsement_;
  best_.results[30] = upsideDown_ ? 1 : 0;
  best_.results[31] = rearDensity_;
  if (q_.documentStatus != nullptr) {
    Log("Setting DocStatus");
    std::copy(best_.results, best_.results + zarn::kIqaResultsCount, q_.documentStatus);
  }
  Copy(g_ocrLine, afterSweep ? optical_ : readerLine_);
  Copy(g_ocrConfidence, opticalConfidence_);
}

int Scan::TwoPass(int path) {
  Log("Two MICR Mode--%d", path);
  c_.SetParam(191, 1);
  c_.SetParam(193, 200);
  char second[kTextRoom] = {};
  const int rc = c_.ScanMemoryGray(g_buffers.front.all(), g_buffers.rear.all(), second);
  c_.SetParam(193, 100);
  if (rc < 0) return Fail(rc, second);
  char secondFinal[kTextRoom] = {};
  Copy(secondFinal, second);
  if (!upsideDown_ && s_.micrFont != 0) c_.CombineMICR(second, optical_, opticalConfidence_, secondFinal, -1);
  if (upsideDown_) return 0;
  char chosen[kTextRoom] = {};
  const int choice = c_.ChooseMICRPass(final_, secondFinal, chosen);
  Copy(q_.codeLine, q_.codeLineSize, chosen);
  Log("Two MICR first [%s] second [%s] chosen [%s]", final_, secondFinal, chosen);
  if (choice == 0) return 0;
  if (s_.micrFont != 0 && best_.results[9] < s_.minMicrQuality) {
    const int quality = c_.VerifyMICRQuality(chosen, readerLine_, opticalConfidence_);
    if (quality >= s_.minMicrQuality) {
      status_ -= 256;
      if (q_.iqaStatus != nullptr) *q_.iqaStatus = status_;
      if (q_.documentStatus != nullptr) q_.documentStatus[9] = quality;
    }
  }
  return 0;
}

int Scan::Run() {
  s_.options = P(156);
  g_ocrLine[0] = g_ocrConfidence[0] = '\0';
  Copy(q_.codeLine, q_.codeLineSize, "");
  const int32_t startParam = P(147), endParam = P(148), stepParam = P(149);
  start_ = startParam >= 200 && startParam <= 1000 ? startParam : 450;
  end_ = endParam >= 200 && endParam <= 1000 ? endParam : 1000;
  step_ = stepParam < 50 ? 150 : stepParam;
  mode_ = 83 + ((s_.options & 0x10) ? 512 : 0) + ((s_.options & 0x40) ? 1024 : 0);
  grayFormat_ = (s_.options & 8) ? 3 : 4;
  if ((s_.options & 8) && P(45) == 0) c_.SetParam(45, 1);
  update_ = (s_.options & 4) ? 1 : 0;
  Log("VEKScan(%s) Opt %d, MICRVerify %d\n", Given(q_.frontBwTiff) ? q_.frontBwTiff : "NO FRONT TIFF IMAGE",
      s_.options, kMaxErrors);
  if (q_.iqaStatus != nullptr) *q_.iqaStatus = -1;

  if (Buffers() != 0) return kNoMemory;

  s_.micrFont = P(2);
  s_.dpi300 = P(6) == 4;
  s_.frontGray = P(119) == 0;
  s_.tests = P(146);
  s_.maxSpeckles = P(151);
  s_.minMicrQuality = P(152);
  s_.maxBentCorner = P(153);
  s_.maxRawDensity = P(154);
  s_.maxTiffKb = P(155);

  if ((s_.options & 0x800) && P(167) == 30 && P(191) < 2 && s_.frontGray) {
    c_.SetParam(191, 2);
    c_.SetParam(193, 100);
    c_.SetParam(194, 0);
    twoPass_ = true;
  }

  // A side the scan does not deliver must not show the last document's image.
  std::memset(g_buffers.front.data.get(), 0, zc::imaging::kRecordHeaderBytes);
  std::memset(g_buffers.rear.data.get(), 0, zc::imaging::kRecordHeaderBytes);
  int rc = c_.ScanMemoryGray(g_buffers.front.all(), g_buffers.rear.all(), magnetic_);
  magnetic_[kTextRoom - 1] = '\0';
  if (rc < 0) {
    if (rc != kDoubleFeed || P(7) != 2) return Fail(rc, magnetic_);
    doubleFeed_ = true;
    // Without the sheets' images there is nothing to render; the double feed is the result.
    if (!HasImage(g_buffers.front)) return Fail(rc, magnetic_);
  }
  if (EnsureWorkRoom() != 0) return kNoMemory;
  Copy(final_, magnetic_);
  // With automatic font the scan just made tells which decoder's line this document carries.
  const bool cmc7 = s_.micrFont == 0 || (s_.micrFont == 2 && !c_.bKRDecodeKept());
  s_.opticalCheck = !cmc7;

  UpsideDown();

  if (cmc7) {
    if (s_.frontGray && s_.dpi300) {
      c_.Cmc7ReadCodeLine(RecordIn(g_buffers.front), readerLine_, readerConfidence_);
      few_cmc7_ = c_.Cmc7Combine(magnetic_, readerLine_, readerConfidence_, final_) == 0;
    }
  }

  if (s_.dpi300 && (s_.options & (0x200 | 0x1000))) {
    const Scaling kind = (s_.options & 0x200) ? Scaling::k300To240 : Scaling::k300To200;
    for (Block* b : {&g_buffers.front, &g_buffers.rear}) {
      const std::span<uint8_t> record = RecordIn(*b);
      rc = c_.Scale(kind, record, record);
      if (rc < 0) return Fail(rc, final_);
    }
  }

  const int32_t sides = P(170);
  for (int side = 0; side < 2; ++side) {
    if (!(sides & (side == 0 ? 1 : 2))) continue;
    VEKScanEndorsement& e = EndorsementRecord(side);
    if (e.format[0] == '\0') continue;
    const std::string text = FormatEndorsement(e.format, e.counter);
    e.counter += e.step;
    c_.VirtualEndorsement(RecordIn(side == 0 ? g_buffers.front : g_buffers.rear), text.c_str(), e);
  }

  if ((rc = Outputs()) < 0) return rc;
  if ((rc = RearBw()) < 0) return rc;

  best_ = Grade{};
  best_.score = kNoScore;
  bestValue_ = start_;
  if (!Given(q_.frontBwTiff)) {
    Copy(final_, magnetic_);
    Results(true);
  } else {
    const auto rear = zc::imaging::CheckRecord(RecordIn(g_buffers.rear));
    const int dpi = rear ? rear->header.dpi : 0;
    if (dpi == 0 || P(192) > rear->header.width * 10 / dpi) baseDefects_ = 256;
    const int index = s_.frontGray ? VEKScanExpectFind(magnetic_) : -1;
    const auto entries = zarn::VEKScanExpectTable().Entries();
    int path = 3;
    if (index >= 0 && static_cast<size_t>(index) < entries.size()) {
      if ((rc = Entry(entries[static_cast<size_t>(index)])) < 0) return rc;
      Results(false);
      path = 1;
    } else {
      if ((rc = Sweep()) < 0) return rc;
      Results(true);
      if (doubleFeed_) return Fail(kDoubleFeed, final_);
      const int again = s_.frontGray ? VEKScanExpectFind(final_) : -1;
      if (again >= 0 && static_cast<size_t>(again) < entries.size()) {
        if ((rc = Entry(entries[static_cast<size_t>(again)])) < 0) return rc;
        Results(false);
        path = 2;
      }
    }
    if (doubleFeed_) return Fail(kDoubleFeed, final_);
    c_.FerloReportDocument(best_.results, status_, bestValue_, optical_, opticalConfidence_, magnetic_, final_);
    Log("VEKScan MICR %s, IQA %d, Contrast %d", final_, status_, bestValue_);
    return twoPass_ ? TwoPass(path) : 0;
  }
  if (doubleFeed_) return Fail(kDoubleFeed, final_);
  c_.FerloReportDocument(best_.results, status_, bestValue_, optical_, opticalConfidence_, magnetic_, final_);
  Log("VEKScan MICR %s, IQA %d, Contrast %d", final_, status_, bestValue_);
  return twoPass_ ? TwoPass(3) : 0;
}

}  // namespace

void VEKScanReleaseMemory() { g_buffers.Release(); }

int VEKScanGetOcrLine(char* line, char* confidence) {
  Copy(line, kTextRoom, g_ocrLine);
  Copy(confidence, kTextRoom, g_ocrConfidence);
  return static_cast<int>(strnlen(g_ocrLine, kTextRoom));
}

BufferSizes HeldBuffers() {
  return {g_buffers.front.size, g_buffers.rear.size, g_buffers.third.size, g_buffers.work.size};
}

int VEKScan(ScanCalls& calls, const zarn::VEKScanRequest& request) { return Scan(calls, request).Run(); }

}  // namespace analysis::vekscan
