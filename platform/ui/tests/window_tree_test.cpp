#include <gtest/gtest.h>

#include "platform/ini.h"
#include "platform/thread.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "ui_fixture.h"

namespace {

using namespace ui;
using uitest::Logged;

class WindowTree : public uitest::UiFixture {};

TEST_F(WindowTree, CreateSendsCreateThenSizeBeforeChildrenExist) {
  auto& log = Keep<std::vector<Logged>>();
  auto& childrenAtFirstSize = Keep<size_t>();
  childrenAtFirstSize = 99;
  ws->RegisterClass({"Frame", [&](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                       log.push_back({m, wp, lp});
                       if (m == WM_SIZE && childrenAtFirstSize == 99) childrenAtFirstSize = ws->Children(h).size();
                       return ws->DefWindowProc(h, m, wp, lp);
                     }});
  const HWND frame = ws->CreateWindow("frame", "Title", WS_OVERLAPPEDWINDOW, {0, 0, 640, 480}, nullptr);
  ASSERT_TRUE(frame);
  EXPECT_EQ(Messages(log, {WM_CREATE, WM_SIZE}), (std::vector<uint32_t>{WM_CREATE, WM_SIZE}));
  EXPECT_EQ(childrenAtFirstSize, 0u);
  EXPECT_EQ(log[1].lParam, MakeLParam(640, 480));
  EXPECT_EQ(ws->GetWindowText(frame), "Title");
}

TEST_F(WindowTree, CreateFailsWhenCreateReturnsMinusOne) {
  ws->RegisterClass({"Refuse", [&](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
                       return m == WM_CREATE ? -1 : ws->DefWindowProc(h, m, wp, lp);
                     }});
  EXPECT_EQ(ws->CreateWindow("Refuse", "", 0, {0, 0, 10, 10}, nullptr), nullptr);
  EXPECT_TRUE(ws->TopLevels().empty());
  EXPECT_EQ(ws->CreateWindow("NoSuchClass", "", 0, {0, 0, 10, 10}, nullptr), nullptr);
}

TEST_F(WindowTree, HidingAScrollBarChangesTheClientAreaAndSendsSize) {
  auto& log = Keep<std::vector<Logged>>();
  RegisterLogging("Img", &log);
  const HWND frame = ws->CreateWindow("Img", "", WS_VISIBLE, {0, 0, 300, 200}, nullptr);
  const HWND img = ws->CreateWindow("Img", "", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL,
                                    {10, 10, 210, 110}, frame);
  EXPECT_EQ(ws->GetClientRect(img), (Rect{0, 0, 184, 84}));
  log.clear();
  ws->SetScrollRange(img, SB_VERT, 0, 0);
  ASSERT_EQ(Messages(log, {WM_SIZE}).size(), 1u);
  const auto size = std::find_if(log.begin(), log.end(), [](auto& l) { return l.message == WM_SIZE; });
  EXPECT_EQ(size->lParam, MakeLParam(200, 84));
  EXPECT_FALSE(ws->IsScrollBarShown(img, SB_VERT));
  log.clear();
  ws->SetScrollRange(img, SB_HORZ, 0, 50);  // still shown: no size message
  EXPECT_TRUE(Messages(log, {WM_SIZE}).empty());
  ws->SetScrollRange(img, SB_VERT, 0, 10);
  EXPECT_EQ(Messages(log, {WM_SIZE}).size(), 1u);
}

TEST_F(WindowTree, MoveSendsSizeOnlyWhenTheClientSizeChanges) {
  auto& log = Keep<std::vector<Logged>>();
  RegisterLogging("W", &log);
  const HWND frame = ws->CreateWindow("W", "", WS_VISIBLE, {0, 0, 300, 200}, nullptr);
  const HWND child = ws->CreateWindow("W", "", WS_CHILD | WS_VISIBLE | WS_BORDER, {0, 0, 100, 100}, frame, 3);
  EXPECT_EQ(ws->GetClientRect(child), (Rect{0, 0, 98, 98}));
  log.clear();
  ws->MoveWindow(child, {20, 0, 120, 100});
  EXPECT_TRUE(Messages(log, {WM_SIZE}).empty());
  ws->MoveWindow(child, {20, 0, 140, 100});
  EXPECT_EQ(Messages(log, {WM_SIZE}).size(), 1u);
  EXPECT_EQ(ws->GetDlgItem(frame, 3), child);
  EXPECT_EQ(ws->GetDlgCtrlID(child), 3);
}

TEST_F(WindowTree, DestroyTellsParentBeforeChildrenAndStaleHandlesNameNothing) {
  auto& order = Keep<std::vector<std::string>>();
  auto proc = [&](const std::string& name) {
    return [&, name](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
      if (m == WM_DESTROY) order.push_back(name);
      return ws->DefWindowProc(h, m, wp, lp);
    };
  };
  ws->RegisterClass({"P", proc("parent")});
  ws->RegisterClass({"C", proc("child")});
  const HWND p = ws->CreateWindow("P", "", 0, {0, 0, 50, 50}, nullptr);
  const HWND c = ws->CreateWindow("C", "", WS_CHILD, {0, 0, 10, 10}, p);
  EXPECT_TRUE(ws->DestroyWindow(p));
  EXPECT_EQ(order, (std::vector<std::string>{"parent", "child"}));
  EXPECT_FALSE(ws->IsWindow(p));
  EXPECT_FALSE(ws->IsWindow(c));
  EXPECT_FALSE(ws->DestroyWindow(p));
  // A new window never reuses an old handle.
  EXPECT_NE(ws->CreateWindow("P", "", 0, {0, 0, 5, 5}, nullptr), p);
}

TEST_F(WindowTree, DefaultCloseDestroys) {
  auto& log = Keep<std::vector<Logged>>();
  RegisterLogging("W", &log);
  const HWND w = ws->CreateWindow("W", "", WS_VISIBLE, {0, 0, 50, 50}, nullptr);
  hb->Script([&] {});
  ws->InjectClose(w);
  ws->PumpPending();
  EXPECT_FALSE(ws->IsWindow(w));
  EXPECT_EQ(Messages(log, {WM_CLOSE, WM_DESTROY}), (std::vector<uint32_t>{WM_CLOSE, WM_DESTROY}));
}

TEST_F(WindowTree, PostsToDestroyedWindowsAreDropped) {
  auto& log = Keep<std::vector<Logged>>();
  RegisterLogging("W", &log);
  const HWND a = ws->CreateWindow("W", "", 0, {0, 0, 50, 50}, nullptr);
  const HWND b = ws->CreateWindow("W", "", 0, {0, 0, 50, 50}, nullptr);
  EXPECT_TRUE(ws->PostMessage(a, WM_USER + 1, 1, 0));
  EXPECT_TRUE(ws->PostMessage(b, WM_USER + 1, 2, 0));
  ws->DestroyWindow(a);
  EXPECT_FALSE(ws->PostMessage(a, WM_USER + 1, 3, 0));
  log.clear();
  ws->PumpPending();
  ASSERT_EQ(Messages(log, {WM_USER + 1}).size(), 1u);
  EXPECT_EQ(log[0].wParam, 2u);
}

TEST_F(WindowTree, NestedPumpInsideAHandlerDispatchesLaterPosts) {
  auto& order = Keep<std::vector<std::string>>();
  HWND w = nullptr;
  ws->RegisterClass({"W", [&](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
                       if (m == WM_USER + 1) {
                         order.push_back("outer begin");
                         ws->PostMessage(h, WM_USER + 2);
                         plat::PumpThreadMessages();  // what a long wait of the API does
                         order.push_back("outer end");
                         return 0;
                       }
                       if (m == WM_USER + 2) order.push_back("inner");
                       if (m == WM_USER + 3) ws->PostQuitMessage(7);
                       return ws->DefWindowProc(h, m, wp, lp);
                     }});
  w = ws->CreateWindow("W", "", WS_VISIBLE, {0, 0, 50, 50}, nullptr);
  ws->PostMessage(w, WM_USER + 1);
  ws->PostMessage(w, WM_USER + 3);
  EXPECT_EQ(ws->Run(), 7);
  EXPECT_EQ(order, (std::vector<std::string>{"outer begin", "inner", "outer end"}));
}

TEST_F(WindowTree, PaintsParentsBeforeChildrenIntoTheFramebuffer) {
  auto& order = Keep<std::vector<std::string>>();
  auto proc = [&](const std::string& name) {
    return [&, name](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
      if (m == WM_PAINT) order.push_back(name);
      return ws->DefWindowProc(h, m, wp, lp);
    };
  };
  ws->RegisterClass({"Frame", proc("frame"), kLightGray});
  ws->RegisterClass({"Pane", proc("pane"), kWhite});
  const HWND frame = ws->CreateWindow("Frame", "", WS_VISIBLE, {0, 0, 100, 80}, nullptr);
  const HWND pane = ws->CreateWindow("Pane", "", WS_CHILD | WS_VISIBLE | WS_BORDER, {10, 10, 50, 50}, frame);
  ws->PumpPending();
  EXPECT_EQ(order, (std::vector<std::string>{"frame", "pane"}));
  const Surface& fb = *ws->Framebuffer(frame);
  EXPECT_EQ(fb.Pixel(5, 5), kLightGray);
  EXPECT_EQ(fb.Pixel(10, 10), kBlack);  // the pane's border
  EXPECT_EQ(fb.Pixel(30, 30), kWhite);
  // Invalidating the pane alone repaints only the pane.
  order.clear();
  ws->InvalidateRect(pane, nullptr, true);
  ws->PumpPending();
  EXPECT_EQ(order, (std::vector<std::string>{"pane"}));
}

TEST_F(WindowTree, CaptureRoutesTheMouseAndConfinesThePointer) {
  auto& log = Keep<std::vector<Logged>>();
  RegisterLogging("W", &log);
  const HWND frame = ws->CreateWindow("W", "", WS_VISIBLE, {100, 100, 300, 300}, nullptr);
  const HWND child = ws->CreateWindow("W", "", WS_CHILD | WS_VISIBLE, {50, 50, 150, 150}, frame);
  ws->SetCapture(child);
  const Rect client = ws->GetClientRect(child);
  const Point tl = ws->ClientToScreen(child, {0, 0});
  EXPECT_EQ(tl, (Point{150, 150}));
  const Rect screen{tl.x, tl.y, tl.x + client.Width(), tl.y + client.Height()};
  ws->ClipCursor(&screen);
  EXPECT_EQ(hb->Confinement(), screen);
  log.clear();
  ws->InjectMouse(frame, {10, 10}, WM_MOUSEMOVE);  // outside the child, still delivered to it
  ws->PumpPending();
  ASSERT_EQ(Messages(log, {WM_MOUSEMOVE}).size(), 1u);
  const auto move = std::find_if(log.begin(), log.end(), [](auto& l) { return l.message == WM_MOUSEMOVE; });
  EXPECT_EQ(PointFromLParam(move->lParam), (Point{-40, -40}));
  ws->ReleaseCapture();
  ws->ClipCursor(nullptr);
  EXPECT_TRUE(hb->Confinement().Empty());
}

TEST_F(WindowTree, KeyStateFollowsInjectedKeys) {
  EXPECT_GE(ws->GetKeyState(VK_SHIFT), 0);
  ws->CreateWindow("STATIC", "", WS_VISIBLE, {0, 0, 10, 10}, nullptr);
  ws->InjectKey(VK_SHIFT, true);
  EXPECT_GE(ws->GetKeyState(VK_SHIFT), 0) << "not before the key message is taken";
  ws->PumpPending();
  EXPECT_LT(ws->GetKeyState(VK_SHIFT), 0);
  ws->InjectKey(VK_SHIFT, false);
  ws->PumpPending();
  EXPECT_GE(ws->GetKeyState(VK_SHIFT), 0);
}

TEST_F(WindowTree, BeepsAndCursorReachTheBackend) {
  ws->MessageBeep(0);
  ws->MessageBeep(1);
  EXPECT_EQ(hb->Beeps(), 2);
  EXPECT_EQ(ws->SetCursor(Cursor::Wait), Cursor::Arrow);
  EXPECT_EQ(hb->CurrentCursor(), Cursor::Wait);
}

TEST_F(WindowTree, ProfileWriteKeepsOtherLines) {
  zc::testkit::ScratchDir dir("ui_profile");
  dir.Write("win.ini", "; user settings\r\n[Brevant LUMIVEX]\r\nItemNumber=1\r\nOther = kept\r\n[Desktop]\r\nWall=x\r\n");
  ws->SetProfileFile(dir.File("win.ini"));
  EXPECT_TRUE(ws->WriteProfileString("Brevant LUMIVEX", "ItemNumber", "42"));
  EXPECT_EQ(dir.Read("win.ini"),
            "; user settings\r\n[Brevant LUMIVEX]\r\nItemNumber=42\r\nOther = kept\r\n[Desktop]\r\nWall=x\r\n");
}

// ---- menus and accelerators -------------------------------------------------------------------------

class MenuAndKeys : public uitest::UiFixture {
 protected:
  void SetUp() override {
    ResourceModule mod;
    mod.menus.push_back({"MAINMENU", {{"&Help", {{600, "&Scanner Info"}, {0, ""}, {601, "&About"}}}}});
    mod.accelerators.push_back({"MAINACCE", {{0, 1, 601}, {0, 5, 602}, {FVIRTKEY, VK_F1, 600}}});
    module_ = RegisterResourceModule(mod);
    ws->RegisterClass({"Frame",
                       [this](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                         if (m == WM_COMMAND) {
                           commands_.push_back(static_cast<int>(LoWord(wp)));
                           if (LoWord(wp) == 999) ws->PostQuitMessage(0);
                         }
                         return ws->DefWindowProc(h, m, wp, lp);
                       },
                       kLightGray, "MAINMENU"});
    frame_ = ws->CreateWindow("Frame", "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, {0, 0, 400, 300}, nullptr, 0,
                              module_);
  }
  HINSTANCE module_ = nullptr;
  HWND frame_ = nullptr;
  std::vector<int> commands_;
};

TEST_F(MenuAndKeys, AcceleratorsTranslateBeforeDispatch) {
  const AcceleratorTable* accel = FindAccelerators(module_, "mainacce");
  ASSERT_TRUE(accel);
  hb->Script([&] { hb->Key(VK_F1); });
  hb->Script([&] { hb->Chord(true, false, 'A'); });
  hb->Script([&] { hb->Key('A'); });  // a plain 'a' is no accelerator
  hb->Script([&] { ws->PostMessage(frame_, WM_COMMAND, 999); });
  ws->Run(frame_, accel);
  EXPECT_EQ(commands_, (std::vector<int>{600, 601, 999}));
}

TEST_F(MenuAndKeys, MenuBarOpensADropDownWhoseItemSendsItsCommand) {
  const Rect client = ws->GetClientRect(frame_);
  EXPECT_EQ(client.Height(), 300 - MenuBarHeight());
  hb->ClickAt(frame_, {10, 5});  // "Help" in the menu bar
  ws->PumpPending();
  const HWND menu = ws->OpenMenu();
  ASSERT_TRUE(menu);
  const Rect r = ws->GetWindowRect(menu);
  const int rowH = SystemFont()->Metrics().height + 6;
  // Rows: "Scanner Info", separator, "About".
  hb->ClickAt(menu, {10, 2 + rowH + 6 + rowH / 2});
  ws->PumpPending();
  EXPECT_FALSE(ws->IsWindow(menu));
  EXPECT_EQ(commands_, (std::vector<int>{601}));
  EXPECT_GT(r.Width(), 0);
  // A click elsewhere closes an open menu without a command.
  hb->ClickAt(frame_, {10, 5});
  ws->PumpPending();
  ASSERT_TRUE(ws->OpenMenu());
  hb->ClickAt(frame_, {200, 200});
  ws->PumpPending();
  EXPECT_EQ(ws->OpenMenu(), nullptr);
  EXPECT_EQ(commands_.size(), 1u);
}

}  // namespace

