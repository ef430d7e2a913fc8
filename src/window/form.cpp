#include "window/form.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <unordered_set>

#include "desktop/jwcad.h"
#include "jww/entity_io.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "util/numbers.h"
#include "util/text.h"
#include "window/file_list.h"
#include "window/preview_view.h"

namespace plattero::window {

namespace {

// Thrown from the merge's report of a new row to stop the run there.
struct TMergeStopped {};

// The line that counts the problems a question leaves out.
std::u16string MoreProblemsLine(std::size_t count) {
  return u"ほか " + IntStr(static_cast<std::int32_t>(std::min<std::size_t>(count, INT32_MAX))) +
         u" 件";
}

// One line each, after a line break; a message box does not scroll: past
// kMaxProblemLines the rest is counted.
void AppendProblemLines(std::u16string& text, const std::vector<std::u16string>& items) {
  for (std::size_t i = 0; i < items.size() && i < kMaxProblemLines; ++i) {
    text += u'\n';
    text += items[i];
  }
  if (items.size() > kMaxProblemLines) {
    text += u"\n";
    text += MoreProblemsLine(items.size() - kMaxProblemLines);
  }
}

}  // namespace

// --- Controls ----------------------------------------------------------------------

const std::vector<TControlSpec>& Controls() {
  static const std::vector<TControlSpec> controls = {
      {TControl::ComboBox1, "ComboBox1", u"", 0},
      {TControl::Edit1, "Edit1", u"3", 3},
      {TControl::Edit2, "Edit2", u"10", 8},
      {TControl::Edit3, "Edit3", u"10", 8},
      {TControl::CheckBox1, "CheckBox1", kOwnTileSizeCaption, 0},
      {TControl::ComboBox2, "ComboBox2", u"", 0},
      {TControl::CheckBox2, "CheckBox2", kOwnLayerGroupsCaption, 0},
      {TControl::Button1, "Button1", u"参照 (&B)", 0},
      {TControl::ListBox1, "ListBox1", u"", 0},
      {TControl::Button2, "Button2", u"追加 (&A)", 0},
      {TControl::Button3, "Button3", u"削除 (&E)", 0},
      {TControl::Button4, "Button4", u" ▲  (&U)", 0},
      {TControl::Button5, "Button5", u" ▼  (&D)", 0},
      {TControl::Button6, "Button6", u"並替 (&S)", 0},
      {TControl::Button7, "Button7", u"開始 (&G)", 0},
      {TControl::Button8, "Button8", u"終了 (&X)", 0},
      {TControl::Button9, "Button9", u"プレビュー (&P)", 0},
      {TControl::Label1, "Label1", u"並べ方：", 0},
      {TControl::Label2, "Label2", u"横数：", 0},
      {TControl::LabelPap, "LabelPap", kNoPaperCaption, 0},
      {TControl::Label4, "Label4", kGapXCaption, 0},
      {TControl::Label5, "Label5", kGapYCaption, 0},
      {TControl::Label6, "Label6", u"[図寸mm]", 0},
      {TControl::Label7, "Label7", kPaperChoiceCaption, 0},
      {TControl::Label3, "Label3", u"ベース図面：", 0},
      {TControl::LabelBase, "LabelBase", kNoBaseCaption, 0},
      {TControl::StatusBar1, "StatusBar1", u"", 0},
  };
  return controls;
}

TOrder OrderOfArrangement(int index) {
  switch (index) {
    case 0:
      return TOrder::kRightUp;
    case 1:
      return TOrder::kRightDown;
    case 2:
      return TOrder::kUpRight;
    default:
      return TOrder::kDownRight;
  }
}

std::u16string CountLabelOf(int arrangement) {
  return CountLabel(arrangement < 0 ? TOrder::kRightUp : OrderOfArrangement(arrangement));
}

std::optional<std::u16string> RefusalOf(const TFieldChoices& in, std::optional<TRefusal> checked) {
  const std::optional<TRefusal> first = FirstRefusal(checked, in.unreadable);
  if (!first) return std::nullopt;
  return RefusalMessage(*first, in.count_label);
}

const TControlSpec& ControlSpec(TControl control) {
  return Controls()[static_cast<std::size_t>(control)];
}

TClickHandler ClickHandler(TControl control) {
  static const std::pair<TControl, TClickHandler> handlers[] = {
      {TControl::Button1, &TForm1::Button1Click}, {TControl::Button2, &TForm1::Button2Click},
      {TControl::Button3, &TForm1::Button3Click}, {TControl::Button4, &TForm1::Button4Click},
      {TControl::Button5, &TForm1::Button5Click}, {TControl::Button6, &TForm1::Button6Click},
      {TControl::Button7, &TForm1::Button7Click}, {TControl::Button8, &TForm1::Button8Click},
      {TControl::Button9, &TForm1::Button9Click}};
  for (const auto& [c, handler] : handlers) {
    if (c == control) return handler;
  }
  return nullptr;
}

TChangeHandler ChangeHandler(TControl control) {
  static const std::pair<TControl, TChangeHandler> handlers[] = {
      {TControl::Edit1, &TForm1::Edit1Change},
      {TControl::Edit2, &TForm1::Edit2Change},
      {TControl::Edit3, &TForm1::Edit3Change}};
  for (const auto& [c, handler] : handlers) {
    if (c == control) return handler;
  }
  return nullptr;
}

std::vector<TRect> LayoutControls(int width, int height, const TLayoutMetrics& m) {
  // Design pixels; the scale makes them screen pixels.
  const auto px = [&m](double v) { return static_cast<int>(v * m.scale + 0.5); };
  constexpr int kTopBar = 82, kBaseRow = 29, kBottomBar = 40;
  constexpr int kButtonColumn = 89, kBasePanel = 80, kFieldHeight = 23, kLabelHeight = 17;
  std::vector<TRect> r(Controls().size());
  auto at = [&r](TControl c, int x, int y, int w, int h) {
    r[static_cast<std::size_t>(c)] = {x, y, std::max(0, w), std::max(0, h)};
  };
  auto label_at = [&](TControl c, int x, int y) {
    at(c, px(x), px(y), m.text_width(c), px(kLabelHeight));
  };
  const int w = width, h = height;
  // Top bar.
  label_at(TControl::Label1, 8, 8);
  at(TControl::ComboBox1, px(72), px(4), px(89), px(kFieldHeight));
  label_at(TControl::Label2, 168, 8);
  at(TControl::Edit1, px(216), px(4), px(57), px(kFieldHeight));
  label_at(TControl::LabelPap, 280, 8);
  label_at(TControl::Label4, 8, 35);
  at(TControl::Edit2, px(72), px(30), px(73), px(kFieldHeight));
  label_at(TControl::Label5, 151, 35);
  at(TControl::Edit3, px(216), px(30), px(73), px(kFieldHeight));
  label_at(TControl::Label6, 300, 35);
  // Beside the gaps: how the tiles are stepped.
  at(TControl::CheckBox1, px(300) + m.text_width(TControl::Label6) + px(10), px(33),
     m.text_width(TControl::CheckBox1), px(kLabelHeight + 4));
  // The paper and the layer groups: what becomes of the result as a whole.
  label_at(TControl::Label7, 8, 61);
  const int paper_w = std::max(px(89), m.text_width(TControl::ComboBox2));
  at(TControl::ComboBox2, px(72), px(56), paper_w, px(kFieldHeight));
  at(TControl::CheckBox2, std::max(px(168), px(72) + paper_w + px(10)), px(59),
     m.text_width(TControl::CheckBox2), px(kLabelHeight + 4));
  // Base row: label, path filling the row, button in a right-aligned panel.
  const int base_y = px(kTopBar);
  const int label3_w = m.text_width(TControl::Label3);
  at(TControl::Label3, px(8), base_y, label3_w, px(kBaseRow));
  const int path_x = px(8) + label3_w;
  at(TControl::LabelBase, path_x, base_y, w - px(kBasePanel) - path_x, px(kBaseRow));
  at(TControl::Button1, w - px(kBasePanel) + px(5), base_y + px(2), px(70), px(25));
  // Status bar and bottom bar.
  const int status_h = std::max(px(16), m.status_height);
  at(TControl::StatusBar1, 0, h - status_h, w, status_h);
  const int bottom_y = h - status_h - px(kBottomBar);
  at(TControl::Button7, px(8), bottom_y + px(4), px(92), px(30));
  at(TControl::Button8, px(112), bottom_y + px(4), px(92), px(30));
  // The preview button ends the bar on the right, under the button column.
  const int button9_w = std::max(px(92), m.text_width(TControl::Button9));
  at(TControl::Button9, std::max(px(216), w - px(6) - button9_w), bottom_y + px(4), button9_w,
     px(30));
  // Centre: the list, and the button column at the right.
  const int centre_y = base_y + px(kBaseRow);
  const int column_x = w - px(kButtonColumn);
  at(TControl::ListBox1, 0, centre_y, column_x, bottom_y - centre_y);
  const TControl column[] = {TControl::Button2, TControl::Button3, TControl::Button4,
                             TControl::Button5, TControl::Button6};
  for (int i = 0; i < 5; ++i)
    at(column[i], column_x + px(8), centre_y + px(8 + 32 * i), px(75), px(30));
  return r;
}

TRect FitPlacement(TRect wanted, int frame_width, int frame_height,
                   const std::vector<TRect>& screens, const TRect& primary) {
  // A size no one could use (a damaged file) gives the designed one.
  if (wanted.width < 120 || wanted.height < 100) {
    wanted.width = kDesignWidth + frame_width;
    wanted.height = kDesignHeight + frame_height;
  }
  // The screen the window lies on most; a window off every screen comes
  // back onto the main one.
  const auto overlap = [&wanted](const TRect& s) {
    const long long w = std::min<long long>(s.left + s.width, wanted.left + wanted.width) -
                        std::max(s.left, wanted.left);
    const long long h = std::min<long long>(s.top + s.height, wanted.top + wanted.height) -
                        std::max(s.top, wanted.top);
    return w > 0 && h > 0 ? w * h : 0;
  };
  const TRect* home = nullptr;
  long long most = 0;
  for (const TRect& s : screens) {
    if (const long long area = overlap(s); area > most) {
      most = area;
      home = &s;
    }
  }
  if (home == nullptr) {
    wanted.left = primary.left + 24;
    wanted.top = primary.top + 24;
    home = &primary;
  }
  // Whole on that screen, so that the title bar and every edge can be
  // reached: no larger than the screen, moved in where it sticks out.
  if (home->width > 0 && home->height > 0) {
    wanted.width = std::min(wanted.width, home->width);
    wanted.height = std::min(wanted.height, home->height);
    wanted.left = std::clamp(wanted.left, home->left, home->left + home->width - wanted.width);
    wanted.top = std::clamp(wanted.top, home->top, home->top + home->height - wanted.height);
  }
  return wanted;
}

// --- Preview -------------------------------------------------------------------------

TPreviewModel::TPreviewModel(TPreviewPane& pane, std::size_t max_shapes)
    : pane_(pane), cache_(std::make_shared<render::TSceneCache>(max_shapes)) {
  // Results come on the reader's thread and are handed to the window's.
  reader_ = std::make_unique<render::TPreviewReader>(
      cache_,
      [this](std::uint64_t request, const std::u16string& path,
             const render::TPreviewScene& scene) {
        Deliver({request, path, scene, false});
      },
      [this](std::uint64_t request) {
        Deliver({request, {}, {}, true});
      });
}

TPreviewModel::~TPreviewModel() {
  Shutdown();
  alive_.reset();
}

void TPreviewModel::Shutdown() {
  stopped_ = true;
  reader_->Stop();
  reading_ = looking_ = false;
}

void TPreviewModel::SetInputs(const TFieldChoices& in, std::optional<TPaperSize> paper) {
  inputs_ = in;
  layout_ = render::LayoutPreview(in.inputs, paper ? &*paper : nullptr);
  // A field that is no number refuses as Start does, in its turn.
  if (const auto first = FirstRefusal(layout_.refusal, in.unreadable); first != layout_.refusal) {
    layout_ = {};
    layout_.refusal = first;
  }
  std::vector<std::u16string> paths;
  if (!layout_.refusal) {
    paths.push_back(in.inputs.base_file);
    paths.insert(paths.end(), in.inputs.files.begin(), in.inputs.files.end());
  }
  // Scenes of drawings no longer listed are let go.
  const std::unordered_set<std::u16string> listed(paths.begin(), paths.end());
  std::erase_if(scenes_, [&listed](const auto& entry) { return !listed.contains(entry.first); });
  Compose();
  if (paths != paths_) {
    paths_ = std::move(paths);
    Request();
  }
}

void TPreviewModel::Refresh() {
  if (!paths_.empty()) Request();
}

void TPreviewModel::Check() {
  // A look still under way (a large drawing being read) is not started again.
  if (stopped_ || looking_ || paths_.empty()) return;
  request_ = reader_->Request(paths_);
  looking_ = true;
}

void TPreviewModel::Request() {
  if (stopped_) return;
  request_ = reader_->Request(paths_);
  reading_ = looking_ = !paths_.empty();
  Compose();
}

void TPreviewModel::Deliver(TReadResult result) {
  bool first = false;
  {
    std::lock_guard lock(delivered_mutex_);
    first = delivered_.empty();
    delivered_.push_back(std::move(result));
  }
  // A task is on its way unless the window's thread took everything since.
  if (first) {
    pane_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
      if (alive.lock()) TakeResults();
    });
  }
}

