#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "jww/entity_io.h"
#include "platform/file_system.h"
#include "platform/jwcad.h"
#include "platform/wine_registry.h"
#include "plattero_version.h"
#include "ui/file_list.h"
#include "ui/preview_dialog.h"
#include "ui/settings.h"
#include "util/text.h"

namespace plattero::ui {

namespace {

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}
std::u16string U(const QString& s) {
  return s.toStdU16String();
}

constexpr char16_t kNoBaseCaption[] = u"（ファイル名）";
constexpr char16_t kNoImageFolders[] =
    u"画像用の一時フォルダを作成できません。図面に埋め込まれた画像は結合されません。";
constexpr char16_t kMergeFailed[] = u"図面の結合中にエラーが発生しました。";

// Geometry of the designed form (client pixels).
constexpr int kTopBar = 56, kBaseRow = 29, kBottomBar = 40, kStatusBar = 16;
constexpr int kButtonColumn = 89, kBasePanel = 80;
constexpr int kFieldHeight = 23;

// Local file paths of the URLs a drag carries; other URLs are left out.
std::vector<std::u16string> LocalPaths(const QMimeData* mime) {
  std::vector<std::u16string> paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(U(url.toLocalFile()));
  }
  return paths;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char16_t* caption) {
  auto* b = new QPushButton(Q(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char16_t* caption) {
  auto* l = new QLabel(Q(caption), parent);
  l->setObjectName(name);
  return l;
}

}  // namespace

// --- Small widgets -------------------------------------------------------------

TLimitedEdit::TLimitedEdit(int limit, QWidget* parent) : QLineEdit(parent), limit_(limit) {
  setMaxLength(limit);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  // A text longer than the limit may shrink but not grow.
  connect(this, &QLineEdit::textChanged, this,
          [this](const QString& text) { setMaxLength(std::max(limit_, int(text.size()))); });
}

void TLimitedEdit::SetTextUnlimited(const QString& text) {
  setMaxLength(std::max(limit_, int(text.size())));
  setText(text);
}

void TClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  QLabel::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
  setAcceptDrops(true);
}

bool TFileListBox::AnswerOutsideDrag(QDragMoveEvent* event) {
  if (event->source() == this || !event->mimeData()->hasUrls()) return false;
  if (accepts_drop && accepts_drop()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
  return true;
}

void TFileListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (!AnswerOutsideDrag(event)) QListWidget::dragEnterEvent(event);
}

void TFileListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (!AnswerOutsideDrag(event)) QListWidget::dragMoveEvent(event);
}

