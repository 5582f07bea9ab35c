// The QV63x EEPROM image's defaults and device access.
#include "qv6/qv63x/qv63x_mech_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "identity/identity_block.h"
#include "qv6/later/later_blocks.h"

namespace qv6 {

bool CommandsEepromAccess::ReadSerial(std::string* serial) {
  std::array<uint8_t, 256> identity{};
  if (!commands_.Identify(identity.data(), identity.size())) return false;
  CQv6Info info(identity.data(), identity.size());
  *serial = info.serial();
  return true;
}

void CopyDefaultSection(int tag, uint8_t* buffer, size_t length, const BlockTable& table,
                        const std::function<void(BlockValues&)>& fill) {
  if (buffer == nullptr) return;
  std::memset(buffer, 0, length);
  if (tag >= 256 && tag <= 271) {
    std::memset(buffer, tag % 2 == 0 ? 0xFF : 0x00, length);
    return;
  }
  if (tag < kBlockImageModule || tag > kBlockRamp1) return;
  BlockValues values(table);
  fill(values);
  std::vector<uint8_t> record = EncodePayload(values, static_cast<uint16_t>(tag), ByteOrder::kLittle);
  // A series without the section has no record for it: the buffer stays cleared.
  if (!record.empty()) std::memcpy(buffer, record.data(), std::min(length, record.size()));
}

void Qv63xMechFile::GetDefaultSection(int tag, uint8_t* buffer, size_t length) {
  CopyDefaultSection(tag, buffer, length, later::Qv63xBlockTable(),
                     [this](BlockValues& v) { qv63x::FillMechDefaults(v, defaults_); });
}

}  // namespace qv6