void TPreviewModel::TakeResults() {
  std::vector<TReadResult> results;
  {
    std::lock_guard lock(delivered_mutex_);
    results.swap(delivered_);
  }
  for (const TReadResult& r : results) {
    if (r.done) {
      ReadDone(r.request);
    } else {
      SceneRead(r.request, r.path, r.scene);
    }
  }
}

void TPreviewModel::SceneRead(std::uint64_t request, const std::u16string& path,
                              const render::TPreviewScene& scene) {
  if (request != request_ || stopped_) return;  // for choices since replaced
  // The cache hands out the scene it keeps while the file stays the same: a
  // look that finds nothing changed leaves the picture alone.
  const auto it = scenes_.find(path);
  const bool same = it != scenes_.end() && it->second.state == scene.state &&
                    (it->second.scene == scene.scene ||
                     (it->second.scene->shapes.empty() && scene.scene->shapes.empty()));
  if (same) return;
  scenes_[path] = scene;
  ComposeSoon();
}

void TPreviewModel::ReadDone(std::uint64_t request) {
  if (request != request_ || stopped_) return;
  looking_ = false;
  // The last drawings read show now, without "reading" once it was shown.
  if (!reading_ && !compose_due_) return;
  reading_ = false;
  Compose();
}

void TPreviewModel::ComposeSoon() {
  if (compose_due_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now >= next_compose_) {
    Compose();
    return;
  }
  compose_due_ = true;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next_compose_ - now);
  pane_.Post(
      [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock() && compose_due_ && !stopped_) Compose();
      },
      static_cast<int>(wait.count()));
}

