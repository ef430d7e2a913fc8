#pragma once

// The arrangement preview: a window beside the main one that shows the tiles'
// paper frames in their order, labelled with each drawing's file name, and
// the drawings themselves once they are read. It follows the main window's
// choices as they change; the drawings are read on a thread of its own and
// kept while their files stay the same (render/preview.h).

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/preview.h"
#include "tiling/tiling_engine.h"

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

class TPreviewDialog : public QDialog {
  Q_OBJECT
 public:
  // `max_shapes` bounds the shapes kept for the drawings (render::TSceneCache).
  explicit TPreviewDialog(QWidget* parent = nullptr,
                          std::size_t max_shapes = render::TSceneCache::kDefaultMaxShapes);
  ~TPreviewDialog() override;

  // Shows the arrangement of these choices; `paper` is the base drawing's
  // paper (none: no base drawing could be read). The frames change at once;
  // drawings not read yet are read off the window's thread.
  void SetInputs(const TTilingInputs& in, std::optional<TPaperSize> paper);
  // Looks at the listed files again: a drawing may have been saved meanwhile.
  void Refresh();
  // Stops reading for good (waits for the drawing being read); nothing is
  // read or shown from then on. The main window calls it when it closes.
  void Shutdown();

  // Drawings of the current choices are still being read.
  bool IsReading() const { return reading_; }
  const render::TPreviewLayout& Layout() const { return layout_; }
  const render::TPreviewPicture& Picture() const { return canvas_->Picture(); }
  // The scenes known for the current choices, by path.
  const std::unordered_map<std::u16string, render::TPreviewScene>& Scenes() const {
    return scenes_;
  }

  QLabel* StatusText;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void SceneRead(std::uint64_t request, const std::u16string& path,
                 const render::TPreviewScene& scene);
  void ReadDone(std::uint64_t request);
  void Request();
  void Compose();

  std::shared_ptr<render::TSceneCache> cache_;
  std::unique_ptr<render::TPreviewReader> reader_;
  TPreviewCanvas* canvas_;
  TTilingInputs inputs_;
  render::TPreviewLayout layout_;
  std::vector<std::u16string> paths_;  // what the current choices need read
  std::unordered_map<std::u16string, render::TPreviewScene> scenes_;
  std::uint64_t request_ = 0;
  bool reading_ = false;
  bool stopped_ = false;
};

}  // namespace plattero::ui
