#include "ui/qt_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <QWindow>
#include <algorithm>

#include "plattero_version.h"
#include "ui/application.h"
#include "ui/preview_dialog.h"
#include "ui/widgets.h"

namespace plattero::ui {

namespace {

using window::TControl;

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}
std::u16string U(const QString& s) {
  return s.toStdU16String();
}

template <class T>
T* Named(T* widget, TControl control) {
  const window::TControlSpec& spec = window::ControlSpec(control);
  widget->setObjectName(spec.name);
  return widget;
}

QPushButton* MakeButton(QWidget* parent, TControl control) {
  auto* b = Named(new QPushButton(Q(window::ControlSpec(control).caption), parent), control);
  b->setAutoDefault(false);
  return b;
}

QLabel* MakeLabel(QWidget* parent, TControl control) {
  return Named(new QLabel(Q(window::ControlSpec(control).caption), parent), control);
}

TLimitedEdit* MakeEdit(QWidget* parent, TControl control) {
  const window::TControlSpec& spec = window::ControlSpec(control);
  auto* e = Named(new TLimitedEdit(spec.limit, parent), control);
  e->setText(Q(spec.caption));
  return e;
}

}  // namespace

// --- The window ---------------------------------------------------------------------

TQtForm::TQtForm(TFormOptions options, QWidget* parent)
    : QWidget(parent), dialogs_(options.dialogs) {
  if (!dialogs_) {
    own_dialogs_ = MakeQtDialogs();
    dialogs_ = own_dialogs_.get();
  }
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("Plattero " PLATTERO_VERSION));

  Label1 = MakeLabel(this, TControl::Label1);
  ComboBox1 = Named(new QComboBox(this), TControl::ComboBox1);
  for (const char16_t* item : window::kArrangements)
    ComboBox1->addItem(Q(item));
  ComboBox1->setCurrentIndex(0);
  Label2 = MakeLabel(this, TControl::Label2);
  Edit1 = MakeEdit(this, TControl::Edit1);
  LabelPap = MakeLabel(this, TControl::LabelPap);
  Label4 = MakeLabel(this, TControl::Label4);
  Edit2 = MakeEdit(this, TControl::Edit2);
  Label5 = MakeLabel(this, TControl::Label5);
  Edit3 = MakeEdit(this, TControl::Edit3);
  Label6 = MakeLabel(this, TControl::Label6);
  CheckBox1 = Named(new QCheckBox(Q(window::kOwnTileSizeCaption), this), TControl::CheckBox1);
  Label7 = MakeLabel(this, TControl::Label7);
  ComboBox2 = Named(new QComboBox(this), TControl::ComboBox2);
  for (const window::TPaperItem& item : window::kPaperItems)
    ComboBox2->addItem(Q(item.caption));
  ComboBox2->setCurrentIndex(0);
  CheckBox2 = Named(new QCheckBox(Q(window::kOwnLayerGroupsCaption), this), TControl::CheckBox2);
  Label3 = MakeLabel(this, TControl::Label3);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LabelBase = Named(new TClickLabel(Q(window::kNoBaseCaption), this), TControl::LabelBase);
  LabelBase->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Button1 = MakeButton(this, TControl::Button1);
  ListBox1 = Named(new TFileListBox(this), TControl::ListBox1);
  Button2 = MakeButton(this, TControl::Button2);
  Button3 = MakeButton(this, TControl::Button3);
  Button4 = MakeButton(this, TControl::Button4);
  Button5 = MakeButton(this, TControl::Button5);
  Button6 = MakeButton(this, TControl::Button6);
  Button7 = MakeButton(this, TControl::Button7);
  Button8 = MakeButton(this, TControl::Button8);
  Button9 = MakeButton(this, TControl::Button9);
  StatusBar1 = Named(new QStatusBar(this), TControl::StatusBar1);
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

  // Keyboard focus follows the design's order of the controls.
  QWidget* previous = nullptr;
  for (const window::TControlSpec& spec : window::Controls()) {
    QWidget* w = Widget(spec.control);
    if (w == nullptr || w->focusPolicy() == Qt::NoFocus || w->inherits("QLabel") || w == StatusBar1)
      continue;
    if (previous) setTabOrder(previous, w);
    previous = w;
  }

  form_ = std::make_unique<window::TForm1>(*this, std::move(options.exe_file));
  window::TForm1& f = *form_;
  connect(ComboBox1, &QComboBox::activated, this, [&f](int index) { f.ComboBox1Select(index); });
  connect(CheckBox1, &QCheckBox::clicked, this, [&f](bool checked) { f.CheckBox1Click(checked); });
  connect(ComboBox2, &QComboBox::activated, this, [&f](int index) { f.ComboBox2Select(index); });
  connect(CheckBox2, &QCheckBox::clicked, this, [&f](bool checked) { f.CheckBox2Click(checked); });
  for (const TControl c : {TControl::Edit1, TControl::Edit2, TControl::Edit3}) {
    const window::TChangeHandler handler = window::ChangeHandler(c);
    connect(static_cast<TLimitedEdit*>(Widget(c)), &QLineEdit::textChanged, this,
            [this, handler](const QString& text) {
              if (!updating_) (form_.get()->*handler)(U(text));
            });
  }
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updating_) form_->ListBox1Select(ListBox1->selectedItems().isEmpty() ? -1 : row);
  });
  ListBox1->on_reorder = [this] {
    std::vector<std::u16string> files;
    for (int i = 0; i < ListBox1->count(); ++i)
      files.push_back(U(ListBox1->item(i)->text()));
    form_->ListBox1Reorder(files, ListBox1->currentRow());
  };
  ListBox1->on_drop = [&f](const std::vector<std::u16string>& paths) { f.WMDropFiles(paths); };
  ListBox1->accepts_drop = [&f] { return f.DropsAccepted(); };
  ListBox1->on_delete_key = [&f] { f.ListBox1DeleteKey(); };
  ListBox1->setToolTip(Q(window::kOpenInJwCadHint));
  LabelBase->setToolTip(Q(window::kOpenInJwCadHint));
  for (const window::TControlSpec& spec : window::Controls()) {
    if (const window::TClickHandler handler = window::ClickHandler(spec.control)) {
      connect(static_cast<QPushButton*>(Widget(spec.control)), &QPushButton::clicked, this,
              [&f, handler] { (f.*handler)(); });
    }
  }
  connect(LabelBase, &TClickLabel::doubleClicked, this, [&f] { f.LabelBaseDblClick(); });
  connect(ListBox1, &TFileListBox::doubleClicked, this, [&f] { f.ListBox1DblClick(); });

  // The designed client size is the least the controls need (Qt scales it
  // with the screen's DPI).
  setMinimumSize(window::kDesignWidth, window::kDesignHeight);
  resize(window::kDesignWidth, window::kDesignHeight);
  setWindowIcon(ProgramIcon());
}