void TPreviewModel::Compose() {
  compose_due_ = false;
  const auto start = std::chrono::steady_clock::now();
  picture_ = render::ComposePreview(inputs_.inputs, layout_, scenes_);
  pane_.ShowPicture(picture_);
  pane_.ShowStatus(PreviewStatus(inputs_, layout_, scenes_, reading_));
  // Composing takes a fifth of the window's time at most while drawings are
  // read, however many tiles there are.
  const auto end = std::chrono::steady_clock::now();
  next_compose_ = end + std::max<std::chrono::steady_clock::duration>(
                            std::chrono::milliseconds(kPreviewComposeMs), 4 * (end - start));
}

// --- The form ----------------------------------------------------------------------

TForm1::TForm1(TFormView& view, std::u16string exe_file)
    : view_(view), exe_file_(std::move(exe_file)) {}

TForm1::~TForm1() {
  *alive_ = false;
  if (worker_.joinable()) worker_.join();
  run_.reset();
  FormClose();
  preview_.reset();
}

// --- Start-up and shut-down ----------------------------------------------------------

void TForm1::FormShow() {
  if (shown_) return;
  shown_ = true;
  const std::u16string exe = exe_file_.empty() ? platform::ExecutableFile() : exe_file_;
  Locations = desktop::LocationsFor(exe);
  LoadSettings(Locations.SettingsFile);
  const bool images_ok = desktop::PrepareImageFolders(Locations);
  InitDocuments();
  if (!images_ok) {
    // Without a folder the images cannot be unpacked: they are left out, and
    // the user is told so once the window is up.
    Engine->ExtractImages(false);
    view_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
      if (alive.lock()) view_.ShowMessage(kNoImageFolders);
    });
  }
  JwwPath = desktop::JwwPathFrom(desktop::GetJwwAppPath());
  SetFiles({}, -1);
  SortFlag = false;
  SetBaseFile();
  view_.AcceptDrops(true);
}