void TFileListBox::dropEvent(QDropEvent* event) {
  if (event->source() != this && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
    if (on_drop) on_drop(LocalPaths(event->mimeData()));
    return;
  }
  QListWidget::dropEvent(event);
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

// --- The form ---------------------------------------------------------------------

TForm1::TForm1(TFormOptions options, QWidget* parent)
    : QWidget(parent), dialogs_(options.dialogs), exe_file_(std::move(options.exe_file)) {
  if (!dialogs_) {
    own_dialogs_ = MakeQtDialogs();
    dialogs_ = own_dialogs_.get();
  }
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Plattero " PLATTERO_VERSION));

  Label1 = MakeLabel(this, "Label1", u"並べ方：");
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  for (const char16_t* item : {u"右→上", u"右→下", u"上→右", u"下→右"})
    ComboBox1->addItem(Q(item));
  ComboBox1->setCurrentIndex(0);
  Label2 = MakeLabel(this, "Label2", u"横数：");
  Edit1 = new TLimitedEdit(3, this);
  Edit1->setObjectName("Edit1");
  Edit1->setText(QStringLiteral("3"));
  LabelPap = MakeLabel(this, "LabelPap", kNoPaperCaption);
  Label4 = MakeLabel(this, "Label4", u"横間隔：");
  Edit2 = new TLimitedEdit(8, this);
  Edit2->setObjectName("Edit2");
  Edit2->setText(QStringLiteral("10"));
  Label5 = MakeLabel(this, "Label5", u"縦間隔：");
  Edit3 = new TLimitedEdit(8, this);
  Edit3->setObjectName("Edit3");
  Edit3->setText(QStringLiteral("10"));
  Label6 = MakeLabel(this, "Label6", u"[図寸mm]");

  Label3 = MakeLabel(this, "Label3", u"ベース図面：");
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LabelBase = new TClickLabel(Q(kNoBaseCaption), this);
  LabelBase->setObjectName("LabelBase");
  LabelBase->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Button1 = MakeButton(this, "Button1", u"参照 (&B)");

  ListBox1 = new TFileListBox(this);
  ListBox1->setObjectName("ListBox1");
  Button2 = MakeButton(this, "Button2", u"追加 (&A)");
  Button3 = MakeButton(this, "Button3", u"削除 (&E)");
  Button4 = MakeButton(this, "Button4", u" ▲  (&U)");
  Button5 = MakeButton(this, "Button5", u" ▼  (&D)");
  Button6 = MakeButton(this, "Button6", u"並替 (&S)");
  ListBox2 = new QListWidget(this);
  ListBox2->setObjectName("ListBox2");
  ListBox2->setFocusPolicy(Qt::NoFocus);
  ListBox2->hide();

  Button7 = MakeButton(this, "Button7", u"開始 (&G)");
  Button8 = MakeButton(this, "Button8", u"終了 (&X)");
  Button9 = MakeButton(this, "Button9", u"プレビュー (&P)");

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusText = new QLabel(StatusBar1);
  StatusText->setObjectName("StatusText");
  StatusBar1->addWidget(StatusText, 1);
  Progress = new QProgressBar(StatusBar1);
  Progress->setObjectName("Progress");
  Progress->setTextVisible(false);
  Progress->setFixedWidth(160);
  StatusBar1->addPermanentWidget(Progress);
  Progress->hide();

  MemoT = new QPlainTextEdit(QStringLiteral("MemoT"), this);
  MemoT->setObjectName("MemoT");
  MemoT->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoT->setFocusPolicy(Qt::NoFocus);
  MemoT->hide();

  QWidget* order[] = {ComboBox1, Edit1,   Edit2,   Edit3,   Button1, ListBox1, Button2,
                      Button3,   Button4, Button5, Button6, Button7, Button8,  Button9};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);

  connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Select(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(LabelBase, &TClickLabel::doubleClicked, this, [this] { LabelBaseDblClick(); });
  connect(ListBox1, &TFileListBox::doubleClicked, this, [this] { ListBox1DblClick(); });
  ListBox1->on_drop = [this](const std::vector<std::u16string>& paths) { DropFiles(paths); };
  ListBox1->accepts_drop = [this] { return acceptDrops() && !running_; };

  // The preview follows every change of the list, the order, the count and
  // the gaps (the base drawing: SetBaseFile).
  preview_timer_ = new QTimer(this);
  preview_timer_->setSingleShot(true);
  preview_timer_->setInterval(150);
  connect(preview_timer_, &QTimer::timeout, this, [this] { UpdatePreview(); });
  QAbstractItemModel* list_model = ListBox1->model();
  connect(list_model, &QAbstractItemModel::rowsInserted, this, [this] { SchedulePreview(); });
  connect(list_model, &QAbstractItemModel::rowsRemoved, this, [this] { SchedulePreview(); });
  connect(list_model, &QAbstractItemModel::rowsMoved, this, [this] { SchedulePreview(); });
  connect(list_model, &QAbstractItemModel::modelReset, this, [this] { SchedulePreview(); });
  connect(list_model, &QAbstractItemModel::dataChanged, this, [this] { SchedulePreview(); });
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { SchedulePreview(); });
  for (QLineEdit* edit : {Edit1, Edit2, Edit3})
    connect(edit, &QLineEdit::textChanged, this, [this] { SchedulePreview(); });

  resize(kDesignWidth, kDesignHeight);
}

TForm1::~TForm1() {
  // The controls still signal while QWidget deletes them (the list resets its
  // model): nothing of this object may answer by then.
  QObject* const senders[] = {ListBox1->model(), ComboBox1, Edit1, Edit2, Edit3};
  for (QObject* sender : senders)
    sender->disconnect(this);
  if (worker_.joinable()) worker_.join();
  run_.reset();
  FormClose();
}

