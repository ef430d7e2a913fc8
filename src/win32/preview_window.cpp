#include "win32/preview_window.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include <windowsx.h>

#include "render/canvas.h"

namespace plattero::win32 {

namespace {

constexpr wchar_t kPreviewClass[] = L"PlatteroPreview";

COLORREF Color(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

POINT At(const render::TPoint& p) {
  return {static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))};
}

// The preview's drawing calls with GDI. Pens, brushes and fonts are made once
// per colour or size and let go with the painter.
class GdiCanvasPainter final : public render::TCanvasPainter {
 public:
  GdiCanvasPainter(HDC dc, const LOGFONTW& font) : dc_(dc), font_(font), saved_(::SaveDC(dc)) {
    ::SetBkMode(dc_, TRANSPARENT);
  }
  ~GdiCanvasPainter() override {
    ::RestoreDC(dc_, saved_);
    for (auto& [key, pen] : pens_)
      ::DeleteObject(pen);
    for (auto& [key, brush] : brushes_)
      ::DeleteObject(brush);
    for (auto& [key, font] : fonts_)
      ::DeleteObject(font);
  }

  void Line(const render::TPoint& a, const render::TPoint& b, std::uint32_t ink,
            bool dashed) override {
    Stroke(ink, dashed);
    const POINT p = At(a), q = At(b);
    ::MoveToEx(dc_, p.x, p.y, nullptr);
    ::LineTo(dc_, q.x, q.y);
  }
  void Polyline(const std::vector<render::TPoint>& points, std::uint32_t ink,
                bool dashed) override {
    Stroke(ink, dashed);
    std::vector<POINT> p;
    p.reserve(points.size());
    for (const render::TPoint& q : points)
      p.push_back(At(q));
    ::Polyline(dc_, p.data(), static_cast<int>(p.size()));
  }
  void Ellipse(const render::TCanvasEllipse& e, std::uint32_t ink, bool dashed) override {
    Stroke(ink, dashed);
    // Four Bezier curves, turned here: GDI's own ellipses are not turned
    // everywhere by a world transform.
    constexpr double k = 0.5522847498;  // control distance of a quarter circle
    const double local[13][2] = {{1, 0},   {1, k},   {k, 1},  {0, 1},  {-k, 1}, {-1, k}, {-1, 0},
                                 {-1, -k}, {-k, -1}, {0, -1}, {k, -1}, {1, -k}, {1, 0}};
    const double a = -e.degrees * 3.14159265358979323846 / 180;
    const double c = std::cos(a), s = std::sin(a);
    POINT p[13];
    for (int i = 0; i < 13; ++i) {
      const double x = local[i][0] * e.rx, y = local[i][1] * e.ry;
      p[i] = At({e.centre.x + x * c - y * s, e.centre.y + x * s + y * c});
    }
    ::PolyBezier(dc_, p, 13);
  }
  void Dot(const render::TPoint& p, std::uint32_t ink) override {
    const POINT c = At(p);
    const RECT r{c.x - 1, c.y - 1, c.x + 1, c.y + 1};
    ::FillRect(dc_, &r, Brush(ink));
  }
  void Polygon(const std::vector<render::TPoint>& points, std::uint32_t ink) override {
    std::vector<POINT> p;
    p.reserve(points.size());
    for (const render::TPoint& q : points)
      p.push_back(At(q));
    ::SelectObject(dc_, ::GetStockObject(NULL_PEN));
    ::SelectObject(dc_, Brush(ink));
    ::Polygon(dc_, p.data(), static_cast<int>(p.size()));
  }
  double TextWidth(const std::u16string& text, double px) override {
    ::SelectObject(dc_, Font(px));
    SIZE size{};
    const std::wstring w = W(text);
    ::GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    return size.cx;
  }
  void Text(const render::TPoint& at, const std::u16string& text, double px, double degrees,
            double stretch, std::uint32_t ink) override {
    // Turned by the font's escapement; stretched by spreading the characters
    // along the base line. (A font made wider, or drawn through a world
    // transform, loses its Japanese glyphs under Wine.)
    ::SelectObject(dc_, Font(px, degrees));
    ::SetTextColor(dc_, Color(ink));
    ::SetTextAlign(dc_, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    const std::wstring w = W(text);
    const int n = static_cast<int>(w.size());
    std::vector<INT> advances;
    if (stretch != 1 && n > 0) {
      std::vector<INT> ends(w.size());
      int fit = 0;
      SIZE total{};
      if (::GetTextExtentExPointW(dc_, w.c_str(), n, INT_MAX, &fit, ends.data(), &total)) {
        int before = 0;
        for (const INT end : ends) {
          const int at_end = Px(end * stretch);
          advances.push_back(at_end - before);
          before = at_end;
        }
      }
    }
    const POINT p = At(at);
    ::ExtTextOutW(dc_, p.x, p.y, 0, nullptr, w.c_str(), static_cast<UINT>(n),
                  advances.empty() ? nullptr : advances.data());
  }
  void Box(const render::TCanvasBox& box, const std::u16string& label, std::uint32_t ink,
           bool dashed) override {
    Stroke(ink, dashed);
    ::Rectangle(dc_, Px(box.left), Px(box.top), Px(box.right) + 1, Px(box.bottom) + 1);
    if (label.empty() || box.label_px == 0) return;
    ::SelectObject(dc_, Font(box.label_px));
    ::SetTextColor(dc_, Color(ink));
    ::SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    RECT r{Px(box.left) + 3, Px(box.top) + 2, Px(box.right) - 3, Px(box.bottom)};
    std::wstring w = W(label);
    ::DrawTextW(dc_, w.data(), static_cast<int>(w.size()), &r,
                DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT | DT_TOP);
  }

 private:
  static int Px(double v) { return static_cast<int>(std::lround(v)); }

  void Stroke(std::uint32_t ink, bool dashed) {
    HPEN& pen = pens_[{ink, dashed}];
    if (!pen) pen = ::CreatePen(dashed ? PS_DASH : PS_SOLID, 1, Color(ink));
    ::SelectObject(dc_, pen);
    ::SelectObject(dc_, ::GetStockObject(NULL_BRUSH));
  }
  HBRUSH Brush(std::uint32_t ink) {
    HBRUSH& brush = brushes_[ink];
    if (!brush) brush = ::CreateSolidBrush(Color(ink));
    return brush;
  }
  HFONT Font(double px, double degrees = 0) {
    const int height = std::max(1, Px(px));
    const int tenths = static_cast<int>(std::lround(std::remainder(degrees, 360.0) * 10));
    HFONT& font = fonts_[{height, tenths}];
    if (!font) {
      LOGFONTW lf = font_;
      lf.lfHeight = -height;
      lf.lfWidth = 0;
      lf.lfEscapement = lf.lfOrientation = tenths;
      font = ::CreateFontIndirectW(&lf);
    }
    return font;
  }

  HDC dc_;
  LOGFONTW font_;
  int saved_;
  std::map<std::pair<std::uint32_t, bool>, HPEN> pens_;
  std::map<std::uint32_t, HBRUSH> brushes_;
  std::map<std::pair<int, int>, HFONT> fonts_;  // by height and angle
};

}  // namespace

void PaintPreviewPicture(HDC dc, int width, int height, const render::TPreviewPicture& picture,
                         const LOGFONTW& font, const std::optional<render::TPreviewView>& view) {
  const RECT all{0, 0, width, height};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  // Frame labels a little smaller than the window's text.
  const double label_px = std::max(11.0, std::abs(font.lfHeight) * 1.2 * 0.9);
  GdiCanvasPainter painter(dc, font);
  if (view) {
    render::PaintPreview(picture, *view, width, height, label_px, painter);
  } else {
    render::PaintPreview(picture, width, height, label_px, painter);
  }
}

// --- The window ----------------------------------------------------------------------

TPreviewWindow::TPreviewWindow(HWND main, std::function<void(std::function<void()>, int)> post,
                               std::function<void()> on_activated)
    : post_(std::move(post)), on_activated_(std::move(on_activated)) {
  RegisterWindowClass(kPreviewClass, &Proc, CS_DBLCLKS);
  const UINT dpi = DpiOf(main);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  const SIZE outer = OuterSize(::MulDiv(640, dpi, 96), ::MulDiv(480, dpi, 96), style, 0, dpi);
  hwnd_ = ::CreateWindowExW(0, kPreviewClass, W(window::kPreviewTitle).c_str(), style,
                            CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy, nullptr, nullptr,
                            ::GetModuleHandleW(nullptr), this);
  status_ =
      ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                        0, 0, 0, 0, hwnd_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ApplyDpi(DpiOf(hwnd_));
}

TPreviewWindow::~TPreviewWindow() {
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  if (painted_) ::DeleteObject(painted_);
}

void TPreviewWindow::ShowPicture(const render::TPreviewPicture& picture) {
  picture_ = picture;
  navigator_.SetExtents(picture_.extents);
  ViewChanged();
}

void TPreviewWindow::ViewChanged() {
  painted_size_ = {};  // painted again at the next WM_PAINT
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void TPreviewWindow::ShowStatus(const std::u16string& text) {
  if (status_) ::SetWindowTextW(status_, W(text).c_str());
}

void TPreviewWindow::Post(std::function<void()> task, int delay_ms) {
  post_(std::move(task), delay_ms);
}

void TPreviewWindow::Show() {
  if (!hwnd_) return;
  ::ShowWindow(hwnd_, SW_SHOW);
  ::SetForegroundWindow(hwnd_);
}

void TPreviewWindow::Hide() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}

bool TPreviewWindow::Visible() const {
  return hwnd_ && ::IsWindowVisible(hwnd_);
}

void TPreviewWindow::Destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
}