void TForm1::InitDocuments() {
  Engine = std::make_unique<TTilingEngine>(Locations.TmpPath, Locations.TmpPath2);
}

bool TForm1::FormCloseQuery() {
  if (running_) {
    // The run ends first (its controls are disabled meanwhile); a merge stops
    // before its next drawing.
    close_requested_ = true;
    if (!saving_) stop_merge_ = true;
    status_ = saving_ ? kClosingAfterSave : kClosingAfterMerge;
    view_.SetText(TControl::StatusBar1, status_);
    return false;
  }
  FormClose();
  return true;
}

void TForm1::FormClose() {
  if (!shown_ || closed_) return;
  closed_ = true;
  ++preview_generation_;  // no update scheduled before may run now
  if (preview_) {
    preview_->Shutdown();                          // waits for the drawing being read, if any
    const TRect frame = view_.PreviewPlacement();  // none when its window is gone
    if (frame.width > 0 && frame.height > 0) preview_frame_ = frame;
  }
  view_.ClosePreview();
  view_.AcceptDrops(false);
  SaveSettings(Locations.SettingsFile);
  FreeDocuments();
  desktop::RemoveImageFolders(Locations);
}

void TForm1::FreeDocuments() {
  if (!Engine) return;
  Engine->Cleanup();
  Engine.reset();
}

