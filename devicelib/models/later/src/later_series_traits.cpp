// The later series' traits: what the QV63x template varies by series, as data.
#include "qv6/later/later_device_template.h"

namespace qv6 {
namespace {

using namespace later;

constexpr uint16_t kTransferOrder[] = {kBlockImageModule, kBlockMotor,    kBlockRamp0,         kBlockRamp1,
                                       kBlockTransport,   kBlockMicrHead, kBlockPrinterSection};
constexpr uint16_t kImageOrder[] = {kBlockTransport, kBlockMicrHead, kBlockImageModule, kBlockPrinterSection,
                                    kBlockMotor,     kBlockRamp0,    kBlockRamp1};
constexpr size_t kTableBytes = 2048;

}  // namespace

const LaterSeriesTraits& Qv63xSeriesTraits() {
  static const LaterSeriesTraits traits{Qv63xBlockTable(), Qv63xMechIniBindings(), kTransferOrder,
                                        kImageOrder, kTableBytes};
  return traits;
}

const LaterSeriesTraits& Qv9120SeriesTraits() {
  static const LaterSeriesTraits traits = [] {
    LaterSeriesTraits t{Qv63xBlockTable(), Qv9120MechIniBindings(), kTransferOrder, kImageOrder, kTableBytes};
    t.franker = true;
    // The franker keys are read, never written back.
    t.scanRules.readFranker = true;
    return t;
  }();
  return traits;
}

const LaterSeriesTraits& Qv64xSeriesTraits() {
  static const LaterSeriesTraits traits = [] {
    LaterSeriesTraits t{Qv64xBlockTable(), Qv64xMechIniBindings(), kTransferOrder, kImageOrder, kTableBytes};
    t.franker = true;
    t.scanRules = {true, true, true};
    t.sensorDpi = 300;
    t.fullWidthTransfer = true;
    t.micrRates = {70866, 70866};
    t.configAppliedInPrepare = true;
    t.documentLogLines = true;
    t.showsDownloadDone = true;
    return t;
  }();
  return traits;
}

}  // namespace qv6
