// The QV63x model table and the models' differences.
#include <string>

#include "connect/model_registry.h"
#include "connect/model_table.h"
#include "qv6/qv63x/qv63x_models.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

class ModelsTestBase : public SimScannerTest {};

// The connection's model table names a class for each model text; the class registered under that name
// builds the model with its flags.
TEST_F(ModelsTestBase, ModelTextsCreateTheirClassesWithTheirFlags) {
  struct Case {
    const char* text;
    const char* modelClass;  // nullptr: not a QV63x model
    bool mirrored;
    bool alternativeColour;
  } cases[] = {
      {"KWL Scanner 603", "Qv603", false, true},
      {"Orvisca Scanner Qv630", "Qv630", false, false},
      {"Orvisca Scanner Qv630 rev B", "Qv630", false, false},
      {"Orvisca Scanner Qv840", "Qv840", true, false},
      {"Orvisca Scanner Qv625", "Qv625", false, false},
      {"Orvisca Scanner Qv9120", nullptr, false, false},
      {"Orvisca Scanner Qv63", nullptr, false, false},
  };
  for (const Case& c : cases) {
    const ModelRow* row = MatchModel(SeriesId::kQv63x, c.text);
    ASSERT_EQ(row == nullptr, c.modelClass == nullptr) << c.text;
    if (row == nullptr) continue;
    EXPECT_STREQ(row->modelClass, c.modelClass);
    ModelFactory factory = ModelRegistry::Find(row->modelClass);
    ASSERT_NE(factory, nullptr) << c.text;
    std::unique_ptr<DeviceModel> made = factory(ModelContext{*row, nullptr, &transport});
    auto* qv63x = dynamic_cast<Qv63xModel*>(made.get());
    ASSERT_NE(qv63x, nullptr) << c.text;
    EXPECT_EQ(qv63x->flags().mirroredSides, c.mirrored) << c.text;
    EXPECT_EQ(qv63x->flags().alternativeColourTiming, c.alternativeColour) << c.text;
    EXPECT_EQ(qv63x->GetPrintParameter(1, 2), c.mirrored ? 1 : 2) << c.text;
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
