// Synthetic font files and the scratch folder fixture.
#include "font_fixture.h"

#include "platform/paths.h"

namespace qv6::endorsement::testing {

uint16_t SyntheticColumn(int code, int column) {
  // 73 is odd, so code * 73 differs between codes modulo 4096; the column term varies the columns.
  const unsigned value = static_cast<unsigned>(code) * 73u + static_cast<unsigned>(column) * 151u + 1u;
  return static_cast<uint16_t>((value & 0xFFFu) | (1u << column));
}

std::vector<uint8_t> SyntheticFontBytes() {
  std::vector<uint8_t> bytes(2048, 0xA5);
  for (int code = 32; code <= 127; ++code) {
    for (int k = 0; k < 10; ++k) {
      const uint16_t word = SyntheticColumn(code, k) | 0xA000;  // junk in the unused bits 12-15
      const size_t at = 20 * static_cast<size_t>(code - 32) + 2 * static_cast<size_t>(k);
      bytes[at] = static_cast<uint8_t>(word);
      bytes[at + 1] = static_cast<uint8_t>(word >> 8);
    }
  }
  return bytes;
}

void ScratchFolderTest::SetUp() {
  previous_ = std::filesystem::current_path();
  windows_ = root_ / "win";
  system_ = root_ / "sys";
  std::filesystem::create_directory(windows_);
  std::filesystem::create_directory(system_);
  std::filesystem::current_path(root_);
  plat::ResetFolders();
  plat::SetFolder(plat::Folder::kWindows, windows_.string());
  plat::SetFolder(plat::Folder::kSystem, system_.string());
}

void ScratchFolderTest::TearDown() {
  plat::ResetFolders();
  std::filesystem::current_path(previous_);
}

}  // namespace qv6::endorsement::testing
