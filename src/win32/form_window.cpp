#include "win32/form_window.h"

#include <imm.h>

#include <algorithm>
#include <cmath>

#include "plattero_version.h"
#include "win32/dialogs.h"

namespace plattero::win32 {

namespace {

using window::TControl;

constexpr wchar_t kFormClass[] = L"PlatteroForm1";
constexpr UINT kTaskMessage = WM_APP + 1;
constexpr int kFirstId = 100;  // clear of IDOK and IDCANCEL, which dialog keys send

bool IsButton(TControl c) {
  return window::ClickHandler(c) != nullptr;
}
bool IsCheckBox(TControl c) {
  return c == TControl::CheckBox1 || c == TControl::CheckBox2;
}
bool IsComboBox(TControl c) {
  return c == TControl::ComboBox1 || c == TControl::ComboBox2;
}
bool IsLabel(TControl c) {
  switch (c) {
    case TControl::Label1:
    case TControl::Label2:
    case TControl::LabelPap:
    case TControl::Label4:
    case TControl::Label5:
    case TControl::Label6:
    case TControl::Label7:
    case TControl::Label3:
    case TControl::LabelBase:
      return true;
    default:
      return false;
  }
}

// Class, styles and text of a control as the design has it.
struct TControlKind {
  const wchar_t* cls;
  DWORD style, ex_style;
};
TControlKind KindOf(TControl c) {
  constexpr DWORD kTab = WS_TABSTOP | WS_VISIBLE;
  if (IsButton(c)) return {WC_BUTTONW, kTab | BS_PUSHBUTTON, 0};
  if (IsCheckBox(c)) return {WC_BUTTONW, kTab | BS_AUTOCHECKBOX, 0};
  if (window::ChangeHandler(c)) return {WC_EDITW, kTab | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
  switch (c) {
    case TControl::ComboBox1:
    case TControl::ComboBox2:
      return {WC_COMBOBOXW, kTab | CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    case TControl::ListBox1:
      return {WC_LISTBOXW,
              kTab | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT | WS_VSCROLL |
                  WS_HSCROLL,
              WS_EX_CLIENTEDGE};
    case TControl::StatusBar1:
      return {STATUSCLASSNAMEW, WS_VISIBLE, 0};
    case TControl::LabelBase:
      return {WC_STATICW, WS_VISIBLE | SS_NOPREFIX | SS_NOTIFY | SS_CENTERIMAGE | SS_PATHELLIPSIS,
              0};
    case TControl::Label3:
      return {WC_STATICW, WS_VISIBLE | SS_NOPREFIX | SS_CENTERIMAGE, 0};
    default:
      return {WC_STATICW, WS_VISIBLE | SS_NOPREFIX, 0};
  }
}

window::TRect RectOf(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(monitor, &info))
    reinterpret_cast<std::vector<window::TRect>*>(data)->push_back(RectOf(info.rcWork));
  return TRUE;
}

// A top-level window's frame; minimised or maximised, where it was before.
window::TRect FrameOf(HWND hwnd) {
  RECT r{};
  if (!::IsIconic(hwnd) && !::IsZoomed(hwnd)) {
    ::GetWindowRect(hwnd, &r);
    return RectOf(r);
  }
  // The placement counts from the work area's corner: in screen coordinates.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  ::GetWindowPlacement(hwnd, &placement);
  r = placement.rcNormalPosition;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(::MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) {
    ::OffsetRect(&r, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
  }
  return RectOf(r);
}

}  // namespace

// --- The window ---------------------------------------------------------------------

TFormWindow::TFormWindow(TFormOptions options) : quit_on_close_(options.quit_on_close) {
  RegisterWindowClass(kFormClass, &Proc);
  drag_list_message_ = ::RegisterWindowMessageW(DRAGLISTMSGSTRING);
  const std::string version = PLATTERO_VERSION;
  const std::wstring title = L"Plattero " + std::wstring(version.begin(), version.end());
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, title.c_str(), style, CW_USEDEFAULT,
                            CW_USEDEFAULT, window::kDesignWidth, window::kDesignHeight, nullptr,
                            nullptr, ::GetModuleHandleW(nullptr), this);
  {
    std::lock_guard lock(tasks_mutex_);
    post_target_ = hwnd_;
  }
  CreateControls();
  dpi_ = DpiOf(hwnd_);
  const SIZE outer = DesignedOuterSize();
  ::SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi(dpi_);
  // Files may be dropped from Explorer even when this program runs elevated.
  for (const UINT msg : {UINT(WM_DROPFILES), UINT(WM_COPYDATA), UINT(0x0049)})
    ::ChangeWindowMessageFilterEx(hwnd_, msg, MSGFLT_ALLOW, nullptr);
  form_ = std::make_unique<window::TForm1>(*this, std::move(options.exe_file));
}

TFormWindow::~TFormWindow() {
  // The form saves its settings from the window, which must still be there.
  form_.reset();
  preview_.reset();
  if (hwnd_) ::DestroyWindow(hwnd_);
}

void TFormWindow::CreateControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Created in focus order: Tab follows the order of creation.
  controls_.assign(window::Controls().size(), nullptr);
  for (const window::TControlSpec& spec : window::Controls()) {
    const TControlKind kind = KindOf(spec.control);
    const int index = static_cast<int>(spec.control);
    controls_[static_cast<std::size_t>(index)] = ::CreateWindowExW(
        kind.ex_style, kind.cls, W(spec.caption).c_str(), WS_CHILD | kind.style, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + index)), instance, nullptr);
    if (spec.limit > 0) {
      const HWND edit = Control(spec.control);
      // The limit binds typing only; a longer text set by the program shows in full.
      ::SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(spec.limit), 0);
      ::ImmAssociateContextEx(edit, nullptr, 0);  // numbers only: no input method
    }
  }
  const HWND combo = Control(TControl::ComboBox1);
  for (const char16_t* item : window::kArrangements)
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item).c_str()));
  ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
  const HWND paper = Control(TControl::ComboBox2);
  for (const window::TPaperItem& item : window::kPaperItems)
    ::SendMessageW(paper, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.caption).c_str()));
  ::SendMessageW(paper, CB_SETCURSEL, 0, 0);
  ::MakeDragList(Control(TControl::ListBox1));
  progress_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0,
                                Control(TControl::StatusBar1), nullptr, instance, nullptr);
  // What a double-click on the list or the base drawing's label does.
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                               nullptr, instance, nullptr);
  std::wstring hint = W(window::kOpenInJwCadHint);
  for (const TControl c : {TControl::ListBox1, TControl::LabelBase}) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(c));
    tool.lpszText = hint.data();
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