// --- Start-up and shut-down ----------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) FormShow();
}

void TForm1::FormShow() {
  shown_ = true;
  const std::u16string exe = exe_file_.empty() ? platform::ExecutableFile() : exe_file_;
  Locations = platform::LocationsFor(exe);
  LoadSettings(Locations.SettingsFile);
  const bool images_ok = platform::PrepareImageFolders(Locations);
  InitDocuments();
  if (!images_ok) {
    // Without a folder the images cannot be unpacked: they are left out, and
    // the user is told so once the window is up.
    for (TJwwData* doc : {&Engine->JWW, &Engine->JWW2})
      doc->BindImageExp = doc->BindImageExr = false;
    QTimer::singleShot(0, this, [this] { dialogs_->ShowMessage(this, kNoImageFolders); });
  }
  JwwPath = platform::JwwPathFrom(platform::GetJwwAppPath(platform::WinePrefix()));
  ListBox1->clear();
  SortFlag = false;
  SetBaseFile();
  setAcceptDrops(true);
}

void TForm1::InitDocuments() {
  TextSubstitution& table = JwwTextSubstitution();
  table.on = 0;
  table.list.clear();
  Engine = std::make_unique<TTilingEngine>(Locations.TmpPath, Locations.TmpPath2);
  JwwDrawingInfo() = TJwwDrawingInfo{};
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();  // the run ends first; its controls are disabled meanwhile
    return;
  }
  FormClose();
  event->accept();
}

void TForm1::FormClose() {
  if (!shown_ || closed_) return;
  closed_ = true;
  preview_timer_->stop();
  if (Preview) {
    Preview->Shutdown();  // waits for the drawing being read, if any
    Preview->close();
  }
  SaveSettings(Locations.SettingsFile);
  FreeDocuments();
  platform::RemoveImageFolders(Locations);
}

void TForm1::FreeDocuments() {
  JwwTextSubstitution().list.clear();
  if (!Engine) return;
  Engine->Cleanup();
  Engine.reset();
}

// --- Settings ---------------------------------------------------------------------

void TForm1::LoadSettings(const std::u16string& path) {
  TSettings s = DefaultSettings(Locations.ExePath);
  const bool read = LoadSettingsFile(path, s);
  ApplyWindowPlacement(s.left, s.top, s.width, s.height);
  const int arrangement = s.arrangement >= 0 && s.arrangement <= 3 ? s.arrangement : -1;
  ComboBox1->setCurrentIndex(arrangement);
  Label2->setText(Q(CountLabelFor(arrangement)));
  Edit1->SetTextUnlimited(Q(s.count));
  Edit2->SetTextUnlimited(Q(s.gap_x));
  Edit3->SetTextUnlimited(Q(s.gap_y));
  BaseFile = s.base_file;
  ZumenPath = s.zumen_path;
  SavePath = s.save_path;
  if (read) LabelBase->setText(Q(BaseFile));
  QStringList lines;
  for (const std::u16string& line : SettingsLines(s))
    lines << Q(line);
  MemoT->setPlainText(lines.join(u'\n'));
}

void TForm1::SaveSettings(const std::u16string& path) {
  TSettings s;
  const QRect frame = frameGeometry();
  s.left = frame.x();
  s.top = frame.y();
  s.width = frame.width();
  s.height = frame.height();
  s.arrangement = ComboBox1->currentIndex();
  s.count = U(Edit1->text());
  s.gap_x = U(Edit2->text());
  s.gap_y = U(Edit3->text());
  s.base_file = BaseFile;
  s.zumen_path = ZumenPath;
  s.save_path = SavePath;
  QStringList lines;
  for (const std::u16string& line : SettingsLines(s))
    lines << Q(line);
  MemoT->setPlainText(lines.join(u'\n'));
  SaveSettingsFile(path, s);
}

