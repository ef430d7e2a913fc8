#include "ui/preview_dialog.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "render/canvas.h"

namespace plattero::ui {

namespace {

using render::TCanvasMap;
using render::TPreviewView;
using render::TShape;
using render::TShapeKind;

constexpr double kMargin = 12;  // pixels around the picture

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}

QColor Ink(std::uint32_t rgb) {
  const std::uint32_t c = render::InkOnWhite(rgb);
  return QColor(static_cast<int>(c >> 16), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>(c & 0xFF));
}

QPointF At(const render::TPoint& p) {
  return QPointF(p.x, p.y);
}

class ScenePainter {
 public:
  ScenePainter(QPainter& painter, const TPreviewView& view, const QFont& font)
      : p_(painter), view_(view), font_(font), map_(view) {}

  void Paint(const render::TPlacedScene& placed) {
    map_ = TCanvasMap(view_, placed.dx, placed.dy);
    for (const TShape& s : placed.scene->shapes)
      Shape(s);
  }

  // A paper frame, in drawing coordinates as they are.
  void Frame(const render::TPaperFrame& f, double label_px) {
    map_ = TCanvasMap(view_);
    Boxed({f.x, f.y}, {f.x + f.width, f.y + f.height}, Q(f.label), Ink(render::kFrameInk), true,
          label_px);
  }

 private:
  // A rectangle with a label inside its top left corner (paper frames and
  // image references).
  void Boxed(const render::TPoint& a, const render::TPoint& b, const QString& label,
             const QColor& color, bool dashed, double label_px) {
    const render::TCanvasBox box = render::BoxOnCanvas(a, b, map_, label_px);
    const QRectF rect(QPointF(box.left, box.top), QPointF(box.right, box.bottom));
    p_.setPen(QPen(color, 0, dashed ? Qt::DashLine : Qt::SolidLine));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(rect);
    if (label.isEmpty() || box.label_px == 0) return;
    QFont font = font_;
    font.setPixelSize(static_cast<int>(box.label_px));
    p_.setFont(font);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(label, Qt::ElideRight, rect.width() - 6);
    p_.drawText(QPointF(rect.left() + 3, rect.top() + 2 + metrics.ascent()), text);
  }

  void SetPen(const render::TPen& pen) {
    p_.setPen(QPen(Ink(pen.rgb), 0, pen.dash.empty() ? Qt::SolidLine : Qt::DashLine));
    p_.setBrush(Qt::NoBrush);
  }

  void Shape(const TShape& s) {
    switch (s.kind) {
      case TShapeKind::kLine:
        SetPen(s.pen);
        p_.drawLine(At(map_(s.a)), At(map_(s.b)));
        break;
      case TShapeKind::kArc:
        SetPen(s.pen);
        Arc(s);
        break;
      case TShapeKind::kPoint:
        p_.setPen(QPen(Ink(s.pen.rgb), 2));
        p_.drawPoint(At(map_(s.a)));
        break;
      case TShapeKind::kSolid: {
        const QPointF quad[4] = {At(map_(s.quad[0])), At(map_(s.quad[1])), At(map_(s.quad[2])),
                                 At(map_(s.quad[3]))};
        p_.setPen(Qt::NoPen);
        p_.setBrush(Ink(s.pen.rgb));
        p_.drawPolygon(quad, 4);
        break;
      }
      case TShapeKind::kText:
        Text(s);
        break;
      case TShapeKind::kImage:
      case TShapeKind::kFrame:
        Boxed(s.a, s.b, QString::fromUtf8(s.text), Ink(s.pen.rgb), false, s.height * view_.scale);
        break;
    }
  }

  void Arc(const TShape& s) {
    if (s.full) {
      const auto e = render::EllipseOnCanvas(s, map_);
      if (!e) return;
      p_.save();
      p_.translate(At(e->centre));
      p_.rotate(-e->degrees);
      p_.drawEllipse(QPointF(0, 0), e->rx, e->ry);
      p_.restore();
      return;
    }
    QPolygonF points;
    for (const render::TPoint& q : render::ArcPoints(s, map_))
      points << At(q);
    p_.drawPolyline(points);
  }

  void Text(const TShape& s) {
    const auto px = render::TextPixels(s, map_);
    if (!px) return;
    QFont font = font_;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(*px))));
    const QString text = QString::fromUtf8(s.text);
    p_.save();
    p_.setFont(font);
    p_.setPen(Ink(s.pen.rgb));
    p_.translate(At(map_(s.a)));
    p_.rotate(-s.angle);
    p_.scale(render::TextStretch(s, map_, QFontMetricsF(font).horizontalAdvance(text)), 1);
    p_.drawText(QPointF(0, 0), text);
    p_.restore();
  }

  QPainter& p_;
  const TPreviewView& view_;
  const QFont& font_;
  TCanvasMap map_;
};

}  // namespace

// --- Canvas ---------------------------------------------------------------------

TPreviewCanvas::TPreviewCanvas(QWidget* parent) : QWidget(parent) {
  setObjectName("PreviewCanvas");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(160, 120);
}

void TPreviewCanvas::SetPicture(render::TPreviewPicture picture) {
  picture_ = std::move(picture);
  dirty_ = true;
  update();
}

void TPreviewCanvas::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = size() * ratio;
  if (pixels.isEmpty()) return;
  if (dirty_ || painted_.size() != pixels) {
    painted_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    painted_.setDevicePixelRatio(ratio);
    PaintPicture(painted_);
    dirty_ = false;
  }
  QPainter p(this);
  p.drawImage(QPoint(0, 0), painted_);
}

void TPreviewCanvas::PaintPicture(QImage& image) const {
  image.fill(Qt::white);
  QPainter p(&image);
  const TPreviewView view = render::FitView(picture_.extents, width(), height(), kMargin);
  ScenePainter painter(p, view, font());
  for (const render::TPlacedScene& placed : picture_.scenes)
    painter.Paint(placed);
  const double label_px = std::max(11.0, QFontMetricsF(font()).height() * 0.9);
  for (const render::TPaperFrame& f : picture_.frames)
    painter.Frame(f, label_px);
}

// --- Dialog ---------------------------------------------------------------------

TPreviewDialog::TPreviewDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("PreviewDialog");
  setWindowTitle(Q(window::kPreviewTitle));
  setModal(false);
  setSizeGripEnabled(true);
  canvas_ = new TPreviewCanvas(this);
  StatusText = new QLabel(this);
  StatusText->setObjectName("PreviewStatus");
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

void TPreviewDialog::Post(std::function<void()> task) {
  // Queued to this window's thread from any thread; dropped when the window
  // is gone by then.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void TPreviewDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Back from another program (Jw_cad, say): the drawings may have changed.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible() &&
      on_activated) {
    on_activated();
  }
}

}  // namespace plattero::ui
