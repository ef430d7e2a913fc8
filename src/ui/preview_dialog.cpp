#include "ui/preview_dialog.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "render/canvas.h"
#include "ui/widgets.h"

namespace plattero::ui {

namespace {

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}

QColor Color(std::uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

QPointF At(const render::TPoint& p) {
  return QPointF(p.x, p.y);
}

// The preview's drawing calls on a QPainter.
class QtCanvasPainter final : public render::TCanvasPainter {
 public:
  QtCanvasPainter(QPainter& painter, const QFont& font) : p_(painter), font_(font) {}

  void Line(const render::TPoint& a, const render::TPoint& b, std::uint32_t ink,
            bool dashed) override {
    SetPen(ink, dashed);
    p_.drawLine(At(a), At(b));
  }
  void Polyline(const std::vector<render::TPoint>& points, std::uint32_t ink,
                bool dashed) override {
    SetPen(ink, dashed);
    QPolygonF polygon;
    for (const render::TPoint& q : points)
      polygon << At(q);
    p_.drawPolyline(polygon);
  }
  void Ellipse(const render::TCanvasEllipse& e, std::uint32_t ink, bool dashed) override {
    SetPen(ink, dashed);
    p_.save();
    p_.translate(At(e.centre));
    p_.rotate(-e.degrees);
    p_.drawEllipse(QPointF(0, 0), e.rx, e.ry);
    p_.restore();
  }
  void Dot(const render::TPoint& p, std::uint32_t ink) override {
    p_.setPen(QPen(Color(ink), 2));
    p_.drawPoint(At(p));
  }
  void Polygon(const std::vector<render::TPoint>& points, std::uint32_t ink) override {
    QPolygonF polygon;
    for (const render::TPoint& q : points)
      polygon << At(q);
    p_.setPen(Qt::NoPen);
    p_.setBrush(Color(ink));
    p_.drawPolygon(polygon);
  }
  double TextWidth(const std::u16string& text, double px) override {
    return QFontMetricsF(FontOf(px)).horizontalAdvance(Q(text));
  }
  void Text(const render::TPoint& at, const std::u16string& text, double px, double degrees,
            double stretch, std::uint32_t ink) override {
    p_.save();
    p_.setFont(FontOf(px));
    p_.setPen(Color(ink));
    p_.translate(At(at));
    p_.rotate(-degrees);
    p_.scale(stretch, 1);
    p_.drawText(QPointF(0, 0), Q(text));
    p_.restore();
  }
  void Box(const render::TCanvasBox& box, const std::u16string& label, std::uint32_t ink,
           bool dashed) override {
    const QRectF rect(QPointF(box.left, box.top), QPointF(box.right, box.bottom));
    SetPen(ink, dashed);
    p_.drawRect(rect);
    if (label.empty() || box.label_px == 0) return;
    QFont font = font_;
    font.setPixelSize(static_cast<int>(box.label_px));
    p_.setFont(font);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(Q(label), Qt::ElideRight, rect.width() - 6);
    p_.drawText(QPointF(rect.left() + 3, rect.top() + 2 + metrics.ascent()), text);
  }

 private:
  QFont FontOf(double px) const {
    QFont font = font_;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
    return font;
  }
  void SetPen(std::uint32_t ink, bool dashed) {
    p_.setPen(QPen(Color(ink), 0, dashed ? Qt::DashLine : Qt::SolidLine));
    p_.setBrush(Qt::NoBrush);
  }

  QPainter& p_;
  const QFont& font_;
};

}  // namespace

// --- Canvas ---------------------------------------------------------------------

TPreviewCanvas::TPreviewCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName("PreviewCanvas");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(160, 120);
  setCursor(Qt::OpenHandCursor);
  navigator_.Resize(width(), height());
}

void TPreviewCanvas::SetPicture(render::TPreviewPicture picture) {
  picture_ = std::move(picture);
  navigator_.SetExtents(picture_.extents);
  ViewChanged();
}

void TPreviewCanvas::ViewChanged() {
  dirty_ = true;
  update();
}

void TPreviewCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  navigator_.Resize(width(), height());
}

void TPreviewCanvas::wheelEvent(QWheelEvent* event) {
  const QPointF at = event->position();
  navigator_.Wheel(event->angleDelta().y() / 120.0, at.x(), at.y());
  ViewChanged();
  event->accept();
}

void TPreviewCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  navigator_.Press(event->position().x(), event->position().y());
  setCursor(Qt::ClosedHandCursor);
}

void TPreviewCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (navigator_.Drag(event->position().x(), event->position().y())) update();
}

void TPreviewCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  navigator_.Release();
  setCursor(Qt::OpenHandCursor);
  update();  // painted anew where the drag left it
}

void TPreviewCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
  navigator_.Fit();
  setCursor(Qt::OpenHandCursor);
  ViewChanged();
}

void TPreviewCanvas::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (pixels.isEmpty()) return;
  const render::TPreviewView view = navigator_.View();
  const bool moved = view.x0 != painted_view_.x0 || view.y0 != painted_view_.y0 ||
                     view.scale != painted_view_.scale;
  // While a drag goes on, the picture painted before follows the mouse (a
  // large drawing takes long to paint); it is painted anew on letting go.
  const bool follow = !dirty_ && painted_.size() == pixels && navigator_.Dragging() &&
                      view.scale == painted_view_.scale;
  if (!follow && (dirty_ || painted_.size() != pixels || moved)) {
    painted_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    painted_.setDevicePixelRatio(ratio);
    PaintPicture(painted_);
    painted_view_ = view;
    dirty_ = false;
  }
  QPainter p(this);
  if (follow && moved) {
    p.fillRect(rect(), Qt::white);
    p.drawImage(QPointF(view.x0 - painted_view_.x0, view.y0 - painted_view_.y0), painted_);
  } else {
    p.drawImage(QPoint(0, 0), painted_);
  }
}

void TPreviewCanvas::PaintPicture(QImage& image) const {
  image.fill(Qt::white);
  QPainter p(&image);
  QtCanvasPainter painter(p, font());
  const double label_px = std::max(11.0, QFontMetricsF(font()).height() * 0.9);
  render::PaintPreview(picture_, navigator_.View(), width(), height(), label_px, painter);
}

// --- Dialog ---------------------------------------------------------------------

TPreviewDialog::TPreviewDialog(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("PreviewDialog");
  setWindowTitle(Q(window::kPreviewTitle));
  canvas_ = new TPreviewCanvas(this);
  StatusText = new QLabel(this);
  StatusText->setObjectName("PreviewStatus");
  StatusText->setWordWrap(true);  // the whole of a long status, in the window's own font
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(canvas_, 1);
  layout->addWidget(StatusText);
  resize(640, 480);
}

void TPreviewDialog::ShowPicture(const render::TPreviewPicture& picture) {
  canvas_->SetPicture(picture);
}

void TPreviewDialog::ShowStatus(const std::u16string& text) {
  StatusText->setText(Q(text));
}

void TPreviewDialog::Post(std::function<void()> task, int delay_ms) {
  PostTask(this, std::move(task), delay_ms);
}

void TPreviewDialog::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Back from another program (Jw_cad, say): the drawings may have changed.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible() &&
      on_activated) {
    on_activated();
  }
}

}  // namespace plattero::ui
