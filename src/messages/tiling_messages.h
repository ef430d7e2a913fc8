#pragma once

// The words of a tiling run, made from the engine's typed choices and
// report in one place for every front end: the window's messages and marks
// and the command line's lines in Japanese, and the English reasons the
// command line adds on its standard error.

#include <cstdint>
#include <string>
#include <string_view>

#include "jww/jww_data.h"
#include "platform/file_system.h"
#include "tiling/choices.h"
#include "tiling/report.h"

namespace plattero {

// --- Papers and fields ------------------------------------------------------------

// The caption of a paper code in full-width brackets ("（A3）"); a code not in
// the paper size table is "（A0）", as its size is.
std::u16string PaperCaption(std::int32_t nZumen);
// The caption when no base drawing's paper is known.
inline constexpr char16_t kNoPaperCaption[] = u"（用紙）";

// The count field's caption for an order: "縦数：" when the count is per
// column, else "横数：".
std::u16string CountLabel(TOrder order);
inline constexpr char16_t kGapXCaption[] = u"横間隔：";
inline constexpr char16_t kGapYCaption[] = u"縦間隔：";
// The message for a count or gap field whose value cannot be used: the
// field's caption followed by " の数値を再入力して下さい。".
std::u16string ReenterMessage(std::u16string_view caption);

// --- Refusals ----------------------------------------------------------------------

inline constexpr char16_t kBaseMissingMessage[] = u"ベース図面が見つかりません。再指定して下さい";
inline constexpr char16_t kBaseNotDrawingMessage[] =
    u"ベース図面を図面ファイルとして読み込めません。再指定して下さい";
// The fixed message of a refusal; kCount quotes `count_label`, the caption
// the count field shows.
std::u16string RefusalMessage(TRefusal refusal, std::u16string_view count_label);

// --- Saving ------------------------------------------------------------------------

// Why a file could not be written, in the words of the window's messages;
// empty for no error.
std::u16string FileErrorReason(const platform::TFileStatus& status);
// The first line of a save's message: saved, or not.
std::u16string SavedLine(const std::u16string& file);
std::u16string SaveFailedLine(const std::u16string& file);
// The message after a save: the saved line with one more line per notice and
// per warning of the run, or the failed line with the reason on a second.
std::u16string SaveMessage(const TSaveResult& saved, const TTilingReport& report);

// --- Paper and reduction ---------------------------------------------------------

// A reduction factor as a fraction: "1/2", "2/3", "2/5"; other factors as the
// shortest decimal ("0.37").
std::u16string FactorText(double k);
// The lines a run that chose a paper or a reduction adds to its success
// message: "用紙（A1）に配置しました。" and, when reduced, "縮小 1/2（[0] 1/200、…）"
// with each used group's resulting scale. Empty when the run chose neither.
std::u16string PaperLines(const TTilingReport& report);
// The groups of the combined drawing a drawing's groups went to, for its
// label in a preview: each group it moved to once, with its scale, in the
// drawing's group order: "[2] 1/200、[3] 1/50". Empty when none moved.
std::u16string GroupsNote(const std::vector<TGroupPlaced>& placed);
// The combined drawing's paper as a preview labels its frame: "用紙（A1）",
// and "用紙（A1） 縮小 1/2" when every drawing is reduced.
std::u16string SheetLabel(const TPaperFit& fit);

// --- Report items ------------------------------------------------------------------

// One line per item, as the success message, the window's question and the
// command line show it.
std::u16string WarningLine(const TTileWarning& w);
// Why, in English, for the command line; empty when the line says it all.
std::string WarningReason(const TTileWarning& w);
// A word or two for an item, for a preview's label ("縮尺違い"); empty for
// kinds a preview does not mark.
std::u16string WarningNote(TTileWarning::Kind kind);
// Why an image was left out, in English, for the command line.
std::string ImageLeftOutReason(const TImageLeftOut& left);

}  // namespace plattero
