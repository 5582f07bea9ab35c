#include <gtest/gtest.h>

#include "ui_fixture.h"

namespace {

using namespace ui;

// A panel like a capture program's: radios in a group, check boxes, an edit and push buttons.
ResourceModule PanelModule() {
  ResourceModule mod;
  DialogTemplate panel{"PANEL", WS_CHILD | WS_VISIBLE, {0, 0, 100, 200}, "", {}};
  panel.controls = {
      {ControlKind::Static, 502, "Scan Number", {4, 4, 96, 12}},
      {ControlKind::Edit, 503, "", {4, 14, 96, 26}},
      {ControlKind::Button, 504, "Scan", {4, 30, 96, 44}, BS_PUSHBUTTON},
      {ControlKind::Button, 512, "Image Type", {2, 48, 98, 100}, BS_GROUPBOX},
      {ControlKind::Button, 507, "B/W", {6, 58, 90, 68}, BS_AUTORADIOBUTTON | WS_GROUP},
      {ControlKind::Button, 508, "Grayscale", {6, 70, 90, 80}, BS_AUTORADIOBUTTON},
      {ControlKind::Button, 509, "Color", {6, 82, 90, 92}, BS_AUTORADIOBUTTON},
      {ControlKind::Button, 513, "Endorse", {6, 104, 90, 114}, BS_AUTOCHECKBOX | WS_GROUP},
  };
  mod.dialogs.push_back(panel);
  DialogTemplate about{"ABOUT", WS_POPUP | WS_CAPTION, {20, 20, 270, 120}, "About", {}};
  about.controls = {{ControlKind::Static, 517, "", {5, 5, 245, 15}},
                    {ControlKind::Button, 522, "OK", {100, 80, 150, 94}, BS_DEFPUSHBUTTON}};
  mod.dialogs.push_back(about);
  return mod;
}

class Dialogs : public uitest::UiFixture {
 protected:
  void SetUp() override {
    module_ = RegisterResourceModule(PanelModule());
    ws->RegisterClass({"Host", [this](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                         return ws->DefWindowProc(h, m, wp, lp);
                       }, kLightGray});
    frame_ = ws->CreateWindow("Host", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, {0, 0, 640, 480}, nullptr);
  }
  DlgProc Recorder() {
    return [this](HWND, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
      if (m == WM_INITDIALOG) return 1;
      if (m == WM_COMMAND) commands_.push_back({static_cast<int>(LoWord(wp)), static_cast<int>(HiWord(wp))});
      return m == WM_COMMAND;
    };
  }
  HINSTANCE module_ = nullptr;
  HWND frame_ = nullptr;
  std::vector<std::pair<int, int>> commands_;  // (id, notification)
};

TEST_F(Dialogs, TemplateControlsSitAtTheirDialogUnits) {
  const HWND panel = ws->CreateDialog(module_, "panel", frame_, Recorder());
  ASSERT_TRUE(panel);
  const Point base = ws->DialogBaseUnits();
  EXPECT_EQ(base, (Point{6, 8}));  // the bitmap font's cell
  EXPECT_EQ(ws->GetWindowRect(ws->GetDlgItem(panel, 504)), (Rect{6, 30, 144, 44}));
  EXPECT_EQ(ws->GetWindowRect(panel), (Rect{0, 0, 150, 200}));
  EXPECT_TRUE(ws->IsWindowVisible(panel));
  EXPECT_EQ(ws->GetDlgItemText(panel, 502), "Scan Number");
  EXPECT_EQ(FindDialog(module_, "nothing"), nullptr);
  EXPECT_EQ(ws->CreateDialog(module_, "nothing", frame_, Recorder()), nullptr);
}

struct ClickCase {
  const char* name;
  std::vector<int> clicks;
  std::vector<int> marked;  // checked among 507, 508, 509, 513
};
void PrintTo(const ClickCase& c, std::ostream* os) {
  *os << c.name;
}
class DialogClicks : public Dialogs, public testing::WithParamInterface<ClickCase> {};

TEST_P(DialogClicks, ClickSendsTheIdWithNotificationZeroAndSetsMarks) {
  const auto& c = GetParam();
  const HWND panel = ws->CreateDialog(module_, "PANEL", frame_, Recorder());
  ws->PumpPending();
  for (int id : c.clicks) hb->ClickControl(panel, id);
  ws->PumpPending();
  std::vector<std::pair<int, int>> expected;
  for (int id : c.clicks) expected.push_back({id, 0});
  EXPECT_EQ(commands_, expected);
  std::vector<int> marked;
  for (int id : {507, 508, 509, 513})
    if (ws->IsDlgButtonChecked(panel, id)) marked.push_back(id);
  EXPECT_EQ(marked, c.marked);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogClicks,
    testing::Values(ClickCase{"PushButtonOnly", {504}, {}}, ClickCase{"RadioMarksItself", {508}, {508}},
                    ClickCase{"RadioClearsItsGroup", {507, 509}, {509}},
                    ClickCase{"CheckBoxLeavesRadiosAlone", {508, 513}, {508, 513}},
                    ClickCase{"CheckBoxToggles", {513, 513}, {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Dialogs, CodeSetsMarksWithoutCommands) {
  const HWND panel = ws->CreateDialog(module_, "PANEL", frame_, Recorder());
  EXPECT_TRUE(ws->CheckRadioButton(panel, 507, 509, 509));
  ws->CheckDlgButton(panel, 513, BST_CHECKED);
  EXPECT_EQ(ws->IsDlgButtonChecked(panel, 509), BST_CHECKED);
  EXPECT_EQ(ws->IsDlgButtonChecked(panel, 507), BST_UNCHECKED);
  EXPECT_EQ(ws->IsDlgButtonChecked(panel, 513), BST_CHECKED);
  ws->PumpPending();
  EXPECT_TRUE(commands_.empty());
}

TEST_F(Dialogs, DisabledControlsTakeNoClicks) {
  const HWND panel = ws->CreateDialog(module_, "PANEL", frame_, Recorder());
  ws->EnableWindow(ws->GetDlgItem(panel, 504), false);
  hb->ClickControl(panel, 504);
  ws->PumpPending();
  EXPECT_TRUE(commands_.empty());
}

TEST_F(Dialogs, TypedTextReachesTheFocusedEdit) {
  const HWND panel = ws->CreateDialog(module_, "PANEL", frame_, Recorder());
  hb->ClickControl(panel, 503);
  ws->PumpPending();
  hb->Type("Ab 12x");
  hb->Key(VK_BACK);
  ws->PumpPending();
  EXPECT_EQ(ws->GetDlgItemText(panel, 503), "Ab 12");
  EXPECT_EQ(ws->GetDlgItemText(panel, 503, 3), "Ab");
  // Edit changes notify with a non-zero code, which a panel ignores.
  ASSERT_FALSE(commands_.empty());
  EXPECT_EQ(commands_.back(), (std::pair<int, int>{503, static_cast<int>(EN_CHANGE)}));
}

TEST_F(Dialogs, ModalDialogRunsItsOwnLoopAndDisablesTheOwner) {
  bool ownerEnabledInside = true;
  hb->Script([&] {
    ownerEnabledInside = ws->IsWindowEnabled(frame_);
    const HWND dlg = ws->GetTopLevel(ws->GetFocus());
    hb->ClickControl(dlg, 522);
  });
  const intptr_t r = ws->DialogBox(module_, "ABOUT", frame_, [&](HWND h, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
    if (m == WM_INITDIALOG) {
      ws->SetDlgItemText(h, 517, "Version 1");
      return 1;
    }
    if (m == WM_COMMAND && LoWord(wp) == 522) {
      ws->EndDialog(h, 5);
      return 1;
    }
    return 0;
  });
  EXPECT_EQ(r, 5);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_TRUE(ws->IsWindowEnabled(frame_));
  EXPECT_EQ(ws->TopLevels().size(), 1u);
}

TEST_F(Dialogs, EnterPressesTheDefaultButtonOfAModalDialog) {
  hb->Script([&] { hb->Key(VK_RETURN); });
  const intptr_t r = ws->DialogBox(module_, "ABOUT", frame_, [&](HWND h, uint32_t m, uintptr_t wp, intptr_t) -> intptr_t {
    if (m == WM_COMMAND) ws->EndDialog(h, static_cast<intptr_t>(LoWord(wp)));
    return m == WM_COMMAND || m == WM_INITDIALOG;
  });
  EXPECT_EQ(r, 522);
}

TEST_F(Dialogs, QuitInsideAModalLoopEndsItAndReachesTheOuterLoop) {
  hb->Script([&] { ws->PostQuitMessage(3); });
  EXPECT_EQ(ws->DialogBox(module_, "ABOUT", frame_, Recorder()), -1);
  Msg m;
  EXPECT_FALSE(ws->GetMessage(&m));
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(Dialogs, ScriptedBoxesAreAnsweredAndRecorded) {
  hb->AnswerBoxes({IDNO, IDOK});
  EXPECT_EQ(ws->MessageBox(frame_, "Try Initializing scanner with local firmware?", "Quit Lumivex?",
                           MB_YESNO | MB_ICONQUESTION),
            IDNO);
  EXPECT_EQ(ws->MessageBox(nullptr, "ZARNInit => -1.  Is the ZARN on and connected?", "CREATE", MB_OK), IDOK);
  ASSERT_EQ(hb->Boxes().size(), 2u);
  EXPECT_EQ(hb->Boxes()[0], (MessageBoxRecord{frame_, "Try Initializing scanner with local firmware?",
                                              "Quit Lumivex?", MB_YESNO | MB_ICONQUESTION}));
  EXPECT_EQ(hb->Boxes()[1].owner, nullptr);
}

struct BoxKeyCase {
  const char* name;
  uint32_t flags;
  uint32_t key;
  int answer;
};
void PrintTo(const BoxKeyCase& c, std::ostream* os) {
  *os << c.name;
}
class BoxKeys : public Dialogs, public testing::WithParamInterface<BoxKeyCase> {};

TEST_P(BoxKeys, ShownBoxClosesFromTheKeyboard) {
  const auto& c = GetParam();
  hb->Script([&] {
    // The box is the newest top-level window and shows the text.
    const HWND box = ws->TopLevels().back();
    EXPECT_EQ(ws->GetWindowText(box), "Caption");
    hb->Key(c.key);
  });
  EXPECT_EQ(ws->MessageBox(frame_, "Line one\nLine two", "Caption", c.flags), c.answer);
  EXPECT_EQ(hb->Boxes().size(), 1u);
  EXPECT_EQ(ws->TopLevels().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, BoxKeys,
                         testing::Values(BoxKeyCase{"EnterOnOk", MB_OK, VK_RETURN, IDOK},
                                         BoxKeyCase{"EscapeOnOk", MB_OK, VK_ESCAPE, IDOK},
                                         BoxKeyCase{"EnterOnYesNo", MB_YESNO, VK_RETURN, IDYES},
                                         BoxKeyCase{"EscapeOnOkCancel", MB_OKCANCEL, VK_ESCAPE, IDCANCEL}),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST_F(Dialogs, StalledModalLoopFailsInsteadOfHanging) {
  hb->stallLimit = std::chrono::milliseconds(50);
  EXPECT_THROW(ws->DialogBox(module_, "ABOUT", frame_, Recorder()), std::runtime_error);
}

TEST_F(Dialogs, TreeRowsKeepTheirDepthOrder) {
  DialogTemplate t{"T", WS_POPUP | WS_CAPTION, {0, 0, 200, 100}, "Tree", {}};
  t.controls = {{ControlKind::TreeView, 1025, "", {0, 0, 200, 80}},
                {ControlKind::StatusBar, 1026, "", {0, 80, 200, 90}}};
  const HWND dlg = ws->CreateDialogIndirect(t, nullptr, Recorder());
  const HWND tree = ws->GetDlgItem(dlg, 1025);
  const uintptr_t a = ws->TreeInsert(tree, 0, "Acquired");
  ws->TreeInsert(tree, 0, "Scanner");
  ws->TreeInsert(tree, a, "child");
  EXPECT_EQ(ws->TreeRows(tree),
            (std::vector<std::pair<int, std::string>>{{0, "Acquired"}, {1, "child"}, {0, "Scanner"}}));
  ws->SetDlgItemText(dlg, 1026, "Copied to clipboard.");
  EXPECT_EQ(ws->GetDlgItemText(dlg, 1026), "Copied to clipboard.");
  ws->TreeClear(tree);
  EXPECT_TRUE(ws->TreeRows(tree).empty());
}

}  // namespace
