// The identity reads of the series against the simulated scanner: block reads, the canned boot-loader
// identities, the "No model" identity, the generic model text renamed by product code, failures, and the
// sizes the reads ask for.
#include "connect/identification.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "driver/device_registry.h"
#include "identity/identity_block.h"
#include "sim/catalog.h"
#include "sim/later_series_device.h"
#include "transport/bulk_layer.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"
#include "transport/scanner_interface.h"

namespace qv6 {
namespace {

class IdentificationTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    drv::DeviceRegistry::Instance().Reset();
    drv::DeviceRegistry::Instance().SetTraceEnabled(true);  // call patterns are read from it
    BulkLayer::Reset();
    DriverLayer::Reset();
  }
};

struct Case {
  SeriesId series;
  sim::IdentificationCodes codes;
  const char* blockModel;  // the model text of the device's identity block
  int result;
  const char* model;  // expected identity (ignored when result is 0)
  const char* version;
  const char* state;
};

constexpr const char* kGeneric = "Orvisca Scanner Device";

TEST_F(IdentificationTest, ProductCodesDecideBetweenBlockCannedAndNoModel) {
  const Case cases[] = {
      // QV62x
      {SeriesId::kQv62x, {8, 1, 0}, "Orvisca Scanner Qv602", 1, "Orvisca Scanner Qv602", "1.0.0.0", "OK"},
      {SeriesId::kQv62x, {28, 1, 0}, "x", 1, "KWL Scanner 602", "99.99.99.99", "Startup"},
      {SeriesId::kQv62x, {29, 7, 9}, "x", 1, "KWL Scanner 702", "99.99.99.99", "Startup"},
      {SeriesId::kQv62x, {19, 1, 0}, "x", 1, "No model", "0", "Startup"},
      {SeriesId::kQv62x, {9, 1, 0}, kGeneric, 1, "Orvisca Scanner Qv620", "1.0.0.0", "OK"},
      {SeriesId::kQv62x, {8, 1, 0}, kGeneric, 1, kGeneric, "1.0.0.0", "OK"},
      // QV63x (and QV9120)
      {SeriesId::kQv63x, {23, 1, 0x20}, "x", 1, "Orvisca Scanner Qv625", "99.99.99.99", "SD"},
      {SeriesId::kQv63x, {23, 1, 0x21}, "x", 0, nullptr, nullptr, nullptr},
      {SeriesId::kQv63x, {22, 1, 0x13}, "x", 1, "Orvisca Scanner Qv630", "99.99.99.99", "DR"},
      {SeriesId::kQv63x, {30, 1, 0x23}, "x", 1, "KWL Scanner 603", "99.99.99.99", "SD"},
      {SeriesId::kQv9120, {23, 1, 0x0D}, "x", 1, "Orvisca Scanner Qv9120", "99.99.99.99", "SD"},
      {SeriesId::kQv63x, {20, 1, 0}, kGeneric, 1, "Orvisca Scanner Qv840", "1.0.0.0", "OK"},
      {SeriesId::kQv63x, {36, 1, 0}, "x", 1, "No model", "0", "Startup"},
      // QV64x
      {SeriesId::kQv64x, {23, 1, 0x19}, "x", 1, "Orvisca Scanner Qv640", "99.99.99.99", "SD"},
      {SeriesId::kQv64x, {23, 2, 0x19}, "x", 0, nullptr, nullptr, nullptr},
      {SeriesId::kQv64x, {22, 1, 0x13}, "x", 1, "No model", "0", "Startup"},
      {SeriesId::kQv64x, {25, 1, 0}, "Orvisca Scanner Device 2", 1, "Orvisca Scanner Qv640", "1.0.0.0", "OK"},
      // VEKQv5xx
      {SeriesId::kVekQv5xx, {24, 1, 21}, "x", 1, "Orvisca Scanner RM 70", "99.99.99.99", "Startup"},
      {SeriesId::kVekQv5xx, {24, 1, 32}, "x", 1, "Orvisca Scanner RM 70 KF", "99.99.99.99", "Startup"},
      {SeriesId::kVekQv5xx, {24, 2, 21}, "x", 0, nullptr, nullptr, nullptr},
      {SeriesId::kVekQv5xx, {32, 1, 0}, kGeneric, 1, "Orvisca Scanner RM 70", "1.0.0.0", "OK"},
      // KQv8x
      {SeriesId::kKQv8x, {31, 1, 36}, "x", 1, "KWL Scanner KQv8", "99.99.99.99", "NO FW"},
      {SeriesId::kKQv8x, {31, 1, 35}, "x", 0, nullptr, nullptr, nullptr},
      {SeriesId::kKQv8x, {19, 1, 0}, "x", 1, "No model", "0", "Startup"},
      {SeriesId::kKQv8x, {36, 1, 0}, kGeneric, 1, kGeneric, "1.0.0.0", "OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(SeriesName(c.series)) + " product " + std::to_string(c.codes.product) +
                 " board " + std::to_string(c.codes.board) + " device " + std::to_string(c.codes.device));
    Reset();
    auto device = std::static_pointer_cast<sim::LaterSeriesDevice>(sim::AttachScanner(sim::Model::kQv630));
    device->SetCodes(c.codes);
    sim::Identity identity = device->identity();
    identity.model = c.blockModel;
    device->SetIdentity(identity);

    ScannerQV63xInterface transport;
    ASSERT_EQ(transport.Open(), 1);
    std::array<uint8_t, 256> buffer;
    buffer.fill(0xEE);
    int result = IdentifyLaterSeries(transport, *RulesFor(c.series), buffer.data(), buffer.size());
    EXPECT_EQ(result, c.result);
    if (c.result == 1) {
      CQv6Info info(buffer.data(), buffer.size());
      EXPECT_STREQ(info.model(), c.model);
      EXPECT_STREQ(info.version(), c.version);
      EXPECT_STREQ(info.state(), c.state);
    }
    transport.Close();
  }
}

