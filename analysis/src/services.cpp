// The install point of the analysis services and the default answers.
#include "analysis/services.h"

#include <atomic>

namespace analysis {

namespace {
DefaultServices gDefault;
std::atomic<Services*> gInstalled{nullptr};
constexpr int32_t kNoScannerFamily = -125;
}  // namespace

Services& CurrentServices() {
  Services* s = gInstalled.load(std::memory_order_acquire);
  return s != nullptr ? *s : gDefault;
}

void InstallServices(Services* services) {
  gInstalled.store(services, std::memory_order_release);
}

ScopedServices::ScopedServices(Services& services)
    : previous_(gInstalled.exchange(&services, std::memory_order_acq_rel)) {}

ScopedServices::~ScopedServices() {
  gInstalled.store(previous_, std::memory_order_release);
}

int32_t DefaultServices::ZARNGetParam(int32_t) {
  return 0;
}
int32_t DefaultServices::iApiTraceLevel() {
  return 0;
}
void DefaultServices::funcLogMessage(std::string_view) {}
void DefaultServices::funcWriteApiLog(std::string_view) {}
void DefaultServices::funcWriteLocalApiLog(std::string_view) {}
int32_t DefaultServices::QV600GetScannerInfo(ScannerInquiry& inquiry, bool) {
  inquiry = ScannerInquiry{};
  return kNoScannerFamily;
}
std::string DefaultServices::QV600GetScannerSerialNumber() {
  return {};
}

}  // namespace analysis
