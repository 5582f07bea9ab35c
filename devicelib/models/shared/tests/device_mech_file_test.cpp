// An EEPROM image kept on a device and cached in "Eeprom.dat": writing with read-back, erased and
// oversized images, and when the cache may stand in for the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "fake_eeprom.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

class DeviceMechFileTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::SetFolder(plat::Folder::kTemp, dir_.string()); }
  void TearDown() override { plat::SetFolder(plat::Folder::kTemp, ""); }
  // A fresh image with one record of `length` bytes, synchronised to the device.
  int WriteImage(TestMechFile& file, size_t length) {
    file.InitImage(device.serial.c_str());
    std::vector<uint8_t> data(length, 0x5C);
    if (!file.AddRecord(64, data.data(), static_cast<int>(length))) return -1;
    return file.SyncImage();
  }

  zc::testkit::ScratchDir scratch_{"mechfile"};
  std::filesystem::path dir_ = scratch_.Path();
  FakeEeprom device;
};

TEST_F(DeviceMechFileTest, ErasedDeviceHasNoImageAndDefaultsApply) {
  TestMechFile file(device);
  EXPECT_EQ(file.SyncImage(), 0);
  EXPECT_FALSE(file.HasImage());
  uint8_t b[2];
  EXPECT_EQ(file.GetRecord(64, b, 2), 0);
  EXPECT_EQ(b[0], 0xAB);
}

TEST_F(DeviceMechFileTest, WriteIsReadBackAndCountsWrites) {
  TestMechFile file(device);
  ASSERT_EQ(WriteImage(file, 100), 1);
  EXPECT_EQ(MechFileBaseClass::WriteCounter(device.memory), 1u);  // erased device: counter 1
  uint8_t b[100];
  ASSERT_EQ(file.GetRecord(64, b, sizeof b), 1);
  EXPECT_EQ(b[99], 0x5C);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "Eeprom.dat"));
  ASSERT_EQ(WriteImage(file, 10), 1);
  EXPECT_EQ(MechFileBaseClass::WriteCounter(device.memory), 2u);
}

TEST_F(DeviceMechFileTest, UnreadableDeviceHeaderStopsTheWrite) {
  TestMechFile file(device);
  ASSERT_EQ(WriteImage(file, 100), 1);
  const std::vector<uint8_t> before = device.memory;
  const int writes = device.writes;
  device.failReads = true;
  EXPECT_EQ(file.InitImage(device.serial.c_str()), 0);
  std::vector<uint8_t> data(10, 0x11);
  file.AddRecord(64, data.data(), static_cast<int>(data.size()));
  EXPECT_EQ(file.SyncImage(), 0);
  EXPECT_EQ(device.writes, writes);
  EXPECT_EQ(device.memory, before);  // the device keeps its image and its write counter
}

TEST_F(DeviceMechFileTest, ImageTooLargeForTheDeviceIsRefusedUnwritten) {
  TestMechFile file(device);
  ASSERT_EQ(WriteImage(file, 100), 1);
  std::vector<uint8_t> before = device.memory;
  int writes = device.writes;
  EXPECT_EQ(WriteImage(file, kFakeEepromBytes - 140 - 12), 0);
  EXPECT_EQ(device.writes, writes);
  EXPECT_EQ(device.memory, before);
}

TEST_F(DeviceMechFileTest, ReadBackMismatchFails) {
  TestMechFile file(device);
  device.corruptWrites = true;
  EXPECT_EQ(WriteImage(file, 50), 0);
  uint8_t b[50];
  file.GetRecord(64, b, sizeof b);  // the written copy stays in force
  EXPECT_EQ(b[49], 0x5C);
}

TEST_F(DeviceMechFileTest, DeviceHeaderLengthsThatGiveNoImage) {
  for (uint32_t headerLength : {0xFFFFFFFFu, uint32_t{kFakeEepromBytes}, 0u}) {
    SCOPED_TRACE(headerLength);
    std::fill(device.memory.begin(), device.memory.end(), 0);
    plat::bytes::PutLe32(device.memory.data(), headerLength);
    TestMechFile file(device);
    EXPECT_EQ(file.SyncImage(), 0);
    EXPECT_FALSE(file.HasImage());
  }
}

TEST_F(DeviceMechFileTest, CacheStandsInOnlyForTheSameImage) {
  {
    TestMechFile writer(device);
    ASSERT_EQ(WriteImage(writer, 2000), 1);
  }
  struct Case {
    const char* name;
    std::string serial;
    bool identity;
    bool corruptCache;
    bool fromCache;
  } cases[] = {
      {"same serial and counter", "SN0001", true, false, true},
      {"another scanner", "SN0002", true, false, false},
      {"no identity", "SN0002", false, false, true},
      {"cache with a data length beyond its bytes", "SN0001", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.corruptCache) {
      std::fstream f(dir_ / "Eeprom.dat", std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(4);
      const char huge[4] = {0, 0, 0, 0x10};
      f.write(huge, 4);
    }
    device.serial = c.serial;
    device.identityReadable = c.identity;
    device.bytesRead = 0;
    TestMechFile reader(device);
    ASSERT_EQ(reader.SyncImage(), 1);
    EXPECT_EQ(device.bytesRead == 140, c.fromCache);
    uint8_t b[4];
    reader.GetRecord(64, b, sizeof b);
    EXPECT_EQ(b[0], 0x5C);
  }
}

}  // namespace
}  // namespace qv6
