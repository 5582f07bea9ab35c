// The later series' device side through the driver-device transport: identification, framed blocks with
// each series' status block size, the EEPROM with its cursor, pipes, serial port, FPGA and CPU reset.
#include "sim/later_series_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "sim/catalog.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace sim {
namespace {

class LaterSeriesDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { Attach(Model::kQv630); }
  void TearDown() override {
    iface.Close();
    drv::DeviceRegistry::Instance().Reset();
  }
  void Attach(Model model) {
    iface.Close();
    drv::DeviceRegistry::Instance().Reset();
    qv6::DriverLayer::Reset();
    device = std::static_pointer_cast<LaterSeriesDevice>(AttachScanner(model));
    ASSERT_EQ(iface.Open(), 1);
  }
  static qv6::RequestRecord Request(uint16_t type, uint16_t blockValue = 0) {
    qv6::RequestRecord record;
    record.type = type;
    record.blockInValue = blockValue;
    return record;
  }

  std::shared_ptr<LaterSeriesDevice> device;
  qv6::ScannerQV63xInterface iface;
};

TEST_F(LaterSeriesDeviceTest, StatusBlockSizePerSeries) {
  struct Case {
    Model model;
    size_t statusSize;
  } cases[] = {{Model::kQv620, 23}, {Model::kQv630, 38}, {Model::kQv9120, 38},
               {Model::kQv640, 38}, {Model::kRm70, 15},  {Model::kKQv8, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Info(c.model).modelText);
    Attach(c.model);
    std::vector<uint8_t> reply(64, 0xEE);
    ASSERT_EQ(iface.Receive(reply.data(), 64, Request(qv6::kRequestBlockIn, 2)), 1);
    EXPECT_EQ(reply[0], 0);
    EXPECT_EQ(reply[1], 2);
    EXPECT_EQ((reply[2] << 8) | reply[3], static_cast<int>(c.statusSize));
  }
}

TEST_F(LaterSeriesDeviceTest, IdentificationAndCutIdentityBlock) {
  uint8_t reply[20] = {};
  ASSERT_EQ(iface.Receive(reply, 20, Request(qv6::kRequestIdentification)), 1);
  EXPECT_EQ(reply[10], 19);
  EXPECT_EQ(reply[12], 1);

  // A reply cut to the host's buffer says so in its framing length.
  std::vector<uint8_t> block(4 + 10, 0);
  ASSERT_EQ(iface.Receive(block.data(), 14, Request(qv6::kRequestBlockIn, 1)), 1);
  EXPECT_EQ((block[2] << 8) | block[3], 10);
  EXPECT_EQ(iface.Receive(block.data(), 14, Request(qv6::kRequestBlockIn, 99)), 0);
}

TEST_F(LaterSeriesDeviceTest, EepromWriteAndReadBackThroughTheCursor) {
  std::vector<uint8_t> image(5000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
  ASSERT_EQ(iface.Send(image.data(), 5000, Request(qv6::kRequestEepromWrite)), 1);
  std::vector<uint8_t> back(5000);
  ASSERT_EQ(iface.Receive(back.data(), 5000, Request(qv6::kRequestEepromRead)), 1);
  EXPECT_EQ(back, image);
  EXPECT_EQ(device->Eeprom()[5000], 0xFF);
}

TEST_F(LaterSeriesDeviceTest, PipesSerialFpgaAndReset) {
  std::vector<uint8_t> samples(1000, 0x42);
  device->QueuePipeData(2, samples);
  qv6::RequestRecord read = Request(qv6::kRequestBulkRead);
  read.pipe = 2;
  std::vector<uint8_t> buffer(1000);
  ASSERT_EQ(iface.ReceiveValue(buffer.data(), 1000, read), 1);
  EXPECT_EQ(buffer, samples);
  EXPECT_EQ(iface.ReceiveValue(buffer.data(), 1000, read), 0);  // nothing left: zero-length packet

  qv6::RequestRecord write = Request(qv6::kRequestBulkWrite);
  write.pipe = 3;
  std::vector<uint8_t> upload(10000, 7);
  ASSERT_EQ(iface.SendValue(upload.data(), 10000, write), 1);
  EXPECT_EQ(device->PipeReceived(3), upload);

  const uint8_t serial[3] = {'a', 'b', 'c'};
  device->QueueSerialIn(serial);
  uint8_t in[3] = {};
  ASSERT_EQ(iface.Receive(in, 3, Request(qv6::kRequestSerialIn)), 1);
  EXPECT_EQ(in[2], 'c');
  ASSERT_EQ(iface.Send(serial, 3, Request(qv6::kRequestSerialOut)), 1);
  EXPECT_EQ(device->SerialOut().size(), 3u);

  qv6::RequestRecord fpga = Request(qv6::kRequestFpgaImage);
  std::vector<uint8_t> bitstream(3000, 0x99);
  ASSERT_EQ(iface.Send(bitstream.data(), 3000, fpga), 1);
  EXPECT_EQ(device->FpgaImage(), bitstream);

  qv6::RequestRecord reset = Request(qv6::kRequestMemoryWrite);
  reset.memoryValue = 0xE600;
  const uint8_t hold = 1, run = 0;
  ASSERT_EQ(iface.Send(&hold, 1, reset), 1);
  EXPECT_TRUE(device->CpuInReset());
  ASSERT_EQ(iface.Send(&run, 1, reset), 1);
  EXPECT_FALSE(device->CpuInReset());
}

}  // namespace
}  // namespace sim