void TForm1::ApplyWindowPlacement(int left, int top, int width, int height) {
  const QSize margins = frameGeometry().size() - size();
  QSize outer(width, height);
  // A size no one could use (a damaged file) gives the designed one.
  if (width < 120 || height < 100) outer = QSize(kDesignWidth, kDesignHeight) + margins;
  QRect wanted(left, top, outer.width(), outer.height());
  // A window that would lie off every screen comes back onto the main one.
  bool visible = false;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect common = screen->availableGeometry().intersected(wanted);
    if (common.width() >= 40 && common.height() >= 20) visible = true;
  }
  if (!visible && QGuiApplication::primaryScreen()) {
    wanted.moveTopLeft(QGuiApplication::primaryScreen()->availableGeometry().topLeft() +
                       QPoint(24, 24));
  }
  move(wanted.topLeft());
  resize(outer - margins);
  // Before the window manager has framed the window its frame is unknown: the
  // outer size is made good once it is.
  if (margins.isNull()) pending_outer_size_ = outer;
}

void TForm1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (pending_outer_size_ && frameGeometry().size() != size()) {
    const QSize margins = frameGeometry().size() - size();
    const QSize outer = *pending_outer_size_;
    pending_outer_size_.reset();
    resize(outer - margins);
  }
}

// --- Layout -------------------------------------------------------------------------

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutControls();
}

void TForm1::LayoutControls() {
  const int w = width(), h = height();
  auto label_at = [](QLabel* l, int x, int y) { l->setGeometry(x, y, l->sizeHint().width(), 17); };
  // Top bar.
  label_at(Label1, 8, 8);
  ComboBox1->setGeometry(72, 4, 89, kFieldHeight);
  label_at(Label2, 168, 8);
  Edit1->setGeometry(216, 4, 57, kFieldHeight);
  label_at(LabelPap, 280, 8);
  label_at(Label4, 8, 35);
  Edit2->setGeometry(72, 30, 73, kFieldHeight);
  label_at(Label5, 151, 35);
  Edit3->setGeometry(216, 30, 73, kFieldHeight);
  label_at(Label6, 300, 35);
  // Base row: label, path filling the row, button in a right-aligned panel.
  const int base_y = kTopBar;
  const int label3_w = Label3->sizeHint().width();
  Label3->setGeometry(8, base_y, label3_w, kBaseRow);
  const int path_x = 8 + label3_w;
  LabelBase->setGeometry(path_x, base_y, std::max(0, w - kBasePanel - path_x), kBaseRow);
  Button1->setGeometry(w - kBasePanel + 5, base_y + 2, 70, 25);
  // Status bar and bottom bar.
  const int status_h = std::max(kStatusBar, StatusText->fontMetrics().height() + 2);
  StatusBar1->setGeometry(0, h - status_h, w, status_h);
  Progress->setMaximumHeight(std::max(4, status_h - 4));
  const int bottom_y = h - status_h - kBottomBar;
  Button7->setGeometry(8, bottom_y + 4, 92, 30);
  Button8->setGeometry(112, bottom_y + 4, 92, 30);
  // The preview button ends the bar on the right, under the button column.
  const int button9_w = std::max(92, Button9->sizeHint().width());
  Button9->setGeometry(std::max(216, w - 6 - button9_w), bottom_y + 4, button9_w, 30);
  // Centre: the list, and the button column at the right.
  const int centre_y = base_y + kBaseRow;
  const int centre_h = std::max(0, bottom_y - centre_y);
  const int column_x = w - kButtonColumn;
  ListBox1->setGeometry(0, centre_y, std::max(0, column_x), centre_h);
  QPushButton* column[] = {Button2, Button3, Button4, Button5, Button6};
  for (int i = 0; i < 5; ++i)
    column[i]->setGeometry(column_x + 8, centre_y + 8 + 32 * i, 75, 30);
  ListBox2->setGeometry(column_x + 8, centre_y + 168, 73, 57);
}

// --- The list -----------------------------------------------------------------------

std::vector<std::u16string> TForm1::Files() const {
  std::vector<std::u16string> files;
  files.reserve(static_cast<std::size_t>(ListBox1->count()));
  for (int i = 0; i < ListBox1->count(); ++i)
    files.push_back(U(ListBox1->item(i)->text()));
  return files;
}