// --- Settings ---------------------------------------------------------------------

void TForm1::LoadSettings(const std::u16string& path) {
  TSettings s = DefaultSettings(Locations.ExePath);
  const bool read = LoadSettingsFile(path, s);
  view_.SetPlacement(s.left, s.top, s.width, s.height);
  arrangement_ = s.arrangement >= 0 && s.arrangement <= 3 ? s.arrangement : -1;
  view_.SetArrangement(arrangement_);
  SetCountLabel(arrangement_);
  count_text_ = s.count;
  gap_x_text_ = s.gap_x;
  gap_y_text_ = s.gap_y;
  view_.SetText(TControl::Edit1, count_text_);
  view_.SetText(TControl::Edit2, gap_x_text_);
  view_.SetText(TControl::Edit3, gap_y_text_);
  BaseFile = s.base_file;
  ZumenPath = s.zumen_path;
  SavePath = s.save_path;
  own_tile_size_ = s.own_tile_size;
  view_.SetChecked(TControl::CheckBox1, own_tile_size_);
  own_layer_groups_ = s.own_layer_groups;
  view_.SetChecked(TControl::CheckBox2, own_layer_groups_);
  paper_ = s.paper;
  view_.SetPaper(paper_);
  preview_frame_ = {s.preview_left, s.preview_top, s.preview_width, s.preview_height};
  if (read) {
    label_base_ = BaseFile.empty() ? kNoBaseCaption : BaseFile;
    view_.SetText(TControl::LabelBase, label_base_);
  }
  MemoT = SettingsLines(s);
}

void TForm1::SaveSettings(const std::u16string& path) {
  TSettings s;
  const TRect frame = view_.Placement();
  s.left = frame.left;
  s.top = frame.top;
  s.width = frame.width;
  s.height = frame.height;
  s.arrangement = arrangement_;
  s.count = count_text_;
  s.gap_x = gap_x_text_;
  s.gap_y = gap_y_text_;
  s.base_file = BaseFile;
  s.zumen_path = ZumenPath;
  s.save_path = SavePath;
  s.own_tile_size = own_tile_size_;
  s.own_layer_groups = own_layer_groups_;
  s.paper = paper_;
  s.preview_left = preview_frame_.left;
  s.preview_top = preview_frame_.top;
  s.preview_width = preview_frame_.width;
  s.preview_height = preview_frame_.height;
  MemoT = SettingsLines(s);
  SaveSettingsFile(path, s);
}

// --- The list and the fields ---------------------------------------------------------

TFieldChoices TForm1::CurrentInputs() const {
  TFieldChoices in;
  in.inputs.files = files_;
  in.inputs.base_file = BaseFile;
  in.inputs.order = OrderOfArrangement(arrangement_);
  in.inputs.tile_size = own_tile_size_ ? TTileSize::kOwn : TTileSize::kBase;
  in.inputs.layer_groups = own_layer_groups_ ? TLayerGroups::kOwn : TLayerGroups::kBase;
  in.inputs.paper = PaperChoiceOf(paper_);
  in.count_label = CountLabelOf(arrangement_);
  const std::optional<std::int32_t> count = TypedInteger(count_text_);
  const std::optional<double> gap_x = TypedNumber(gap_x_text_);
  const std::optional<double> gap_y = TypedNumber(gap_y_text_);
  in.inputs.count = count.value_or(0);
  in.inputs.gap_x = gap_x.value_or(0);
  in.inputs.gap_y = gap_y.value_or(0);
  // The first field Start checks that is no number ("10mm", "1O", empty, or
  // beyond a double).
  in.unreadable = !count   ? std::optional(TRefusal::kCount)
                  : !gap_x ? std::optional(TRefusal::kGapX)
                  : !gap_y ? std::optional(TRefusal::kGapY)
                           : std::nullopt;
  return in;
}

