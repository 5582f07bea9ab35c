#include "analysis/api_binding.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "analysis/iqa/iqa_status.h"
#include "analysis/iqa/iqa_tests.h"
#include "analysis/services.h"
#include "analysis/micr/combine.h"
#include "analysis/micr/decoder.h"
#include "analysis/micr/verify_state.h"
#include "analysis/ocr/codeline_ocr.h"
#include "analysis/ocr/ocr_state.h"
#include "analysis/optical/cmc7_reader.h"
#include "analysis/vekscan/vekscan.h"
#include "imaging/adaptive_bw.h"
#include "imaging/edge_detect_bw.h"
#include "imaging/endorsement.h"
#include "imaging/fixed_threshold_bw.h"
#include "imaging/histogram.h"
#include "imaging/image_writers.h"
#include "imaging/scalers.h"
#include "zarn/analysis.h"
#include "zarn/api_state.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/ferlo.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/trace.h"

namespace analysis {
namespace {

// The scanner API as analysis sees it.
class ApiServices : public Services {
 public:
  // The table answers before a scanner is started, where ZARNGetParam would refuse.
  int32_t ZARNGetParam(int32_t id) override { return zarn::funcTableGetParam(id); }
  int32_t iApiTraceLevel() override { return zarn::ApiTraceLevel(); }
  void funcLogMessage(std::string_view text) override { zarn::funcLogMessage(std::string(text).c_str()); }
  void funcWriteApiLog(std::string_view text) override { zarn::funcWriteApiLog(std::string(text).c_str()); }
  void funcWriteLocalApiLog(std::string_view text) override {
    zarn::funcWriteLocalApiLog(std::string(text).c_str());
  }
  int32_t QV600GetScannerInfo(ScannerInquiry& inquiry, bool show) override {
    unsigned char adapter = 0;
    unsigned char target = 0;
    char vendor[64] = {};
    char product[64] = {};
    char release[64] = {};
    const int result = zarn::QV600GetScannerInfo(&adapter, &target, vendor, sizeof vendor, product, sizeof product,
                                                 release, sizeof release, show ? 1 : 0);
    inquiry = ScannerInquiry{};
    if (result < 0) return result;
    inquiry.hostAdapter = adapter;
    inquiry.targetId = target;
    inquiry.vendor = vendor;
    inquiry.product = product;
    inquiry.release = release;
    return result;
  }
  std::string QV600GetScannerSerialNumber() override {
    char serial[128] = {};
    int documents = 0;
    int minutes = 0;
    if (zarn::QV600GetScannerSerialNumber(serial, sizeof serial, &documents, &minutes) < 0) return {};
    return serial;
  }
  std::optional<std::string> funcTableGetParamString(int32_t id) override {
    const char* value = zarn::funcTableGetParamString(id);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }
  int32_t iScannerModel() override { return zarn::Api().scannerModel.load(); }
  KrMicrResults GetKRMicrResults() override {
    const zarn::KrMicrResults& k = zarn::KRMicrResults();
    KrMicrResults r;
    r.firstLine = Text(k.magnetic.line);
    r.firstConfidence = Text(k.magnetic.confidence);
    r.secondLine = Text(k.magnetic.secondLine);
    r.secondConfidence = Text(k.magnetic.secondConfidence);
    r.kwlLine = Text(k.internalKwl);
    for (size_t i = 0; i < r.positions.size() && i < zarn::kMicrCharacterPositions; ++i)
      r.positions[i] = static_cast<uint32_t>(k.magnetic.positions[i]);
    return r;
  }
  // The verification rewrites the waveform decoder's line and the positions of the kept results.
  void SetKRMicrResults(const KrMicrResults& r) override {
    zarn::KrMicrResults& k = zarn::KRMicrResults();
    const size_t n = std::min(r.kwlLine.size(), sizeof k.internalKwl - 1);
    std::memcpy(k.internalKwl, r.kwlLine.data(), n);
    k.internalKwl[n] = '\0';
    for (size_t i = 0; i < r.positions.size() && i < zarn::kMicrCharacterPositions; ++i)
      k.magnetic.positions[i] = static_cast<int32_t>(r.positions[i]);
  }
  void funcAssembleMICR(char* line, size_t room) override {
    zarn::funcAssembleMICR(line, room, zarn::Qv600().analysis.get());
  }

