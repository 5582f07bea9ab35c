// Fuzzes the combination with any bytes: the first byte picks max errors and the rule switches, the rest
// splits at the first two NULs into the magnetic line, the optical line and its confidences (cut to 255
// characters, the confidences cut or padded to the optical line's length). The result must end within
// the magnetic length plus 3 bytes and nothing may be written past it.
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
  int32_t ZARNGetParam(int32_t id) override { return id == 142 ? hk : id == 157 ? low : id == 117 ? 2 : 0; }
  int32_t hk = 0, low = 0;
};

std::string Take(const uint8_t*& p, const uint8_t* end) {
  std::string s;
  while (p < end && *p != 0 && s.size() < 255) s.push_back(static_cast<char>(*p++));
  while (p < end && *p != 0) ++p;
  if (p < end) ++p;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FuzzServices services;
  analysis::ScopedServices scope(services);
  services.hk = data[0] & 1;
  services.low = (data[0] >> 1) & 1;
  const int maxErrors = static_cast<int>(data[0] >> 2) - 32;
  const uint8_t* p = data + 1;
  const uint8_t* end = data + size;
  std::string mag = Take(p, end), opt = Take(p, end), conf = Take(p, end);
  conf.resize(opt.size(), '3');
  std::vector<char> m(mag.begin(), mag.end()), o(opt.begin(), opt.end()), c(conf.begin(), conf.end());
  m.push_back('\0');
  o.push_back('\0');
  c.push_back('\0');
  std::vector<char> r(mag.size() + 3 + 8, 'G');
  if (analysis::micr::funcCombineMICR(m.data(), o.data(), c.data(), r.data(), maxErrors) != 0) std::abort();
  if (std::memchr(r.data(), '\0', mag.size() + 3) == nullptr) std::abort();
  for (size_t i = mag.size() + 3; i < r.size(); ++i)
    if (r[i] != 'G') std::abort();
  return 0;
}