namespace {

TEST_F(WindowTree, FramebufferDumpReadsBackAsTheSamePixels) {
  zc::testkit::ScratchDir dir("ui_dump");
  ws->RegisterClass({"Frame", [this](HWND h, uint32_t m, uintptr_t wp, intptr_t lp) {
                       if (m != WM_PAINT) return ws->DefWindowProc(h, m, wp, lp);
                       PaintContext pc = ws->BeginPaint(h);
                       pc.canvas->FillRect({5, 5, 20, 15}, Rgb(10, 200, 30));
                       pc.canvas->TextOut(2, 20, "Scan");
                       ws->EndPaint(h, pc);
                       return intptr_t{0};
                     }, kLightGray});
  const HWND frame = ws->CreateWindow("Frame", "Caption", WS_VISIBLE, {0, 0, 64, 40}, nullptr);
  ws->PumpPending();
  ASSERT_TRUE(hb->DumpPpm(frame, dir.File("f.ppm")));
  const auto image = zc::testkit::ReadPnm(dir.File("f.ppm"));
  ASSERT_TRUE(image);
  const Surface& fb = *ws->Framebuffer(frame);
  ASSERT_EQ(image->width, 64);
  ASSERT_EQ(image->height, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t* p = &image->raster[(static_cast<size_t>(y) * 64 + x) * 3];
      ASSERT_EQ(Rgb(p[0], p[1], p[2]), fb.Pixel(x, y)) << x << "," << y;
    }
  EXPECT_EQ(fb.Pixel(10, 10), Rgb(10, 200, 30));
  EXPECT_EQ(fb.Pixel(0, 0), kLightGray);
  EXPECT_FALSE(hb->DumpPpm(nullptr, dir.File("none.ppm")));
}

}  // namespace
