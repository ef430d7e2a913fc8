#pragma once

// TForm1, the main window without a window toolkit: its fields, the handlers
// of its controls, the input checks and messages, the file list, the tiling
// run on a worker thread with its progress and its end, the settings file,
// the base drawing's paper caption and the arrangement preview's updates.
//
// A front end (Qt on Linux, Win32 on Windows) draws the controls and hands
// every user action to a handler here; the form tells it what to show
// through TFormView. Every handler and every TFormView call runs on the
// window's thread; the worker thread of a run only posts to it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/locations.h"
#include "messages/tiling_messages.h"
#include "render/preview.h"
#include "tiling/tiling_engine.h"
#include "window/settings.h"

namespace plattero::window {

// --- What the window shows ---------------------------------------------------------

inline constexpr char16_t kApplicationTitle[] = u"Plattero";  // every message box's title
inline constexpr char16_t kDrawingFilter[] = u"Jw_cad 図面ファイル (*.jww)";
inline constexpr char16_t kDrawingPattern[] = u"*.jww";
inline constexpr char16_t kDefaultExtension[] = u"jww";
inline constexpr char16_t kNoBaseCaption[] = u"（ファイル名）";
inline constexpr char16_t kNoImageFolders[] =
    u"画像用の一時フォルダを作成できません。図面に埋め込まれた画像は結合されません。";
inline constexpr char16_t kMergeFailed[] = u"図面の結合中にエラーが発生しました。";
inline constexpr char16_t kOwnTileSizeCaption[] = u"各図面の用紙で配置";
inline constexpr char16_t kOwnLayerGroupsCaption[] = u"縮尺ごとにレイヤグループを分ける";
inline constexpr char16_t kPaperChoiceCaption[] = u"用紙：";
inline constexpr char16_t kPreviewTitle[] = u"プレビュー";
inline constexpr char16_t kPreviewReading[] = u"図面を読み込み中…";
// The hint of the file list and the base drawing's label.
inline constexpr char16_t kOpenInJwCadHint[] = u"ダブルクリックで図面を Jw_cad で開きます";
// Asked after a merge that did not take every drawing whole, before the save
// dialog: the lines of what went wrong stand between the two, then where the
// drawings' layer groups went.
inline constexpr char16_t kProblemsHeading[] = u"結合した図面には次の問題があります。";
inline constexpr char16_t kSaveAnywayQuestion[] = u"このまま保存しますか？";
// The question lists this many problems (and as many layer group lines) at
// most, then "ほか N 件".
inline constexpr std::size_t kMaxProblemLines = 20;
// The status bar while a close waits for the run.
inline constexpr char16_t kClosingAfterMerge[] = u"結合を中止して終了します…";
inline constexpr char16_t kClosingAfterSave[] = u"保存が終わり次第、終了します…";
// How long the cursor stays busy after Jw_cad was started where starting it
// does not wait until Jw_cad is ready for input.
inline constexpr int kJwCadStartCursorMs = 3000;
// How often the shown preview looks whether its drawings were changed or
// deleted (milliseconds).
inline constexpr int kPreviewCheckMs = 2000;

// Designed client size (pixels at 96 dots per inch).
inline constexpr int kDesignWidth = 526;
inline constexpr int kDesignHeight = 458;

// The controls, in the order keyboard focus moves through them (the hidden
// ones last), with their captions and the length limits of the edits.
enum class TControl {
  ComboBox1,
  Edit1,
  Edit2,
  Edit3,
  CheckBox1,
  ComboBox2,
  CheckBox2,
  Button1,
  ListBox1,
  Button2,
  Button3,
  Button4,
  Button5,
  Button6,
  Button7,
  Button8,
  Button9,
  Label1,
  Label2,
  LabelPap,
  Label4,
  Label5,
  Label6,
  Label7,
  Label3,
  LabelBase,
  StatusBar1,
};
struct TControlSpec {
  TControl control;
  const char* name;         // the control's name, as the design calls it
  const char16_t* caption;  // its initial text
  int limit;                // the most characters typing may give an edit; 0 elsewhere
};
// Every control of the window, in focus order.
const std::vector<TControlSpec>& Controls();
const TControlSpec& ControlSpec(TControl control);
// The items of the arrangement list.
inline constexpr const char16_t* kArrangements[] = {u"右→上", u"右→下", u"上→右", u"下→右"};
// The order of an item of the arrangement list; with none chosen (or any
// other index) the tiles go down, then right.
TOrder OrderOfArrangement(int index);
// The count label for an item of the arrangement list: "縦数：" for the
// orders counting per column; with none chosen it keeps its designed "横数：".
std::u16string CountLabelOf(int arrangement);

// The choices the window's fields make, as a run takes them: the count and
// the gaps read as typed (full-width forms included, blanks around them).
struct TFieldChoices {
  TTilingInputs inputs;
  // The first field whose text is no number (kCount, kGapX or kGapY); it
  // counts as 0 in `inputs`.
  std::optional<TRefusal> unreadable;
  // The count field's caption, which the message about the count quotes.
  std::u16string count_label;
};
// The message refusing the choices: of the engine's refusal `checked` and the
// fields' own, the one Start checks first; nothing when neither refuses.
std::optional<std::u16string> RefusalOf(const TFieldChoices& in, std::optional<TRefusal> checked);

// A rectangle in screen pixels.
struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TRect&) const = default;
};