void TForm1::SetFiles(std::vector<std::u16string> files, int selected) {
  files_ = std::move(files);
  selected_ = selected >= 0 && static_cast<std::size_t>(selected) < files_.size() ? selected : -1;
  view_.SetFiles(files_, selected_);
  SchedulePreview();
}

void TForm1::SetCountLabel(int arrangement) {
  view_.SetText(TControl::Label2, CountLabelOf(arrangement));
}

void TForm1::ComboBox1Select(int index) {
  arrangement_ = index;
  SetCountLabel(index);
  SchedulePreview();
}

void TForm1::CheckBox1Click(bool checked) {
  own_tile_size_ = checked;
  SchedulePreview();
}

void TForm1::ComboBox2Select(int index) {
  paper_ = index >= 0 && static_cast<std::size_t>(index) < std::size(kPaperItems) ? index : 0;
  SchedulePreview();
}

void TForm1::CheckBox2Click(bool checked) {
  own_layer_groups_ = checked;
  SchedulePreview();
}

void TForm1::Edit1Change(const std::u16string& text) {
  count_text_ = text;
  SchedulePreview();
}

void TForm1::Edit2Change(const std::u16string& text) {
  gap_x_text_ = text;
  SchedulePreview();
}

void TForm1::Edit3Change(const std::u16string& text) {
  gap_y_text_ = text;
  SchedulePreview();
}

void TForm1::ListBox1Select(int row) {
  selected_ = row >= 0 && static_cast<std::size_t>(row) < files_.size() ? row : -1;
}

void TForm1::ListBox1Reorder(const std::vector<std::u16string>& files, int selected) {
  if (running_) return;
  files_ = files;
  selected_ = selected >= 0 && static_cast<std::size_t>(selected) < files_.size() ? selected : -1;
  SchedulePreview();
}

// --- Handlers -----------------------------------------------------------------------

void TForm1::Button1Click() {
  if (running_) return;
  TFileDialogRequest request;
  request.folder = platform::FolderOf(BaseFile);
  request.file_name = platform::NameOf(BaseFile);
  const std::vector<std::u16string> chosen = view_.OpenDrawings(request);
  if (chosen.empty()) return;
  BaseFile = chosen.front();
  label_base_ = BaseFile;
  view_.SetText(TControl::LabelBase, label_base_);
  SetBaseFile();
}

void TForm1::Button2Click() {
  if (running_) return;
  TFileDialogRequest request;
  request.folder = ZumenPath;
  request.multiple = true;
  const std::vector<std::u16string> chosen = view_.OpenDrawings(request);
  if (chosen.empty()) return;
  std::vector<std::u16string> files = files_;
  files.insert(files.end(), chosen.begin(), chosen.end());
  SetFiles(std::move(files), selected_);
  ZumenPath = platform::FolderOf(chosen.front());
}

void TForm1::EditFiles(bool (*edit)(TFileList&, int&)) {
  if (running_) return;
  TFileList files = files_;
  int selected = selected_;
  if (edit(files, selected)) SetFiles(std::move(files), selected);
}

void TForm1::Button3Click() {
  EditFiles(DeleteSelected);
}

void TForm1::ListBox1DeleteKey() {
  EditFiles(DeleteSelectedKeepingPlace);
}

void TForm1::Button4Click() {
  EditFiles(MoveSelectedUp);
}

void TForm1::Button5Click() {
  EditFiles(MoveSelectedDown);
}

void TForm1::Button6Click() {
  if (running_ || files_.size() < 2) return;
  TSortResult sorted = SortFileList(files_, SortFlag);
  ListBox2 = sorted.keys;
  SetFiles(std::move(sorted.list), -1);
  SortFlag = !SortFlag;
}

void TForm1::Button8Click() {
  view_.Close();
}

void TForm1::Button9Click() {
  if (running_ || closed_ || !shown_) return;
  if (!preview_) {
    preview_ = std::make_unique<TPreviewModel>(view_.Preview());
    // Where it was last, else beside the main window, never over it.
    const TRect made = view_.PreviewPlacement();
    view_.SetPreviewPlacement(
        PlacePreview(preview_frame_, view_.Placement(), made.width, made.height, view_.Screens()));
  }
  const bool was_shown = view_.PreviewShown();
  ++preview_generation_;  // what was scheduled is done now
  preview_->SetInputs(CurrentInputs(), base_paper_);
  if (!was_shown) preview_->Refresh();  // the drawings may have changed while it was closed
  view_.ShowPreview();
  SchedulePreviewCheck();
}