 private:
  template <size_t N>
  static std::string Text(const char (&s)[N]) {
    return std::string(s, strnlen(s, N));
  }
};

uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The extent of a packed DIB the device library handed over, from its own header: header, palette and
// rows. The API passes the DIB without its size; an implausible header yields the header alone, which the
// loader then refuses.
std::span<const uint8_t> PackedDibExtent(const void* dib) {
  const auto* p = static_cast<const uint8_t*>(dib);
  if (p == nullptr) return {};
  const uint32_t headerSize = Le32(p);
  int64_t width = 0, height = 0;
  int bits = 0;
  int64_t palette = 0;
  if (headerSize == 40) {
    width = static_cast<int32_t>(Le32(p + 4));
    height = static_cast<int32_t>(Le32(p + 8));
    bits = Le16(p + 14);
    const uint32_t used = Le32(p + 32);
    palette = 4 * static_cast<int64_t>(used != 0 ? used : (bits <= 8 ? (1u << bits) : 0));
  } else {
    width = Le16(p + 4);
    height = Le16(p + 6);
    bits = Le16(p + 10);
    palette = bits <= 8 ? 3 * (int64_t{1} << bits) : 0;
  }
  const size_t header = headerSize == 40 ? 40 : 12;
  if (width < 1 || height < 1 || width > 32767 || height > 32767 || bits < 1 || bits > 32 || palette > 4 * 256) {
    return {p, header};
  }
  const int64_t stride = (bits * width + 31) / 32 * 4;
  return {p, static_cast<size_t>(static_cast<int64_t>(header) + palette + stride * height)};
}

// One connection's template-matching decoder behind the API's decoder interface.
class ConnectionDecoder : public zarn::MagneticDecoder {
 public:
  void Decode(const uint16_t* samples, size_t byteCount, zarn::MagneticMicrResults& out) override {
    // The decoder conditions the samples in place; the caller's record stays as the device gave it.
    const size_t words = samples != nullptr ? byteCount / 2 : 0;
    work_.assign(samples, samples + words);
    const int32_t bytes = static_cast<int32_t>(std::min<size_t>(words * 2, INT32_MAX));
    decoder_->Decode(work_.data(), bytes, out.line, out.confidence);
    uint8_t table[4 * zarn::kMicrCharacterPositions] = {};
    decoder_->CopyResults(nullptr, nullptr, table, out.secondLine, out.secondConfidence);
    for (size_t i = 0; i < zarn::kMicrCharacterPositions; ++i) {
      const uint8_t* e = table + 4 * i;
      const uint32_t v = e[0] | (uint32_t{e[1]} << 8) | (uint32_t{e[2]} << 16) | (uint32_t{e[3]} << 24);
      out.positions[i] = static_cast<int32_t>(v);
    }
    // The peaks try's line is the result; the signal try's line is the second reading.
  }