TQtForm::~TQtForm() {
  // The controls still signal while QWidget deletes them: nothing of the form
  // may answer by then.
  QObject* const senders[] = {ListBox1, ComboBox1, ComboBox2, Edit1, Edit2, Edit3};
  for (QObject* sender : senders)
    sender->disconnect(this);
  form_.reset();
  delete PreviewDialog;
  while (wait_cursors_-- > 0)
    QApplication::restoreOverrideCursor();
}

QWidget* TQtForm::Widget(TControl control) const {
  QWidget* const widgets[] = {ComboBox1, Edit1,     Edit2,     Edit3,   CheckBox1, ComboBox2,
                              CheckBox2, Button1,   ListBox1,  Button2, Button3,   Button4,
                              Button5,   Button6,   Button7,   Button8, Button9,   Label1,
                              Label2,    LabelPap,  Label4,    Label5,  Label6,    Label7,
                              Label3,    LabelBase, StatusBar1};
  return widgets[static_cast<std::size_t>(control)];
}

// --- Start-up, shut-down, placement ---------------------------------------------------

void TQtForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  form_->FormShow();
}

void TQtForm::closeEvent(QCloseEvent* event) {
  if (!form_->FormCloseQuery()) {
    event->ignore();
    return;
  }
  event->accept();
}

void TQtForm::Close() {
  close();
}

QMargins TQtForm::FrameMargins() const {
  return windowHandle() ? windowHandle()->frameMargins() : QMargins();
}