// What the layout needs to know of the toolkit's text: the width a label's
// or a button's caption takes, and the height of the status bar; `scale` is
// the screen's dots per inch over 96 (design pixels to screen pixels).
struct TLayoutMetrics {
  std::function<int(TControl)> text_width;
  int status_height = 16;
  double scale = 1.0;
};
// The rectangle of every control (indexed by TControl) in a client area of
// `width` by `height` pixels, as the design lays them out: a top bar (the
// arrangement and count, the gaps and the tile size, the paper and the layer
// groups), the base row, the list with the button column at its right, the
// bottom bar and the status bar. A drop-down's text width is that of its
// longest item.
std::vector<TRect> LayoutControls(int width, int height, const TLayoutMetrics& metrics);

// Where the window should be for a stored placement (outer bounds, frame
// included): a size no one could use gives the designed one (with the
// frame's margins); the window is kept whole on the screen it overlaps most
// (moved in, and no larger than that screen), and one that would lie off
// every screen comes back onto the primary one.
TRect FitPlacement(TRect wanted, int frame_width, int frame_height,
                   const std::vector<TRect>& screens, const TRect& primary);

struct TFileDialogRequest {
  std::u16string folder;     // where the dialog opens
  std::u16string file_name;  // preset name, may be empty
  bool multiple = false;     // open dialog: several files may be chosen
};

// The arrangement preview's window, as the form and its model see it.
class TPreviewPane {
 public:
  virtual ~TPreviewPane() = default;
  virtual void ShowPicture(const render::TPreviewPicture& picture) = 0;
  virtual void ShowStatus(const std::u16string& text) = 0;
  // Runs `task` on the window's thread, later (after `delay_ms` at least).
  virtual void Post(std::function<void()> task, int delay_ms = 0) = 0;
};

// While drawings are read the preview's picture is composed again at most
// this often (milliseconds), and less often when composing takes long: a
// composition takes the time of every tile, so one per drawing read would
// make reading n drawings take time growing with n * n.
inline constexpr int kPreviewComposeMs = 100;

// What a front end does for the form. Calls come on the window's thread.
class TFormView {
 public:
  virtual ~TFormView() = default;

