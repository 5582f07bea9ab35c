// The default contents of the QV63x mechanical sections: what a scanner whose EEPROM holds no record of a
// section works with. The QV840 differs in its transport, magnetic head and printer positions.
#pragma once

#include "qv6/later/device_block.h"

namespace qv6::qv63x {

enum class DefaultSet { kBase, kQv840 };

// Sets every field of blocks 64 to 70 to its default.
void FillMechDefaults(BlockValues& values, DefaultSet set);

}  // namespace qv6::qv63x