void TForm1::SchedulePreviewCheck() {
  // One look every kPreviewCheckMs while the preview is shown; the files are
  // looked at on the reader's thread.
  if (preview_check_scheduled_) return;
  preview_check_scheduled_ = true;
  view_.Post(
      [this, alive = std::weak_ptr<bool>(alive_)] {
        if (!alive.lock()) return;
        preview_check_scheduled_ = false;
        if (!preview_ || closed_ || !view_.PreviewShown()) return;  // Button9Click starts again
        preview_->Check();
        SchedulePreviewCheck();
      },
      kPreviewCheckMs);
}

void TForm1::PreviewActivated() {
  if (preview_ && !closed_) preview_->Refresh();
}

void TForm1::SchedulePreview() {
  if (!preview_ || closed_ || !view_.PreviewShown()) return;
  const std::uint64_t generation = ++preview_generation_;
  view_.Post(
      [this, alive = std::weak_ptr<bool>(alive_), generation] {
        if (alive.lock() && generation == preview_generation_) UpdatePreview();
      },
      150);
}

void TForm1::UpdatePreview() {
  if (preview_ && !closed_ && view_.PreviewShown())
    preview_->SetInputs(CurrentInputs(), base_paper_);
}

void TForm1::LabelBaseDblClick() {
  if (label_base_.empty() || label_base_ == kNoBaseCaption) return;
  OpenInJwCad(label_base_);
}

void TForm1::ListBox1DblClick() {
  if (selected_ < 0 || static_cast<std::size_t>(selected_) >= files_.size()) return;
  const std::u16string file = files_[static_cast<std::size_t>(selected_)];
  if (!file.empty()) OpenInJwCad(file);
}

void TForm1::OpenInJwCad(const std::u16string& file) {
  view_.SetWaitCursor(true);
  const bool started = desktop::OpenInJwCad(file, JwwPath);
  if (!started || desktop::kJwCadStartWaits) {
    view_.SetWaitCursor(false);
    return;
  }
  // Jw_cad under Wine takes a while to come up and nothing tells when it is
  // ready: the cursor stays busy for a moment as a sign that it is coming.
  view_.Post(
      [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock()) view_.SetWaitCursor(false);
      },
      kJwCadStartCursorMs);
}

void TForm1::WMDropFiles(const std::vector<std::u16string>& paths) {
  if (!DropsAccepted()) return;
  const std::vector<std::u16string> taken = AcceptDroppedFiles(files_, paths);
  if (!taken.empty()) {
    std::vector<std::u16string> files = files_;
    files.insert(files.end(), taken.begin(), taken.end());
    SetFiles(std::move(files), selected_);
  }
  status_ = DropCountMessage(taken.size());
  view_.SetText(TControl::StatusBar1, status_);
}

void TForm1::SetBaseFile() {
  if (!Engine) return;
  view_.SetWaitCursor(true);
  Engine->SetBaseFile(BaseFile);
  view_.SetWaitCursor(false);
  base_paper_ = Engine->BasePaper();
  label_pap_ = base_paper_ ? PaperCaption(base_paper_->nZumen) : kNoPaperCaption;
  view_.SetText(TControl::LabelPap, label_pap_);
  SchedulePreview();
}

// --- The tiling run ---------------------------------------------------------------------

void TForm1::SetRunning(bool running) {
  running_ = running;
  view_.SetRunning(running);
}

void TForm1::RunInBackground(std::function<void()> work, std::function<void(std::string)> done) {
  worker_ = std::thread(
      [this, alive = std::weak_ptr<bool>(alive_), work = std::move(work), done = std::move(done)] {
        std::string error;
        try {
          work();
        } catch (const std::exception& e) {
          error = e.what()[0] ? e.what() : "error";
        } catch (...) {
          error = "unknown error";
        }
        view_.Post([this, alive, done, error] {
          if (!alive.lock()) return;
          if (worker_.joinable()) worker_.join();
          done(error);
        });
      });
}