std::u16string TFormWindow::ToolTipOf(TControl control) const {
  wchar_t text[256] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(Control(control));
  tool.lpszText = text;
  if (!tooltip_ || !::SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
    return {};
  ::SendMessageW(tooltip_, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
  return U(text);
}

HWND TFormWindow::Control(TControl control) const {
  return controls_[static_cast<std::size_t>(control)];
}

// --- Start-up, shut-down, placement ---------------------------------------------------

void TFormWindow::Show(int show_command) {
  form_->FormShow();
  ::ShowWindow(hwnd_, show_command);
  ::UpdateWindow(hwnd_);
  if (!focus_) ::SetFocus(Control(TControl::ComboBox1));
}

bool TFormWindow::TranslateNavigation(MSG& msg) {
  return hwnd_ && ::IsDialogMessageW(hwnd_, &msg);
}

void TFormWindow::Close() {
  // Closed once the handler that asked has returned.
  if (hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

window::TRect TFormWindow::Placement() const {
  if (!hwnd_) return last_placement_;  // the window is gone: where it was last
  return FrameOf(hwnd_);
}

void TFormWindow::SetPlacement(int left, int top, int width, int height) {
  const std::vector<window::TRect> screens = Screens();
  window::TRect primary{0, 0, 800, 600};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info))
    primary = RectOf(info.rcWork);
  // What the frame and the screen's DPI add to the designed client size.
  const SIZE outer = DesignedOuterSize();
  const window::TRect r =
      window::FitPlacement({left, top, width, height}, outer.cx - window::kDesignWidth,
                           outer.cy - window::kDesignHeight, screens, primary);
  placing_ = true;
  ::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  placing_ = false;
}

SIZE TFormWindow::DesignedOuterSize() const {
  return OuterSize(::MulDiv(window::kDesignWidth, static_cast<int>(dpi_), 96),
                   ::MulDiv(window::kDesignHeight, static_cast<int>(dpi_), 96),
                   static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                   static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi_);
}

// --- Layout at the window's DPI ---------------------------------------------------------

void TFormWindow::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  font_ = TFont(MessageFontFor(dpi));
  for (const HWND control : controls_)
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  Layout();
  ::InvalidateRect(hwnd_, nullptr, TRUE);
}

int TFormWindow::TextWidth(TControl control) const {
  const HWND h = Control(control);
  if (IsButton(control)) {
    SIZE ideal{};
    if (::SendMessageW(h, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) && ideal.cx > 0)
      return ideal.cx;
  }
  // A drop-down is as wide as its longest item.
  std::vector<std::wstring> texts;
  if (IsComboBox(control)) {
    const int items = static_cast<int>(::SendMessageW(h, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < items; ++i) {
      std::wstring item(static_cast<std::size_t>(std::max<LRESULT>(
                            0, ::SendMessageW(h, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0))),
                        L'\0');
      ::SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(item.data()));
      texts.push_back(std::move(item));
    }
  } else {
    texts.push_back(W(WindowText(h)));
  }
  const HDC dc = ::GetDC(h);
  const HGDIOBJ old = ::SelectObject(dc, font_.get());
  LONG widest = 0;
  for (std::wstring& text : texts) {
    RECT r{};
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r,
                DT_CALCRECT | DT_SINGLELINE | (IsLabel(control) ? DT_NOPREFIX : 0));
    widest = std::max(widest, r.right);
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(h, dc);
  // Room for a button's frame, a check box's box or a drop-down's arrow and
  // borders, and for the last glyph's overhang.
  const int room = IsButton(control) ? 20 : IsCheckBox(control) ? 22 : IsComboBox(control) ? 28 : 2;
  return widest + ::MulDiv(room, static_cast<int>(dpi_), 96);
}

void TFormWindow::Layout() {
  if (controls_.empty()) return;
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const HWND status = Control(TControl::StatusBar1);
  ::SendMessageW(status, WM_SIZE, 0, 0);  // it keeps itself at the bottom
  RECT status_rect{};
  ::GetWindowRect(status, &status_rect);
  window::TLayoutMetrics metrics;
  metrics.text_width = [this](TControl c) { return TextWidth(c); };
  metrics.status_height = status_rect.bottom - status_rect.top;
  metrics.scale = dpi_ / 96.0;
  const std::vector<window::TRect> rects =
      window::LayoutControls(client.right, client.bottom, metrics);
  HDWP positions = ::BeginDeferWindowPos(static_cast<int>(rects.size()));
  for (const window::TControlSpec& spec : window::Controls()) {
    if (spec.control == TControl::StatusBar1) continue;
    const window::TRect& r = rects[static_cast<std::size_t>(spec.control)];
    int height = r.height;
    if (IsComboBox(spec.control)) {
      // The field as high as the edits beside it; the height given to a
      // drop-down list is that of its open list.
      ::SendMessageW(Control(spec.control), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                     std::max<LPARAM>(r.height - ::MulDiv(6, dpi_, 96), 1));
      height = r.height + ::MulDiv(120, dpi_, 96);
    }
    if (positions) {
      positions = ::DeferWindowPos(positions, Control(spec.control), nullptr, r.left, r.top,
                                   r.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (positions) ::EndDeferWindowPos(positions);
  PlaceProgress();
}

void TFormWindow::PlaceProgress() {
  const HWND status = Control(TControl::StatusBar1);
  RECT r{};
  ::GetClientRect(status, &r);
  // One text area; while a run goes on, a second one holds the progress bar.
  const int bar = ::MulDiv(160, dpi_, 96);
  int parts[2] = {progress_shown_ ? std::max<int>(0, r.right - bar - ::MulDiv(8, dpi_, 96)) : -1,
                  -1};
  ::SendMessageW(status, SB_SETPARTS, progress_shown_ ? 2 : 1, reinterpret_cast<LPARAM>(parts));
  if (progress_shown_ && ::SendMessageW(status, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&r))) {
    ::InflateRect(&r, -2, -2);
    ::MoveWindow(progress_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  ::ShowWindow(progress_, progress_shown_ ? SW_SHOWNA : SW_HIDE);
}

// --- What the form shows -------------------------------------------------------------------

void TFormWindow::SetText(TControl control, const std::u16string& text) {
  updating_ = true;
  if (control == TControl::StatusBar1) {
    ::SendMessageW(Control(control), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(W(text).c_str()));
  } else {
    ::SetWindowTextW(Control(control), W(text).c_str());
  }
  updating_ = false;
  if (IsLabel(control)) Layout();  // a label is as wide as its text
}

void TFormWindow::SetArrangement(int index) {
  ::SendMessageW(Control(TControl::ComboBox1), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TFormWindow::SetPaper(int index) {
  ::SendMessageW(Control(TControl::ComboBox2), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TFormWindow::SetChecked(TControl control, bool checked) {
  ::SendMessageW(Control(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TFormWindow::SetFiles(const std::vector<std::u16string>& files, int selected) {
  const HWND list = Control(TControl::ListBox1);
  updating_ = true;
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  // Long paths can be scrolled to sideways.
  const HDC dc = ::GetDC(list);
  const HGDIOBJ old = ::SelectObject(dc, font_.get());
  LONG widest = 0;
  for (const std::u16string& file : files) {
    const std::wstring w = W(file);
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    widest = std::max(widest, size.cx);
  }
  ::SelectObject(dc, old);
  ::ReleaseDC(list, dc);
  ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
  updating_ = false;
  SelectRow(selected);
}

void TFormWindow::SelectRow(int row) {
  updating_ = true;
  ::SendMessageW(Control(TControl::ListBox1), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  updating_ = false;
}

void TFormWindow::SetRunning(bool running) {
  if (running) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
  }
  running_ = running;
  for (const window::TControlSpec& spec : window::Controls()) {
    if (spec.control != TControl::StatusBar1) ::EnableWindow(Control(spec.control), !running);
  }
  progress_shown_ = running;
  PlaceProgress();
  // The focus goes back where it was once the controls take input again.
  if (!running && focus_ && ::GetActiveWindow() == hwnd_) ::SetFocus(focus_);
  SetCursorForState();
}

void TFormWindow::SetProgress(int value, int maximum) {
  const LONG_PTR style = ::GetWindowLongPtrW(progress_, GWL_STYLE);
  if (maximum <= 0) {
    // Work with no steps to show: the bar moves on its own.
    ::SetWindowLongPtrW(progress_, GWL_STYLE, style | PBS_MARQUEE);
    ::SendMessageW(progress_, PBM_SETMARQUEE, TRUE, 30);
    return;
  }
  if (style & PBS_MARQUEE) {
    ::SendMessageW(progress_, PBM_SETMARQUEE, FALSE, 0);
    ::SetWindowLongPtrW(progress_, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  }
  ::SendMessageW(progress_, PBM_SETRANGE32, 0, maximum);
  ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void TFormWindow::SetWaitCursor(bool on) {
  wait_cursors_ = std::max(0, wait_cursors_ + (on ? 1 : -1));
  // Shown at once: the window takes no messages while it waits.
  if (on) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  if (!on) SetCursorForState();
}

bool TFormWindow::SetCursorForState() {
  const wchar_t* cursor = wait_cursors_ > 0 ? IDC_WAIT : running_ ? IDC_APPSTARTING : nullptr;
  POINT at{};
  ::GetCursorPos(&at);
  const HWND under = ::WindowFromPoint(at);
  const bool ours = under == hwnd_ || ::IsChild(hwnd_, under);
  if (ours) ::SetCursor(::LoadCursorW(nullptr, cursor ? cursor : IDC_ARROW));
  return cursor != nullptr;
}

void TFormWindow::AcceptDrops(bool on) {
  if (hwnd_) ::DragAcceptFiles(hwnd_, on);
}

std::vector<std::u16string> TFormWindow::OpenDrawings(const window::TFileDialogRequest& request) {
  return OpenDrawingsDialog(hwnd_, request);
}

std::optional<std::u16string> TFormWindow::SaveDrawing(const window::TFileDialogRequest& request) {
  return SaveDrawingDialog(hwnd_, request);
}

void TFormWindow::ShowMessage(const std::u16string& text) {
  MessageDialog(hwnd_, text);
}

bool TFormWindow::AskYesNo(const std::u16string& text) {
  return YesNoDialog(hwnd_, text);
}

void TFormWindow::RunFinished() {
  if (on_run_finished) on_run_finished();
}

// --- Tasks for the window's thread --------------------------------------------------------

void TFormWindow::Post(std::function<void()> task, int delay_ms) {
  std::lock_guard lock(tasks_mutex_);
  if (!post_target_) return;  // the window is gone: dropped
  tasks_.push_back({std::move(task), delay_ms});
  ::PostMessageW(post_target_, kTaskMessage, 0, 0);
}

void TFormWindow::RunNextTask() {
  TTask task;
  {
    std::lock_guard lock(tasks_mutex_);
    if (tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  if (task.delay_ms <= 0) {
    task.run();
    return;
  }
  const UINT_PTR id = next_timer_++;
  timers_[id] = std::move(task.run);
  ::SetTimer(hwnd_, id, static_cast<UINT>(task.delay_ms), nullptr);
}

void TFormWindow::RunTimer(UINT_PTR id) {
  ::KillTimer(hwnd_, id);
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  const std::function<void()> run = std::move(it->second);
  timers_.erase(it);
  run();
}

// --- The preview -------------------------------------------------------------------------

window::TPreviewPane& TFormWindow::Preview() {
  if (!preview_) {
    preview_ = std::make_unique<TPreviewWindow>(
        hwnd_,
        [this](std::function<void()> task, int delay_ms) { Post(std::move(task), delay_ms); },
        [this] {
          if (form_) form_->PreviewActivated();
        });
  }
  return *preview_;
}

void TFormWindow::ShowPreview() {
  Preview();
  preview_->Show();
}

bool TFormWindow::PreviewShown() const {
  return preview_ && preview_->Visible();
}

void TFormWindow::ClosePreview() {
  if (preview_) preview_->Hide();
}

window::TRect TFormWindow::PreviewPlacement() const {
  return preview_ && preview_->Handle() ? FrameOf(preview_->Handle()) : window::TRect{};
}

void TFormWindow::SetPreviewPlacement(const window::TRect& frame) {
  Preview();
  if (preview_->Handle()) {
    ::SetWindowPos(preview_->Handle(), nullptr, frame.left, frame.top, frame.width, frame.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

std::vector<window::TRect> TFormWindow::Screens() const {
  std::vector<window::TRect> screens;
  ::EnumDisplayMonitors(nullptr, nullptr, &CollectWorkArea, reinterpret_cast<LPARAM>(&screens));
  return screens;
}

// --- What the user does --------------------------------------------------------------------

void TFormWindow::Command(int id, int code, HWND from) {
  const int index = id - kFirstId;
  if (index < 0 || static_cast<std::size_t>(index) >= controls_.size() || !form_) return;
  const auto control = static_cast<TControl>(index);
  window::TForm1& f = *form_;
  if (const window::TClickHandler click = window::ClickHandler(control)) {
    if (code == BN_CLICKED) (f.*click)();
  } else if (const window::TChangeHandler change = window::ChangeHandler(control)) {
    if (code == EN_CHANGE && !updating_) (f.*change)(WindowText(from));
  } else if (IsCheckBox(control)) {
    const bool checked = ::SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (code == BN_CLICKED && control == TControl::CheckBox1) f.CheckBox1Click(checked);
    if (code == BN_CLICKED && control == TControl::CheckBox2) f.CheckBox2Click(checked);
  } else if (IsComboBox(control)) {
    const int index = static_cast<int>(::SendMessageW(from, CB_GETCURSEL, 0, 0));
    if (code == CBN_SELCHANGE && control == TControl::ComboBox1) f.ComboBox1Select(index);
    if (code == CBN_SELCHANGE && control == TControl::ComboBox2) f.ComboBox2Select(index);
  } else if (control == TControl::ListBox1) {
    if (code == LBN_SELCHANGE && !updating_)
      f.ListBox1Select(static_cast<int>(::SendMessageW(from, LB_GETCURSEL, 0, 0)));
    if (code == LBN_DBLCLK) f.ListBox1DblClick();
  } else if (control == TControl::LabelBase) {
    if (code == STN_DBLCLK) f.LabelBaseDblClick();
  }
}

LRESULT TFormWindow::DragList(const DRAGLISTINFO& info) {
  // An entry dragged to another place within the list.
  switch (info.uNotification) {
    case DL_BEGINDRAG:
      drag_from_ = running_ ? -1 : ::LBItemFromPt(info.hWnd, info.ptCursor, FALSE);
      return drag_from_ >= 0;
    case DL_DRAGGING: {
      const int to = ::LBItemFromPt(info.hWnd, info.ptCursor, TRUE);
      ::DrawInsert(hwnd_, info.hWnd, to);
      return to >= 0 ? DL_MOVECURSOR : DL_STOPCURSOR;
    }
    case DL_DROPPED: {
      ::DrawInsert(hwnd_, info.hWnd, -1);
      const int to = ::LBItemFromPt(info.hWnd, info.ptCursor, FALSE);
      std::vector<std::u16string> files = form_->Files();
      const int from = drag_from_;
      drag_from_ = -1;
      if (to < 0 || from < 0 || from == to || static_cast<std::size_t>(from) >= files.size() ||
          static_cast<std::size_t>(to) >= files.size()) {
        return 0;
      }
      std::u16string moved = std::move(files[static_cast<std::size_t>(from)]);
      files.erase(files.begin() + from);
      files.insert(files.begin() + to, std::move(moved));
      SetFiles(files, to);
      form_->ListBox1Reorder(files, to);
      return 0;
    }
    default:  // DL_CANCELDRAG
      ::DrawInsert(hwnd_, info.hWnd, -1);
      drag_from_ = -1;
      return 0;
  }
}

void TFormWindow::DropFiles(HDROP drop) {
  std::vector<std::u16string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(U(path));
  }
  ::DragFinish(drop);
  if (form_) form_->WMDropFiles(paths);
}

LRESULT CALLBACK TFormWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* created = static_cast<TFormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    created->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* self = reinterpret_cast<TFormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->Handle(msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TFormWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == drag_list_message_ && drag_list_message_ != 0)
    return DragList(*reinterpret_cast<const DRAGLISTINFO*>(lp));
  switch (msg) {
    case WM_COMMAND:
      Command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case kTaskMessage:
      RunNextTask();
      return 0;
    case WM_TIMER:
      RunTimer(wp);
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wp));
      // While the settings place the window, its stored size stays.
      if (!placing_) {
        const RECT* r = reinterpret_cast<const RECT*>(lp);
        ::SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    }
    case WM_GETMINMAXINFO: {
      // The designed client size at the window's DPI is the least the
      // controls need (the least size counts the frame too).
      if (hwnd_) {
        const SIZE least = DesignedOuterSize();
        reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = {least.cx, least.cy};
      }
      return 0;
    }
    case WM_SETTINGCHANGE:
      if (wp == SPI_SETNONCLIENTMETRICS) ApplyDpi(dpi_);  // another message font
      break;
    case WM_SHOWWINDOW:
      if (wp && form_) form_->FormShow();
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
      } else if (focus_ && ::IsWindowEnabled(focus_)) {
        ::SetFocus(focus_);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (SetCursorForState()) return TRUE;
      break;
    case WM_VKEYTOITEM:  // a key in the file list
      if (LOWORD(wp) == VK_DELETE && reinterpret_cast<HWND>(lp) == Control(TControl::ListBox1) &&
          form_) {
        form_->ListBox1DeleteKey();
        return -2;  // done
      }
      return -1;  // the list box's own handling
    case WM_CTLCOLORSTATIC:
      ::SetBkColor(reinterpret_cast<HDC>(wp), ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_DROPFILES:
      DropFiles(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_CLOSE:
      if (!form_ || form_->FormCloseQuery()) ::DestroyWindow(hwnd_);
      return 0;
    // The form lets its documents go only once no run uses them; during a run
    // that is left to its end (the form's destructor waits for the run).
    case WM_ENDSESSION:
      if (wp && form_ && !form_->IsRunning()) form_->FormClose();  // signing out
      return 0;
    case WM_DESTROY:
      last_placement_ = Placement();
      if (form_ && !form_->IsRunning()) form_->FormClose();
      if (preview_) preview_->Destroy();  // a window of its own, not owned by this one
      if (quit_on_close_) ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      // Nothing reaches this object through the window any more.
      const HWND gone = hwnd_;
      {
        std::lock_guard lock(tasks_mutex_);
        post_target_ = nullptr;
      }
      hwnd_ = nullptr;
      ::SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
      return ::DefWindowProcW(gone, msg, wp, lp);
    }
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace plattero::win32
