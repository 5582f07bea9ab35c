// Fuzzes the magnetic template decoder with arbitrary sample bytes. The first byte picks the scanner the
// decoder believes it is attached to; the rest are the samples, handed over with their own byte count
// (odd counts included). Checks that the line and both kept lines end within their buffers, that the
// returned length fits the line and that table entries past the line are 0.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/micr/decoder.h"
#include "analysis/services.h"

namespace {

class FuzzServices : public analysis::DefaultServices {
 public:
  explicit FuzzServices(const char* product) : product_(product) {}
  int32_t QV600GetScannerInfo(analysis::ScannerInquiry& inquiry, bool) override {
    inquiry = {};
    inquiry.product = product_;
    return 200;
  }
  std::string QV600GetScannerSerialNumber() override { return "QV6202"; }

 private:
  const char* product_;
};

constexpr const char* kProducts[] = {"QV600", "QV605", "QV620", "QV630", "QV640", "QV840", "RM 70", "RM 7"};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FuzzServices services(kProducts[data[0] % 8]);
  analysis::ScopedServices scope(services);
  const std::size_t bytes = std::min<std::size_t>(size - 1, 200000);
  std::vector<uint16_t> samples(bytes / 2 + 1);
  std::memcpy(samples.data(), data + 1, bytes);
  auto decoder = analysis::micr::OpenMagneticDecoder();
  char line[100], conf[100];
  std::memset(line, 'x', sizeof line);
  std::memset(conf, 'x', sizeof conf);
  const int32_t n = decoder->Decode(samples.data(), static_cast<int32_t>(bytes), line, conf);
  Check(n >= 0 && n <= 81);
  Check(memchr(line, 0, sizeof line) != nullptr && std::strlen(line) == static_cast<std::size_t>(n));
  Check(memchr(conf, 0, sizeof conf) != nullptr);
  char l1[100], c1[100], l2[100], c2[100];
  uint8_t table[400];
  const int32_t kept = decoder->CopyResults(l1, c1, table, l2, c2);
  Check(kept == n);
  for (const char* s : {l1, c1, l2, c2}) Check(memchr(s, 0, 100) != nullptr);
  for (int i = kept; i < 100; ++i) Check(analysis::micr::TableEntry(table, i) == 0);
  return 0;
}