 private:
  std::unique_ptr<micr::MagneticDecoder> decoder_ = micr::OpenMagneticDecoder();
  std::vector<uint16_t> work_;
};

// The optical reader's 128-byte line and confidence, handed to the caller's buffers of `room` bytes when
// the reading ran (read, or too few characters); a loader failure leaves the caller's buffers as they are.
struct OpticalLine {
  char line[ocr::kLineRoom] = {};
  char confidence[ocr::kLineRoom] = {};
  void CopyOut(int result, char* outLine, char* outConfidence, size_t room) const {
    if ((result != 0 && result != 6) || room == 0) return;
    if (outLine != nullptr) CopyText(outLine, line, room);
    if (outConfidence != nullptr) CopyText(outConfidence, confidence, room);
  }
  static void CopyText(char* out, const char* text, size_t room) {
    const size_t n = strnlen(text, std::min(room - 1, sizeof line - 1));
    std::memcpy(out, text, n);
    out[n] = '\0';
  }
};

// The verified scan's calls, answered by the API, the image operations and the readers.
class ApiScanCalls : public vekscan::ScanCalls {
 public:
  int32_t GetParam(int id) override { return zarn::ZARNGetParam(id); }
  int SetParam(int id, int32_t value) override { return zarn::ZARNSetParam(id, value); }
  int TraceLevel() override { return zarn::ApiTraceLevel(); }
  void Log(const std::string& text) override { zarn::funcLogMessage(text.c_str()); }
  // Whether the API's magnetic callback kept the template decoder's line of an automatic-font document.
  bool bKRDecodeKept() override { return zarn::Qv600().krDecodeKept.load() != 0; }
  int ScanMemoryGray(std::span<uint8_t> front, std::span<uint8_t> rear, char* line) override {
    // The flags describe the last combination; a document whose line is never combined (a CMC-7 line, an
    // optical read that failed) must not be graded on the previous document's.
    MICRVerifyFlags = 0;
    int32_t frontSize = 0, rearSize = 0, length = 0;
    return zarn::ZARNScanMemoryGray(7, front, &frontSize, rear, &rearSize, line, &length, 3);
  }
  int ConvGrayImageEdgeDetectBW(std::span<const uint8_t> source, const char* name, int contrast, unsigned mode,
                                std::span<uint8_t> output) override {
    return zc::imaging::funcConvGrayImageEdgeDetectBW(source, name, contrast, mode, output);
  }
  int EdgeDetectBW(std::span<const uint8_t> source, const char* name, int contrast, unsigned mode) override {
    return zc::imaging::funcEdgeDetectBW(source, name, contrast, mode);
  }
  int ConvGrayToBW(std::span<uint8_t> source, int threshold, std::span<uint8_t> output) override {
    return zc::imaging::funcConvGrayToBW(source, threshold, output);
  }
  int ConvImageToFile(std::span<const uint8_t> source, int threshold, const char* name) override {
    return zc::imaging::funcConvImageToFile(source, threshold, 1, 1, 1, name);
  }
  int ConvGrayArea(std::span<const uint8_t> source, const char* name, unsigned mode) override {
    return zc::imaging::funcConvGrayArea(source, name, {}, mode);
  }
  int GetHistogram(std::span<const uint8_t> source, std::array<uint32_t, 16>& bins) override {
    bins.fill(0);
    return zc::imaging::funcGetHistogram(source, 1, bins);
  }
  int Scale(vekscan::Scaling scaling, std::span<const uint8_t> source, std::span<uint8_t> destination) override {
    using vekscan::Scaling;
    switch (scaling) {
      case Scaling::k300To240: return zc::imaging::funcImage300To240(source, destination);
      case Scaling::k300To200: return zc::imaging::funcImage300To200(source, destination);
      case Scaling::k300To100: return zc::imaging::funcImage300To100(source, destination);
      case Scaling::k300To120: return zc::imaging::funcImage300To120(source, destination);
      case Scaling::k200To100: return zc::imaging::funcImage200To100(source, destination);
      case Scaling::k200To120: return zc::imaging::funcImage200To120(source, destination);
    }
    return -102;
  }
  int VirtualEndorsement(std::span<uint8_t> record, const char* text, const vekscan::VEKScanEndorsement& e) override {
    const auto& v = e.values;
    return zc::imaging::VEKVirtualEndorsement(record, text, v[0], v[1], v[2], v[3], v[4], v[5], v[6],
                                              static_cast<uint8_t>(v[7]), static_cast<uint8_t>(v[8]),
                                              static_cast<uint8_t>(v[9]), e.face);
  }
  int CompressImage(const char* name, std::span<const uint8_t> record) override {
    return zc::imaging::ZARNCompressImage(name, record);
  }
  int CompressImageGray(const char* name, std::span<const uint8_t> record, int format) override {
    return zc::imaging::ZARNCompressImageGray(name, record, format);
  }
  int OcrRawImage(std::span<const uint8_t> record, char* line, char* confidence) override {
    OpticalLine read;
    const int result = ocr::funcOCRRawImage(record.data(), record.size(), read.line, read.confidence);
    read.CopyOut(result, line, confidence, vekscan::kTextRoom);
    return result;
  }
  int OcrRawImageRotated(std::span<const uint8_t> record, char* line, char* confidence) override {
    OpticalLine read;
    const int result = ocr::funcOCRRawImageRotated(record.data(), record.size(), read.line, read.confidence);
    read.CopyOut(result, line, confidence, vekscan::kTextRoom);
    return result;
  }
  int OcrTiffImage(const char* name, char* line, char* confidence) override {
    OpticalLine read;
    const int result = ocr::funcOCRTiffImage(name, 1, 0, read.line, read.confidence);
    read.CopyOut(result, line, confidence, vekscan::kTextRoom);
    return result;
  }
  int Cmc7ReadCodeLine(std::span<const uint8_t> record, char* line, char* confidence) override {
    return optical::funcOcrReadCodeLine(record.data(), record.size(), line, confidence, vekscan::kTextRoom);
  }
  int Cmc7Combine(const char* magnetic, const char* optical, const char* confidence, char* out) override {
    return optical::funcMicrCombine(magnetic, optical, confidence, out, vekscan::kTextRoom, 0);
  }
  int CombineMICR(const char* magnetic, const char* optical, const char* confidence, char* out,
                  int maxErrors) override {
    return zarn::funcCombineMICR(magnetic, optical, confidence, out, vekscan::kTextRoom, maxErrors);
  }
  // `out` has the verified scan's text room, above the 80 bytes the choice writes.
  int ChooseMICRPass(const char* first, const char* second, char* out) override {
    return micr::funcChooseMICRPass(first != nullptr ? first : "", second != nullptr ? second : "", out);
  }
  int VerifyMICRQuality(const char* line, const char* optical, const char* confidence) override {
    return iqa::VerifyMICRQuality(line, optical, confidence);
  }
  int IQAStatusMem(std::span<uint8_t> record, int update, const iqa::IqaTestArgs& args, int32_t* results) override {
    return iqa::IQAStatusMem(record, update, args, results);
  }
  int IQAStatusEx(const char* name, int update, const iqa::IqaTestArgs& args, int32_t* results) override {
    return iqa::IQAStatusEx(name, 1, update, nullptr, args, results);
  }
  int FerloReportError(int code, const char* line) override { return zarn::FerloReportError(code, line); }
  int FerloReportDocument(const int32_t* iqa, int quality, int contrast, const char* optical, const char* confidence,
                          const char* magnetic, const char* line) override {
    return zarn::FerloReportDocument(iqa, quality, contrast, optical, confidence, magnetic, line);
  }
};

ApiScanCalls g_scanCalls;

// What analysis answers for the API; the calls whose readers are not built yet keep the placeholder.
class AnalysisForApi : public zarn::AnalysisServices {
 public:
  std::unique_ptr<zarn::MagneticDecoder> OpenMagneticDecoder() override {
    return std::make_unique<ConnectionDecoder>();
  }
  int ExpectFind(const char* codeLine) override { return vekscan::VEKScanExpectFind(codeLine); }
  int StatusCombTopEdge(const void* frontDib, const char* codeLine) override {
    return iqa::IQAStatusCombTopEdge(PackedDibExtent(frontDib), codeLine);
  }
  void ReleaseMemory() override { vekscan::VEKScanReleaseMemory(); }
  int MicrVerifyStatus() override { return micr::funcGetMICRVerifyStatus(); }
  int OcrRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence, size_t room) override {
    OpticalLine read;
    const int result = ocr::funcOCRRawImage(record, recordSize, read.line, read.confidence);
    read.CopyOut(result, line, confidence, room);
    return result;
  }
  int OcrTiffImage(const char* name, int page, int decoderOption, char* line, char* confidence,
                   size_t room) override {
    OpticalLine read;
    const int result = ocr::funcOCRTiffImage(name, page, decoderOption, read.line, read.confidence);
    read.CopyOut(result, line, confidence, room);
    return result;
  }
  // The merge rewrites the magnetic buffer and trims the optical strings, which the API hands over
  // read-only: it works on copies (the magnetic one with the room of the kept lines).
  int CombineMicr(const char* magnetic, const char* optical, const char* opticalConfidence, char* merged,
                  size_t room, int maxErrors) override {
    if (magnetic == nullptr || optical == nullptr || opticalConfidence == nullptr || merged == nullptr) {
      return micr::funcCombineMICR(nullptr, nullptr, nullptr, nullptr, maxErrors);
    }
    std::vector<char> mag(std::max(std::strlen(magnetic) + 1, zarn::kCodeLineRoom), '\0');
    std::memcpy(mag.data(), magnetic, std::strlen(magnetic));
    std::string opt(optical), conf(opticalConfidence);
    micr::CodeLineBuffers b{mag.data(), mag.size(), opt.data(), conf.data(), merged, room};
    return micr::CombineMicr(b, maxErrors);
  }
  int Scan(const zarn::VEKScanRequest& request) override { return vekscan::VEKScan(g_scanCalls, request); }

 private:
  static zarn::AnalysisServices& fallback() { return zarn::PlaceholderAnalysis(); }
};

ApiServices g_apiServices;
AnalysisForApi g_analysisForApi;

}  // namespace

void InstallIntoApi() {
  InstallServices(&g_apiServices);
  zarn::InstallAnalysisServices(&g_analysisForApi);
  iqa::SetMicrVerifyFlagsSource([] { return MICRVerifyFlags; });
  vekscan::InstallScanCalls(&g_scanCalls);
}

vekscan::ScanCalls& VerifiedScanCalls() { return g_scanCalls; }

void RemoveFromApi() {
  iqa::SetMicrVerifyFlagsSource(nullptr);
  vekscan::InstallScanCalls(nullptr);
  zarn::InstallAnalysisServices(nullptr);
  InstallServices(nullptr);
}

}  // namespace analysis
