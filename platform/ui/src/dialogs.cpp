// Dialogs from templates (modeless and modal with its own loop), dialog keys, and message boxes built as
// dialogs.
#include <algorithm>

#include "window_record.h"

namespace ui {
namespace {

const char* ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static: return "STATIC";
    case ControlKind::Edit: return "EDIT";
    case ControlKind::Button: return "BUTTON";
    case ControlKind::TreeView: return "SysTreeView32";
    case ControlKind::StatusBar: return "msctls_statusbar32";
  }
  return "STATIC";
}

constexpr const char* kDialogClass = "#32770";

}  // namespace

Point WindowSystem::DialogBaseUnits() const {
  const auto m = SystemFont()->Metrics();
  return {std::max(1, m.averageCharWidth), std::max(1, m.height)};
}

Rect WindowSystem::DialogUnitsToPixels(const Rect& dlu) const {
  const Point b = DialogBaseUnits();
  return {dlu.left * b.x / 4, dlu.top * b.y / 8, dlu.right * b.x / 4, dlu.bottom * b.y / 8};
}

HWND WindowSystem::DialogWindowOf(HWND h) const {
  for (const Window* w = Find(h); w; w = w->parent ? Find(w->parent) : nullptr)
    if (w->isDialog) return w->handle;
  return nullptr;
}

HWND WindowSystem::CreateDialog(HINSTANCE module, std::string_view name, HWND owner, DlgProc proc,
                                intptr_t param) {
  const DialogTemplate* t = FindDialog(module, name);
  return t ? CreateDialogIndirect(*t, owner, std::move(proc), param) : nullptr;
}

HWND WindowSystem::CreateDialogIndirect(const DialogTemplate& t, HWND owner, DlgProc proc, intptr_t param) {
  if (!classes_.count(kDialogClass)) {
    RegisterClass({kDialogClass,
                   [this](HWND h, uint32_t msg, uintptr_t wp, intptr_t lp) -> intptr_t {
                     Window* w = Find(h);
                     const DlgProc dp = w ? w->dlgProc : DlgProc{};
                     if (dp && dp(h, msg, wp, lp)) return msg == WM_ERASEBKGND ? 1 : 0;
                     if (msg == WM_CLOSE) {
                       SendMessage(h, WM_COMMAND, MakeWParam(IDCANCEL, 0), 0);
                       return 0;
                     }
                     return DefWindowProc(h, msg, wp, lp);
                   },
                   kLightGray});
  }
  const bool child = t.style & WS_CHILD;
  Rect r = DialogUnitsToPixels(t.dlu);
  if (!child) {
    Point base{0, 0};
    if (const Window* o = Find(GetTopLevel(owner))) base = {o->rect.left, o->rect.top};
    r = r.Offset(base.x, base.y);
  }
  const HWND h = CreateWindow(kDialogClass, t.caption, t.style & ~WS_VISIBLE, r, owner);
  if (!h) return nullptr;
  Window* w = Find(h);
  w->isDialog = true;
  w->dlgProc = std::move(proc);
  for (const ControlTemplate& c : t.controls) {
    uint32_t style = WS_CHILD | (c.hidden ? 0 : WS_VISIBLE) | c.style;
    if (c.kind == ControlKind::Edit) style |= WS_BORDER | WS_TABSTOP;
    HWND ch = CreateWindow(ClassFor(c.kind), c.text, style, DialogUnitsToPixels(c.dlu), h, c.id);
    if (!ch) {
      DestroyWindow(h);
      return nullptr;
    }
  }
  // The first control that takes input gets the focus when the procedure leaves it to the dialog.
  HWND first = nullptr;
  for (HWND c : w->children) {
    const Window* cw = Find(c);
    if (cw && cw->enabled && (cw->className == "edit" || (cw->className == "button" && (cw->style & 0xF) != BS_GROUPBOX))) {
      first = c;
      break;
    }
  }
  const DlgProc dp = w->dlgProc;
  const intptr_t focusDefault = dp ? dp(h, WM_INITDIALOG, reinterpret_cast<uintptr_t>(first), param) : 1;
  if (!Find(h)) return nullptr;
  if (focusDefault && first) SetFocus(first);
  if (t.style & WS_VISIBLE) ShowWindow(h, SW_SHOW);
  return h;
}

