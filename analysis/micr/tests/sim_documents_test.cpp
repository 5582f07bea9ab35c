// The simulated scanner's documents read exactly by the template decoder in every scanner class's
// format, density and order, through the bytes on the wire.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/micr/decoder.h"
#include "analysis/micr/tests/fake_services.h"
#include "analysis/micr/tests/read_rate.h"
#include "sim/documents/document.h"
#include "testkit/micr/sample_format.h"

namespace analysis::micr::testing {
namespace {

class SimulatedDocuments : public ::testing::TestWithParam<ScannerClassCase> {};

TEST_P(SimulatedDocuments, DecodeExactly) {
  const ScannerClassCase& c = GetParam();
  ::analysis::testing::FakeServices services;
  services.product = c.product;
  services.serial = c.serial;
  services.params[119] = c.frontColour;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  const micrkit::SeriesFormat series{c.name, c.deviceRate, c.devicePreset,
                                     c.devicePreset == 2 ? micrkit::WireOrder::kBigEndian16
                                                         : micrkit::WireOrder::kLittleEndian16,
                                     c.samplesPerInch};
  int misreads = 0;
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    sim::documents::Document d;
    d.codeLine = sim::documents::MakeCodeLine(seed, sim::documents::MicrFont::kE13b);
    d.seed = seed;
    std::vector<uint16_t> samples = micrkit::FromWire(d.MagneticBytes(series, c.readingOrder), series.wire);
    char line[100], conf[100];
    decoder->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
    if (std::string(line) != d.codeLine) {
      ++misreads;
      std::printf("  %s seed %u: [%s] read as [%s]\n", c.name, seed, d.codeLine.c_str(), line);
    }
  }
  EXPECT_EQ(misreads, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryClass, SimulatedDocuments, ::testing::ValuesIn(ScannerClassCases()),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace analysis::micr::testing
