// The decoder's pipeline: classification, conditioning, repacking, character finding, both tries per
// character, assembly in reading order, the merge of the two tries and the transit repair.
#include "analysis/micr/decoder.h"

#include <algorithm>
#include <cstring>

#include "analysis/micr/classifiers.h"
#include "analysis/micr/debug_logs.h"
#include "analysis/micr/line_rules.h"
#include "analysis/services.h"

namespace analysis::micr {

namespace {

constexpr int kInfoOk = 200;
constexpr int kInfoFamily = 30;
constexpr int32_t kFrontColour = 119;
constexpr int32_t kRearColour = 126;
constexpr int kClassifierBaseline = 127;
constexpr std::size_t kRepackWords = 131072 / 2;
constexpr int kMaxRead = 100;
constexpr int kGap = 350;
constexpr int kStartNoise = 500;

bool At(std::string_view s, std::size_t i, char c) {
  return i < s.size() && s[i] == c;
}

constexpr int kDumpThrough = 209;  // the sample dump runs past the character up to this index
constexpr int kDumpPeaks = 8;

// The record's peaks, one line each, at most eight.
void LogPeaks(const MicrLogs& logs, const MicrCharRecord& r) {
  for (int k = 0; k < std::min(r.PeakCount(), kDumpPeaks); ++k) {
    const auto i = static_cast<std::size_t>(k);
    logs.funcMicrResultLog(
        Format("iPeak = %5d, iHeight = %5d, iWidth = %5d", r.iPeak[i], r.iHeight[i], r.iWidth[i]));
  }
}

// A doubtful record in full: its samples (past its end up to the dump's last index), its fields and
// peaks to the result log, and its short summary to all three logs (each behind its own switch).
void LogRecordDump(const MicrLogs& logs, const MicrCharRecord& r, const SignalView& view, int index,
                   int signalValue) {
  const auto sample = [&](int i) {
    const int level = view.Level(static_cast<int64_t>(r.iCharOffset) + i);
    logs.funcMicrResultLog(Format("pbInputBuffer[%5d] = %7d, %7d", i, level, level - kClassifierBaseline));
  };
  if (logs.TextLogsOn()) {
    int i = 0;
    for (; i < r.iCharWidth; ++i) sample(i);
    logs.funcMicrResultLog("---------------------");
    for (; i <= kDumpThrough; ++i) sample(i);
    logs.funcMicrResultLog(Format("cChar = %c, bChar = %5d, iCharWidth = %5d, iCharOffset = %5d", r.cChar,
                                  r.bChar, r.iCharWidth, r.iCharOffset));
    LogPeaks(logs, r);
  }
  const std::string summary = Format("%04d:  %c  %2d %10d", index, r.cChar, r.bChar, signalValue);
  logs.funcMicrTempLog(summary);
  logs.funcMicrTestLog(summary);
  logs.funcMicrResultLog(summary);
}

}  // namespace

ScannerClasses ClassifyScanner(Services& services) {
  ScannerClasses c;
  ScannerInquiry inquiry;
  const int32_t info = services.QV600GetScannerInfo(inquiry, false);
  if (info != kInfoOk && info != kInfoFamily) return c;
  c = ScannerClasses{3, 3};
  // The scan stops at the end of the text: nothing past it is read.
  const std::string_view product(inquiry.product.c_str());
  for (std::size_t i = 0; i < product.size(); ++i) {
    if (At(product, i, 'R') && At(product, i + 3, '7')) {
      c.modelClass = 8;
      if (At(product, i + 4, '0')) c.rateClass = 8;
      break;
    }
    if (!At(product, i, '6') && !At(product, i, '8')) continue;
    const char next = i + 1 < product.size() ? product[i + 1] : '\0';
    if (product[i] == '6' && next == '0') {
      c.modelClass = 2;
      if (At(product, i + 2, '0')) c.rateClass = 2;
      if (At(product, i + 2, '5')) c.rateClass = 4;
      break;
    }
    int rate = 0;
    if (product[i] == '6' && next == '2') rate = 5;
    if (product[i] == '6' && next == '3') rate = 6;
    if (product[i] == '6' && next == '4') rate = 9;
    if (product[i] == '8' && next == '4') rate = 7;
    if (rate == 0) continue;
    const std::string serial = services.QV600GetScannerSerialNumber();
    c.modelClass = 3;
    // A serial number shorter than six characters has no sixth to select the fast QV620.
    c.rateClass = rate != 5 ? rate : (serial.size() >= 6 && serial[5] == '2' ? 5 : 3);
    break;
  }
  return c;
}

struct MagneticDecoder::Work {
  bool classified = false;
  ScannerClasses classes;
  MicrConditioner conditioner;
  std::vector<uint16_t> repacked = std::vector<uint16_t>(kRepackWords);
  std::array<MicrCharRecord, kMaxRecords> records{};
  std::array<char, kMaxRead> signalChar{};
  std::array<char, kMaxRead> signalDigit{};
  int32_t documentCounter = 0;
  int32_t dumpCounter = 0;
  bool tempFlag = false;
};

MagneticDecoder::MagneticDecoder() : work_(std::make_unique<Work>()) {}
MagneticDecoder::~MagneticDecoder() = default;

bool MagneticDecoder::classified() const {
  std::lock_guard lock(decodeMutex_);
  return work_->classified;
}

ScannerClasses MagneticDecoder::classes() const {
  std::lock_guard lock(decodeMutex_);
  return work_->classes;
}

namespace {

struct SetUp {
  int preset, rate, direction, maximum;
};

SetUp SetUpFor(ScannerClasses c, bool colour) {
  if (c.rateClass == 8) return {8, colour ? 54000 : 55800, 0, 65535};
  if (c.rateClass == 9) return {c.modelClass, 56065, 0, 4132};
  if (c.rateClass == 7) return {c.modelClass, 50000, 2, 4132};
  return {c.modelClass, 50000, 0, 4132};
}

Repacking RepackingFor(ScannerClasses c, int32_t front, int32_t rear) {
  const bool colour = front != 0 || rear != 0;
  if (c.rateClass == 8) return Repacking::kNone;
  if (c.rateClass == 2 || c.rateClass == 4) return Repacking::kFiveForFour;
  const bool fast = c.rateClass == 6 || c.rateClass == 7;
  if (c.modelClass == 3 && colour && !fast && c.rateClass != 9) return Repacking::kFourForThree;
  if (c.modelClass == 3 && fast && (front == 2 || rear == 2)) return Repacking::kTwoForThree;
  return Repacking::kNone;
}

}  // namespace

int32_t MagneticDecoder::Decode(uint16_t* samples, int32_t byteCount, char* codeLine, char* confidence) {
  if (codeLine == nullptr || confidence == nullptr) return 0;
  std::memset(codeLine, 0, 2);
  std::memset(confidence, 0, 2);
  std::lock_guard decodeLock(decodeMutex_);
  Work& w = *work_;
  Services& services = CurrentServices();
  MicrLogs logs(services);
  logs.documentCounter = w.documentCounter;
  logs.dumpCounter = w.dumpCounter;
  logs.tempFlag = w.tempFlag;

  if (!w.classified) {
    w.classes = ClassifyScanner(services);
    w.classified = true;
  }
  const int32_t front = services.ZARNGetParam(kFrontColour);
  const int32_t rear = services.ZARNGetParam(kRearColour);
  const SetUp setUp = SetUpFor(w.classes, front != 0 || rear != 0);

  const int64_t bytes = samples != nullptr ? std::max<int32_t>(byteCount, 0) : 0;
  const int count = static_cast<int>(bytes / 2);
  int64_t length = bytes * kConditionedRate / setUp.rate;  // 64-bit: the product outgrows 32 bits
  if (count > 0) {
    w.conditioner.funcMicrSetup(setUp.preset, 2, 0, setUp.maximum, setUp.rate, setUp.direction);
    const int conditioned = w.conditioner.funcMicrConditionSamples(samples, count, 2, 0, 0);
    w.conditioner.funcMicrRelease();
    // Only what conditioning produced is analysed.
    length = std::min<int64_t>(length, 2LL * (conditioned > 0 ? conditioned : std::min(count, kMaxConditionedSamples)));
  }
  const auto inputWords = static_cast<std::size_t>(std::max<int64_t>(length / 2, 0));
  const std::size_t words =
      Repack(std::span<const uint16_t>(samples, samples != nullptr ? inputWords : 0),
             RepackingFor(w.classes, front, rear), w.repacked);
  const std::span<const uint16_t> signal(w.repacked.data(), words);

  // Analysis.
  ++w.dumpCounter;
  logs.dumpCounter = w.dumpCounter;
  KeptResults fresh;
  w.records.fill(MicrCharRecord{});
  w.signalChar.fill(0);
  w.signalDigit.fill(0);
  if (services.ZARNGetParam(MicrLogs::kVerifyLogParam) & MicrLogs::kDumpBit) logs.RawDump(signal);

  const bool narrow = w.classes.rateClass == 5 || w.classes.rateClass == 8 || w.classes.rateClass == 9;
  const int found = signal.empty() ? 0 : funcMicrFindCharacters(w.records, signal, narrow, services);
  const SignalView view(signal, kClassifierBaseline);
  int read = 0;
  for (; read < found && read < kMaxRead && w.records[static_cast<std::size_t>(read)].iCharOffset != 0; ++read) {
    MicrCharRecord& r = w.records[static_cast<std::size_t>(read)];
    funcMICRConfidence(r, view, kClassifierBaseline, &logs);
    const char peaksChar = r.cChar;
    int best = -1;
    char bestChar = '@';
    if (r.iConf == 9) {
      best = IsItAMICR(r, view, kClassifierBaseline, &logs);
      bestChar = peaksChar;
    }
    if (r.iConf < 9 || best < 90) {
      std::array<int, 14> scores{};
      for (std::size_t i = 0; i < scores.size(); ++i) {
        r.cChar = kE13bSymbols[i];
        scores[i] = IsItAMICR(r, view, kClassifierBaseline, &logs);
      }
      r.cChar = peaksChar;
      const SignalChoice choice = ChooseSignal(scores);
      bestChar = choice.symbol;
      best = choice.score;
    }
    const auto ri = static_cast<std::size_t>(read);
    w.signalChar[ri] = bestChar;
    w.signalDigit[ri] = SignalChoice{bestChar, best}.Digit();
    const char peaksDigit = static_cast<char>('0' + r.iConf);
    if (peaksDigit != '9' || w.signalDigit[ri] != '9') {
      w.tempFlag = true;
      logs.tempFlag = true;
    }
    if (logs.TextLogsOn()) {
      const std::string line = Format("%04d:  %c  %2d %10d szConf= %c sz2Conf = %c, iCharOffset = %d", read,
                                      r.cChar, r.bChar, w.signalDigit[ri] - '0', peaksDigit, w.signalDigit[ri],
                                      r.iCharOffset);
      logs.funcMicrTestLog(line);
      logs.funcMicrResultLog(line);
    }
    if ((peaksDigit != '9' || w.signalDigit[ri] != '9') && (logs.TextLogsOn() || logs.TempLogOn()))
      LogRecordDump(logs, r, view, read, w.signalDigit[ri] - '0');
  }

  // Assembly in reading order: the conditioned signal runs from the last character to the first.
  int n = 0;
  const auto offset = [&](int r) { return w.records[static_cast<std::size_t>(r)].iCharOffset; };
  const auto put = [&](int pos, char pc, char pd, uint32_t at, char sc, char sd) {
    const auto p = static_cast<std::size_t>(pos);
    fresh.peaksLine[p] = pc, fresh.peaksConf[p] = pd, fresh.table[p] = at;
    fresh.signalLine[p] = sc, fresh.signalConf[p] = sd;
  };
  const auto weakLast = [&] {
    return w.records[0].iConf < 8 && w.signalDigit[0] < '9';
  };
  bool dropLast = false;
  for (int r = read - 1; r >= 0 && n < kMaxFromRecords; --r) {
    if (n == 0 && r != 0 && offset(r) > offset(r - 1) + kStartNoise) continue;
    if (r == 0 && (dropLast || (read > 1 && offset(1) >= offset(0) + kStartNoise + 1 && weakLast()))) continue;
    const MicrCharRecord& rec = w.records[static_cast<std::size_t>(r)];
    const auto ri = static_cast<std::size_t>(r);
    const bool first = n == 0;
    put(n++, rec.cChar, static_cast<char>('0' + rec.iConf), static_cast<uint32_t>(rec.iCharOffset),
        w.signalChar[ri], w.signalDigit[ri]);
    if (first || r == 0 || offset(r) <= offset(r - 1) + kGap) continue;
    if (r == 1 && weakLast()) {
      dropLast = true;
    } else {
      put(n++, ' ', '9', static_cast<uint32_t>(offset(r - 1) + 200), ' ', '9');
    }
  }

  // Before the merge the caller's line holds the first try's characters and digits.
  if (logs.TextLogsOn()) {
    logs.funcMicrResultLog(Format("iCodes = %d", static_cast<int>(words * 2)));
    for (int twice = 0; twice < 2; ++twice) {
      logs.funcMicrResultLog(Format("\nszMICR = %s\n", fresh.peaksLine.data()));
      logs.funcMicrResultLog(Format("szConf = %s\n", fresh.peaksConf.data()));
    }
    logs.funcMicrResultLog(Format("\nsz2MICR = %s\n", fresh.signalLine.data()));
    logs.funcMicrResultLog(Format("sz2Conf = %s\n", fresh.signalConf.data()));
  }

  // Merge: the try with the higher confidence wins; neither sure enough gives a reject.
  std::array<char, kLineBuffer> merged{};
  for (std::size_t p = 0; p < static_cast<std::size_t>(n); ++p)
    merged[p] = MergeCharacter(fresh.peaksLine[p], fresh.peaksConf[p], fresh.signalLine[p], fresh.signalConf[p]);
  RepairTransit(merged, n, fresh.peaksConf[0], fresh.signalConf[0]);
  std::memcpy(codeLine, merged.data(), static_cast<std::size_t>(n) + 1);
  std::memcpy(confidence, fresh.peaksConf.data(), static_cast<std::size_t>(n) + 1);

  if (logs.TextLogsOn()) {
    logs.funcMicrResultLog(Format("iCodes = %d", static_cast<int>(words * 2)));
    logs.funcMicrResultLog(Format("\nTRY2: PEAKS  szMICR  = %s\n", merged.data()));
    logs.funcMicrResultLog(Format("TRY2: PEAKS  szConf  = %s\n", fresh.peaksConf.data()));
    logs.funcMicrResultLog(Format("\nTRY2: SIGNAL sz2MICR = %s\n", fresh.signalLine.data()));
    logs.funcMicrResultLog(Format("TRY2: SIGNAL sz2Conf = %s\n", fresh.signalConf.data()));
    // Dist runs to the next record found; the last one's successor is the empty record (offset 0).
    for (int r = 0; r < read; ++r) {
      const MicrCharRecord& rec = w.records[static_cast<std::size_t>(r)];
      logs.funcMicrResultLog(Format("cC = %c, bC = %2d, iCW = %4d, iCOffset = %5d, Dist = %5d", rec.cChar,
                                    rec.bChar, rec.iCharWidth, rec.iCharOffset,
                                    offset(r + 1) - rec.iCharOffset));
      LogPeaks(logs, rec);
    }
  }
  {
    std::lock_guard resultsLock(resultsMutex_);
    kept_ = fresh;
  }
  ++w.documentCounter;
  return n;
}

int32_t MagneticDecoder::CopyResults(char* peaksLine, char* peaksConf, uint8_t* table, char* signalLine,
                                     char* signalConf) const {
  std::lock_guard lock(resultsMutex_);
  if (peaksLine != nullptr) std::memcpy(peaksLine, kept_.peaksLine.data(), kLineBuffer);
  if (peaksConf != nullptr) std::memcpy(peaksConf, kept_.peaksConf.data(), kLineBuffer);
  if (signalLine != nullptr) std::memcpy(signalLine, kept_.signalLine.data(), kLineBuffer);
  if (signalConf != nullptr) std::memcpy(signalConf, kept_.signalConf.data(), kLineBuffer);
  if (table != nullptr) {
    for (std::size_t i = 0; i < kept_.table.size(); ++i) {
      const uint32_t v = kept_.table[i];
      for (std::size_t b = 0; b < 4; ++b) table[i * 4 + b] = static_cast<uint8_t>(v >> (8 * b));
    }
  }
  return static_cast<int32_t>(strnlen(kept_.peaksLine.data(), kLineBuffer));
}

KeptResults MagneticDecoder::Results() const {
  std::lock_guard lock(resultsMutex_);
  return kept_;
}

std::unique_ptr<MagneticDecoder> OpenMagneticDecoder() {
  return std::make_unique<MagneticDecoder>();
}

MagneticDecoder& DefaultMagneticDecoder() {
  static MagneticDecoder decoder;
  return decoder;
}

int32_t funcDecodeMagneticMICR(MagneticDecoder& decoder, uint16_t* samples, int32_t byteCount, char* codeLine,
                               char* confidence) {
  return decoder.Decode(samples, byteCount, codeLine, confidence);
}

int32_t funcDecodeMagneticMICR(uint16_t* samples, int32_t byteCount, char* codeLine, char* confidence) {
  return DefaultMagneticDecoder().Decode(samples, byteCount, codeLine, confidence);
}

int32_t funcGetMagneticMICRResults(const MagneticDecoder& decoder, char* peaksLine, char* peaksConf,
                                   uint8_t* characterTable, char* signalLine, char* signalConf) {
  return decoder.CopyResults(peaksLine, peaksConf, characterTable, signalLine, signalConf);
}

int32_t funcGetMagneticMICRResults(char* peaksLine, char* peaksConf, uint8_t* characterTable, char* signalLine,
                                   char* signalConf) {
  return DefaultMagneticDecoder().CopyResults(peaksLine, peaksConf, characterTable, signalLine, signalConf);
}

SignalChoice ChooseSignal(std::span<const int, 14> scores) {
  int best = -1, second = -1;
  char symbol = '@';
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (scores[i] > best) {
      second = best;
      best = scores[i];
      symbol = kE13bSymbols[i];
    } else if (scores[i] > second) {
      second = scores[i];
    }
  }
  if (best < 50) return {'@', 0};
  if (best - second < 16) best /= 2;
  return {symbol, best};
}

char MergeCharacter(char peaksChar, char peaksDigit, char signalChar, char signalDigit) {
  if (peaksDigit <= signalDigit && signalDigit >= '4') return signalChar;
  if (peaksDigit > signalDigit && peaksDigit >= '5') return peaksChar;
  return '@';
}

void RepairTransit(std::span<char> line, int length, char peaksDigit, char signalDigit) {
  if (length <= 11 || line.size() < 11) return;
  if (line[0] != ':' && line[10] == ':' && (line[0] == '4' || (peaksDigit < '8' && signalDigit < '8')))
    line[0] = ':';
}

uint32_t TableEntry(std::span<const uint8_t> table, int n) {
  const auto at = static_cast<std::size_t>(n) * 4;
  if (n < 0 || at + 4 > table.size()) return 0;
  return static_cast<uint32_t>(table[at]) | static_cast<uint32_t>(table[at + 1]) << 8 |
         static_cast<uint32_t>(table[at + 2]) << 16 | static_cast<uint32_t>(table[at + 3]) << 24;
}

}  // namespace analysis::micr
