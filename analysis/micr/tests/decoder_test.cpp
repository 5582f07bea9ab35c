#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/micr/decoder.h"
#include "analysis/micr/tests/fake_services.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace analysis::micr {
namespace {

TEST(Smoke, Clean) {
  testing::FakeServices services;
  services.product = "QV630";
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  micrkit::E13bLayout layout;
  layout.unitSamples = 20.8;
  const std::string truth = "0123456789:;<=0123";
  auto samples = micrkit::SampleTrace(micrkit::E13bTrace(truth, layout), micrkit::FormatForPreset(3, 50000));
  char line[100], conf[100];
  const int n = decoder->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
  KeptResults k = decoder->Results();
  std::printf("n=%d line=[%s] conf=[%s]\n sig=[%s] sconf=[%s]\n peaks=[%s]\n", n, line, conf, k.signalLine.data(),
              k.signalConf.data(), k.peaksLine.data());
}

}  // namespace
}  // namespace analysis::micr
