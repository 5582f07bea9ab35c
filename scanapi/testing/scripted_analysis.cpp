#include "scripted_analysis.h"

#include <cstring>

namespace zarn::testing {
namespace {

void Put(char* dst, size_t room, const std::string& text) {
  if (dst == nullptr || room == 0) return;
  size_t n = text.size() < room - 1 ? text.size() : room - 1;
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

std::string Text(const char* s) { return s != nullptr ? s : "(null)"; }

}  // namespace

class ScriptedDecoder : public MagneticDecoder {
 public:
  explicit ScriptedDecoder(ScriptedAnalysis& owner) : owner_(owner) {}
  void Decode(const uint16_t*, size_t byteCount, MagneticMicrResults& out) override {
    owner_.Log("decode " + std::to_string(byteCount));
    out = owner_.NextMagnetic();
  }

 private:
  ScriptedAnalysis& owner_;
};

void ScriptedAnalysis::QueueMagnetic(const MagneticMicrResults& results) {
  std::lock_guard<std::mutex> lock(m_);
  magnetic_.push_back(results);
}

MagneticMicrResults ScriptedAnalysis::Magnetic(const char* line, const char* confidence) {
  MagneticMicrResults r;
  Put(r.line, sizeof r.line, line);
  Put(r.confidence, sizeof r.confidence, confidence);
  for (size_t i = 0; i < std::strlen(r.line) && i < kMicrCharacterPositions; ++i)
    r.positions[i] = static_cast<int32_t>(100 * (i + 1));
  return r;
}

MagneticMicrResults ScriptedAnalysis::NextMagnetic() {
  std::lock_guard<std::mutex> lock(m_);
  if (magnetic_.empty()) return MagneticMicrResults{};
  MagneticMicrResults r = magnetic_.front();
  magnetic_.pop_front();
  return r;
}

void ScriptedAnalysis::Log(std::string call) {
  std::lock_guard<std::mutex> lock(m_);
  calls_.push_back(std::move(call));
}

std::vector<std::string> ScriptedAnalysis::Calls() const {
  std::lock_guard<std::mutex> lock(m_);
  return calls_;
}

int ScriptedAnalysis::DecodersOpened() const {
  std::lock_guard<std::mutex> lock(m_);
  return decodersOpened_;
}

std::unique_ptr<MagneticDecoder> ScriptedAnalysis::OpenMagneticDecoder() {
  {
    std::lock_guard<std::mutex> lock(m_);
    ++decodersOpened_;
  }
  Log("open decoder");
  return std::make_unique<ScriptedDecoder>(*this);
}

int ScriptedAnalysis::ExpectFind(const char* codeLine) {
  Log("expect find " + Text(codeLine));
  return expectFind;
}

int ScriptedAnalysis::StatusCombTopEdge(const void*, const char* codeLine) {
  Log("comb top edge " + Text(codeLine));
  return combTopEdge;
}

void ScriptedAnalysis::ReleaseMemory() { Log("release memory"); }

int ScriptedAnalysis::MicrVerifyStatus() {
  Log("verify status");
  return verifyStatus;
}

int ScriptedAnalysis::OcrRawImage(const uint8_t*, size_t recordSize, char* line, char* confidence,
                                  size_t room) {
  Log("ocr raw " + std::to_string(recordSize));
  Put(line, room, ocrLine);
  Put(confidence, room, ocrConfidence);
  return ocrResult;
}

int ScriptedAnalysis::OcrTiffImage(const char* name, int page, int, char* line, char* confidence,
                                   size_t room) {
  Log("ocr tiff " + Text(name) + " " + std::to_string(page));
  Put(line, room, ocrLine);
  Put(confidence, room, ocrConfidence);
  return ocrResult;
}

int ScriptedAnalysis::CombineMicr(const char* magnetic, const char* optical, const char*, char* merged,
                                  size_t room, int maxErrors) {
  Log("combine " + Text(magnetic) + " " + Text(optical) + " " + std::to_string(maxErrors));
  Put(merged, room, combined.empty() ? Text(magnetic) : combined);
  return combineResult;
}

int ScriptedAnalysis::Scan(const VEKScanRequest& request) {
  Log("scan " + Text(request.frontBwTiff));
  Put(request.codeLine, request.codeLineSize, scanLine);
  return scanResult;
}

}  // namespace zarn::testing