TEST_F(IdentificationTest, BlockReadsAskForTheSeriesSizePlusTheHead) {
  // 256 identity bytes and a 4-byte head; the VEKQv5xx series reads at most 118 identity bytes.
  for (auto [series, capacity] : {std::pair{SeriesId::kQv63x, 260u}, std::pair{SeriesId::kVekQv5xx, 122u}}) {
    Reset();
    auto device = std::static_pointer_cast<sim::LaterSeriesDevice>(sim::AttachScanner(sim::Model::kQv630));
    device->SetCodes({series == SeriesId::kQv63x ? uint8_t{19} : uint8_t{21}, 1, 0});
    ScannerQV63xInterface transport;
    ASSERT_EQ(transport.Open(), 1);
    std::array<uint8_t, 256> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(IdentifyLaterSeries(transport, *RulesFor(series), buffer.data(), buffer.size()), 1);
    transport.Close();
    const auto trace = drv::DeviceRegistry::Instance().Trace();
    ASSERT_FALSE(trace.empty());
    size_t blockCapacity = 0;
    for (const auto& record : trace) {
      if (record.code == kIoctlVendorRequest) blockCapacity = record.capacity;
    }
    EXPECT_EQ(blockCapacity, capacity);
    if (series == SeriesId::kVekQv5xx) {
      // The rest of the caller's buffer was cleared and not written by the read.
      EXPECT_EQ(buffer[200], 0);
    }
  }
}

TEST_F(IdentificationTest, FailedIdentificationFallsBackToTheBlockAndBadRepliesStayInBounds) {
  struct FaultCase {
    const char* name;
    drv::Fault fault;
    int result;
    const char* model;
  };
  const FaultCase cases[] = {
      {"identification fails",
       {.kind = drv::FaultKind::kFail, .code = kIoctlIdentify},
       1,
       "Orvisca Scanner Qv630"},
      {"identity block fails", {.kind = drv::FaultKind::kFail, .code = kIoctlVendorRequest}, 0, ""},
      {"identity block oversized",
       {.kind = drv::FaultKind::kOversize, .code = kIoctlVendorRequest, .bytes = 4096},
       0,
       nullptr},
      {"identity block garbled", {.kind = drv::FaultKind::kGarbage, .code = kIoctlVendorRequest}, 1, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    sim::AttachScanner(sim::Model::kQv630);
    drv::DeviceRegistry::Instance().AddFault(sim::DefaultDeviceName(sim::Series::kQv63x), c.fault);
    ScannerQV63xInterface transport;
    ASSERT_EQ(transport.Open(), 1);
    // Exactly the identity's size, so that any write past it shows under the address sanitizer.
    auto buffer = std::make_unique<uint8_t[]>(256);
    int result = IdentifyLaterSeries(transport, *RulesFor(SeriesId::kQv63x), buffer.get(), 256);
    EXPECT_EQ(result, c.result);
    if (c.model != nullptr) {
      CQv6Info info(buffer.get(), 256);
      EXPECT_STREQ(info.model(), c.model);
    }
    transport.Close();
  }
}

TEST_F(IdentificationTest, FirstSeriesCopiesTheReplyBehindItsHead) {
  sim::AttachScanner(sim::Model::kQv605);
  ScannerInterface transport;
  ASSERT_EQ(transport.Open(), 1);
  std::array<uint8_t, 256> buffer;
  buffer.fill(0xEE);
  ASSERT_EQ(ReadFirstSeriesIdentity(transport, buffer.data(), buffer.size()), 1);
  CQv6Info info(buffer.data(), buffer.size());
  EXPECT_STREQ(info.manufacturer(), "VEK Corporation");
  EXPECT_STREQ(info.model(), "Orvisca Scanner Qv605");
  // A short caller buffer gets only its length.
  std::array<uint8_t, 8> small;
  ASSERT_EQ(ReadFirstSeriesIdentity(transport, small.data(), small.size()), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(small.data()), small.size()), "VEK Corp");
  // An empty reply identifies nothing.
  drv::DeviceRegistry::Instance().AddFault(
      "\\\\.\\usbbulk0", drv::Fault{.kind = drv::FaultKind::kZeroBytes, .code = 0x80002004u, .count = 0});
  EXPECT_EQ(ReadFirstSeriesIdentity(transport, buffer.data(), buffer.size()), 0);
  transport.Close();
}

}  // namespace
}  // namespace qv6
