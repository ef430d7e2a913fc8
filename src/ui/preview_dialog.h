#pragma once

// The arrangement preview: a window beside the main one that shows the tiles'
// paper frames in their order, labelled with each drawing's file name, and
// the drawings themselves once they are read (window::TPreviewModel decides
// what; this paints it). An ordinary top-level window, not a dialog of the
// main window: either goes behind the other when that is clicked.

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

#include "render/preview.h"
#include "window/form.h"
#include "window/preview_view.h"

class QLabel;

namespace plattero::ui {

// Paints a preview picture, y axis up: fitted, or zoomed with the wheel at
// the cursor and moved by dragging; a double-click fits it again.
class TPreviewCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit TPreviewCanvas(QWidget* parent);
  void SetPicture(render::TPreviewPicture picture);
  const render::TPreviewPicture& Picture() const { return picture_; }
  const window::TPreviewNavigator& Navigator() const { return navigator_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void PaintPicture(QImage& image) const;
  void ViewChanged();

  render::TPreviewPicture picture_;
  window::TPreviewNavigator navigator_;
  QImage painted_;                     // the picture at the canvas's size, until either changes
  render::TPreviewView painted_view_;  // the view painted_ was painted with
  bool dirty_ = true;
};

// The preview's window: the form's preview model draws into it.
class TPreviewDialog : public QWidget, public window::TPreviewPane {
  Q_OBJECT
 public:
  explicit TPreviewDialog(QWidget* parent = nullptr);

  void ShowPicture(const render::TPreviewPicture& picture) override;
  void ShowStatus(const std::u16string& text) override;
  void Post(std::function<void()> task, int delay_ms = 0) override;

  const render::TPreviewPicture& Picture() const { return canvas_->Picture(); }
  // Called when the window becomes active again (back from Jw_cad, say).
  std::function<void()> on_activated;

  QLabel* StatusText;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  TPreviewCanvas* canvas_;
};

}  // namespace plattero::ui
