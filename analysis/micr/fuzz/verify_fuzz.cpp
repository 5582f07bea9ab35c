// Fuzzes the "KR" verification: the bytes give the optical line and confidences, both tries with their
// confidences, the waveform line (each up to 255 characters, split at NULs), then the scanner model,
// and the rest fills the sample positions and the optical right edges. The magnetic and result buffers
// must stay terminated within their rooms and untouched beyond.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/micr/combine.h"
#include "analysis/services.h"

namespace {

class FuzzServices : public analysis::DefaultServices {
 public:
  int32_t ZARNGetParam(int32_t id) override { return id == 157 ? low : id == 187 ? skip : id == 117 ? 2 : 0; }
  int32_t iScannerModel() override { return model; }
  analysis::KrMicrResults GetKRMicrResults() override { return kr; }
  void SetKRMicrResults(const analysis::KrMicrResults& r) override { kr = r; }
  std::optional<std::string> funcTableGetParamString(int32_t) override { return std::string("KR"); }
  int32_t low = 0, skip = 0, model = 200;
  analysis::KrMicrResults kr;
};

std::string Take(const uint8_t*& p, const uint8_t* end) {
  std::string s;
  while (p < end && *p != 0 && s.size() < 255) s.push_back(static_cast<char>(*p++));
  while (p < end && *p != 0) ++p;
  if (p < end) ++p;
  return s;
}

uint32_t Word(const uint8_t*& p, const uint8_t* end) {
  uint32_t v = 0;
  for (int k = 0; k < 4 && p < end; ++k) v |= uint32_t{*p++} << (8 * k);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FuzzServices services;
  analysis::ScopedServices scope(services);
  services.low = data[0] & 1;
  services.skip = (data[0] >> 1) & 1;
  services.model = (data[0] & 4) != 0 ? 440 : 200;
  const int maxErrors = static_cast<int>(data[0] >> 3) - 8;
  const uint8_t* p = data + 1;
  const uint8_t* end = data + size;
  std::string opt = Take(p, end), conf = Take(p, end);
  services.kr.firstLine = Take(p, end);
  services.kr.firstConfidence = Take(p, end);
  services.kr.secondLine = Take(p, end);
  services.kr.secondConfidence = Take(p, end);
  services.kr.kwlLine = Take(p, end);
  for (uint32_t& v : services.kr.positions) v = Word(p, end);
  std::array<int32_t, 128> edges{};
  for (int32_t& e : edges) e = static_cast<int32_t>(Word(p, end));

  const size_t magRoom = 100;
  std::vector<char> m(magRoom + 8, 'G'), r(magRoom + 3 + 8, 'G');
  const std::string mag = services.kr.firstLine.substr(0, magRoom - 1);
  std::memcpy(m.data(), mag.c_str(), mag.size() + 1);
  std::vector<char> o(opt.begin(), opt.end()), c(conf.begin(), conf.end());
  o.push_back('\0');
  c.push_back('\0');
  analysis::micr::CodeLineBuffers b{m.data(), magRoom, o.data(), c.data(), r.data(), magRoom + 3};
  analysis::micr::VerifyMicrWithOcr(b, maxErrors, edges);
  if (std::memchr(m.data(), '\0', magRoom) == nullptr || std::memchr(r.data(), '\0', magRoom + 3) == nullptr)
    std::abort();
  for (size_t i = magRoom; i < m.size(); ++i)
    if (m[i] != 'G') std::abort();
  for (size_t i = magRoom + 3; i < r.size(); ++i)
    if (r[i] != 'G') std::abort();
  return 0;
}
