// Back-end hooks that record each call and give chosen results.
#pragma once

#include <string>
#include <vector>

#include "zarn/backend_hooks.h"

namespace zarn::testing {

class RecordingBackend : public BackendHooks {
 public:
  std::vector<std::string> calls;
  int rewriteResult = 0;
  int qv800InitResult = 0;

  int RewriteQv600DriverFile() override {
    calls.push_back("rewrite");
    return rewriteResult;
  }
  int Qv600SetMicrConfig(int id, int value) override {
    calls.push_back("micrconfig " + std::to_string(id) + " " + std::to_string(value));
    return 0;
  }
  int Qv600Disable() override {
    calls.push_back("disable");
    return 7;
  }
  void Qv600Restart() override { calls.push_back("restart"); }
  int Qv600StatusCheck() override {
    calls.push_back("statuscheck");
    return 3;
  }
  int Qv800Init(const char* tmp, const char* cfg, int target, int adapter) override {
    calls.push_back("init " + std::string(tmp) + " " + cfg + " " + std::to_string(target) + " " +
                    std::to_string(adapter));
    return qv800InitResult;
  }
  int Qv800ClearErrors() override {
    calls.push_back("clearerrors");
    return 0;
  }
  int Qv800SetConfig(int v) override {
    calls.push_back("setconfig " + std::to_string(v));
    return 0;
  }
  int Qv800GetScsiInfo(uint8_t*, uint8_t*) override {
    calls.push_back("scsiinfo");
    return 0;
  }
  int Qv800SetPrint(int kind, int, const char* text) override {
    calls.push_back("setprint " + std::to_string(kind) + " " + text);
    return 0;
  }

  int Count(const std::string& name) const {
    int n = 0;
    for (const std::string& c : calls) n += c.rfind(name, 0) == 0 ? 1 : 0;
    return n;
  }
};

}  // namespace zarn::testing
