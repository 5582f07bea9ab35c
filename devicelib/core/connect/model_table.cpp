// The model table and its tests.
#include "connect/model_table.h"

#include <array>
#include <cstring>

namespace qv6 {
namespace {

using S = SeriesId;
using M = TextMatch;

// The RM 70 KF row compares the whole text, so "Orvisca Scanner RM 70" followed by anything else falls
// through to the plain RM 70 row. The KQv8 key and the RM 70 KF default file are spelled as stored
// descriptor files have them.
constexpr std::array<ModelRow, 15> kModels = {{
    {S::kFirst, "Orvisca Scanner Qv600", M::kPrefix, "Qv600", nullptr, nullptr, "Device: Qv600\n"},
    {S::kFirst, nullptr, M::kAny, "Qv605", nullptr, nullptr, "Device: Qv605\n"},
    {S::kQv62x, "Orvisca Scanner Qv620", M::kPrefix, "Qv620", "QV620_Firmw", "QV620Firmware.bin",
     "Device: Qv620\n"},
    {S::kQv62x, "Orvisca Scanner Qv602", M::kPrefix, "Qv602", "QV602_Firmw", "QV602Firmware.bin",
     "Device: Qv602\n"},
    {S::kQv62x, "KWL Scanner 602", M::kPrefix, "Qv602", "QV602_Firmw", "QV602Firmware.bin",
     "Device: Qv602\n"},
    {S::kQv62x, "KWL Scanner 702", M::kPrefix, "Qv702", "QV702_Firmw", "QV702Firmware.bin",
     "Device: Qv702\n"},
    {S::kQv63x, "KWL Scanner 603", M::kPrefix, "Qv603", "QV603_Firmw", "QV603Firmware.bin",
     "Device: Qv603\n"},
    {S::kQv63x, "Orvisca Scanner Qv630", M::kPrefix, "Qv630", "QV630_Firmw", "QV630Firmware.bin",
     "Device: Qv630\n"},
    {S::kQv63x, "Orvisca Scanner Qv840", M::kPrefix, "Qv840", "QV840_Firmw", "QV840Firmware.bin",
     "Device: Qv840\n"},
    {S::kQv63x, "Orvisca Scanner Qv625", M::kPrefix, "Qv625", "QV625_Firmw", "QV625Firmware.bin",
     "Device: Qv625\n"},
    {S::kQv64x, "Orvisca Scanner Qv640", M::kPrefix, "Qv640", "QV640_Firmw", "QV640Firmware.bin",
     "Device: Qv640\n"},
    {S::kQv9120, "Orvisca Scanner Qv9120", M::kPrefix, "Qv9120", "QV9120_Firmw", "QV9120Firmware.bin",
     "Device: Qv9120\n"},
    {S::kVekQv5xx, "Orvisca Scanner RM 70 KF", M::kWhole, "VEKQv500", "RM70KF_Firmw", "RM70KfFirmware.bin",
     "Device: RM 70\n"},
    {S::kVekQv5xx, "Orvisca Scanner RM 70", M::kPrefix, "VEKQv500", "RM70_Firmw", "RM70Firmware.bin",
     "Device: RM 70\n"},
    {S::kKQv8x, "KWL Scanner KQv8", M::kPrefix, "KQv8", "KQV8_Firmw", "KQv8Firmware.bin", "Device: KQv8\n"},
}};

bool Passes(const ModelRow& row, const char* text) {
  switch (row.match) {
    case M::kAny:
      return true;
    case M::kWhole:
      return std::strcmp(text, row.text) == 0;
    case M::kPrefix:
      return std::strncmp(text, row.text, std::strlen(row.text)) == 0;
  }
  return false;
}

}  // namespace

const char* SeriesName(SeriesId series) {
  static constexpr std::array<const char*, kSeriesCount> kNames = {
      "first series", "QV62x", "QV63x", "QV64x", "QV9120", "VEKQv5xx", "KQv8x"};
  auto i = static_cast<size_t>(series);
  return i < kNames.size() ? kNames[i] : "?";
}

std::span<const ModelRow> ModelTable() {
  return kModels;
}

const ModelRow* MatchModel(SeriesId series, const char* modelText) {
  const char* text = modelText != nullptr ? modelText : "";
  for (const ModelRow& row : kModels) {
    if (row.series == series && Passes(row, text)) return &row;
  }
  return nullptr;
}

}  // namespace qv6