  // Controls.
  virtual void SetText(TControl control, const std::u16string& text) = 0;
  virtual void SetArrangement(int index) = 0;  // -1: none selected
  virtual void SetPaper(int index) = 0;        // the item of kPaperItems
  virtual void SetChecked(TControl control, bool checked) = 0;
  // The file list's entries and its selected row (-1: none).
  virtual void SetFiles(const std::vector<std::u16string>& files, int selected) = 0;
  virtual void SelectRow(int row) = 0;
  // During a run every control but the window's frame is disabled, the cursor
  // is busy and the progress bar shows `value` of `maximum` steps (maximum 0:
  // work with no steps to show).
  virtual void SetRunning(bool running) = 0;
  virtual void SetProgress(int value, int maximum) = 0;
  // A wait cursor while the window waits for something short.
  virtual void SetWaitCursor(bool on) = 0;
  virtual void AcceptDrops(bool on) = 0;

  // The window's frame (outer) rectangle, and setting it from the settings.
  virtual TRect Placement() const = 0;
  virtual void SetPlacement(int left, int top, int width, int height) = 0;
  virtual void Close() = 0;

  // Dialogs, modal. Existing drawings chosen (empty: cancelled); the name to
  // save to, after the user agreed to replace an existing file (nothing:
  // cancelled); a plain message box titled kApplicationTitle.
  virtual std::vector<std::u16string> OpenDrawings(const TFileDialogRequest& request) = 0;
  virtual std::optional<std::u16string> SaveDrawing(const TFileDialogRequest& request) = 0;
  virtual void ShowMessage(const std::u16string& text) = 0;
  // A question with the answers Yes and No (the default); true for Yes.
  virtual bool AskYesNo(const std::u16string& text) = 0;

  // Runs `task` on the window's thread, later (after `delay_ms` at least).
  virtual void Post(std::function<void()> task, int delay_ms = 0) = 0;

  // The preview window: made on first use, then shown and brought forward.
  virtual TPreviewPane& Preview() = 0;
  virtual void ShowPreview() = 0;
  virtual bool PreviewShown() const = 0;
  virtual void ClosePreview() = 0;
  // The preview window's frame (outer) rectangle once it was made (before it
  // is first shown: where and how large it would open), and setting it.
  virtual TRect PreviewPlacement() const { return {}; }
  virtual void SetPreviewPlacement(const TRect& /*frame*/) {}
  // The work areas of the screens.
  virtual std::vector<TRect> Screens() const { return {}; }

  // A tiling run ended (after its last message, or at a failed check).
  virtual void RunFinished() {}
};

// The preview's side of the form: which drawings the choices need, reading
// them off the window's thread, and the picture of what was read.
class TPreviewModel {
 public:
  // `max_shapes` bounds the shapes kept for the drawings (render::TSceneCache).
  explicit TPreviewModel(TPreviewPane& pane,
                         std::size_t max_shapes = render::TSceneCache::kDefaultMaxShapes);
  ~TPreviewModel();

  // Shows the arrangement of these choices; `paper` is the base drawing's
  // (none: no base drawing could be read). The frames change at once;
  // drawings not read yet are read off the window's thread.
  void SetInputs(const TFieldChoices& in, std::optional<TPaperSize> paper);
  // Looks at the listed files again: a drawing may have been saved meanwhile.
  void Refresh();
  // The same without telling the user, and only when no look is under way:
  // the picture changes only when a drawing was changed or deleted.
  void Check();
  // Stops reading for good (waits for the drawing being read).
  void Shutdown();

  bool IsReading() const { return reading_; }
  // A look at the files (Refresh, Check or new choices) is under way.
  bool IsLooking() const { return looking_; }
  const render::TPreviewLayout& Layout() const { return layout_; }
  const render::TPreviewPicture& Picture() const { return picture_; }
  const std::unordered_map<std::u16string, render::TPreviewScene>& Scenes() const {
    return scenes_;
  }

 private:
  // What the reader delivered: a scene, or the end of a request.
  struct TReadResult {
    std::uint64_t request = 0;
    std::u16string path;
    render::TPreviewScene scene;
    bool done = false;
  };
  // On the reader's thread: queued for the window's thread.
  void Deliver(TReadResult result);
  // On the window's thread: takes everything delivered so far.
  void TakeResults();
  void SceneRead(std::uint64_t request, const std::u16string& path,
                 const render::TPreviewScene& scene);
  void ReadDone(std::uint64_t request);
  void Request();
  void Compose();
  // Composes now when the last composition is long enough ago, else once
  // it is.
  void ComposeSoon();

