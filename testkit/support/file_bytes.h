// Whole files as bytes, for tests that hand files to outside tools and read their results.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace zc::testkit {

// The file's bytes; empty when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
// Replaces the file with `bytes`; false when it cannot be written completely.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace zc::testkit
