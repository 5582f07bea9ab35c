// Test fixtures for endorsement printing: a generator of synthetic ink-jet font files and a scratch folder
// that stands in for the current, Windows and System folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testkit/support/scratch_dir.h"

namespace qv6::endorsement::testing {

// The rows 0-11 of column `column` of the synthetic glyph of `code` (32..127): distinct for every glyph,
// never 0, so a blank shows as the glyph of ' ' rather than as nothing.
uint16_t SyntheticColumn(int code, int column);

// A 2048-byte font file of synthetic glyphs. Bits 12-15 of every column word and the bytes after the
// last glyph hold junk that a reader must ignore.
std::vector<uint8_t> SyntheticFontBytes();

// Runs each test in a fresh folder that is the current directory, with "win" and "sys" below it as the
// Windows and System folders; everything is restored afterwards.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  zc::testkit::ScratchDir scratch_{"endorse"};
  std::filesystem::path root_ = scratch_.Path();
  std::filesystem::path windows_;
  std::filesystem::path system_;

 private:
  std::filesystem::path previous_;
};

}  // namespace qv6::endorsement::testing
