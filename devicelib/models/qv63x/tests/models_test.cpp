// The QV63x model table and the models' differences.
#include <string>

#include "qv6/qv63x/qv63x_models.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

TEST(Qv63xModels, ModelTextsArePrefixes) {
  struct Case {
    const char* text;
    const char* name;  // nullptr: not a QV63x model
  } cases[] = {
      {"KWL Scanner 603", "Qv603"},
      {"Orvisca Scanner Qv630", "Qv630"},
      {"Orvisca Scanner Qv630 rev B", "Qv630"},
      {"Orvisca Scanner Qv840", "Qv840"},
      {"Orvisca Scanner Qv625", "Qv625"},
      {"Orvisca Scanner Qv9120", nullptr},
      {"Orvisca Scanner Qv63", nullptr},
      {"No model", nullptr},
  };
  for (const Case& c : cases) {
    const Qv63xModelEntry* e = FindQv63xModel(c.text);
    EXPECT_EQ(e == nullptr ? std::string("none") : std::string(e->name), c.name ? c.name : "none") << c.text;
  }
}

class ModelsTest : public SimScannerTest {};

TEST_F(ModelsTest, Qv603TakesTheAlternativeColourTiming) {
  WriteFile("scan.ini", "[QV600 CONFIG]\r\nFRONT_IMG Color=1\r\n");
  ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_EQ(model->colourMode(), 1);
  Qv603 qv603(transport);
  ASSERT_EQ(qv603.InitDeviceFromFile("scan.ini", nullptr), 1);
  EXPECT_EQ(qv603.colourMode(), 2);
  EXPECT_TRUE(Qv840(transport).flags().mirroredSides);
  EXPECT_FALSE(qv603.flags().mirroredSides);
}

}  // namespace
}  // namespace qv6::testing
