#pragma once

// The arrangement preview: a window beside the main one that shows the tiles'
// paper frames in their order, labelled with each drawing's file name, and
// the drawings themselves once they are read (window::TPreviewModel decides
// what; this paints it).

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

#include "render/preview.h"
#include "window/form.h"

class QLabel;

namespace plattero::ui {

// Paints a preview picture scaled to fit, y axis up.
class TPreviewCanvas : public QWidget {
  Q_OBJECT
 public:
  explicit TPreviewCanvas(QWidget* parent);
  void SetPicture(render::TPreviewPicture picture);
  const render::TPreviewPicture& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintPicture(QImage& image) const;

  render::TPreviewPicture picture_;
  QImage painted_;  // the picture at the canvas's size, until either changes
  bool dirty_ = true;
};

// The preview's window: the form's preview model draws into it.
class TPreviewDialog : public QDialog, public window::TPreviewPane {
  Q_OBJECT
 public:
  explicit TPreviewDialog(QWidget* parent = nullptr);

  void ShowPicture(const render::TPreviewPicture& picture) override;
  void ShowStatus(const std::u16string& text) override;
  void Post(std::function<void()> task) override;

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