intptr_t WindowSystem::DialogBox(HINSTANCE module, std::string_view name, HWND owner, DlgProc proc,
                                 intptr_t param) {
  const DialogTemplate* t = FindDialog(module, name);
  return t ? DialogBoxIndirect(*t, owner, std::move(proc), param) : -1;
}

intptr_t WindowSystem::DialogBoxIndirect(const DialogTemplate& t, HWND owner, DlgProc proc, intptr_t param) {
  DialogTemplate modal = t;
  modal.style &= ~(WS_VISIBLE | WS_CHILD);
  modal.style |= WS_POPUP;
  const HWND dlg = CreateDialogIndirect(modal, owner, std::move(proc), param);
  if (!dlg) return -1;
  return RunModal(dlg);
}

intptr_t WindowSystem::RunModal(HWND dlg) {
  Window* w = Find(dlg);
  if (!w->ended) ShowWindow(dlg, SW_SHOW);
  const HWND owner = w->owner;
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, false);
  Msg m;
  while (Find(dlg) && !Find(dlg)->ended) {
    if (!GetMessage(&m)) {
      PostQuitMessage(static_cast<int>(m.wParam));  // the outer loop ends too
      break;
    }
    if (!IsDialogMessage(dlg, m)) {
      TranslateMessage(m);
      DispatchMessage(m);
    }
  }
  intptr_t result = -1;
  if (Window* done = Find(dlg)) {
    result = done->ended ? done->result : -1;
    if (ownerWasEnabled) EnableWindow(owner, true);
    DestroyWindow(dlg);
  } else if (ownerWasEnabled) {
    EnableWindow(owner, true);
  }
  return result;
}

bool WindowSystem::EndDialog(HWND dlg, intptr_t result) {
  Window* w = Find(dlg);
  if (!w || !w->isDialog) return false;
  w->ended = true;
  w->result = result;
  ShowWindow(dlg, SW_HIDE);
  return true;
}

bool WindowSystem::IsDialogMessage(HWND dlg, const Msg& m) {
  if (!Find(dlg) || DialogWindowOf(m.hwnd) != dlg) return false;
  if (m.message == WM_KEYDOWN) {
    const Window* w = Find(dlg);
    if (m.wParam == VK_RETURN) {
      // The focused push button, else the default push button, else IDOK.
      int id = IDOK;
      HWND ctrl = nullptr;
      const Window* f = Find(focus_);
      if (f && f->parent == dlg && f->className == "button" && (f->style & 0xE) == 0) {
        id = f->ctrlId;
        ctrl = f->handle;
      } else {
        for (HWND c : w->children)
          if (const Window* cw = Find(c); cw && cw->className == "button" && (cw->style & 0xF) == BS_DEFPUSHBUTTON) {
            id = cw->ctrlId;
            ctrl = c;
            break;
          }
      }
      SendMessage(dlg, WM_COMMAND, MakeWParam(static_cast<uint32_t>(id), BN_CLICKED),
                  static_cast<intptr_t>(IdOf(ctrl)));
      return true;
    }
    if (m.wParam == VK_ESCAPE) {
      SendMessage(dlg, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), 0);
      return true;
    }
    if (m.wParam == VK_TAB) {
      std::vector<HWND> stops;
      for (HWND c : w->children)
        if (const Window* cw = Find(c); cw && cw->visible && cw->enabled && (cw->style & WS_TABSTOP || cw->className == "edit" ||
                                                        (cw->className == "button" && (cw->style & 0xF) != BS_GROUPBOX)))
          stops.push_back(c);
      if (!stops.empty()) {
        auto it = std::find(stops.begin(), stops.end(), focus_);
        SetFocus(it == stops.end() || ++it == stops.end() ? stops.front() : *it);
      }
      return true;
    }
  }
  TranslateMessage(m);
  DispatchMessage(m);
  return true;
}

