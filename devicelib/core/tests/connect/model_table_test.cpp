// The model table: prefix tests, the whole-text RM 70 KF row, the first-series catch-all, series scoping,
// firmware keys and default files.
#include "connect/model_table.h"

#include <gtest/gtest.h>

#include <string>

namespace qv6 {
namespace {

struct ModelRowCase {
  SeriesId series;
  const char* text;
  const char* modelClass;  // nullptr: no row matches
  const char* key;
  const char* file;
  const char* logName;  // as in the "Device: " line
};

TEST(ModelTable, ModelTextSelectsClassKeyAndDefaultFile) {
  const ModelRowCase cases[] = {
      {SeriesId::kFirst, "Orvisca Scanner Qv600", "Qv600", nullptr, nullptr, "Qv600"},
      {SeriesId::kFirst, "Orvisca Scanner Qv600 Plus", "Qv600", nullptr, nullptr, "Qv600"},
      {SeriesId::kFirst, "Orvisca Scanner Qv60", "Qv605", nullptr, nullptr, "Qv605"},
      {SeriesId::kFirst, "Orvisca Scanner qv600", "Qv605", nullptr, nullptr, "Qv605"},
      {SeriesId::kFirst, "", "Qv605", nullptr, nullptr, "Qv605"},
      {SeriesId::kQv62x, "Orvisca Scanner Qv620", "Qv620", "QV620_Firmw", "QV620Firmware.bin", "Qv620"},
      {SeriesId::kQv62x, "KWL Scanner 602", "Qv602", "QV602_Firmw", "QV602Firmware.bin", "Qv602"},
      {SeriesId::kQv62x, "Orvisca Scanner Qv602", "Qv602", "QV602_Firmw", "QV602Firmware.bin", "Qv602"},
      {SeriesId::kQv62x, "KWL Scanner 702", "Qv702", "QV702_Firmw", "QV702Firmware.bin", "Qv702"},
      {SeriesId::kQv62x, "No model", nullptr, nullptr, nullptr, nullptr},
      {SeriesId::kQv63x, "KWL Scanner 603", "Qv603", "QV603_Firmw", "QV603Firmware.bin", "Qv603"},
      {SeriesId::kQv63x, "Orvisca Scanner Qv840", "Qv840", "QV840_Firmw", "QV840Firmware.bin", "Qv840"},
      {SeriesId::kQv63x, "Orvisca Scanner Qv625", "Qv625", "QV625_Firmw", "QV625Firmware.bin", "Qv625"},
      // The QV9120 text fails every QV63x test and is found in its own step.
      {SeriesId::kQv63x, "Orvisca Scanner Qv9120", nullptr, nullptr, nullptr, nullptr},
      {SeriesId::kQv9120, "Orvisca Scanner Qv9120", "Qv9120", "QV9120_Firmw", "QV9120Firmware.bin", "Qv9120"},
      {SeriesId::kQv64x, "Orvisca Scanner Qv640", "Qv640", "QV640_Firmw", "QV640Firmware.bin", "Qv640"},
      {SeriesId::kQv64x, "Orvisca Scanner Qv630", nullptr, nullptr, nullptr, nullptr},
      {SeriesId::kVekQv5xx, "Orvisca Scanner RM 70 KF", "VEKQv500", "RM70KF_Firmw", "RM70KfFirmware.bin",
       "RM 70"},
      {SeriesId::kVekQv5xx, "Orvisca Scanner RM 70 KF2", "VEKQv500", "RM70_Firmw", "RM70Firmware.bin",
       "RM 70"},
      {SeriesId::kVekQv5xx, "Orvisca Scanner RM 70", "VEKQv500", "RM70_Firmw", "RM70Firmware.bin", "RM 70"},
      {SeriesId::kVekQv5xx, "Orvisca Scanner RM 7", nullptr, nullptr, nullptr, nullptr},
      {SeriesId::kKQv8x, "KWL Scanner KQv8", "KQv8", "KQV8_Firmw", "KQv8Firmware.bin", "KQv8"},
      {SeriesId::kKQv8x, "No model", nullptr, nullptr, nullptr, nullptr},
  };
  auto text = [](const char* s) { return std::string(s != nullptr ? s : "<none>"); };
  for (const ModelRowCase& c : cases) {
    SCOPED_TRACE(std::string(SeriesName(c.series)) + " '" + c.text + "'");
    const ModelRow* row = MatchModel(c.series, c.text);
    if (c.modelClass == nullptr) {
      EXPECT_EQ(row, nullptr);
      continue;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(text(row->modelClass), c.modelClass);
    EXPECT_EQ(text(row->firmwareKey), text(c.key));
    EXPECT_EQ(text(row->defaultFile), text(c.file));
    EXPECT_EQ(text(row->logLine), std::string("Device: ") + c.logName + "\n");
  }
  EXPECT_EQ(MatchModel(SeriesId::kFirst, nullptr)->modelClass, std::string("Qv605"));
}

}  // namespace
}  // namespace qv6
