// The install point of the analysis services, their placeholder, and the per-connection analysis state.
#include "zarn/analysis.h"

#include <atomic>
#include <cstring>

#include "zarn/status.h"

namespace zarn {
namespace {

void CopyText(char* dst, size_t room, const char* src) {
  if (dst == nullptr || room == 0) return;
  size_t n = src == nullptr ? 0 : strnlen(src, room - 1);
  if (n > 0) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

class NothingFound : public MagneticDecoder {
 public:
  void Decode(const uint16_t*, size_t, MagneticMicrResults&) override {}
};

// Until the analysis subsystem is installed: nothing is decoded or read, no document is expected, the
// merge keeps the magnetic line, and the verified scan is not offered.
class Placeholder : public AnalysisServices {
 public:
  std::unique_ptr<MagneticDecoder> OpenMagneticDecoder() override { return std::make_unique<NothingFound>(); }
  int ExpectFind(const char*) override { return -1; }
  int StatusCombTopEdge(const void*, const char*) override { return 0; }
  void ReleaseMemory() override {}
  int MicrVerifyStatus() override { return 2; }  // nothing verified
  int OcrRawImage(const uint8_t*, size_t, char* line, char* confidence, size_t room) override {
    CopyText(line, room, "");
    CopyText(confidence, room, "");
    return 1;
  }
  int OcrTiffImage(const char*, int, int, char* line, char* confidence, size_t room) override {
    CopyText(line, room, "");
    CopyText(confidence, room, "");
    return 6;
  }
  int CombineMicr(const char* magnetic, const char* optical, const char*, char* merged, size_t room,
                  int) override {
    if (magnetic == nullptr || optical == nullptr || merged == nullptr) return 1;
    CopyText(merged, room, magnetic);
    return 0;
  }
  int Scan(const VEKScanRequest&) override { return kUnsupportedFunction; }
};

Placeholder g_placeholder;
std::atomic<AnalysisServices*> g_services{&g_placeholder};

}  // namespace

void InstallAnalysisServices(AnalysisServices* services) {
  g_services.store(services != nullptr ? services : &g_placeholder);
}
AnalysisServices& Analysis() { return *g_services.load(); }
AnalysisServices& PlaceholderAnalysis() { return g_placeholder; }

AnalysisState::AnalysisState(std::unique_ptr<MagneticDecoder> decoder) : decoder_(std::move(decoder)) {}

void AnalysisState::Decode(const uint16_t* samples, size_t byteCount, char* line, char* confidence) {
  MagneticMicrResults fresh;
  {
    std::lock_guard<std::mutex> lock(decodeMutex_);
    if (decoder_ != nullptr && samples != nullptr) decoder_->Decode(samples, byteCount, fresh);
  }
  // The decoder's texts are its own: terminate them within their room before anyone reads them.
  fresh.line[kCodeLineRoom - 1] = '\0';
  fresh.confidence[kCodeLineRoom - 1] = '\0';
  fresh.secondLine[kCodeLineRoom - 1] = '\0';
  fresh.secondConfidence[kCodeLineRoom - 1] = '\0';
  {
    std::lock_guard<std::mutex> lock(resultsMutex_);
    published_ = fresh;
  }
  CopyText(line, kCodeLineRoom, fresh.line);
  CopyText(confidence, kCodeLineRoom, fresh.confidence);
}

MagneticMicrResults AnalysisState::Results() const {
  std::lock_guard<std::mutex> lock(resultsMutex_);
  return published_;
}

std::unique_ptr<AnalysisState> OpenAnalysisState() {
  return std::make_unique<AnalysisState>(Analysis().OpenMagneticDecoder());
}

void funcDecodeMagneticMICR(AnalysisState& state, const uint16_t* samples, int byteCount, char* line,
                            char* confidence) {
  state.Decode(samples, byteCount < 0 ? 0 : static_cast<size_t>(byteCount), line, confidence);
}

int funcGetMagneticMICRResults(const AnalysisState& state, char* line, char* confidence, int32_t* positions,
                               char* secondLine, char* secondConfidence) {
  const MagneticMicrResults r = state.Results();
  CopyText(line, kCodeLineRoom, r.line);
  CopyText(confidence, kCodeLineRoom, r.confidence);
  if (positions != nullptr) std::memcpy(positions, r.positions, sizeof r.positions);
  CopyText(secondLine, kCodeLineRoom, r.secondLine);
  CopyText(secondConfidence, kCodeLineRoom, r.secondConfidence);
  return static_cast<int>(std::strlen(r.line));
}

int VEKScanExpectFind(const char* codeLine) { return Analysis().ExpectFind(codeLine); }
int IQAStatusCombTopEdge(const void* frontDib, const char* codeLine) {
  return Analysis().StatusCombTopEdge(frontDib, codeLine);
}
void VEKScanReleaseMemory() { Analysis().ReleaseMemory(); }
int funcGetMICRVerifyStatus() { return Analysis().MicrVerifyStatus(); }
int funcOCRRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence, size_t room) {
  return Analysis().OcrRawImage(record, recordSize, line, confidence, room);
}
int funcOCRTiffImage(const char* name, int page, int decoderOption, char* line, char* confidence, size_t room) {
  return Analysis().OcrTiffImage(name, page, decoderOption, line, confidence, room);
}
int funcCombineMICR(const char* magnetic, const char* optical, const char* opticalConfidence, char* merged,
                    size_t room, int maxErrors) {
  return Analysis().CombineMicr(magnetic, optical, opticalConfidence, merged, room, maxErrors);
}
int VEKScan(const VEKScanRequest& request) { return Analysis().Scan(request); }

}  // namespace zarn