bool WindowSystem::SetDlgItemText(HWND dlg, int id, std::string_view text) {
  return SetWindowText(GetDlgItem(dlg, id), text);
}

std::string WindowSystem::GetDlgItemText(HWND dlg, int id, size_t size) const {
  std::string t = GetWindowText(GetDlgItem(dlg, id));
  if (size == 0) return {};
  if (t.size() > size - 1) t.resize(size - 1);
  return t;
}

bool WindowSystem::CheckDlgButton(HWND dlg, int id, int check) {
  const HWND b = GetDlgItem(dlg, id);
  if (!b) return false;
  SendMessage(b, BM_SETCHECK, static_cast<uintptr_t>(check), 0);
  return true;
}

int WindowSystem::IsDlgButtonChecked(HWND dlg, int id) const {
  const Window* b = Find(GetDlgItem(dlg, id));
  return b ? b->check : 0;
}

bool WindowSystem::CheckRadioButton(HWND dlg, int first, int last, int check) {
  bool found = false;
  for (int id = first; id <= last; ++id) {
    if (!GetDlgItem(dlg, id)) continue;
    CheckDlgButton(dlg, id, id == check ? BST_CHECKED : BST_UNCHECKED);
    found = found || id == check;
  }
  return found;
}

int WindowSystem::MessageBox(HWND owner, std::string_view text, std::string_view caption, uint32_t flags) {
  const MessageBoxRecord record{owner, std::string(text), std::string(caption), flags};
  if (auto answer = backend_->AnswerMessageBox(record)) return *answer;
  std::vector<std::pair<int, const char*>> buttons;
  switch (flags & 0xF) {
    case MB_OKCANCEL: buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNOCANCEL: buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}}; break;
    default: buttons = {{IDOK, "OK"}}; break;
  }
  // Lay the box out in dialog units from the text's size.
  const Point base = DialogBaseUnits();
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t nl = text.find('\n', start);
    lines.emplace_back(text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  int textW = 0;
  for (const auto& l : lines) textW = std::max(textW, SystemFont()->Measure(l).width);
  const int lineH = 8;
  const int textDluW = textW * 4 / base.x + 4;
  const int buttonsW = static_cast<int>(buttons.size()) * 56;
  const int width = std::max({textDluW + 16, buttonsW + 16, 120});
  const int textH = static_cast<int>(lines.size()) * lineH;
  DialogTemplate t;
  t.name = "#messagebox";
  t.style = WS_POPUP | WS_CAPTION;
  t.caption = std::string(caption);
  t.dlu = {0, 0, width, textH + 40};
  int y = 8;
  for (const auto& l : lines) {
    t.controls.push_back({ControlKind::Static, -1, l, {8, y, width - 8, y + lineH}});
    y += lineH;
  }
  int x = (width - buttonsW) / 2 + 3;
  bool first = true;
  for (const auto& [id, label] : buttons) {
    t.controls.push_back({ControlKind::Button, id, label, {x, textH + 18, x + 50, textH + 32},
                          (first ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP});
    first = false;
    x += 56;
  }
  const bool hasCancel = std::any_of(buttons.begin(), buttons.end(), [](auto& b) { return b.first == IDCANCEL; });
  const bool okOnly = buttons.size() == 1;
  return static_cast<int>(DialogBoxIndirect(
      t, owner, [this, hasCancel, okOnly](HWND h, uint32_t msg, uintptr_t wp, intptr_t) -> intptr_t {
        if (msg != WM_COMMAND) return msg == WM_INITDIALOG;
        const int id = static_cast<int>(LoWord(wp));
        // Escape or the close box: Cancel when the box has it, OK on an OK-only box, else nothing.
        if (id == IDCANCEL && !hasCancel) {
          if (okOnly) EndDialog(h, IDOK);
          return 1;
        }
        if (id > 0) EndDialog(h, id);
        return 1;
      }));
}

}  // namespace ui
