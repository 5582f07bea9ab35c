// The QV640's default mechanical sections: what a scanner whose EEPROM holds no record of a section works
// with.
#include <array>
#include <vector>

#include "qv6/later/later_blocks.h"
#include "qv6/qv63x/qv63x_defaults.h"
#include "qv6/qv64x/qv640_model.h"

namespace qv6::qv64x {
namespace {

using qv63x::RampEntry;

const std::vector<RampEntry> kAcceleration = {{-700, 4},  {0, 0},     {700, 10},  {970, 20},   {1000, 10},
                                              {1050, 10}, {1100, 10}, {1150, 10}, {1200, 105}, {1250, 10},
                                              {1300, 10}, {1350, 10}, {1385, 10}, {1450, 10},  {1500, 10},
                                              {1580, 10}, {1650, 10}};
const std::vector<RampEntry> kDeceleration = {{-700, 4},  {0, 0},     {700, 10},  {1000, 10},
                                              {1200, 10}, {1350, 10}, {1450, 10}, {1530, 10},
                                              {1600, 10}, {1650, 10}, {1680, 10}};

}  // namespace

void FillQv640Defaults(BlockValues& v) {
  using namespace later;
  // The QV63x base defaults hold for the motor, the transport's QV63x fields, the head and the printer.
  qv63x::FillMechDefaults(v, qv63x::DefaultSet::kBase);

  const std::array<int64_t, kImFields> module = {
      300,  2,    0,    1296, 0,    1536,                             // front module
      300,  2,    0,    1296, 0,    1536,                             // rear module
      4000, 4000, 4000, 3094, 750,  750,  750,  750,  123, 123, 123,  // front acquisition
      4000, 4000, 4000, 3094, 1000, 1000, 1000, 1000, 123, 123, 123,  // rear acquisition
      466,  516};
  for (size_t i = 0; i < module.size(); ++i) v.Set(kBlockImageModule, i, module[i]);

  // Franker position, on and off lags, feed solenoid re-energise delay and off time, franking length and
  // margin.
  const std::array<int64_t, kTsQv64xFields - kTsFields> franker = {563, 7, 7, 1000, 0, 127, 17};
  for (size_t i = 0; i < franker.size(); ++i) v.Set(kBlockTransport, kTsFields + i, franker[i]);

  // No default of its own: the mechanical INI's.
  v.Set(kBlockMicrHead, kMhGainCalib, 128);

  qv63x::FillRamp(v, kBlockRamp0, kAcceleration, kDeceleration);
  qv63x::FillRamp(v, kBlockRamp1, kAcceleration, kDeceleration);
}

}  // namespace qv6::qv64x