window::TRect TQtForm::Placement() const {
  QRect inner = geometry();
  QMargins frame = FrameMargins();
  if (isMinimized() || isMaximized() || isFullScreen()) {
    // Where the window was before, with the frame it had there (a maximised
    // window's frame is another).
    if (const QRect normal = normalGeometry(); normal.isValid()) inner = normal;
    if (!normal_frame_.isNull()) frame = normal_frame_;
  }
  const QRect outer = inner.marginsAdded(frame);
  return {outer.x(), outer.y(), outer.width(), outer.height()};
}

void TQtForm::NoteNormalFrame() {
  if (isMinimized() || isMaximized() || isFullScreen()) return;
  if (const QMargins frame = FrameMargins(); !frame.isNull()) normal_frame_ = frame;
}

void TQtForm::SetPlacement(int left, int top, int width, int height) {
  const QMargins margins = FrameMargins();
  const std::vector<window::TRect> screens = Screens();
  window::TRect primary;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect a = screen->availableGeometry();
    primary = {a.x(), a.y(), a.width(), a.height()};
  }
  const window::TRect wanted =
      window::FitPlacement({left, top, width, height}, margins.left() + margins.right(),
                           margins.top() + margins.bottom(), screens, primary);
  pending_outer_.reset();
  const QRect outer(wanted.left, wanted.top, wanted.width, wanted.height);
  if (margins.isNull()) {
    // The settings keep the outer bounds, frame included; before the window
    // manager has framed the window its frame is unknown. The window comes
    // up with its client area there, and is placed once the frame is known
    // (at the latest when it is first exposed): placed as it was, it would
    // creep upwards by its title bar on every start.
    pending_outer_ = outer;
    if (QWindow* handle = windowHandle(); handle && !watching_frame_) {
      handle->installEventFilter(this);
      watching_frame_ = true;
    }
  }
  setGeometry(outer.marginsRemoved(margins));
}

void TQtForm::ApplyPendingPlacement() {
  const QMargins margins = FrameMargins();
  if (!pending_outer_ || margins.isNull()) return;  // not framed yet
  const QRect outer = *pending_outer_;
  pending_outer_.reset();
  setGeometry(outer.marginsRemoved(margins));
}

bool TQtForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose) ApplyPendingPlacement();
  return QWidget::eventFilter(watched, event);
}

void TQtForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ApplyPendingPlacement();
  NoteNormalFrame();
}

void TQtForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyPendingPlacement();
  NoteNormalFrame();
  LayoutControls();
}

void TQtForm::LayoutControls() {
  window::TLayoutMetrics metrics;
  metrics.text_width = [this](TControl c) { return Widget(c)->sizeHint().width(); };
  metrics.status_height = StatusText->fontMetrics().height() + 2;
  const std::vector<window::TRect> rects = window::LayoutControls(width(), height(), metrics);
  for (const window::TControlSpec& spec : window::Controls()) {
    const window::TRect& r = rects[static_cast<std::size_t>(spec.control)];
    Widget(spec.control)->setGeometry(r.left, r.top, r.width, r.height);
  }
  Progress->setMaximumHeight(std::max(4, StatusBar1->height() - 4));
}

// --- What the form shows ----------------------------------------------------------------

