// Version texts and versioned firmware file names.
#include "firmware/version_text.h"

#include <gtest/gtest.h>

#include "firmware/firmware_name.h"

namespace qv6 {
namespace {

TEST(VersionText, LeftmostFourNumbers) {
  struct Case {
    const char* text;
    uint64_t expected;
  } cases[] = {
      {"V2.10.0.7", PackVersion(2, 10, 0, 7)},
      {"x1.2.3.4.5", PackVersion(1, 2, 3, 4)},
      {"1.2.3", 0},
      {"", 0},
      {"1.2.3.x 5.6.7.8", PackVersion(5, 6, 7, 8)},  // the first place where four runs stand
      {"9 1.2.3.4", PackVersion(1, 2, 3, 4)},
      {"1.23.0.0", PackVersion(1, 23, 0, 0)},
      {"65536.65537.1.0", PackVersion(0, 1, 1, 0)},  // each number wraps into 16 bits
      {"1000000.0.0.1", PackVersion(1000000 % 65536, 0, 0, 1)},
      {"99999999999999999999999.0.0.1", PackVersion(65535, 0, 0, 1)},  // long runs wrap, never overflow
  };
  for (const auto& c : cases) EXPECT_EQ(ParseVersionText(c.text), c.expected) << c.text;
  EXPECT_LT(PackVersion(1, 2, 3, 4), PackVersion(1, 10, 0, 0));
}

TEST(FirmwareName, VersionedNames) {
  struct Case {
    const char* name;
    bool matches;
    uint64_t version;
  } cases[] = {
      {"QV620Firmware_v1.2.3.4.bin", true, PackVersion(1, 2, 3, 4)},
      {"QV620Firmware_V1.2.3.4.BIN", true, PackVersion(1, 2, 3, 4)},
      {"QV620Firmware_beta_v1.0.0.1.bin", true, PackVersion(1, 0, 0, 1)},
      {"QV620Firmware_v1.2.3.4_final.bin", true, PackVersion(1, 2, 3, 4)},
      {"QV620Firmware_v1.2.3.4.bin.old", true, PackVersion(1, 2, 3, 4)},
      {"QV620Firmware.bin", false, 0},
      {"QV620Firmware_v1.2.3.bin", false, 0},
      {"QV620Firmware_v1.2.3.4.hex", false, 0},
      {"_v1.2.3.4.bin", false, 0},  // the "_v" needs a character before it
      {"a_v70000.1.2.3.bin", true, PackVersion(70000, 1, 2, 3)},
  };
  for (const auto& c : cases) {
    uint64_t version = 0;
    EXPECT_EQ(MatchVersionedFirmwareName(c.name, &version), c.matches) << c.name;
    if (c.matches) {
      EXPECT_EQ(version, c.version) << c.name;
    }
  }
}

}  // namespace
}  // namespace qv6
