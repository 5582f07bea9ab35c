// The later series' transfer routine: control blocks, piece sizes, the 512-byte rounding of bulk reads,
// the pipe-0 pieces, refused requests, and faults that must end a transfer instead of looping or
// overflowing the caller's buffer.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "pattern_device.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

using drv::CallKind;
using drv::Fault;
using drv::FaultKind;
using testing::Calls;
using testing::PatternDevice;

constexpr const char* kName = "\\\\.\\KScanDrv-0";

std::vector<uint8_t> Block(uint8_t direction, uint8_t code, uint16_t value, uint16_t index) {
  return {direction,
          2,
          0,
          0,
          code,
          0,
          static_cast<uint8_t>(value),
          static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(index),
          static_cast<uint8_t>(index >> 8)};
}

class DriverTransportTest : public testing::PatternDeviceTest<DriverLayer, ScannerQV63xInterface> {
 protected:
  DriverTransportTest() : PatternDeviceTest(kName) {}

  static std::vector<size_t> Capacities() {
    std::vector<size_t> sizes;
    for (const auto& call : Calls(CallKind::kControl)) sizes.push_back(call.capacity);
    return sizes;
  }
};

struct PatternCase {
  const char* name;
  uint16_t type;
  uint16_t pipe;
  bool receive;
  uint32_t length;
  bool vek;
  std::vector<size_t> capacities;  // output length of each device-control call
  uint32_t firstCode;
};

TEST_F(DriverTransportTest, CallPatternsPerRequestType) {
  const PatternCase cases[] = {
      {"EEPROM read 5000",
       kRequestEepromRead,
       0,
       true,
       5000,
       false,
       {0, 2048, 2048, 904},
       kIoctlVendorRequest},
      {"EEPROM write 300, 128-byte pieces",
       kRequestEepromWrite,
       0,
       false,
       300,
       true,
       {0, 128, 128, 44},
       kIoctlVendorRequest},
      {"EEPROM read 0", kRequestEepromRead, 0, true, 0, false, {0}, kIoctlVendorRequest},
      {"bulk read 1000", kRequestBulkRead, 2, true, 1000, false, {1024}, kIoctlPipeRead},
      {"bulk read 70000", kRequestBulkRead, 0, true, 70000, false, {61440, 8704}, kIoctlPipeRead},
      {"bulk read 0", kRequestBulkRead, 2, true, 0, false, {}, 0},
      {"pipe 0 write 100", kRequestBulkWrite, 0, false, 100, false, {64, 36}, kIoctlPipeWrite},
      {"pipe 3 write 10000", kRequestBulkWrite, 3, false, 10000, false, {10000}, kIoctlPipeWrite},
      {"bulk write 61441", kRequestBulkWrite, 3, false, 61441, false, {}, 0},
      {"block in 2048", kRequestBlockIn, 0, true, 2048, false, {2048}, kIoctlVendorRequest},
      {"block out 2049", kRequestBlockOut, 0, false, 2049, false, {}, 0},
      {"block out 129, 128-byte pieces", kRequestBlockOut, 0, false, 129, true, {}, 0},
      {"identification", kRequestIdentification, 0, true, 20, false, {20}, kIoctlIdentify},
  };
  ScannerVEKQv5xxInterface vek;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    drv::DeviceRegistry::Instance().ClearTrace();
    DriverDeviceInterface& iface = c.vek ? static_cast<DriverDeviceInterface&>(vek) : scanner;
    if (c.vek) {
      scanner.Close();
      ASSERT_EQ(vek.Open(), 1);
    }
    RequestRecord record;
    record.type = c.type;
    record.pipe = c.pipe;
    std::vector<uint8_t> buffer(c.length + 600, 0xEE);
    bool viaPipe = c.type == kRequestBulkRead || c.type == kRequestBulkWrite;
    int ok = c.receive ? (viaPipe ? iface.ReceiveValue(buffer.data(), c.length, record)
                                  : iface.Receive(buffer.data(), c.length, record))
                       : (viaPipe ? iface.SendValue(buffer.data(), c.length, record)
                                  : iface.Send(buffer.data(), c.length, record));
    bool refused = c.capacities.empty() && c.length != 0;
    EXPECT_EQ(ok, refused ? 0 : 1);
    EXPECT_EQ(Capacities(), c.capacities);
    if (!c.capacities.empty()) {
      EXPECT_EQ(Calls(CallKind::kControl)[0].code, c.firstCode);
    }
    for (size_t i = c.length; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << "byte " << i;
    if (c.vek) {
      vek.Close();
      ASSERT_EQ(scanner.Open(), 1);
    }
  }
}

