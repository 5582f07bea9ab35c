// The first series' device side through the first-series transport: the identity block read, block
// writes and reads, and bulk data armed by a data-in command.
#include "sim/first_series_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/device_registry.h"
#include "platform/clock.h"
#include "sim/catalog.h"
#include "transport/bulk_layer.h"
#include "transport/scanner_interface.h"

namespace sim {
namespace {

class FirstSeriesDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drv::DeviceRegistry::Instance().Reset();
    qv6::BulkLayer::Reset();
    device = std::static_pointer_cast<FirstSeriesDevice>(AttachScanner(Model::kQv600));
    ASSERT_EQ(scanner.Open(), 1);
  }
  void TearDown() override {
    scanner.Close();
    drv::DeviceRegistry::Instance().Reset();
  }

  plat::ScopedClock clock{plat::ScopedClock::Virtual{0, true}};
  std::shared_ptr<FirstSeriesDevice> device;
  qv6::ScannerInterface scanner;
};

TEST_F(FirstSeriesDeviceTest, IdentityBlockComesBehindAFourByteHead) {
  const uint8_t command[5] = {8, 1, 0, 0, 0};
  uint8_t reply[256] = {};
  int length = 0;
  ASSERT_EQ(scanner.Transact(command, 5, reply, sizeof reply, &length), 1);
  auto block = device->identity().EncodeBlock();
  ASSERT_EQ(length, static_cast<int>(block.size() + 4));
  EXPECT_EQ(reply[0], 1);
  EXPECT_EQ((reply[2] << 8) | reply[3], static_cast<int>(block.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply + 4)), "KWL Ltd - Norda");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply + 4 + 16)), "Orvisca Scanner Qv600");
}

TEST_F(FirstSeriesDeviceTest, BlockWriteThenReadAndUnknownBlockIsEmpty) {
  const uint8_t write[9] = {9, 40, 0, 0, 4, 0xDE, 0xAD, 0xBE, 0xEF};
  ASSERT_EQ(scanner.SendCommand(write, sizeof write), 1);
  EXPECT_EQ(device->Block(40), (std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
  const uint8_t read[5] = {8, 40, 0, 0, 0};
  uint8_t reply[16] = {};
  int length = 0;
  ASSERT_EQ(scanner.Transact(read, 5, reply, sizeof reply, &length), 1);
  EXPECT_EQ(length, 8);
  EXPECT_EQ(reply[7], 0xEF);

  const uint8_t unknown[5] = {8, 77, 0, 0, 0};
  EXPECT_EQ(scanner.Transact(unknown, 5, reply, sizeof reply, &length), 0);
  EXPECT_EQ(device->Commands().size(), 2u + 3u);  // the empty reply was asked for three times
}

TEST_F(FirstSeriesDeviceTest, SampleCommandArmsTheBulkRead) {
  const uint8_t samples[5] = {12, 0, 0, 0x27, 0x10};  // 10000 bytes
  ASSERT_EQ(scanner.SendCommand(samples, 5), 1);
  std::vector<uint8_t> buffer(10000, 0xEE);
  int read = 0;
  ASSERT_EQ(scanner.Read(buffer.data(), 10000, &read), 1);
  EXPECT_EQ(read, 10000);
  EXPECT_EQ(buffer, std::vector<uint8_t>(10000, 0));

  std::vector<uint8_t> chunk(100, 0x5A);
  int written = 0;
  ASSERT_EQ(scanner.Write(chunk.data(), 100, &written), 1);
  EXPECT_EQ(device->BulkReceived(), chunk);
}

}  // namespace
}  // namespace sim