SIZE TPreviewWindow::CanvasSize() const {
  RECT client{};
  if (hwnd_) ::GetClientRect(hwnd_, &client);
  return {client.right, std::max<LONG>(0, client.bottom - status_height_)};
}

void TPreviewWindow::ApplyDpi(UINT dpi) {
  font_ = MessageFontFor(dpi);
  status_font_ = TFont(font_);
  ::SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(status_font_.get()), TRUE);
  status_height_ = static_cast<int>(std::abs(font_.lfHeight) * 1.5) + ::MulDiv(4, dpi, 96);
  painted_size_ = {};
  Layout();
}

void TPreviewWindow::Layout() {
  if (!hwnd_ || !status_) return;
  const SIZE canvas = CanvasSize();
  navigator_.Resize(canvas.cx, canvas.cy);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const int margin = ::MulDiv(4, DpiOf(hwnd_), 96);
  ::MoveWindow(status_, margin, client.bottom - status_height_, client.right - 2 * margin,
               status_height_ - margin, TRUE);
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void TPreviewWindow::Paint(HDC dc) {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const SIZE size = CanvasSize();
  if (size.cx > 0 && size.cy > 0) {
    const render::TPreviewView view = navigator_.View();
    const bool moved = view.x0 != painted_view_.x0 || view.y0 != painted_view_.y0 ||
                       view.scale != painted_view_.scale;
    const bool fresh = painted_ && painted_size_.cx == size.cx && painted_size_.cy == size.cy;
    // While a drag goes on, the picture painted before follows the mouse (a
    // large drawing takes long to paint); it is painted anew on letting go.
    const bool follow = fresh && navigator_.Dragging() && view.scale == painted_view_.scale;
    const HDC memory = ::CreateCompatibleDC(dc);
    if (!fresh || (moved && !follow)) {
      if (painted_) ::DeleteObject(painted_);
      painted_ = ::CreateCompatibleBitmap(dc, size.cx, size.cy);
      const HGDIOBJ old = ::SelectObject(memory, painted_);
      PaintPreviewPicture(memory, size.cx, size.cy, picture_, font_, view);
      ::SelectObject(memory, old);
      painted_size_ = size;
      painted_view_ = view;
    }
    const HGDIOBJ old = ::SelectObject(memory, painted_);
    if (follow && moved) {
      const RECT canvas{0, 0, size.cx, size.cy};
      ::FillRect(dc, &canvas, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      const int dx = static_cast<int>(std::lround(view.x0 - painted_view_.x0));
      const int dy = static_cast<int>(std::lround(view.y0 - painted_view_.y0));
      ::BitBlt(dc, dx, dy, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    } else {
      ::BitBlt(dc, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
  }
  // The strip behind the status line.
  const RECT strip{0, size.cy, client.right, client.bottom};
  ::FillRect(dc, &strip, ::GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK TPreviewWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* created =
        static_cast<TPreviewWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    created->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  }
  auto* self = reinterpret_cast<TPreviewWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == WM_NCDESTROY) {
    // Gone (with the main window): nothing may reach it any more.
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = self->status_ = nullptr;
    self = nullptr;
  }
  return self ? self->Handle(msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TPreviewWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      Paint(::BeginPaint(hwnd_, &ps));
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case WM_SIZE:
      Layout();
      return 0;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};  // screen coordinates
      ::ScreenToClient(hwnd_, &at);
      navigator_.Wheel(GET_WHEEL_DELTA_WPARAM(wp) / double(WHEEL_DELTA), at.x, at.y);
      ViewChanged();
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (GET_Y_LPARAM(lp) < CanvasSize().cy) {
        navigator_.Press(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        ::SetCapture(hwnd_);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (navigator_.Drag(GET_X_LPARAM(lp), GET_Y_LPARAM(lp)))
        ::InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP:
      navigator_.Release();
      if (::GetCapture() == hwnd_) ::ReleaseCapture();
      ::InvalidateRect(hwnd_, nullptr, FALSE);  // painted anew where the drag left it
      return 0;
    case WM_CAPTURECHANGED:
      if (navigator_.Dragging()) {
        navigator_.Release();
        ::InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      if (GET_Y_LPARAM(lp) < CanvasSize().cy) {
        navigator_.Fit();
        ViewChanged();
      }
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, navigator_.Dragging() ? IDC_SIZEALL : IDC_HAND));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      Hide();  // kept for the next press of the preview button
      return 0;
    case WM_ACTIVATE:
      // Back from another program (Jw_cad, say): the drawings may have changed.
      if (LOWORD(wp) != WA_INACTIVE && Visible() && on_activated_) on_activated_();
      break;
    case WM_DPICHANGED: {
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      ApplyDpi(HIWORD(wp));
      ::SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      ::SetBkColor(reinterpret_cast<HDC>(wp), ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace plattero::win32