TEST_F(DriverTransportTest, ControlBlocksCarryTheRecordsParameters) {
  RequestRecord record;
  uint8_t buffer[64] = {};
  struct Case {
    uint16_t type;
    std::vector<uint8_t> block;
  };
  record.blockInValue = 3;
  record.memoryValue = 0xE600;
  record.control43Value = 0x1234;
  record.control43Index = 0x0506;
  record.control41Value = 31650;
  const Case cases[] = {
      {kRequestSerialOut, Block(0, 0x11, 0, 5)},         {kRequestSerialIn, Block(1, 0x21, 0, 5)},
      {kRequestFirmwareHigh, Block(0, 0x12, 0xE600, 0)}, {kRequestMemoryWrite, Block(0, 0xA0, 0xE600, 0)},
      {kRequestCommandPacket, Block(0, 0x11, 0, 3)},     {kRequestBlockOut, Block(0, 0x11, 0, 2)},
      {kRequestBlockIn, Block(1, 0x21, 3, 2)},           {kRequestControl43, Block(0, 0x43, 0x1234, 0x0506)},
      {kRequestControl41, Block(0, 0x41, 31650, 0)},     {kRequestControl42, Block(0, 0x42, 0, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    drv::DeviceRegistry::Instance().ClearTrace();
    record.type = c.type;
    EXPECT_EQ(c.type == kRequestSerialIn || c.type == kRequestBlockIn ? scanner.Receive(buffer, 8, record)
                                                                      : scanner.Send(buffer, 8, record),
              1);
    auto calls = Calls(CallKind::kControl);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, kIoctlVendorRequest);
    EXPECT_EQ(calls[0].input, c.block);
  }

  // The FPGA image opens with its parameter byte, then goes in pieces with index 1.
  drv::DeviceRegistry::Instance().ClearTrace();
  record.type = kRequestFpgaImage;
  record.fpgaValue = 1;
  EXPECT_EQ(scanner.Send(buffer, 64, record), 1);
  auto calls = Calls(CallKind::kControl);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].input, Block(0, 0x40, 1, 0));
  EXPECT_EQ(calls[1].input, Block(0, 0x11, 0, 1));

  // The identification passes 18 input bytes: the block and eight zeros.
  drv::DeviceRegistry::Instance().ClearTrace();
  record.type = kRequestIdentification;
  EXPECT_EQ(scanner.Receive(buffer, 20, record), 1);
  std::vector<uint8_t> identify = Block(0, 0x11, 0, 3);
  identify.resize(18, 0);
  EXPECT_EQ(Calls(CallKind::kControl).at(0).input, identify);
}

TEST_F(DriverTransportTest, RefusedRequestsMakeNoCall) {
  uint8_t buffer[32] = {};
  RequestRecord record;
  record.type = kRequestControl41;
  record.control41Value = 31651;
  EXPECT_EQ(scanner.Send(buffer, 0, record), 0);
  EXPECT_EQ(scanner.error(), DriverDeviceInterface::kErrorTransfer);

  // Types above 20 are refused by Send without touching the error code.
  record.type = kRequestIdentification;
  record.control41Value = 0;
  EXPECT_EQ(scanner.Send(buffer, 20, record), 0);
  EXPECT_EQ(scanner.error(), DriverDeviceInterface::kErrorTransfer);
  record.type = 7;
  EXPECT_EQ(scanner.Receive(buffer, 20, record), 0);
  EXPECT_TRUE(Calls(CallKind::kControl).empty());

  ScannerQV64xInterface closed;
  EXPECT_EQ(closed.Receive(buffer, 20, record), 0);
  EXPECT_EQ(closed.error(), DriverDeviceInterface::kErrorNotOpen);
}

struct FaultCase {
  const char* name;
  Fault fault;
  uint16_t type;
  uint16_t pipe;
  uint32_t length;
  size_t maxCalls;
};

TEST_F(DriverTransportTest, FaultsEndTheTransferWithoutOverflow) {
  const FaultCase cases[] = {
      {"EEPROM piece moves nothing", Fault{.kind = FaultKind::kZeroBytes, .skip = 1, .count = 0},
       kRequestEepromRead, 0, 5000, 2},
      {"EEPROM piece claims too much", Fault{.kind = FaultKind::kOversize, .skip = 2, .bytes = 1},
       kRequestEepromRead, 0, 5000, 3},
      {"bulk read moves nothing", Fault{.kind = FaultKind::kZeroBytes, .count = 0}, kRequestBulkRead, 2, 1000,
       1},
      {"bulk read claims too much", Fault{.kind = FaultKind::kOversize, .bytes = 4096}, kRequestBulkRead, 2,
       1000, 1},
      {"pipe 0 short piece", Fault{.kind = FaultKind::kShort, .skip = 1, .bytes = 10}, kRequestBulkWrite, 0,
       200, 2},
      {"pipe 3 short write", Fault{.kind = FaultKind::kShort, .bytes = 10}, kRequestBulkWrite, 3, 200, 1},
      {"block in claims too much", Fault{.kind = FaultKind::kOversize, .bytes = 1}, kRequestBlockIn, 0, 100,
       1},
      {"unplug in the middle", Fault{.kind = FaultKind::kUnplug, .skip = 2}, kRequestEepromWrite, 0, 5000, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    AddFault(c.fault);
    RequestRecord record;
    record.type = c.type;
    record.pipe = c.pipe;
    std::vector<uint8_t> buffer(c.length + 4096, 0xEE);
    bool pipe = c.type == kRequestBulkRead || c.type == kRequestBulkWrite;
    bool in = c.type == kRequestBulkRead || c.type == kRequestEepromRead || c.type == kRequestBlockIn;
    int ok = in ? (pipe ? scanner.ReceiveValue(buffer.data(), c.length, record)
                        : scanner.Receive(buffer.data(), c.length, record))
                : (pipe ? scanner.SendValue(buffer.data(), c.length, record)
                        : scanner.Send(buffer.data(), c.length, record));
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(scanner.error(), DriverDeviceInterface::kErrorTransfer);
    EXPECT_LE(Calls(CallKind::kControl).size(), c.maxCalls);
    for (size_t i = c.length; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xEE) << "byte " << i;
    TearDown();
  }
}

TEST_F(DriverTransportTest, BulkReadDeliversTheFirstBytesOfTheRoundedRead) {
  RequestRecord record;
  record.type = kRequestBulkRead;
  record.pipe = 2;
  std::vector<uint8_t> buffer(1000);
  ASSERT_EQ(scanner.ReceiveValue(buffer.data(), 1000, record), 1);
  std::vector<uint8_t> expected(1024);
  PatternDevice::Fill(expected);
  expected.resize(1000);
  EXPECT_EQ(buffer, expected);
}

}  // namespace
}  // namespace qv6
