// The later series' command set against the simulated scanner: identification rules, EEPROM limits,
// command packets on the wire and firmware record downloads.
#include <array>
#include <cstring>

#include "identity/identity_block.h"
#include "qv6/later/later_commands.h"
#include "platform/byte_order.h"
#include "sim_scanner.h"

namespace qv6::testing {
namespace {

class CommandsTest : public SimScannerTest {
 protected:
  CQv6Info Identity(int* result, size_t size = 256) {
    std::vector<uint8_t> buffer(size, 0xEE);
    Qv63xCommands commands(transport);
    *result = commands.Identify(buffer.data(), buffer.size());
    return CQv6Info(buffer.data(), buffer.size());
  }
};

TEST_F(CommandsTest, IdentificationRules) {
  struct Case {
    uint8_t product;
    uint8_t board;
    std::string blockModel;
    int result;
    std::string model;
    std::string version;
    std::string state;
  } cases[] = {
      {19, 0, "Orvisca Scanner Qv630", 1, "Orvisca Scanner Qv630", "1.0.0.0", "OK"},
      {20, 0, "Orvisca Scanner Device", 1, "Orvisca Scanner Qv840", "1.0.0.0", "OK"},
      {35, 0, "Orvisca Scanner Device", 1, "KWL Scanner 603", "1.0.0.0", "OK"},
      {32, 0, "Orvisca Scanner Device", 1, "Orvisca Scanner Device", "1.0.0.0", "OK"},
      {23, 0x20, "", 1, "Orvisca Scanner Qv625", "99.99.99.99", "SD"},
      {30, 0x14, "", 1, "Orvisca Scanner Qv840", "99.99.99.99", "SD"},
      {22, 0x0D, "", 1, "Orvisca Scanner Qv9120", "99.99.99.99", "DR"},
      {23, 0x21, "", 0, "", "", ""},
      {25, 0, "", 1, "No model", "0", "Startup"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.product});
    device->SetCodes({c.product, 1, c.board});
    auto id = device->identity();
    id.model = c.blockModel.empty() ? "unused" : c.blockModel;
    device->SetIdentity(id);
    int result = -1;
    CQv6Info info = Identity(&result);
    EXPECT_EQ(result, c.result);
    if (c.result == 0) continue;
    EXPECT_EQ(std::string(info.model()), c.model);
    EXPECT_EQ(std::string(info.version()), c.version);
    EXPECT_EQ(std::string(info.state()), c.state);
  }
  // A canned identity names its maker; the generic rename keeps the other fields.
  device->SetCodes({23, 1, 0x23});
  int result = 0;
  EXPECT_EQ(std::string(Identity(&result).manufacturer()), "KWL Ltd - Norda");
  EXPECT_EQ(std::string(Identity(&result).serial()), "123456");
}

TEST_F(CommandsTest, IdentityIsCutToTheCallersBuffer) {
  auto id = device->identity();
  id.manufacturer = std::string(200, 'M');
  device->SetIdentity(id);
  std::array<uint8_t, 40> buffer;
  buffer.fill(0xEE);
  Qv63xCommands commands(transport);
  ASSERT_EQ(commands.Identify(buffer.data(), 32), 1);
  EXPECT_EQ(buffer[30], 0);
  EXPECT_EQ(buffer[31], 0);
  EXPECT_EQ(buffer[32], 0xEE);  // nothing beyond the size given
}

TEST_F(CommandsTest, EepromReadAndWriteLimits) {
  Qv63xCommands commands(transport);
  std::vector<uint8_t> image(40000, 0x42);
  EXPECT_EQ(commands.WriteData(image.data(), 40000), 28416);
  std::vector<uint8_t> back(40000, 0);
  EXPECT_EQ(commands.ReadData(back.data(), 40000), 28416);
  EXPECT_EQ(back[28415], 0x42);
  EXPECT_EQ(back[28416], 0xFF);  // the rest of the buffer is filled, not read
  EXPECT_EQ(back[39999], 0xFF);
  EXPECT_EQ(commands.ReadData(back.data(), 0), 0);
}

TEST_F(CommandsTest, CommandPacketsOnTheWire) {
  Qv63xCommands commands(transport);
  DeviceCommandRequest r;
  r.opcode = 10;
  r.p = {7, 1, 9, 9, 9};
  EXPECT_EQ(commands.SendCommand(r), 1);
  r.opcode = 6;
  EXPECT_EQ(commands.SendCommand(r), 1);  // not sent, still 1
  EXPECT_EQ(commands.StopFeed(), 1);
  auto sent = device->CommandsReceived();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], (std::vector<uint8_t>{0, 10, 7, 1}));
  EXPECT_EQ(sent[1], (std::vector<uint8_t>{0, 1, 0, 0, 0, 0, 0}));
}