TTilingInputs TForm1::CurrentInputs() const {
  return TTilingInputs{Files(),          BaseFile,         ComboBox1->currentIndex(),
                       U(Edit1->text()), U(Edit2->text()), U(Edit3->text())};
}

int TForm1::SelectedRow() const {
  const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
  return selected.isEmpty() ? -1 : ListBox1->row(selected.front());
}

void TForm1::SelectRow(int row) {
  if (row < 0 || row >= ListBox1->count()) {
    ListBox1->clearSelection();
    ListBox1->setCurrentItem(nullptr);
    return;
  }
  ListBox1->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TForm1::SetFiles(const std::vector<std::u16string>& files, int selected) {
  ListBox1->clear();
  for (const std::u16string& f : files)
    ListBox1->addItem(Q(f));
  SelectRow(selected);
}

// --- Handlers -----------------------------------------------------------------------

void TForm1::ComboBox1Select() {
  Label2->setText(Q(CountLabelFor(ComboBox1->currentIndex())));
}

void TForm1::Button1Click() {
  if (running_) return;
  TFileDialogRequest request;
  request.folder = platform::FolderOf(BaseFile);
  request.file_name = SortNameOf(BaseFile);
  const std::vector<std::u16string> chosen = dialogs_->OpenDrawings(this, request);
  if (chosen.empty()) return;
  BaseFile = chosen.front();
  LabelBase->setText(Q(BaseFile));
  SetBaseFile();
}

void TForm1::Button2Click() {
  if (running_) return;
  TFileDialogRequest request;
  request.folder = ZumenPath;
  request.multiple = true;
  const std::vector<std::u16string> chosen = dialogs_->OpenDrawings(this, request);
  if (chosen.empty()) return;
  for (const std::u16string& f : chosen)
    ListBox1->addItem(Q(f));
  ZumenPath = platform::FolderOf(chosen.front());
}

void TForm1::Button3Click() {
  if (running_) return;
  std::vector<std::u16string> files = Files();
  int selected = SelectedRow();
  if (DeleteSelected(files, selected)) SetFiles(files, selected);
}

void TForm1::Button4Click() {
  if (running_) return;
  std::vector<std::u16string> files = Files();
  int selected = SelectedRow();
  if (MoveSelectedUp(files, selected)) SetFiles(files, selected);
}

void TForm1::Button5Click() {
  if (running_) return;
  std::vector<std::u16string> files = Files();
  int selected = SelectedRow();
  if (MoveSelectedDown(files, selected)) SetFiles(files, selected);
}

void TForm1::Button6Click() {
  if (running_) return;
  const std::vector<std::u16string> files = Files();
  if (files.size() < 2) return;
  const TSortResult sorted = SortFileList(files, SortFlag);
  ListBox2->clear();
  for (const std::u16string& key : sorted.keys)
    ListBox2->addItem(Q(key));
  SetFiles(sorted.list, -1);
  SortFlag = !SortFlag;
}

void TForm1::Button8Click() {
  close();
}

void TForm1::Button9Click() {
  if (running_ || closed_) return;
  if (!Preview) Preview = new TPreviewDialog(this);
  const bool was_visible = Preview->isVisible();
  preview_timer_->stop();
  Preview->SetInputs(CurrentInputs(), base_paper_);
  if (!was_visible) Preview->Refresh();  // the drawings may have changed while it was closed
  Preview->show();
  Preview->raise();
  Preview->activateWindow();
}

void TForm1::SchedulePreview() {
  if (Preview && Preview->isVisible() && !closed_) preview_timer_->start();
}

void TForm1::UpdatePreview() {
  if (Preview && Preview->isVisible() && !closed_) Preview->SetInputs(CurrentInputs(), base_paper_);
}

void TForm1::LabelBaseDblClick() {
  const std::u16string text = U(LabelBase->text());
  if (text.empty() || text == kNoBaseCaption) return;
  platform::OpenInJwCad(text, JwwPath, platform::WinePrefix());
}

void TForm1::ListBox1DblClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  const std::u16string text = U(ListBox1->item(row)->text());
  if (!text.empty()) platform::OpenInJwCad(text, JwwPath, platform::WinePrefix());
}

