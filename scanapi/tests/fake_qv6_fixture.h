// The API over the scripted fake device library: a clean back-end per test and the fake's call log.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "api_fixture.h"
#include "fake_qv6/fake_qv6_loader.h"
#include "platform/dynlib.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"

namespace zarn {

inline std::vector<uint8_t> Identity(std::initializer_list<const char*> texts) {
  std::vector<uint8_t> block;
  for (const char* t : texts) {
    block.insert(block.end(), t, t + std::strlen(t));
    block.push_back(0);
  }
  return block;
}

inline std::vector<uint8_t> Qv630Identity(const char* serial = "AB12100001") {
  return Identity({"VEK Corporation", "Orvisca Scanner Qv630", "", "1.00", serial, "1234", "56", "OK"});
}

inline std::string Upper(std::string v) {
  for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return v;
}

class Qv600Test : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    control_ = fake::LoadFakeControl(ZC_FAKE_DEVICE_LIBRARY, &module_);
    ASSERT_NE(control_, nullptr);
    control_->Reset();
    control_->SetIdentity(Qv630Identity());
    ResetBackend();
    SetQv6LibraryFile(ZC_FAKE_DEVICE_LIBRARY);
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
  }
  void TearDown() override {
    if (control_ != nullptr) control_->Reset();
    ResetBackend();
    UnloadQv6Library();
    plat::FreeLibrary(module_);
    ApiTest::TearDown();
  }
  static void ResetBackend() {
    ResetQv600ForTests();
    ResetDriverFileForTests();
    ResetLifecycleForTests();
  }
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : control_->CallLog())
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }
  size_t Count(const std::string& prefix) const { return Calls(prefix).size(); }

  plat::ModuleHandle module_ = nullptr;
  fake::FakeQv6Control* control_ = nullptr;
};

}  // namespace zarn
