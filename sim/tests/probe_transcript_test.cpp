// The driver calls of one connect probe of a QV630, compared with a recorded transcript: the open order
// of the names, every series' identification request and the identity block read of its own series.
// Set ZC_UPDATE_GOLDEN=1 to rewrite the transcript after a deliberate change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "connect_probe.h"
#include "driver/device_registry.h"
#include "sim/catalog.h"
#include "transport/bulk_layer.h"
#include "transport/driver_layer.h"

namespace sim {
namespace {

TEST(ProbeTranscriptTest, Qv630ProbeMatchesTheRecordedTranscript) {
  drv::DeviceRegistry::Instance().Reset();
  drv::DeviceRegistry::Instance().SetTraceEnabled(true);
  qv6::BulkLayer::Reset();
  qv6::DriverLayer::Reset();
  AttachScanner(Model::kQv630, "\\\\.\\QvUsb2-0");
  ASSERT_TRUE(testing::RunConnectProbe().has_value());
  std::string transcript = drv::DeviceRegistry::Instance().Transcript();
  drv::DeviceRegistry::Instance().Reset();

  const std::string path = std::string(ZC_SIM_GOLDEN_DIR) + "/probe_qv630.txt";
  const char* update = std::getenv("ZC_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << transcript;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(transcript, expected.str());
}

}  // namespace
}  // namespace sim