void TForm1::DropFiles(const std::vector<std::u16string>& paths) {
  if (running_) return;
  const std::vector<std::u16string> taken = AcceptDroppedFiles(Files(), paths);
  for (const std::u16string& f : taken)
    ListBox1->addItem(Q(f));
  StatusText->setText(Q(DropCountMessage(taken.size())));
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TForm1::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  DropFiles(LocalPaths(event->mimeData()));
}

void TForm1::SetBaseFile() {
  if (!Engine) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Engine->SetBaseFile(BaseFile);
  QApplication::restoreOverrideCursor();
  LabelPap->setText(Q(Engine->LabelPap));
  base_paper_.reset();
  if (Engine->LabelPap != kNoPaperCaption)
    base_paper_ = TPaperSize{Engine->papx, Engine->papy, Engine->LabelPap};
  SchedulePreview();
}

// --- The tiling run ---------------------------------------------------------------------

void TForm1::SetRunning(bool running) {
  running_ = running;
  QWidget* controls[] = {ComboBox1, Edit1,    Edit2,   Edit3,   Button1,
                         LabelBase, ListBox1, Button2, Button3, Button4,
                         Button5,   Button6,  Button7, Button8, Button9};
  for (QWidget* c : controls)
    c->setEnabled(!running);
  Progress->setVisible(running);
  if (running) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TForm1::RunInBackground(std::function<void()> work, std::function<void(std::string)> done) {
  worker_ = std::thread([this, work = std::move(work), done = std::move(done)] {
    std::string error;
    try {
      work();
    } catch (const std::exception& e) {
      error = e.what()[0] ? e.what() : "error";
    } catch (...) {
      error = "unknown error";
    }
    QMetaObject::invokeMethod(
        this,
        [this, done, error] {
          if (worker_.joinable()) worker_.join();
          done(error);
        },
        Qt::QueuedConnection);
  });
}

void TForm1::Button7Click() {
  if (running_ || !Engine) return;
  run_inputs_ = CurrentInputs();
  if (const auto message = Engine->CheckInputs(run_inputs_)) {
    dialogs_->ShowMessage(this, *message);
    emit RunFinished();
    return;
  }
  SetRunning(true);
  Progress->setRange(0, static_cast<int>(run_inputs_.files.size()));
  Progress->setValue(0);
  run_.emplace(*Engine);
  merge_stop_.reset();
  RunInBackground(
      [this] {
        merge_stop_ = Engine->Merge(run_inputs_, [this](std::size_t row) {
          QMetaObject::invokeMethod(
              this,
              [this, row] {
                SelectRow(static_cast<int>(row));
                Progress->setValue(static_cast<int>(row));
              },
              Qt::QueuedConnection);
        });
      },
      [this](const std::string& error) { MergeDone(error); });
}

void TForm1::MergeDone(const std::string& error) {
  SelectRow(-1);
  Progress->setValue(Progress->maximum());
  if (!error.empty()) {
    dialogs_->ShowMessage(this, kMergeFailed + (u"\n" + Utf8ToUtf16(error)));
    FinishRun();
    return;
  }
  if (merge_stop_) {  // a base drawing that is no drawing, a gap too large
    dialogs_->ShowMessage(this, *merge_stop_);
    FinishRun();
    return;
  }
  TFileDialogRequest request;
  request.folder = SavePath;
  const std::optional<std::u16string> fn = dialogs_->SaveDrawing(this, request);
  if (!fn) {
    FinishRun();
    return;
  }
  SavePath = platform::FolderOf(*fn);
  Progress->setRange(0, 0);  // writing: no steps to show
  auto result = std::make_shared<TTilingEngine::TSaveResult>();
  RunInBackground([this, fn = *fn, result] { *result = Engine->Save(fn); },
                  [this, fn = *fn, result](const std::string& save_error) {
                    if (!save_error.empty()) {
                      result->message = u"図面ファイル「" + fn + u"」の保存に失敗しました。";
                    }
                    dialogs_->ShowMessage(this, result->message);
                    FinishRun();
                  });
}

void TForm1::FinishRun() {
  run_.reset();  // empties both documents and the run's image files
  SetRunning(false);
  emit RunFinished();
}

}  // namespace plattero::ui
