// The franker: its command packet and the smart mode's decision from a decoded code line.
#include "qv6/later/franker.h"

#include <gtest/gtest.h>

#include "qv6/later/command_packet.h"

namespace qv6::later {
namespace {

TEST(Franker, CommandCarriesTheSequenceAndTheValueHighByteFirst) {
  EXPECT_EQ(PackCommand(FrankRequest(37, 0x1234), Qv63xOpcodes()),
            (std::vector<uint8_t>{0x00, 0x0C, 37, 0x12, 0x34, 0x00, 0x00}));
  // Only the low 16 bits travel.
  EXPECT_EQ(PackCommand(FrankRequest(0, 0x7F0102), Qv63xOpcodes()),
            (std::vector<uint8_t>{0x00, 0x0C, 0, 0x01, 0x02, 0x00, 0x00}));
}

TEST(Franker, SmartModeFranksLinesWithinTheAllowance) {
  struct Case {
    const char* what;
    FrankerSettings settings;
    const char* line;
    std::optional<int> value;
  } cases[] = {
      {"one reject, one allowed", {2, 1}, "123@56<789", 1},
      {"two rejects, one allowed", {2, 1}, "12@@56<789", 0},
      {"clean line", {2, 0}, "123456<789", 1},
      {"empty line", {2, 5}, "", 0},
      {"always on: the scanner decides", {1, 1}, "123@56", std::nullopt},
      {"off", {0, 1}, "123456", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SmartFrankValue(c.settings, c.line), c.value);
  }
}

}  // namespace
}  // namespace qv6::later
