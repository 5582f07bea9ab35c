// QV63x mechanical section defaults.
#include "qv6/qv63x/qv63x_defaults.h"

#include <array>
#include <utility>
#include <vector>

#include "qv6/later/later_blocks.h"

namespace qv6::qv63x {
namespace {

using later::kRampEntries;

// Speed and step count of the leading ramp entries; the rest run at 1700 with no steps.
const std::vector<RampEntry> kAcceleration = {{-700, 4},  {0, 0},     {700, 10},  {970, 20},
                                              {1000, 10}, {1100, 10}, {1200, 10}, {1300, 10},
                                              {1400, 10}, {1500, 10}, {1600, 10}, {1650, 10}};
const std::vector<RampEntry> kDeceleration = {{-700, 4},  {0, 0},     {700, 10},  {1000, 10}, {1200, 10},
                                              {1300, 10}, {1400, 10}, {1500, 10}, {1600, 10}, {1680, 10}};

}  // namespace

void FillMechDefaults(BlockValues& v, DefaultSet set) {
  using namespace later;
  const bool qv840 = set == DefaultSet::kQv840;
  const std::array<int64_t, kImFields> module = {
      200,  2,     16,   832,  0, 896,                       // front module
      200,  2 | 8, 32,   832,  0, 896,                       // rear module (pixels top-down)
      3000, 3000,  3000, 3000, 0, 0,   0, 0, 180, 180, 180,  // front acquisition
      3000, 3000,  3000, 3000, 0, 0,   0, 0, 180, 180, 180,  // rear acquisition
      449,  516};
  for (size_t i = 0; i < module.size(); ++i) v.Set(kBlockImageModule, i, module[i]);

  const std::array<int64_t, 5> motor = {2770, 15, 35, 61, 0};
  for (size_t i = 0; i < motor.size(); ++i) v.Set(kBlockMotor, i, motor[i]);

  const std::array<int64_t, kTsFields> transport = {
      qv840 ? 1050 : 700, 50,  75, 50,   50,  50,  2,  250, 2000, qv840 ? 802 : 548,
      qv840 ? 376 : 0,    240, 60, 2000, 860, 120, 28, 0,   48};
  for (size_t i = 0; i < transport.size(); ++i) v.Set(kBlockTransport, i, transport[i]);

  v.Set(kBlockMicrHead, kMhPosition, qv840 ? 55 : 250);
  v.Set(kBlockMicrHead, kMhFrequency, 62500);
  v.Set(kBlockMicrHead, kMhOffset, -1500);

  const std::array<int64_t, 8> printer = {qv840 ? 70 : 230, 45, 3600, 50, 36000, 100, 65000, 200};
  for (size_t i = 0; i < printer.size(); ++i) v.Set(kBlockPrinterSection, i, printer[i]);

  FillRamp(v, kBlockRamp0, kAcceleration, kDeceleration);
  FillRamp(v, kBlockRamp1, kAcceleration, kDeceleration);
}

void FillRamp(BlockValues& v, uint16_t type, std::span<const RampEntry> acceleration,
              std::span<const RampEntry> deceleration) {
  for (size_t table = 0; table < 2; ++table) {
    const auto& entries = table == 0 ? acceleration : deceleration;
    for (size_t e = 0; e < later::kRampEntries; ++e) {
      size_t field = 2 * (table * later::kRampEntries + e);
      auto [speed, count] = e < entries.size() ? entries[e] : RampEntry{1700, 0};
      v.Set(type, field, speed);
      v.Set(type, field + 1, count);
    }
  }
}

}  // namespace qv6::qv63x