void TForm1::Button7Click() {
  if (running_ || !Engine) return;
  run_inputs_ = CurrentInputs();
  if (const auto message = RefusalOf(run_inputs_, Engine->CheckInputs(run_inputs_.inputs))) {
    view_.ShowMessage(*message);
    view_.RunFinished();
    return;
  }
  SetRunning(true);
  view_.SetProgress(0, static_cast<int>(run_inputs_.inputs.files.size()));
  run_.emplace(*Engine);
  merge_stop_.reset();
  stop_merge_ = false;
  RunInBackground(
      [this, alive = std::weak_ptr<bool>(alive_)] {
        merge_stop_ = Engine->Merge(run_inputs_.inputs, [this, alive](std::size_t row) {
          if (stop_merge_) throw TMergeStopped{};
          view_.Post([this, alive, row] {
            if (!alive.lock()) return;
            view_.SelectRow(static_cast<int>(row));
            view_.SetProgress(static_cast<int>(row),
                              static_cast<int>(run_inputs_.inputs.files.size()));
          });
        });
      },
      [this](const std::string& error) { MergeDone(error); });
}

void TForm1::MergeDone(const std::string& error) {
  view_.SelectRow(-1);
  selected_ = -1;
  view_.SetProgress(static_cast<int>(run_inputs_.inputs.files.size()),
                    static_cast<int>(run_inputs_.inputs.files.size()));
  if (stop_merge_) {  // the window was closed meanwhile: nothing is saved
    FinishRun();
    return;
  }
  if (!error.empty()) {
    // Built in steps: GCC 12 warns wrongly about `literal + temporary` here.
    std::u16string text = kMergeFailed;
    text += u'\n';
    text += Utf8ToUtf16(error);
    view_.ShowMessage(text);
    FinishRun();
    return;
  }
  if (merge_stop_) {  // a base drawing that is no drawing, a gap too large
    view_.ShowMessage(RefusalMessage(*merge_stop_, run_inputs_.count_label));
    FinishRun();
    return;
  }
  if (!SaveDespiteWarnings()) {
    FinishRun();
    return;
  }
  const std::optional<std::u16string> fn = AskSaveName();
  if (!fn) {
    FinishRun();
    return;
  }
  SavePath = platform::FolderOf(*fn);
  view_.SetProgress(0, 0);  // writing: no steps to show
  saving_ = true;
  auto result = std::make_shared<TSaveResult>();
  RunInBackground([this, fn = *fn, result] { *result = Engine->Save(fn); },
                  [this, fn = *fn, result](const std::string& save_error) {
                    view_.ShowMessage(save_error.empty() ? SaveMessage(*result, Engine->Report())
                                                         : SaveFailedLine(fn));
                    FinishRun();
                  });
}

std::optional<std::u16string> TForm1::AskSaveName() {
  TFileDialogRequest request;
  request.folder = SavePath;
  for (;;) {
    std::optional<std::u16string> fn = view_.SaveDrawing(request);
    if (!fn || !IsRunInput(*fn)) return fn;
    // The dialog only asked whether to replace a file; the run's own inputs
    // are never replaced (as on the command line): the user picks again.
    platform::TFileStatus same;
    same.error = platform::TFileError::kSameFile;
    view_.ShowMessage(SaveFailedLine(*fn) + u"\n" + FileErrorReason(same));
    request.folder = platform::FolderOf(*fn);
    request.file_name = platform::NameOf(*fn);
  }
}

bool TForm1::IsRunInput(const std::u16string& fn) const {
  const TTilingInputs& in = run_inputs_.inputs;
  if (platform::SameFile(fn, in.base_file)) return true;
  return std::any_of(in.files.begin(), in.files.end(),
                     [&](const std::u16string& file) { return platform::SameFile(fn, file); });
}

bool TForm1::SaveDespiteWarnings() {
  if (!Engine || Engine->Report().warnings.empty()) return true;
  // Group notices alone ask nothing; asked, the user also sees where each
  // drawing's scales went, as the result will show them in Jw_cad.
  std::vector<std::u16string> problems, groups;
  for (const TTileWarning& w : Engine->Report().warnings)
    problems.push_back(WarningLine(w));
  for (const TTileWarning& n : Engine->Report().notices) {
    if (n.kind == TTileWarning::kGroups) groups.push_back(WarningLine(n));
  }
  std::u16string text = kProblemsHeading;
  AppendProblemLines(text, problems);
  if (!groups.empty()) {
    text += u"\n";
    AppendProblemLines(text, groups);
  }
  text += u"\n\n";
  text += kSaveAnywayQuestion;
  return view_.AskYesNo(text);
}

void TForm1::FinishRun() {
  run_.reset();  // empties both documents and the run's image files
  saving_ = false;
  stop_merge_ = false;
  SetRunning(false);
  view_.RunFinished();
  if (close_requested_) {
    close_requested_ = false;
    view_.Close();
  }
}

}  // namespace plattero::window
