#include "ui/preview_dialog.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plattero::ui {

namespace {

using render::TPreviewView;
using render::TShape;
using render::TShapeKind;

constexpr double kPi = std::numbers::pi;
constexpr double kMargin = 12;  // pixels around the picture
const QColor kFrameColor(0xD0, 0x20, 0x20);

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}

// A pen colour as painted on white: colours too pale to see turn grey.
QColor ColorOf(std::uint32_t rgb) {
  const int r = static_cast<int>((rgb >> 16) & 0xFF), g = static_cast<int>((rgb >> 8) & 0xFF),
            b = static_cast<int>(rgb & 0xFF);
  if (r > 0xE0 && g > 0xE0 && b > 0xE0) return QColor(0xA0, 0xA0, 0xA0);
  return QColor(r, g, b);
}

// Canvas coordinates are kept within this, so that nothing converted to
// integer pixels overflows however the picture is scaled.
double Clamp(double v) {
  return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0;
}

class ScenePainter {
 public:
  ScenePainter(QPainter& painter, const TPreviewView& view, const QFont& font)
      : p_(painter), view_(view), font_(font) {}

  void Paint(const render::TPlacedScene& placed) {
    dx_ = placed.dx;
    dy_ = placed.dy;
    for (const TShape& s : placed.scene->shapes)
      Shape(s);
  }

  // A paper frame, in drawing coordinates as they are.
  void Frame(const render::TPaperFrame& f, double label_px) {
    dx_ = dy_ = 0;
    Boxed(f.x, f.y, f.x + f.width, f.y + f.height, Q(f.label), kFrameColor, true, label_px);
  }

 private:
  // A rectangle with a label inside its top left corner (paper frames and
  // image references).
  void Boxed(double x0, double y0, double x1, double y1, const QString& label, const QColor& color,
             bool dashed, double label_px) {
    const QRectF rect = QRectF(At(x0, y1), At(x1, y0)).normalized();
    QPen pen(color, 0, dashed ? Qt::DashLine : Qt::SolidLine);
    p_.setPen(pen);
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(rect);
    if (label.isEmpty() || label_px < 6 || rect.height() < label_px + 4 || rect.width() < 16)
      return;
    QFont font = font_;
    font.setPixelSize(static_cast<int>(std::min(label_px, 200.0)));
    p_.setFont(font);
    const QFontMetricsF metrics(font);
    const QString text = metrics.elidedText(label, Qt::ElideRight, rect.width() - 6);
    p_.drawText(QPointF(rect.left() + 3, rect.top() + 2 + metrics.ascent()), text);
  }

  QPointF At(double x, double y) const {
    return QPointF(Clamp(view_.x0 + (x + dx_) * view_.scale),
                   Clamp(view_.y0 - (y + dy_) * view_.scale));
  }
  QPointF At(const render::TPoint& p) const { return At(p.x, p.y); }

  void SetPen(const render::TPen& pen) {
    p_.setPen(QPen(ColorOf(pen.rgb), 0, pen.dash.empty() ? Qt::SolidLine : Qt::DashLine));
    p_.setBrush(Qt::NoBrush);
  }

  void Shape(const TShape& s) {
    switch (s.kind) {
      case TShapeKind::kLine:
        SetPen(s.pen);
        p_.drawLine(At(s.a), At(s.b));
        break;
      case TShapeKind::kArc:
        SetPen(s.pen);
        Arc(s);
        break;
      case TShapeKind::kPoint:
        p_.setPen(QPen(ColorOf(s.pen.rgb), 2));
        p_.drawPoint(At(s.a));
        break;
      case TShapeKind::kSolid: {
        const QPointF quad[4] = {At(s.quad[0]), At(s.quad[1]), At(s.quad[2]), At(s.quad[3])};
        p_.setPen(Qt::NoPen);
        p_.setBrush(ColorOf(s.pen.rgb));
        p_.drawPolygon(quad, 4);
        break;
      }
      case TShapeKind::kText:
        Text(s);
        break;
      case TShapeKind::kImage:
      case TShapeKind::kFrame:
        Boxed(std::min(s.a.x, s.b.x), std::min(s.a.y, s.b.y), std::max(s.a.x, s.b.x),
              std::max(s.a.y, s.b.y), QString::fromUtf8(s.text), ColorOf(s.pen.rgb), false,
              s.height * view_.scale);
        break;
    }
  }

  // Parameter angle of a point on the arc's ellipse, in its axes' frame.
  static double ParamOf(const TShape& s, const render::TPoint& p) {
    const double c = std::cos(s.rot), sn = std::sin(s.rot);
    const double u = (p.x - s.a.x) * c + (p.y - s.a.y) * sn;
    const double v = -(p.x - s.a.x) * sn + (p.y - s.a.y) * c;
    return std::atan2(v / s.ry, u / s.rx);
  }

  void Arc(const TShape& s) {
    const double rx_px = s.rx * view_.scale, ry_px = s.ry * view_.scale;
    if (s.full) {
      if (!(rx_px < 1e7)) return;
      p_.save();
      p_.translate(At(s.a));
      p_.rotate(-s.rot * 180 / kPi);
      p_.drawEllipse(QPointF(0, 0), rx_px, ry_px);
      p_.restore();
      return;
    }
    if (!(s.rx > 0) || !(s.ry > 0) || !(rx_px < 1e7)) {
      const QPointF flat[3] = {At(s.start), At(s.mid), At(s.end)};
      p_.drawPolyline(flat, 3);
      return;
    }
    // The middle point lies half way along the arc; the half sweep is below
    // half a turn, in the arc's direction.
    const double t0 = ParamOf(s, s.start);
    double half = std::fmod(ParamOf(s, s.mid) - t0 + 4 * kPi, 2 * kPi);
    if (!s.ccw) half = -std::fmod(t0 - ParamOf(s, s.mid) + 4 * kPi, 2 * kPi);
    const double sweep = 2 * half;
    const int steps = static_cast<int>(std::clamp(std::fabs(sweep) * rx_px / 3, 2.0, 90.0));
    const double c = std::cos(s.rot), sn = std::sin(s.rot);
    QPolygonF points;
    points.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
      const double t = t0 + sweep * i / steps;
      const double u = s.rx * std::cos(t), v = s.ry * std::sin(t);
      points << At(s.a.x + u * c - v * sn, s.a.y + u * sn + v * c);
    }
    p_.drawPolyline(points);
  }

  void Text(const TShape& s) {
    const double px = s.height * view_.scale;
    if (!(px >= 3) || !(px <= 2000)) return;  // unreadable, or one letter larger than a screen
    QFont font = font_;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
    const QString text = QString::fromUtf8(s.text);
    p_.save();
    p_.setFont(font);
    p_.setPen(ColorOf(s.pen.rgb));
    p_.translate(At(s.a));
    p_.rotate(-s.angle);
    if (s.length > 0) {
      const double natural = QFontMetricsF(font).horizontalAdvance(text);
      const double wanted = s.length * view_.scale;
      if (natural > 0 && wanted > 0 && wanted < 1e7) p_.scale(wanted / natural, 1);
    }
    p_.drawText(QPointF(0, 0), text);
    p_.restore();
  }

  QPainter& p_;
  const TPreviewView& view_;
  const QFont& font_;
  double dx_ = 0, dy_ = 0;
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
