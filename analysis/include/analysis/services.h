// What document analysis needs from the scanner API and its device back-ends: parameters, the trace
// level and logs, and the scanner's identity. The API installs its implementation at start-up; until
// then (and in programs without the API) a default answers as an API with nothing connected would.
// Tests install fakes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace analysis {

// The answer of the scanner's inquiry.
struct ScannerInquiry {
  int32_t hostAdapter = 0;
  int32_t targetId = 0;
  std::string vendor;
  std::string product;
  std::string release;
};

// The magnetic readings of the current document that the API keeps for the optical verification: both
// tries of the template decoder with one confidence digit per character, the waveform decoder's line, and
// one sample position per first-try character.
struct KrMicrResults {
  static constexpr size_t kPositions = 100;
  std::string firstLine;
  std::string firstConfidence;
  std::string secondLine;
  std::string secondConfidence;
  std::string kwlLine;
  std::array<uint32_t, kPositions> positions{};
};

class Services {
 public:
  virtual ~Services() = default;

  // A numeric parameter's value, read at each use; -102 for an unknown id.
  virtual int32_t ZARNGetParam(int32_t id) = 0;
  // The API trace level: 0 off, 1 trace, 2 verbose, 3 detail.
  virtual int32_t iApiTraceLevel() = 0;
  // One line "%8ld -- %s" to the API trace; callers test the trace level first.
  virtual void funcLogMessage(std::string_view text) = 0;
  // The text as one line of the API trace, as it is (no tick count); callers test the trace level first.
  virtual void funcWriteApiLog(std::string_view text) = 0;
  // One line "%8ld %s" appended to ".\zarnapi.log"; callers gate it.
  virtual void funcWriteLocalApiLog(std::string_view text) = 0;
  // 200 with the inquiry filled when the scanner answers, else an error code with empty texts. `show`
  // asks for the values to be shown to the user as well.
  virtual int32_t QV600GetScannerInfo(ScannerInquiry& inquiry, bool show) = 0;
  // The scanner's serial-number text (empty when unknown).
  virtual std::string QV600GetScannerSerialNumber() = 0;

  // The code-line verification's view of the API. The defaults answer as an API with nothing connected.
  // A string parameter's value; nothing for an id the table does not hold.
  virtual std::optional<std::string> funcTableGetParamString(int32_t /*id*/) { return std::nullopt; }
  // The connected QV600-line model number (200 until identified).
  virtual int32_t iScannerModel() { return 200; }
  // The current document's kept magnetic readings, and their write-back after the verification
  // rewrote the waveform line and the positions.
  virtual KrMicrResults GetKRMicrResults() { return {}; }
  virtual void SetKRMicrResults(const KrMicrResults& /*results*/) {}
  // Formats a final code line in place (at most `room` bytes with the NUL) by the API's code-line format.
  virtual void funcAssembleMICR(char* /*line*/, size_t /*room*/) {}
};

// The services installed now: the API's, a test's fake, or the default.
Services& CurrentServices();
// Installs `services` for the whole process (nullptr restores the default). The caller keeps it alive
// until it installs another one.
void InstallServices(Services* services);

// The default: every parameter 0, trace off, logs dropped, no scanner (-125).
class DefaultServices : public Services {
 public:
  int32_t ZARNGetParam(int32_t id) override;
  int32_t iApiTraceLevel() override;
  void funcLogMessage(std::string_view text) override;
  void funcWriteApiLog(std::string_view text) override;
  void funcWriteLocalApiLog(std::string_view text) override;
  int32_t QV600GetScannerInfo(ScannerInquiry& inquiry, bool show) override;
  std::string QV600GetScannerSerialNumber() override;
};

// Installs services for one scope and restores the previous ones afterwards.
class ScopedServices {
 public:
  explicit ScopedServices(Services& services);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services* previous_;
};

}  // namespace analysis