  TPreviewPane& pane_;
  std::shared_ptr<render::TSceneCache> cache_;
  // Outlives every result posted to the window: a result that arrives after
  // this model is gone finds it false.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<render::TPreviewReader> reader_;
  TFieldChoices inputs_;
  render::TPreviewLayout layout_;
  render::TPreviewPicture picture_;
  std::vector<std::u16string> paths_;  // what the current choices need read
  std::unordered_map<std::u16string, render::TPreviewScene> scenes_;
  std::uint64_t request_ = 0;
  bool reading_ = false;
  bool looking_ = false;
  bool stopped_ = false;
  // Results delivered and not taken yet. One task takes them all: drawings
  // read faster than the window takes them post one task, not one each.
  std::mutex delivered_mutex_;
  std::vector<TReadResult> delivered_;
  // No composition before this, unless the choices change.
  std::chrono::steady_clock::time_point next_compose_;
  bool compose_due_ = false;  // ComposeSoon waits for next_compose_
};

class TForm1;
// The handler a click on a button goes to; null for a control that is no
// button.
using TClickHandler = void (TForm1::*)();
TClickHandler ClickHandler(TControl control);
// The handler a change of an edit's text goes to; null for a control that is
// no edit.
using TChangeHandler = void (TForm1::*)(const std::u16string& text);
TChangeHandler ChangeHandler(TControl control);

class TForm1 {
 public:
  // `exe_file`: the executable the locations derive from; empty: the running
  // one.
  explicit TForm1(TFormView& view, std::u16string exe_file = {});
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // --- Fields ---------------------------------------------------------------
  std::u16string BaseFile;
  std::u16string ZumenPath;  // folder of the add dialog, ending with a separator
  std::u16string SavePath;   // folder of the save dialog, ending with a separator
  bool SortFlag = false;     // the next sort is descending
  // The sort keys of the last sort, in their sorted order.
  std::vector<std::u16string> ListBox2;
  // The settings' lines as last read or written.
  std::vector<std::u16string> MemoT;
  std::u16string JwwPath;  // Jw_cad's folder (a Windows path ending with "\")
  desktop::TLocations Locations;
  // The merge engine with its documents JWW and JWW2 and the merge tables;
  // exists from FormShow to FormClose.
  std::unique_ptr<TTilingEngine> Engine;

  // --- Start-up and shut-down ------------------------------------------------
  // The window was shown for the first time.
  void FormShow();
  // The user asks to close the window. While a run is under way it returns
  // false and the window closes when the run ends: a merge stops before its
  // next drawing and nothing is saved; a save being written is finished.
  // Otherwise it saves the settings and lets everything go.
  bool FormCloseQuery();
  void FormClose();

  // --- Handlers --------------------------------------------------------------
  void ComboBox1Select(int index);
  // Tiles stepped by each drawing's own paper (checked) or the base drawing's.
  void CheckBox1Click(bool checked);
  // The combined drawing's paper: the item of kPaperItems.
  void ComboBox2Select(int index);
  // Each scale in a layer group of its own (checked) or every drawing in the
  // base drawing's groups.
  void CheckBox2Click(bool checked);
  void Edit1Change(const std::u16string& text);
  void Edit2Change(const std::u16string& text);
  void Edit3Change(const std::u16string& text);
  void ListBox1Select(int row);
  // The entries after the user dragged one to another place in the list.
  void ListBox1Reorder(const std::vector<std::u16string>& files, int selected);
  void Button1Click();  // choose the base drawing
  void Button2Click();  // add drawings
  void Button3Click();  // delete
  // The Delete key in the file list: deletes the selected entry and selects
  // the next, so that it can be pressed again.
  void ListBox1DeleteKey();
  void Button4Click();  // up
  void Button5Click();  // down
  void Button6Click();  // sort
  void Button7Click();  // start a tiling run
  void Button8Click();  // close
  void Button9Click();  // show the arrangement preview
  void LabelBaseDblClick();
  void ListBox1DblClick();
  // Files dropped from the desktop shell.
  void WMDropFiles(const std::vector<std::u16string>& paths);
  // The preview window became active again: its drawings may have changed.
  void PreviewActivated();