void TQtForm::SetText(TControl control, const std::u16string& text) {
  updating_ = true;
  QWidget* w = Widget(control);
  if (auto* edit = qobject_cast<TLimitedEdit*>(w)) {
    edit->SetTextUnlimited(Q(text));
  } else if (control == TControl::StatusBar1) {
    StatusText->setText(Q(text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
  }
  updating_ = false;
}

void TQtForm::SetArrangement(int index) {
  ComboBox1->setCurrentIndex(index);
}

void TQtForm::SetPaper(int index) {
  ComboBox2->setCurrentIndex(index);
}

void TQtForm::SetChecked(TControl control, bool checked) {
  if (auto* box = qobject_cast<QCheckBox*>(Widget(control))) box->setChecked(checked);
}

void TQtForm::SetFiles(const std::vector<std::u16string>& files, int selected) {
  updating_ = true;
  ListBox1->clear();
  for (const std::u16string& f : files)
    ListBox1->addItem(Q(f));
  updating_ = false;
  SelectRow(selected);
}

void TQtForm::SelectRow(int row) {
  updating_ = true;
  if (row < 0 || row >= ListBox1->count()) {
    ListBox1->clearSelection();
    ListBox1->setCurrentItem(nullptr);
  } else {
    ListBox1->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  }
  updating_ = false;
}

void TQtForm::SetRunning(bool running) {
  for (const window::TControlSpec& spec : window::Controls()) {
    if (spec.control != TControl::StatusBar1) Widget(spec.control)->setEnabled(!running);
  }
  Progress->setVisible(running);
  if (running) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TQtForm::SetProgress(int value, int maximum) {
  Progress->setRange(0, maximum);
  Progress->setValue(value);
}

void TQtForm::SetWaitCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++wait_cursors_;
  } else if (wait_cursors_ > 0) {
    QApplication::restoreOverrideCursor();
    --wait_cursors_;
  }
}

void TQtForm::AcceptDrops(bool on) {
  setAcceptDrops(on);
}

std::vector<std::u16string> TQtForm::OpenDrawings(const window::TFileDialogRequest& request) {
  return dialogs_->OpenDrawings(this, request);
}

std::optional<std::u16string> TQtForm::SaveDrawing(const window::TFileDialogRequest& request) {
  return dialogs_->SaveDrawing(this, request);
}

void TQtForm::ShowMessage(const std::u16string& text) {
  dialogs_->ShowMessage(this, text);
}

bool TQtForm::AskYesNo(const std::u16string& text) {
  return dialogs_->AskYesNo(this, text);
}

void TQtForm::Post(std::function<void()> task, int delay_ms) {
  PostTask(this, std::move(task), delay_ms);
}

void TQtForm::RunFinished() {
  emit runFinished();
}

// --- The preview -------------------------------------------------------------------------

window::TPreviewPane& TQtForm::Preview() {
  if (!PreviewDialog) {
    PreviewDialog = new TPreviewDialog();
    PreviewDialog->resize(640, 480);
    PreviewDialog->on_activated = [this] { form_->PreviewActivated(); };
  }
  return *PreviewDialog;
}

void TQtForm::ShowPreview() {
  Preview();
  PreviewDialog->show();
  PreviewDialog->raise();
  PreviewDialog->activateWindow();
}

bool TQtForm::PreviewShown() const {
  return PreviewDialog && PreviewDialog->isVisible();
}

void TQtForm::ClosePreview() {
  if (PreviewDialog) PreviewDialog->close();
}

namespace {

// What a window's frame adds to each side of its inside (none before the
// window manager has framed it).
QMargins MarginsOf(const QWidget& w) {
  return w.windowHandle() ? w.windowHandle()->frameMargins() : QMargins();
}

}  // namespace

window::TRect TQtForm::PreviewPlacement() const {
  if (!PreviewDialog) return {};
  // Not framed yet: it will be framed as the main window is.
  QMargins margins = MarginsOf(*PreviewDialog);
  if (margins.isNull()) margins = FrameMargins();
  const QRect frame = PreviewDialog->geometry().marginsAdded(margins);
  return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void TQtForm::SetPreviewPlacement(const window::TRect& frame) {
  Preview();
  QMargins margins = MarginsOf(*PreviewDialog);
  if (margins.isNull()) margins = FrameMargins();
  // A window's position is its frame's.
  PreviewDialog->move(frame.left, frame.top);
  PreviewDialog->resize(QRect(frame.left, frame.top, frame.width, frame.height)
                            .marginsRemoved(margins)
                            .size()
                            .expandedTo(PreviewDialog->minimumSizeHint()));
}

std::vector<window::TRect> TQtForm::Screens() const {
  std::vector<window::TRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect a = screen->availableGeometry();
    screens.push_back({a.x(), a.y(), a.width(), a.height()});
  }
  return screens;
}

// --- Drops from the desktop ----------------------------------------------------------------

void TQtForm::dragEnterEvent(QDragEnterEvent* event) {
  if (form_->DropsAccepted() && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TQtForm::dragMoveEvent(QDragMoveEvent* event) {
  if (form_->DropsAccepted() && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TQtForm::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  form_->WMDropFiles(LocalPaths(event->mimeData()));
}

}  // namespace plattero::ui
