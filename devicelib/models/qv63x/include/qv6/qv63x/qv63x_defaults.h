// The default contents of the QV63x mechanical sections: what a scanner whose EEPROM holds no record of a
// section works with. The QV840 differs in its transport, magnetic head and printer positions.
#pragma once

#include <span>
#include <utility>

#include "qv6/later/device_block.h"

namespace qv6::qv63x {

enum class DefaultSet { kBase, kQv840 };

// Sets every field of blocks 64 to 70 to its default.
void FillMechDefaults(BlockValues& values, DefaultSet set);

// A motor ramp block (69 or 70): the leading (speed, step count) entries of the acceleration and
// deceleration tables; the rest run at 1700 with no steps.
using RampEntry = std::pair<int, int>;
void FillRamp(BlockValues& values, uint16_t type, std::span<const RampEntry> acceleration,
              std::span<const RampEntry> deceleration);

}  // namespace qv6::qv63x
