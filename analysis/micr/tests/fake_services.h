// A scanner API stand-in for the analysis tests: a parameter table, captured trace lines and a scanner
// inquiry that each test sets.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/services.h"

namespace analysis::testing {

class FakeServices : public Services {
 public:
  int32_t ZARNGetParam(int32_t id) override {
    std::lock_guard lock(mutex_);
    const auto it = params.find(id);
    return it == params.end() ? 0 : it->second;
  }
  int32_t iApiTraceLevel() override { return traceLevel; }
  void funcLogMessage(std::string_view text) override {
    std::lock_guard lock(mutex_);
    trace.emplace_back(text);
  }
  void funcWriteApiLog(std::string_view text) override {
    std::lock_guard lock(mutex_);
    apiLog.emplace_back(text);
  }
  void funcWriteLocalApiLog(std::string_view text) override {
    std::lock_guard lock(mutex_);
    localLog.emplace_back(text);
  }
  int32_t QV600GetScannerInfo(ScannerInquiry& inquiry, bool) override {
    std::lock_guard lock(mutex_);
    ++infoCalls;
    inquiry = ScannerInquiry{};
    if (infoResult == 200 || infoResult == 30) inquiry.product = product;
    return infoResult;
  }
  std::string QV600GetScannerSerialNumber() override {
    std::lock_guard lock(mutex_);
    ++serialCalls;
    return serial;
  }

  std::map<int32_t, int32_t> params;
  int32_t traceLevel = 0;
  int32_t infoResult = 200;
  std::string product = "QV630";
  std::string serial = "000000";
  int infoCalls = 0;
  int serialCalls = 0;
  std::vector<std::string> trace;
  std::vector<std::string> localLog;
  std::vector<std::string> apiLog;

 private:
  std::mutex mutex_;
};

}  // namespace analysis::testing
