// Two scanners' polling threads keep their EEPROM images in the process's one "Eeprom.dat" at once:
// every write and every read-back gives each scanner its own image, whole.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fake_eeprom.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

constexpr int kRounds = 60;
constexpr size_t kRecordBytes = 20000;  // several write calls per cache file

// One scanner's rounds: write a new image, then sync a second file object that may take the cache.
// Returns the number of rounds whose image was not the scanner's own.
int Rounds(FakeEeprom& device, uint8_t mark) {
  int wrong = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto fill = static_cast<uint8_t>(mark + round);
    std::vector<uint8_t> record(kRecordBytes, fill);
    TestMechFile writer(device);
    writer.InitImage(device.serial.c_str());
    if (!writer.AddRecord(64, record.data(), static_cast<int>(record.size())) || writer.SyncImage() != 1) {
      ++wrong;
      continue;
    }
    TestMechFile reader(device);
    std::vector<uint8_t> got(kRecordBytes, 0);
    if (reader.SyncImage() != 1 || reader.GetRecord(64, got.data(), got.size()) != 1 || got != record) {
      ++wrong;
    }
  }
  return wrong;
}

TEST(DeviceMechFileThreads, TwoScannersSyncingAtOnceEachKeepTheirOwnImage) {
  zc::testkit::ScratchDir scratch("mechfile-threads");
  plat::SetFolder(plat::Folder::kTemp, scratch.Path());
  std::array<FakeEeprom, 2> devices;
  devices[0].serial = "SN-A0001";
  devices[1].serial = "SN-B0002";
  std::array<std::atomic<int>, 2> wrong{};
  std::vector<std::thread> threads;
  for (size_t i = 0; i < devices.size(); ++i) {
    threads.emplace_back([&, i] { wrong[i] = Rounds(devices[i], static_cast<uint8_t>(0x40 * (i + 1))); });
  }
  for (std::thread& t : threads) t.join();
  plat::SetFolder(plat::Folder::kTemp, "");
  EXPECT_EQ(wrong[0].load(), 0);
  EXPECT_EQ(wrong[1].load(), 0);
  // Only the cache itself is left behind: no temporary file survives.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.Path())) {
    EXPECT_EQ(entry.path().filename(), DeviceMechFile::kCacheFileName);
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace qv6
