// The first series' command set byte for byte against the simulated scanner, the chunked download, and
// the firmware update through QV6UpdateFirmw.
#include "qv6/qv60x/qv6xx_commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <string>

#include "qv6/qv6dll.h"
#include "sim_bulk.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

using Bytes = std::vector<uint8_t>;
using Commands = testing::SimBulkTest;

struct CommandCase {
  const char* name;
  std::function<int(Qv605Commands&)> call;
  std::vector<Bytes> expected;  // the command blocks, payload included
};

class CommandBytes : public testing::SimBulkTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandBytes, SendsExactlyTheTableBytes) {
  Attach();
  Qv605Commands commands(transport_);
  NewCommands();
  ASSERT_EQ(GetParam().call(commands), 1);
  EXPECT_EQ(NewCommands(), GetParam().expected);
}

const uint8_t kPayload[3] = {0xA1, 0xB2, 0xC3};

INSTANTIATE_TEST_SUITE_P(
    Table, CommandBytes,
    ::testing::Values(
        CommandCase{"FeedOnReducesArgument", [](Qv605Commands& c) { return c.DeviceCommand(1, 5); },
                    {{15, 1, 1, 0, 0}}},
        CommandCase{"FeedOff", [](Qv605Commands& c) { return c.DeviceCommand(1, 0); }, {{15, 1, 0, 0, 0}}},
        CommandCase{"Eject", [](Qv605Commands& c) { return c.DeviceCommand(2, 7, 7); }, {{15, 2, 0, 0, 0}}},
        CommandCase{"ClearPowerOn", [](Qv605Commands& c) { return c.DeviceCommand(3); }, {{15, 3, 0, 0, 0}}},
        CommandCase{"PartialScan", [](Qv605Commands& c) { return c.DeviceCommand(4, 9, 0x1A); },
                    {{15, 4, 1, 0x1A, 0}}},
        CommandCase{"UnknownSubCommand", [](Qv605Commands& c) { return c.DeviceCommand(9, 1, 1); },
                    {{15, 0, 0, 0, 0}}},
        CommandCase{"StoreMechImage", [](Qv605Commands& c) { return c.SelectMechImage(1); },
                    {{20, 'V', 0, 0, 0}, {20, 'U', 0, 0, 0}}},
        CommandCase{"RecallMechImage", [](Qv605Commands& c) { return c.SelectMechImage(0); }, {{20, 'Z', 0, 0, 0}}},
        CommandCase{"BlockWrite", [](Qv605Commands& c) { return c.WriteBlock(34, kPayload, 3); },
                    {{9, 34, 0, 0, 3, 0xA1, 0xB2, 0xC3}}},
        CommandCase{"BulkBlockLength", [](Qv605Commands& c) { return c.WriteBulkData(kPayload, 3); },
                    {{14, 0, 0, 0, 3}}},
        CommandCase{"RawPacket", [](Qv605Commands& c) {
                      const uint8_t p[6] = {15, 2, 0, 0, 0, 9};
                      return c.SendPacket(p, 6);
                    },
                    {{15, 2, 0, 0, 0, 9}}},
        CommandCase{"SerialOutputEmptySendsNothing", [](Qv605Commands& c) { return c.Rs232Tx(kPayload, 0); }, {}},
        CommandCase{"TableLoadPhases",
                    [](Qv605Commands& c) { return c.OpenTableLoad(0) && c.StartTableData(0) && c.CloseTableLoad(0); },
                    {{6, 1, 0, 0, 0}, {6, 0, 0, 0, 0}, {6, 2, 0, 0, 0}}},
        CommandCase{"ImageReadFrontGrey200",
                    [](Qv605Commands& c) {
                      Bytes b(0x10000);
                      int n = 0;
                      return c.ReadImage(b.data(), 0x10000, &n, 1, 200, 2, 0);
                    },
                    {{11, 0x1D, 0x01, 0x00, 0x00}}},
        CommandCase{"ImageReadRearSixteenLevels100",
                    [](Qv605Commands& c) {
                      Bytes b(64);
                      int n = 0;
                      return c.ReadImage(b.data(), 64, &n, 2, 100, 1, 0);
                    },
                    {{11, 0x0A, 0, 0, 64}}},
        CommandCase{"ImageReadBlackAndWhiteRaw",
                    [](Qv605Commands& c) {
                      Bytes b(64);
                      int n = 0;
                      return c.ReadImage(b.data(), 64, &n, 1, 200, 0, 1);
                    },
                    {{11, 0x95, 0, 0, 64}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, SerialOutputIsCutToOneHundredBytes) {
  Attach();
  Qv600Commands commands(transport_);
  Bytes data(150, 0x55);
  ASSERT_EQ(commands.Rs232Tx(data.data(), data.size()), 1);
  const auto sent = NewCommands();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Bytes(sent[0].begin(), sent[0].begin() + 5), (Bytes{9, 97, 0, 0, 100}));
  EXPECT_EQ(sent[0].size(), 105u);
  EXPECT_EQ(device_->SerialOutput(), Bytes(100, 0x55));
}

TEST_F(Commands, ImageCountsBeyondTwentyFourBitsAreRefusedUnsent) {
  Attach();
  Qv600Commands commands(transport_);
  int n = -1;
  EXPECT_EQ(commands.ReadImage(nullptr, 0x1000000, &n, 1, 200, 2, 0), 0);
  EXPECT_EQ(n, 0);
  EXPECT_TRUE(NewCommands().empty());
}

TEST_F(Commands, IdentityNeedsAReplyWithItsHead) {
  Attach();
  Qv6xxCommands commands(transport_);
  uint8_t identity[64];
  ASSERT_EQ(commands.ReadIdentity(identity, sizeof identity), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(identity)), device_->identity().manufacturer);
  device_->SetBlockReadRefused(1, true);
  EXPECT_EQ(commands.ReadIdentity(identity, sizeof identity), 0);
  EXPECT_EQ(identity[0], 0);
}

struct DownloadCase {
  const char* name;
  size_t length;
  uint8_t opcode;
  uint32_t address;
  std::vector<uint32_t> parameters;  // of each chunk's command
};

class Download : public testing::SimBulkTest, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(Download, ChunksAndAnnouncements) {
  const DownloadCase& c = GetParam();
  Attach();
  Qv605Commands commands(transport_);
  if (c.opcode == first_op::kTableData) ASSERT_EQ(commands.OpenTableLoad(0), 1);
  if (c.opcode == first_op::kFirmwareData) ASSERT_EQ(commands.Send(first_op::kEnterUpdate, {'Q', 'V', '6', 'U'}), 1);
  NewCommands();
  Bytes image(c.length);
  std::iota(image.begin(), image.end(), uint8_t{7});
  const uint64_t before = plat::NowMs();
  ASSERT_EQ(commands.DownloadFirmware(image.data(), image.size(), c.opcode, c.address), 1);
  std::vector<uint32_t> parameters;
  for (const Bytes& b : NewCommands()) {
    EXPECT_EQ(b.size(), 5u);
    EXPECT_EQ(b[0], c.opcode);
    parameters.push_back(static_cast<uint32_t>(b[1] << 24 | b[2] << 16 | b[3] << 8 | b[4]));
  }
  EXPECT_EQ(parameters, c.parameters);
  const Bytes bulk = device_->BulkReceived();
  EXPECT_EQ(Bytes(bulk.end() - static_cast<std::ptrdiff_t>(std::min(bulk.size(), image.size())), bulk.end()), image);
  // 50 ms before and 100 ms after each chunk, besides the transport's own pause before a write.
  EXPECT_GE(plat::NowMs() - before, 150u * c.parameters.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Download,
    ::testing::Values(DownloadCase{"TwoFullChunksAtTheLoadAddress", 8192, 169, 0xD0000, {0xD0000, 0xD1000}},
                      DownloadCase{"TableChunksCarryTheirLengths", 5000, 7, 0, {4096, 904}},
                      DownloadCase{"TwoFullTableChunks", 8192, 7, 0, {4096, 4096}},
                      DownloadCase{"EmptyImageIsOneEmptyChunk", 0, 7, 0, {0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, SamplesArriveBigEndian) {
  Attach();
  Qv600Commands commands(transport_);
  sim::FirstSeriesDocument document;
  document.samples = {0x12, 0x34, 0xAB, 0xCD};
  document.lineCount = 8;
  device_->QueueDocument(document);
  ASSERT_EQ(commands.DeviceCommand(1, 1), 1);
  NewCommands();
  uint16_t samples[4] = {1, 1, 1, 1};
  int n = 0;
  ASSERT_EQ(commands.ReadSamples(samples, 8, &n), 1);
  EXPECT_EQ(NewCommands(), (std::vector<Bytes>{{12, 0, 0, 0, 8}}));
  EXPECT_EQ(n, 4);
  EXPECT_EQ(samples[0], 0x1234);
  EXPECT_EQ(samples[1], 0xABCD);
  EXPECT_EQ(samples[2], 1);  // nothing arrived for it
}

TEST(FirmwareChecksum, SumsEveryByteModulo32Bits) {
  const uint8_t image[2] = {0xFF, 0x01};
  EXPECT_EQ(FirmwareChecksum(image, 2), 0x100u);
  EXPECT_EQ(FirmwareChecksum(nullptr, 0), 0u);
  Bytes big(0x1000001, 0xFF);
  EXPECT_EQ(FirmwareChecksum(big.data(), big.size()), static_cast<uint32_t>(uint64_t{0xFF} * big.size()));
}

// ---- The update through the export ----

class UpdateFirmw : public testing::SimBulkTest {
 protected:
  std::string WriteImage(size_t length) {
    image_.resize(length);
    for (size_t i = 0; i < length; ++i) image_[i] = static_cast<uint8_t>(i * 31 + 5);
    dir_.Write("fw.bin", std::string(image_.begin(), image_.end()));
    return dir_.File("fw.bin");
  }
  zc::testkit::ScratchDir dir_{"qv60x_fw"};
  Bytes image_;
};

TEST_F(UpdateFirmw, EntersUpdateModeLoadsAtTheAddressAndChecks) {
  Attach(sim::Model::kQv600, false);
  const std::string file = WriteImage(10000);
  ASSERT_EQ(QV6UpdateFirmw(0, file.c_str()), 1);
  EXPECT_EQ(device_->LoadedImage(), image_);
  EXPECT_TRUE(device_->checksumMatched());
  EXPECT_FALSE(device_->updateMode());
  auto sent = NewCommands();
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(sent[0], (Bytes{0xAA, kUpdateAccessCode[0], kUpdateAccessCode[1], kUpdateAccessCode[2],
                            kUpdateAccessCode[3]}));
  EXPECT_EQ(sent[1], (Bytes{0xA9, 0, 0x0D, 0, 0}));
  EXPECT_EQ(sent[3], (Bytes{0xA9, 0, 0x0D, 0x20, 0}));
  const uint32_t sum = FirmwareChecksum(image_.data(), image_.size());
  EXPECT_EQ(sent[4], (Bytes{0xAC, static_cast<uint8_t>(sum >> 24), static_cast<uint8_t>(sum >> 16),
                            static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
}

TEST_F(UpdateFirmw, ALoadCutOffMidWayIsDoneAgainByTheRepeat) {
  Attach(sim::Model::kQv605, false);
  const std::string file = WriteImage(9000);
  device_->FailFirmwareChunk(2);
  const uint64_t before = plat::NowMs();
  ASSERT_EQ(QV6UpdateFirmw(0, file.c_str()), 1);
  EXPECT_GE(plat::NowMs() - before, 4000u);  // the export's pause before its repeat
  EXPECT_EQ(device_->LoadedImage(), image_);
  EXPECT_TRUE(device_->checksumMatched());
}

TEST_F(UpdateFirmw, BringsUpAScannerLeftInUpdateMode) {
  Attach(sim::Model::kQv600, false);
  const std::string file = WriteImage(6000);
  device_->LeaveInUpdateMode(Bytes(image_.begin(), image_.begin() + 4096));
  ASSERT_EQ(QV6UpdateFirmw(0, file.c_str()), 1);
  EXPECT_EQ(device_->LoadedImage(), image_);
  EXPECT_TRUE(device_->checksumMatched());
  EXPECT_FALSE(device_->updateMode());
}

TEST_F(UpdateFirmw, NoScannerGivesZeroAfterOneRepeat) {
  const std::string file = WriteImage(100);
  const uint64_t before = plat::NowMs();
  EXPECT_EQ(QV6UpdateFirmw(0, file.c_str()), 0);
  const uint64_t waited = plat::NowMs() - before;
  EXPECT_GE(waited, 4000u);
  EXPECT_LT(waited, 10000u);  // the open failed at once both times: no 10 s re-entry wait
}

}  // namespace
}  // namespace qv6
