// One thread decodes documents one after another while another copies the kept results: every copy
// must be one document's record whole, never a mix of two.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "analysis/micr/tests/decode_fixture.h"

namespace analysis::micr {
namespace {

TEST(DecoderThreads, CopiesNeverMixTwoDocuments) {
  ::analysis::testing::FakeServices services;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  const std::string lines[] = {"0123456789", ":987654321:<"};
  std::vector<uint16_t> samples[2];
  KeptResults expected[2];
  for (int k = 0; k < 2; ++k) {
    samples[k] = testing::IdealSamples(micrkit::E13bTrace(lines[k], testing::DecoderLayout()));
    const testing::Decoded d = testing::DecodeSamples(*decoder, samples[k]);
    ASSERT_EQ(d.line, lines[k]);
    expected[k] = d.kept;
  }
  std::atomic<bool> done{false};
  std::thread decoding([&] {
    for (int i = 0; i < 200; ++i) testing::DecodeSamples(*decoder, samples[i % 2]);
    done = true;
  });
  int copies = 0;
  while (!done || copies == 0) {
    char l1[100], c1[100], l2[100], c2[100];
    uint8_t table[400];
    const int32_t n = funcGetMagneticMICRResults(*decoder, l1, c1, table, l2, c2);
    const int k = std::string(l1) == lines[0] ? 0 : 1;
    ASSERT_EQ(std::string(l1), lines[k]);
    ASSERT_EQ(n, static_cast<int32_t>(lines[k].size()));
    ASSERT_STREQ(c1, expected[k].peaksConf.data());
    ASSERT_STREQ(l2, expected[k].signalLine.data());
    ASSERT_STREQ(c2, expected[k].signalConf.data());
    for (int i = 0; i < 100; ++i) ASSERT_EQ(TableEntry(table, i), expected[k].table[static_cast<std::size_t>(i)]);
    ++copies;
  }
  decoding.join();
  EXPECT_GT(copies, 0);
}

TEST(DecoderThreads, ContextsOnTwoConnectionsDecodeAtOnce) {
  ::analysis::testing::FakeServices services;
  ScopedServices scope(services);
  const std::string lines[] = {"0123456789", ":987654321:<"};
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int k = 0; k < 2; ++k) {
    threads.emplace_back([&, k] {
      auto decoder = OpenMagneticDecoder();
      const auto samples = testing::IdealSamples(micrkit::E13bTrace(lines[k], testing::DecoderLayout()));
      for (int i = 0; i < 50; ++i) {
        if (testing::DecodeSamples(*decoder, samples).line != lines[k]) ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace analysis::micr
