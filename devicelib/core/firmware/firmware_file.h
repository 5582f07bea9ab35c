// Firmware file selection: several versions of a firmware file may lie side by side, each carrying its
// version in its name ("QV620Firmware_v1.10.0.0.bin" beside the configured "QV620Firmware.bin"). The
// configured name serves as a pattern, and the file with the highest version wins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv6 {

// Full paths longer than this are refused (empty result), as the full-path buffer holds no more.
inline constexpr size_t kMaxFullPath = 260;

// Lists the files of the configured file's folder whose names extend the configured name before its last
// '.', and returns the full path of the one with the highest version in its name, or an empty text when
// none carries a version. Of equal versions the first listed stays; version 0.0.0.0 is never selected.
// The selected file's packed version (0 when none) is stored through version when it is given.
std::string FindLatestFirmwareFile(std::string_view configuredPath, uint64_t* version = nullptr);

}  // namespace qv6
