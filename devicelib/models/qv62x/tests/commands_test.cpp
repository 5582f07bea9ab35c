// The QV62x command set against the simulated scanner: command packets, the sample, raw-image and upload
// announcements, the firmware download's records, reset and re-enumeration, and the single FPGA image.
#include <algorithm>

#include "qv6/models/firmware_record.h"
#include "qv62x_fixture.h"
#include "sim/firmware_package_builder.h"

namespace qv6::testing {
namespace {

struct PacketCase {
  const char* name;
  uint8_t opcode;
  size_t length;  // 0: not sent
};

class Qv62xPackets : public Qv62xTest, public ::testing::WithParamInterface<PacketCase> {};

TEST_P(Qv62xPackets, OpcodeTableGivesThePacketLengthAndSendCommandAlwaysSucceeds) {
  const PacketCase& c = GetParam();
  Attach(sim::Model::kQv602);
  const size_t before = device->CommandsReceived().size();
  DeviceCommandRequest request;
  request.opcode = c.opcode;
  request.p = {1, 2, 3, 4, 5};
  EXPECT_EQ(model->commandSet().SendCommand(request), 1);
  auto sent = device->CommandsReceived();
  if (c.length == 0) {
    EXPECT_EQ(sent.size(), before);
    return;
  }
  ASSERT_EQ(sent.size(), before + 1);
  EXPECT_EQ(sent.back().size(), c.length);
  EXPECT_EQ(sent.back()[0], 0);
  EXPECT_EQ(sent.back()[1], c.opcode);
}

INSTANTIATE_TEST_SUITE_P(
    Opcodes, Qv62xPackets,
    ::testing::Values(PacketCase{"FeederWithFiveParameters", 1, 7}, PacketCase{"EjectBare", 2, 2},
                      PacketCase{"BeforeUploadBare", 6, 2}, PacketCase{"ClearErrorsBare", 8, 2},
                      PacketCase{"PocketTwoParameters", 10, 4}, PacketCase{"NineNotSent", 9, 0},
                      PacketCase{"ElevenNotSent", 11, 0}),
    [](const ::testing::TestParamInfo<PacketCase>& info) { return std::string(info.param.name); });

TEST_F(Qv62xTest, SampleReadAnnouncesItsLengthInFourByteUnitsWithinTheTransportLimit) {
  Attach(sim::Model::kQv620);
  std::vector<uint8_t> buffer(ScannerQV62xDeviceTemplate::kSampleBufferBytes);
  // The largest read, 65436 bytes (a count of 40000 samples is cut to it), is 16359 units.
  model->commandSet().ReadSamples(buffer.data(), 65436);
  // 31650 units is the most request 19 carries; one more is refused before anything is sent.
  std::vector<uint8_t> big(31651 * 4 + 512);
  model->commandSet().ReadSamples(big.data(), 31650 * 4);
  EXPECT_EQ(model->commandSet().ReadSamples(big.data(), 31651 * 4), 0);
  EXPECT_EQ(device->SampleRequests(), (std::vector<uint16_t>{16359, 31650}));
}

TEST_F(Qv62xTest, SampleCountAboveTheBufferReadsAtMost65436Bytes) {
  Use(sim::Model::kQv620, 0);
  Configure("");
  model->blocks().Set(kBlockStatus, qv62x::kStSamples, 40000);
  model->ReadMicr();
  EXPECT_EQ(model->micrSamples().byteCount, 65436);
  EXPECT_EQ(device->SampleRequests().back(), 16359);
}

TEST_F(Qv62xTest, EndorsementUploadCarriesPositionAndLengthAndRefusesOversizeWidths) {
  Attach(sim::Model::kQv702);
  std::vector<uint8_t> bits(4 * 12, 0xFF);  // 32 columns, 12 rows, no ink
  bits[0] = 0x7F;                           // ink in column 0 of row 0
  ASSERT_EQ(model->SetBmpToPrint(bits.data(), 32, 12, 111, 222, 1), 1);
  ASSERT_EQ(device->Uploads().size(), 1u);
  EXPECT_EQ(device->Uploads()[0], (std::pair<uint16_t, uint16_t>{111, 64}))
      << "the QV702 prints at the first";
  EXPECT_EQ(Qv62xCommandsOf(*device, 6).size(), 1u) << "flags bit 0 sends command 6 first";
  const std::vector<uint8_t> pipe = device->PipeReceived(0);
  ASSERT_GE(pipe.size(), 2u);
  EXPECT_EQ(pipe[0], 0x01);
  EXPECT_EQ(pipe[1], 0x00);
  // Fewer rows than the head prints: the missing rows give no ink, nothing is read past them.
  std::vector<uint8_t> oneRow(4, 0x00);
  ASSERT_EQ(model->SetBmpToPrint(oneRow.data(), 32, 1, 0, 0, 0), 1);
  EXPECT_EQ(device->PipeReceived(0)[pipe.size()], 0x01);
  // Two bytes a column past the 61440-byte pipe limit: refused before request 18.
  EXPECT_EQ(model->SetBmpToPrint(bits.data(), 30721, 0, 0, 0, 0), 0);
  EXPECT_EQ(device->Uploads().size(), 2u);
}

// A firmware record list: each record 20 bytes (length, address, end flag, 16 data bytes).
std::vector<uint8_t> Records(std::initializer_list<uint16_t> addresses) {
  std::vector<uint8_t> out;
  for (uint16_t a : addresses) {
    std::vector<uint8_t> r(20, 0);
    r[0] = 4;
    r[1] = static_cast<uint8_t>(a);
    r[2] = static_cast<uint8_t>(a >> 8);
    out.insert(out.end(), r.begin(), r.end());
  }
  std::vector<uint8_t> end(20, 0);
  end[3] = 1;
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

struct ReopenCase {
  const char* name;
  uint32_t refusedOpens;
  int result;
};

class Qv62xReopen : public Qv62xTest, public ::testing::WithParamInterface<ReopenCase> {};

TEST_P(Qv62xReopen, DownloadComesBackAfterAtMostFortyNineRefusedOpens) {
  Attach(sim::Model::kQv620);
  auto& registry = drv::DeviceRegistry::Instance();
  drv::Fault gone;
  gone.kind = drv::FaultKind::kFail;
  gone.on = drv::CallKind::kOpen;
  gone.error = drv::kErrorFileNotFound;
  gone.count = GetParam().refusedOpens;
  // The first reopen after the loader starts finds the scanner re-enumerating (each probe of a number
  // tries three names).
  (void)registry;
  Qv62xCommands& commands = model->commandSet();
  std::vector<uint8_t> loader = Records({0x0100});
  std::vector<uint8_t> firmware = Records({0x2100, 0x0200});
  device->SetReenumeration("\\\\.\\KScanDrv-0", GetParam().refusedOpens);
  const uint64_t start = plat::NowMs();
  EXPECT_EQ(commands.DownloadFirmware(loader, firmware), GetParam().result);
  (void)start;
}

INSTANTIATE_TEST_SUITE_P(Cases, Qv62xReopen,
                         ::testing::Values(ReopenCase{"FortyNineRefused", 49, 1},
                                           ReopenCase{"FiftyRefused", 50, 0}),
                         [](const ::testing::TestParamInfo<ReopenCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(Qv62xTest, RecordsAboveTheLowAreaGoFirstAndTheControllerIsHeldUntilReleased) {
  Attach(sim::Model::kQv620);
  Qv62xCommands& commands = model->commandSet();
  ASSERT_EQ(commands.DownloadRecords(Records({0x2000, 0x3000})), 1);
  EXPECT_TRUE(device->CpuInReset()) << "records all above 8191: the controller stays held";
  ASSERT_EQ(commands.SetCpuReset(0), 1);
  EXPECT_FALSE(device->CpuInReset());
}

TEST_F(Qv62xTest, FpgaImageIsTheSingleFirstPartWithoutAnIdentityRead) {
  Attach(sim::Model::kQv620);
  const std::vector<uint8_t> image1(3000, 0x5A);
  const std::vector<uint8_t> image2(10, 0x11);
  EXPECT_EQ(model->commandSet().DownloadFpga(image1, image2), 1);
  EXPECT_EQ(device->FpgaImage(), image1);
  EXPECT_EQ(model->commandSet().DownloadFpga({}, image2), 0);
}

struct UpdateCase {
  const char* name;
  const char* manufacturer;  // of the identity the host hands over
  uint32_t refusedOpens;     // after each controller release
  int result;
  bool downloaded;
};

constexpr const char* kDeviceName = "\\\\.\\KScanDrv-0";

class Qv62xUpdate : public Qv62xTest, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(Qv62xUpdate, DownloadDecisionAndOutcome) {
  const UpdateCase& c = GetParam();
  Attach(sim::Model::kQv620);
  sim::WritePackage("QV620Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
  device->SetReenumeration(kDeviceName, c.refusedOpens);
  EXPECT_EQ(model->UpdateFirmware("QV620Firmware.bin", "OK", "1.0.0.0", c.manufacturer), c.result);
  EXPECT_EQ(!device->FpgaImage().empty(), c.downloaded);
  // The configuration steps follow only a good result.
  EXPECT_EQ(Qv62xBlocksOf(*device, 64).size(), c.result ? 1u : 0u);
  EXPECT_EQ(Qv62xCommandsOf(*device, 4).size(), c.result ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Qv62xUpdate,
    ::testing::Values(
        UpdateCase{"UpToDate", "VEK Corporation", 0, 1, false},
        // An empty manufacturer would match the first zero byte of the firmware: not up to date.
        UpdateCase{"EmptyManufacturerDownloads", "", 0, 1, true},
        UpdateCase{"NullManufacturerDownloads", nullptr, 0, 1, true},
        UpdateCase{"ScannerNeverBackFails", "", 50, 0, false}),
    [](const ::testing::TestParamInfo<UpdateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv6::testing
