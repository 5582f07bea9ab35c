// The scanner API as the code-line merges see it: the fake's parameters and logs plus the string
// parameters, the scanner model, the kept magnetic readings and a formatter that counts its calls.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "analysis/micr/tests/fake_services.h"

namespace analysis::testing {

class VerifyServices : public FakeServices {
 public:
  std::optional<std::string> funcTableGetParamString(int32_t id) override {
    const auto it = strings.find(id);
    if (it == strings.end()) return std::nullopt;
    return it->second;
  }
  int32_t iScannerModel() override { return model; }
  KrMicrResults GetKRMicrResults() override {
    ++krReads;
    return kr;
  }
  void SetKRMicrResults(const KrMicrResults& results) override { kr = results; }
  void funcAssembleMICR(char*, size_t) override { ++assembled; }

  bool LocalLogHas(const std::string& text) const {
    for (const std::string& line : localLog)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  std::map<int32_t, std::string> strings;
  int32_t model = 200;
  KrMicrResults kr;
  int krReads = 0;
  int assembled = 0;
};

}  // namespace analysis::testing