std::vector<uint8_t> RecordList(std::initializer_list<uint16_t> addresses) {
  std::vector<uint8_t> list;
  for (uint16_t a : addresses) {
    std::vector<uint8_t> r(20, 0);
    r[0] = 2;
    plat::bytes::PutLe16(&r[1], a);
    r[4] = static_cast<uint8_t>(a);
    r[5] = static_cast<uint8_t>(a >> 8);
    list.insert(list.end(), r.begin(), r.end());
  }
  std::vector<uint8_t> end(20, 0);
  end[3] = 1;
  list.insert(list.end(), end.begin(), end.end());
  return list;
}

TEST_F(CommandsTest, DownloadRecordsSplitsByAddressAndChecksTheList) {
  drv::DeviceRegistry::Instance().SetTraceEnabled(true);
  Qv63xCommands commands(transport);
  ASSERT_EQ(commands.DownloadRecords(RecordList({0x3000, 0x1000, 0x2000})), 1);
  EXPECT_TRUE(device->CpuInReset());  // the caller releases it
  // High addresses first by request 12 (0x12), then the reset, then low addresses by memory writes (0xA0).
  std::vector<std::pair<int, int>> writes;
  for (const auto& t : drv::DeviceRegistry::Instance().Trace()) {
    if (t.input.size() >= 10 && (t.input[4] == 0x12 || t.input[4] == 0xA0)) {
      writes.emplace_back(t.input[4], t.input[6] | (t.input[7] << 8));
    }
  }
  EXPECT_EQ(writes, (std::vector<std::pair<int, int>>{
                        {0x12, 0x3000}, {0x12, 0x2000}, {0xA0, 0xE600}, {0xA0, 0x1000}}));
  // A list without its end record inside, or with a count above 16, sends no record.
  drv::DeviceRegistry::Instance().ClearTrace();
  auto noEnd = RecordList({0x3000});
  noEnd.resize(20);
  EXPECT_EQ(commands.DownloadRecords(noEnd), 0);
  auto bigCount = RecordList({0x3000});
  bigCount[0] = 17;
  EXPECT_EQ(commands.DownloadRecords(bigCount), 0);
  EXPECT_TRUE(device->CpuInReset());
  size_t recordCalls = 0;
  for (const auto& t : drv::DeviceRegistry::Instance().Trace()) {
    if (t.input.size() >= 10 && t.input[4] == 0x12) ++recordCalls;
  }
  EXPECT_EQ(recordCalls, 0u);
}

TEST_F(CommandsTest, FpgaImageFollowsTheStateTextWithItsOwnSize) {
  Qv63xCommands commands(transport);
  std::vector<uint8_t> image1(3000, 1);
  std::vector<uint8_t> image2(100, 2);
  ASSERT_EQ(commands.DownloadFpga(image1, image2), 1);
  EXPECT_EQ(device->FpgaImage(), image1);
  device->SetCodes({23, 1, 0x13});  // boot loader, state "SD"
  ASSERT_EQ(commands.DownloadFpga(image1, image2), 1);
  EXPECT_EQ(device->FpgaImage(), image2);
  EXPECT_EQ(commands.DownloadFpga({}, {}), 0);
}

TEST_F(CommandsTest, FirmwareDownloadNeedsTheScannerBack) {
  Qv63xCommands commands(transport);
  auto loader = RecordList({0x3000});
  auto firmware = RecordList({0x1000});
  ASSERT_EQ(commands.DownloadFirmware(loader, firmware), 1);
  EXPECT_FALSE(device->CpuInReset());
  EXPECT_TRUE(transport.IsOpen());
  // A scanner that never comes back after its reset: 50 attempts, then 0.
  drv::Fault never;
  never.on = drv::CallKind::kOpen;
  never.count = 0;
  drv::DeviceRegistry::Instance().AddFault("\\\\.\\KScanDrv-0", never);
  EXPECT_EQ(commands.DownloadFirmware(loader, firmware), 0);
  uint16_t word = 0;
  EXPECT_EQ(commands.ReadStatusWord(&word), 0);  // the transport stayed closed
}

TEST_F(CommandsTest, StatusWordBlock) {
  device->SetBlock(3, {0x12, 0x34});
  Qv63xCommands commands(transport);
  uint16_t word = 0;
  ASSERT_EQ(commands.ReadStatusWord(&word), 1);
  EXPECT_EQ(word, 0x1234);
}

}  // namespace
}  // namespace qv6::testing
