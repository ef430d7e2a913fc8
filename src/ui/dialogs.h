#pragma once

// The dialogs of the main window behind a small interface, so that tests can
// answer them. All are modal and run on the window's thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace plattero::ui {

// Both file dialogs show drawings only: this filter, default extension "jww".
inline constexpr char16_t kDrawingFilter[] = u"Jw_cad 図面ファイル (*.jww)";
// The title of every message box.
inline constexpr char16_t kMessageTitle[] = u"Plattero";

struct TFileDialogRequest {
  std::u16string folder;     // where the dialog opens
  std::u16string file_name;  // preset name, may be empty
  bool multiple = false;     // open dialog: several files may be chosen
};

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // Existing drawings chosen by the user, full paths in the dialog's order;
  // empty when cancelled.
  virtual std::vector<std::u16string> OpenDrawings(QWidget* parent,
                                                   const TFileDialogRequest& request) = 0;
  // The full path to save to (the user confirmed overwriting an existing
  // file); nothing when cancelled.
  virtual std::optional<std::u16string> SaveDrawing(QWidget* parent,
                                                    const TFileDialogRequest& request) = 0;
  // A plain message box with an OK button, titled kMessageTitle.
  virtual void ShowMessage(QWidget* parent, const std::u16string& text) = 0;
};

// The platform's dialogs through Qt.
std::unique_ptr<TDialogs> MakeQtDialogs();

}  // namespace plattero::ui
