// The API's About dialog and information boxes on the window layer, headless.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui/headless_backend.h"
#include "ui/window_system.h"
#include "zarn/api_boxes.h"
#include "zarn/lifecycle.h"

namespace zarn {
namespace {

class ApiBoxesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto backend = std::make_unique<ui::HeadlessBackend>(ui::DisplayInfo{1024, 768});
    hb_ = backend.get();
    ws_ = std::make_unique<ui::WindowSystem>(std::move(backend));
  }
  void TearDown() override {
    SetInfoBoxHook(nullptr);
    hZarnInstance = nullptr;
    ws_.reset();
  }
  ui::HWND Find(const std::string& caption) const {
    for (ui::HWND h : ws_->TopLevels()) {
      if (ws_->GetWindowText(h) == caption) return h;
    }
    return nullptr;
  }

  ui::HeadlessBackend* hb_ = nullptr;
  std::unique_ptr<ui::WindowSystem> ws_;
};

TEST_F(ApiBoxesTest, TheDialogProcedureEndsOnOkAndCancelOnly) {
  ui::HWND dlg = ws_->CreateDialogIndirect(DisplayAboutTemplate(), nullptr, DisplayAboutDlgProc);
  ASSERT_NE(dlg, nullptr);
  struct Case {
    uint32_t message;
    uintptr_t wParam;
    intptr_t handled;
  };
  for (const Case c : {Case{ui::WM_INITDIALOG, 0, 1}, Case{ui::WM_COMMAND, 3, 0}, Case{ui::WM_COMMAND, 0, 0},
                       Case{ui::WM_PAINT, 0, 0}, Case{ui::WM_COMMAND, ui::MakeWParam(ui::IDOK, ui::BN_CLICKED), 1},
                       Case{ui::WM_COMMAND, ui::MakeWParam(ui::IDCANCEL, 5), 1}}) {
    EXPECT_EQ(DisplayAboutDlgProc(dlg, c.message, c.wParam, 0), c.handled) << c.message << " " << c.wParam;
  }
  ws_->DestroyWindow(dlg);
}

TEST_F(ApiBoxesTest, AboutShowsTheTemplateOfTheInstancesModuleUntilOkOrCancel) {
  ui::ResourceModule module;
  module.dialogs.push_back(DisplayAboutTemplate());
  hZarnInstance = ui::RegisterResourceModule(module);
  for (const int button : {ui::IDOK, ui::IDCANCEL}) {
    std::string version;
    bool stillOpenAfterOtherCommand = false;
    hb_->Script([&] {
      ui::HWND dlg = Find("About Zarn API");
      ASSERT_NE(dlg, nullptr);
      EXPECT_EQ(ws_->GetParent(dlg), nullptr);
      for (ui::HWND c : ws_->Children(dlg)) {
        const std::string text = ws_->GetWindowText(c);
        if (text.rfind("Version", 0) == 0) version = text;
      }
      ws_->SendMessage(dlg, ui::WM_COMMAND, 7);
      stillOpenAfterOtherCommand = ws_->IsWindow(dlg);
      hb_->ClickControl(dlg, button);
    });
    EXPECT_EQ(ZARNDisplayAbout(), 1);
    EXPECT_TRUE(stillOpenAfterOtherCommand);
    EXPECT_EQ(version, "Version 915, 2009:07:11");
    EXPECT_EQ(Find("About Zarn API"), nullptr);
  }
  // A module without the template shows nothing and still gives 1.
  hZarnInstance = ui::RegisterResourceModule({});
  EXPECT_EQ(ZARNDisplayAbout(), 1);
  EXPECT_TRUE(ws_->TopLevels().empty());
}

TEST_F(ApiBoxesTest, InformationBoxesBecomeMessageBoxesWithoutOwner) {
  hb_->AnswerBoxes({ui::IDOK});
  ShowInfoBox("SCSI Information", "before");
  EXPECT_TRUE(hb_->Boxes().empty());
  ShowApiBoxesOnWindowSystem();
  ShowInfoBox("SCSI Information", "Host Adapter:  0\nSCSI ID           :  4");
  ASSERT_EQ(hb_->Boxes().size(), 1u);
  EXPECT_EQ(hb_->Boxes()[0].caption, "SCSI Information");
  EXPECT_EQ(hb_->Boxes()[0].text, "Host Adapter:  0\nSCSI ID           :  4");
  EXPECT_EQ(hb_->Boxes()[0].owner, nullptr);
  EXPECT_EQ(hb_->Boxes()[0].flags, ui::MB_OK);
}

TEST_F(ApiBoxesTest, ModuleHooksKeepTheInstanceAndGiveOne) {
  const ui::HINSTANCE a = ui::RegisterResourceModule({});
  const ui::HINSTANCE b = ui::RegisterResourceModule({});
  EXPECT_EQ(ZARNSetAboutInstance(a, 1, nullptr), 1);
  EXPECT_EQ(hZarnInstance, a);
  EXPECT_EQ(funcSetModuleInstance(b, 0, 0, 0), 1);
  EXPECT_EQ(hZarnInstance, b);
  EXPECT_EQ(funcModuleExitHook(0), 1);
  EXPECT_EQ(hZarnInstance, b);
}

}  // namespace
}  // namespace zarn
