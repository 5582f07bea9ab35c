// A scripted stand-in for the analysis subsystem, for tests of the API and its back-ends: magnetic results
// queued per document, chosen results for every other call, and a log of the calls made.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "zarn/analysis.h"

namespace zarn::testing {

class ScriptedAnalysis : public AnalysisServices {
 public:
  // The next decoded document's results (consumed in order; when none is queued a decode finds nothing).
  void QueueMagnetic(const MagneticMicrResults& results);
  static MagneticMicrResults Magnetic(const char* line, const char* confidence);

  int expectFind = -1;
  int combTopEdge = 0;
  int verifyStatus = 0;
  int ocrResult = 0;
  std::string ocrLine, ocrConfidence;
  int combineResult = 0;
  std::string combined;  // the merged line; empty: the magnetic line
  int scanResult = 0;
  std::string scanLine;

  std::vector<std::string> Calls() const;
  int DecodersOpened() const;

  std::unique_ptr<MagneticDecoder> OpenMagneticDecoder() override;
  int ExpectFind(const char* codeLine) override;
  int StatusCombTopEdge(const void* frontDib, const char* codeLine) override;
  void ReleaseMemory() override;
  int MicrVerifyStatus() override;
  int OcrRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence, size_t room) override;
  int OcrTiffImage(const char* name, int page, int decoderOption, char* line, char* confidence,
                   size_t room) override;
  int CombineMicr(const char* magnetic, const char* optical, const char* opticalConfidence, char* merged,
                  size_t room, int maxErrors) override;
  int Scan(const VEKScanRequest& request) override;

 private:
  friend class ScriptedDecoder;
  void Log(std::string call);
  MagneticMicrResults NextMagnetic();

  mutable std::mutex m_;
  std::deque<MagneticMicrResults> magnetic_;
  std::vector<std::string> calls_;
  int decodersOpened_ = 0;
};

}  // namespace zarn::testing