  // --- State -----------------------------------------------------------------
  const std::vector<std::u16string>& Files() const { return files_; }
  int SelectedRow() const { return selected_; }
  int Arrangement() const { return arrangement_; }
  bool OwnTileSize() const { return own_tile_size_; }
  bool OwnLayerGroups() const { return own_layer_groups_; }
  int Paper() const { return paper_; }
  const std::u16string& CountText() const { return count_text_; }
  const std::u16string& GapXText() const { return gap_x_text_; }
  const std::u16string& GapYText() const { return gap_y_text_; }
  const std::u16string& LabelPapText() const { return label_pap_; }
  const std::u16string& StatusText() const { return status_; }
  bool IsRunning() const { return running_; }
  bool CloseRequested() const { return close_requested_; }
  bool DropsAccepted() const { return shown_ && !closed_ && !running_; }
  // The choices as a tiling run would take them now.
  TFieldChoices CurrentInputs() const;
  // The preview's model, once the preview was opened.
  TPreviewModel* Preview() { return preview_.get(); }

 private:
  void LoadSettings(const std::u16string& path);
  void SaveSettings(const std::u16string& path);
  void InitDocuments();
  void FreeDocuments();
  void SetBaseFile();
  void SetFiles(std::vector<std::u16string> files, int selected);
  // Applies a list operation to the listed files and the chosen row.
  void EditFiles(bool (*edit)(std::vector<std::u16string>&, int&));
  void SetCountLabel(int arrangement);
  void SetRunning(bool running);
  void RunInBackground(std::function<void()> work, std::function<void(std::string)> done);
  void MergeDone(const std::string& error);
  // After a merge that left something out: whether to go on to the save
  // dialog.
  bool SaveDespiteWarnings();
  // The save dialog, again for as long as the user names the base drawing or
  // a listed drawing (the same file by identity, whatever the spelling);
  // nothing when cancelled.
  std::optional<std::u16string> AskSaveName();
  bool IsRunInput(const std::u16string& fn) const;
  void FinishRun();
  void SchedulePreview();
  void UpdatePreview();
  void SchedulePreviewCheck();
  void OpenInJwCad(const std::u16string& file);

  TFormView& view_;
  std::u16string exe_file_;
  std::vector<std::u16string> files_;
  int selected_ = -1;
  int arrangement_ = 0;
  bool own_tile_size_ = false;
  bool own_layer_groups_ = false;
  int paper_ = 0;  // the item of kPaperItems
  std::u16string count_text_ = u"3", gap_x_text_ = u"10", gap_y_text_ = u"10";
  std::u16string label_base_ = kNoBaseCaption, label_pap_ = kNoPaperCaption, status_;
  bool shown_ = false;
  bool closed_ = false;
  bool running_ = false;
  // The user closed the window during a run: it closes when the run ends.
  bool close_requested_ = false;
  // Read by the merge before each drawing: stop and save nothing.
  std::atomic<bool> stop_merge_ = false;
  bool saving_ = false;  // the run is writing its result
  std::thread worker_;
  std::optional<TTilingRun> run_;
  TFieldChoices run_inputs_;
  std::optional<TRefusal> merge_stop_;  // why the last merge stopped early
  // The paper of the base drawing as last read; none when it could not be.
  std::optional<TPaperSize> base_paper_;
  std::unique_ptr<TPreviewModel> preview_;
  // The preview window's frame as kept in the settings (0 size: none).
  TRect preview_frame_;
  bool preview_check_scheduled_ = false;
  // Edits in a burst make one preview update: only the last one scheduled
  // does it.
  std::uint64_t preview_generation_ = 0;
  // Outlives every task posted to the window: a task that runs after the
  // form is gone finds it false.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace plattero::window
