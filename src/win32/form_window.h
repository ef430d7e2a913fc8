#pragma once

// The main window with the Win32 API: the controls of the design, laid out at
// the window's dots per inch in the system's message font, every user action
// handed to window::TForm1, which decides; the form shows its state through
// this window's TFormView side.

#include <windows.h>
// (after windows.h)
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win32/preview_window.h"
#include "win32/system.h"
#include "window/form.h"

namespace plattero::win32 {

struct TFormOptions {
  // Full path of the executable the locations derive from; empty: the
  // running one.
  std::u16string exe_file;
  // The program's window: when it is gone the message loop ends.
  bool quit_on_close = false;
};

class TFormWindow : public window::TFormView {
 public:
  explicit TFormWindow(TFormOptions options = {});
  ~TFormWindow() override;
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  // Shows the window. The first time, the form starts (FormShow) before the
  // window appears, so that it appears where the settings put it.
  void Show(int show_command = SW_SHOWNORMAL);
  // Keyboard navigation between the controls (Tab, mnemonics): true when the
  // message was taken for it and must not be dispatched.
  bool TranslateNavigation(MSG& msg);

  // The window's logic: fields and handlers.
  window::TForm1& Form() { return *form_; }
  HWND Handle() const { return hwnd_; }
  HWND Control(window::TControl control) const;
  HWND ProgressBar() const { return progress_; }
  // The tooltip shown over a control; empty when it has none.
  std::u16string ToolTipOf(window::TControl control) const;
  TPreviewWindow* PreviewWindow() { return preview_.get(); }
  UINT Dpi() const { return dpi_; }
  // Called when a tiling run ended (after its last message, or at a failed
  // check).
  std::function<void()> on_run_finished;

  // --- TFormView ----------------------------------------------------------------
  void SetText(window::TControl control, const std::u16string& text) override;
  void SetArrangement(int index) override;
  void SetPaper(int index) override;
  void SetChecked(window::TControl control, bool checked) override;
  void SetFiles(const std::vector<std::u16string>& files, int selected) override;
  void SelectRow(int row) override;
  void SetRunning(bool running) override;
  void SetProgress(int value, int maximum) override;
  void SetWaitCursor(bool on) override;
  void AcceptDrops(bool on) override;
  window::TRect Placement() const override;
  void SetPlacement(int left, int top, int width, int height) override;
  void Close() override;
  // The system's dialogs (tests answer them in a class of their own).
  std::vector<std::u16string> OpenDrawings(const window::TFileDialogRequest& request) override;
  std::optional<std::u16string> SaveDrawing(const window::TFileDialogRequest& request) override;
  void ShowMessage(const std::u16string& text) override;
  bool AskYesNo(const std::u16string& text) override;
  // Safe from any thread: queued for the window's thread and announced to it
  // with a posted message.
  void Post(std::function<void()> task, int delay_ms = 0) override;
  window::TPreviewPane& Preview() override;
  void ShowPreview() override;
  bool PreviewShown() const override;
  void ClosePreview() override;
  window::TRect PreviewPlacement() const override;
  void SetPreviewPlacement(const window::TRect& frame) override;
  std::vector<window::TRect> Screens() const override;
  void RunFinished() override;

 private:
  struct TTask {
    std::function<void()> run;
    int delay_ms = 0;
  };

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void ApplyDpi(UINT dpi);
  // The designed client size at the window's DPI, with the frame around it.
  SIZE DesignedOuterSize() const;
  void Layout();
  void PlaceProgress();
  int TextWidth(window::TControl control) const;
  void Command(int id, int code, HWND from);
  LRESULT DragList(const DRAGLISTINFO& info);
  void DropFiles(HDROP drop);
  void RunNextTask();
  void RunTimer(UINT_PTR id);
  bool SetCursorForState();

  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;  // indexed by TControl
  HWND progress_ = nullptr;
  HWND tooltip_ = nullptr;
  TFont font_;
  UINT dpi_ = 96;
  bool quit_on_close_;
  bool updating_ = false;  // the form sets the controls: their notifications are not user actions
  bool placing_ = false;   // the settings place the window: a new DPI keeps their size
  bool running_ = false;
  bool progress_shown_ = false;
  int wait_cursors_ = 0;
  HWND focus_ = nullptr;  // the control that had the focus when the window was left
  int drag_from_ = -1;    // the row being dragged within the list
  UINT drag_list_message_ = 0;

  // Tasks for the window's thread; the target goes when the window does.
  std::mutex tasks_mutex_;
  std::deque<TTask> tasks_;
  HWND post_target_ = nullptr;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR next_timer_ = 1;

  window::TRect last_placement_{};  // kept when the window is destroyed
  std::unique_ptr<TPreviewWindow> preview_;
  std::unique_ptr<window::TForm1> form_;
};

}  // namespace plattero::win32
