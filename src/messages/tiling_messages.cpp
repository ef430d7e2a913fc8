#include "messages/tiling_messages.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "messages/format_messages.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

// Lists in a line stop after this many entries.
constexpr std::size_t kMaxListed = 8;

char16_t HexDigit(int v) {
  return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + v - 10);
}

// "[1]" for a layer group, "[1-A]" for a layer. Built by appending: GCC 12
// warns falsely (-Wrestrict) about a literal followed by concatenations.
std::u16string LayerName(const TLayerRef& l) {
  std::u16string s(1, u'[');
  s += HexDigit(l.group);
  if (l.layer >= 0) {
    s += u'-';
    s += HexDigit(l.layer);
  }
  s += u']';
  return s;
}

std::string Ascii(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

// "1/100" for a scale of 100; fractions as the shortest decimals.
std::u16string ScaleText(double s) {
  // Spelled out: C libraries print these differently.
  if (std::isnan(s)) return u"1/nan";
  if (std::isinf(s)) return s > 0 ? u"1/inf" : u"1/-inf";
  if (std::fabs(s) < 1e9 && s == std::floor(s)) {
    return u"1/" + IntStr(static_cast<std::int32_t>(s));
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", s);
  const std::string t = buf;
  return u"1/" + std::u16string(t.begin(), t.end());
}

// The entries joined with "、", the first few of them followed by "…" when
// there are more.
std::u16string WarningList(const std::vector<std::u16string>& items) {
  std::u16string out;
  for (std::size_t i = 0; i < items.size() && i < kMaxListed; ++i) {
    if (i) out += u"、";
    out += items[i];
  }
  if (items.size() > kMaxListed) out += u"、…";
  return out;
}

// The same in ASCII for the command line, joined with ", ".
std::string JoinAscii(const std::vector<std::u16string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size() && i < kMaxListed; ++i) {
    if (i) out += ", ";
    out += Ascii(items[i]);
  }
  if (items.size() > kMaxListed) out += ", ...";
  return out;
}

std::vector<std::u16string> LayerNames(const std::vector<TLayerRef>& layers) {
  std::vector<std::u16string> names;
  for (const TLayerRef& l : layers)
    names.push_back(LayerName(l));
  return names;
}

std::u16string Quoted(const std::u16string& name) {
  return u"「" + DisplayText(name) + u"」";
}

std::u16string ImageProblem(const TImageLeftOut& image) {
  switch (image.kind) {
    case TImageLeftOut::kUnusableName:
      return u"ファイル名として使えない名前です。";
    case TImageLeftOut::kNameWithNul:
      return u"名前に NUL 文字が含まれています。";
    case TImageLeftOut::kNotWritten: {
      // No reason given: it could be neither moved nor copied.
      platform::TFileStatus status = image.status;
      if (status.ok()) status.error = platform::TFileError::kOther;
      return FileErrorReason(status);
    }
    case TImageLeftOut::kCut:
      return u"図面が画像の途中で終わっています。";
    case TImageLeftOut::kNotUnpacked:
      return image.status.ok() ? u"圧縮データを展開できません。" : FileErrorReason(image.status);
    case TImageLeftOut::kOverLimit:
      return u"展開すると大きさが上限を超えます。";
  }
  return {};
}

std::string PaperReason(const TTileWarning& w) {
  auto mm = [](double v) { return std::to_string(static_cast<int>(v)); };
  return "paper " + mm(w.paper.papx) + " x " + mm(w.paper.papy) + " mm, tiles " +
         mm(w.tile_paper.papx) + " x " + mm(w.tile_paper.papy) + " mm";
}

std::string ScaleReason(const std::vector<TGroupScale>& scales) {
  std::string reason;
  for (std::size_t i = 0; i < scales.size() && i < kMaxListed; ++i) {
    if (i) reason += ", ";
    reason += "group " + std::string(1, static_cast<char>(HexDigit(scales[i].group))) + " at " +
              Ascii(ScaleText(scales[i].scale)) + ", base " +
              Ascii(ScaleText(scales[i].base_scale));
  }
  return reason + (scales.size() > kMaxListed ? ", ..." : "");
}

std::string RenameReason(const std::vector<TBlockRename>& blocks) {
  if (blocks.empty()) return {};
  std::string reason = "block \"" + Utf16ToUtf8(DisplayText(blocks[0].name)) + "\" is now \"" +
                       Utf16ToUtf8(DisplayText(blocks[0].new_name)) + "\"";
  if (blocks.size() > 1) reason += " and " + std::to_string(blocks.size() - 1) + " more";
  return reason + ": an earlier block of that name has other contents";
}

}  // namespace

// --- Papers and fields ------------------------------------------------------------

std::u16string PaperCaption(std::int32_t nZumen) {
  switch (nZumen) {
    case 1:
      return u"（A1）";
    case 2:
      return u"（A2）";
    case 3:
      return u"（A3）";
    case 4:
      return u"（A4）";
    case 8:
      return u"（2A）";
    case 9:
      return u"（3A）";
    case 10:
      return u"（4A）";
    case 11:
      return u"（5A）";
    case 12:
      return u"（10m）";
    case 13:
      return u"（50m）";
    case 14:
      return u"（100m）";
    default:
      return u"（A0）";
  }
}

std::u16string CountLabel(TOrder order) {
  return StepsByColumns(order) ? u"縦数：" : u"横数：";
}

std::u16string ReenterMessage(std::u16string_view caption) {
  return std::u16string(caption) + u" の数値を再入力して下さい。";
}

std::u16string RefusalMessage(TRefusal refusal, std::u16string_view count_label) {
  switch (refusal) {
    case TRefusal::kNoFiles:
      return u"図面ファイルを[追加]して下さい";
    case TRefusal::kNoBase:
      return u"ベース図面を指定して下さい";
    case TRefusal::kBaseMissing:
      return kBaseMissingMessage;
    case TRefusal::kBaseNotDrawing:
      return kBaseNotDrawingMessage;
    case TRefusal::kCount:
      return ReenterMessage(count_label);
    case TRefusal::kGapX:
      return ReenterMessage(kGapXCaption);
    case TRefusal::kGapY:
      return ReenterMessage(kGapYCaption);
  }
  return {};
}

// --- Saving ------------------------------------------------------------------------

std::u16string FileErrorReason(const platform::TFileStatus& status) {
  using platform::TFileError;
  switch (status.error) {
    case TFileError::kNone:
      return {};
    case TFileError::kNotFound:
      return u"ファイルまたはフォルダーが見つかりません。";
    case TFileError::kPermission:
      return u"アクセスが拒否されました。";
    case TFileError::kNoSpace:
      return u"ディスクの空き容量が足りません。";
    case TFileError::kTooLarge:
      return u"ファイルが大きすぎます（ファイルサイズの上限を超えます）。";
    case TFileError::kNameTooLong:
      return u"ファイル名が長すぎます。";
    case TFileError::kNotRegular:
      return u"通常のファイルではありません（デバイス、FIFO など）。";
    case TFileError::kIsFolder:
      return u"同じ名前のフォルダーがあります。";
    case TFileError::kInUse:
      return u"ほかのプログラムが使用中です。";
    case TFileError::kSameFile:
      return u"読み込む図面と同じファイルです。";
    case TFileError::kOther:
      break;
  }
  return u"ファイルを書き込めませんでした。";
}

std::u16string SavedLine(const std::u16string& file) {
  return u"図面ファイル「" + DisplayText(file) + u"」を保存しました。";
}

std::u16string SaveFailedLine(const std::u16string& file) {
  return u"図面ファイル「" + DisplayText(file) + u"」の保存に失敗しました。";
}

std::u16string FactorText(double k) {
  // The factors of common reductions are small fractions.
  for (int d = 1; d <= 20 && k > 0 && k <= 1; ++d) {
    const double n = k * d;
    if (n >= 1 && std::fabs(n - std::round(n)) < 1e-9 * d) {
      const std::u16string num = IntStr(static_cast<std::int32_t>(std::round(n)));
      return d == 1 ? num : num + u"/" + IntStr(d);
    }
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", k);
  const std::string t = buf;
  return std::u16string(t.begin(), t.end());
}

std::u16string GroupsNote(const std::vector<TGroupPlaced>& placed) {
  std::u16string note;
  std::vector<int> listed;
  for (const TGroupPlaced& g : placed) {
    if (g.to == g.from || std::find(listed.begin(), listed.end(), g.to) != listed.end()) continue;
    listed.push_back(g.to);
    note += (note.empty() ? u"" : u"、") + LayerName({g.to, -1}) + u" " + ScaleText(g.scale);
  }
  return note;
}

std::u16string SheetLabel(const TPaperFit& fit) {
  std::u16string label = u"用紙" + PaperCaption(fit.nZumen);
  if (fit.k != 1) label += u" 縮小 " + FactorText(fit.k);
  return label;
}

std::u16string PaperLines(const TTilingReport& report) {
  if (!report.paper) return {};
  std::u16string lines = u"用紙" + PaperCaption(report.paper->nZumen) + u"に配置しました。";
  if (report.paper->k != 1) {
    std::vector<std::u16string> scales;
    for (const TGroupScale& s : report.reduced_scales)
      scales.push_back(LayerName({s.group, -1}) + u" " + ScaleText(s.scale));
    lines += u"\n縮小 " + FactorText(report.paper->k);
    if (!scales.empty()) lines += u"（" + WarningList(scales) + u"）";
  }
  return lines;
}

std::u16string SaveMessage(const TSaveResult& saved, const TTilingReport& report) {
  if (!saved.ok) {
    std::u16string message = SaveFailedLine(saved.file);
    const std::u16string reason = FileErrorReason(saved.status);
    if (!reason.empty()) message += u"\n" + reason;
    return message;
  }
  std::u16string message = SavedLine(saved.file);
  if (const std::u16string paper = PaperLines(report); !paper.empty()) message += u"\n" + paper;
  for (const auto* list : {&report.notices, &report.warnings}) {
    for (const TTileWarning& w : *list)
      message += u"\n" + WarningLine(w);
  }
  return message;
}

// --- Report items ------------------------------------------------------------------

std::u16string WarningLine(const TTileWarning& w) {
  const std::u16string drawing = u"図面ファイル「" + DisplayText(w.file) + u"」";
  switch (w.kind) {
    case TTileWarning::kMissing:
      return drawing + u"が見つからないため、追加しませんでした。";
    case TTileWarning::kPartlyRead:
      return drawing + u"は一部しか読み込めませんでした。";
    case TTileWarning::kBasePartlyRead:
      return u"ベース図面「" + DisplayText(w.file) + u"」は一部しか読み込めませんでした。";
    case TTileWarning::kImageLeftOut:
      return drawing + u"の画像「" + DisplayText(w.image.name) + u"」は結合できませんでした。" +
             ImageProblem(w.image);
    case TTileWarning::kDanglingBlock:
      return drawing + u"には定義のないブロックへの参照があります（参照先のないまま残しました）。";
    case TTileWarning::kNotDrawing:
      return u"「" + DisplayText(w.file) + u"」は図面ファイルではありません。";
    case TTileWarning::kPaperSize:
      return drawing + u"の用紙" + PaperCaption(w.paper.nZumen) + u"はベース図面の用紙" +
             PaperCaption(w.tile_paper.nZumen) + u"と異なります。";
    case TTileWarning::kBeyondCell:
      return drawing + u"の図形が用紙からはみ出し、隣の図面に重なります。";
    case TTileWarning::kScale: {
      std::vector<std::u16string> scales;
      for (const TGroupScale& s : w.scales) {
        scales.push_back(LayerName({s.group, -1}) + u" " + ScaleText(s.scale) + u"→" +
                         ScaleText(s.base_scale));
      }
      return drawing + u"の縮尺がベース図面と異なります（" + WarningList(scales) + u"）。";
    }
    case TTileWarning::kHidden:
      return drawing + u"の図形の一部はベース図面で非表示のレイヤにあり、表示されません（" +
             WarningList(LayerNames(w.layers)) + u"）。";
    case TTileWarning::kUnhidden:
      return drawing + u"で非表示のレイヤの図形が表示されます（" +
             WarningList(LayerNames(w.layers)) + u"）。";
    case TTileWarning::kOverlap:
      return drawing + u"は " +
             IntStr(static_cast<std::int32_t>(std::min<std::size_t>(w.other_tile + 1, INT32_MAX))) +
             u" 番目の図面と重なる位置に置かれます（間隔が負の値です）。";
    case TTileWarning::kBlockRenamed: {
      std::vector<std::u16string> pairs;
      for (const TBlockRename& b : w.blocks)
        pairs.push_back(Quoted(b.name) + u"→" + Quoted(b.new_name));
      return drawing + u"のブロック" + WarningList(pairs) +
             u"は、同じ名前で内容の異なるブロックが先にあるため、名前を変えて結合しました。";
    }
    case TTileWarning::kSameAsBase:
      return drawing + u"はベース図面と同じファイルのため、重ねて追加しませんでした。";
    case TTileWarning::kGroups: {
      std::vector<std::u16string> groups;
      for (const TGroupPlaced& g : w.placed) {
        groups.push_back(LayerName({g.from, -1}) + u"→" + LayerName({g.to, -1}) + u" " +
                         ScaleText(g.scale));
      }
      return drawing + u"のレイヤグループ：" + WarningList(groups);
    }
    case TTileWarning::kNoFreeGroup: {
      std::vector<std::u16string> scales;
      for (const TGroupScale& s : w.scales)
        scales.push_back(LayerName({s.group, -1}) + u" " + ScaleText(s.scale));
      return drawing + u"のレイヤグループ" + WarningList(scales) +
             u"は、空いているレイヤグループが残っていないため、縮尺の異なる同じ番号のグループに"
             u"置きました。";
    }
    case TTileWarning::kPaperTooSmall:
      return u"用紙" + PaperCaption(w.paper.nZumen) + u"には縮小 " + FactorText(w.reduction) +
             u" でも収まりません。";
  }
  return {};
}

std::string WarningReason(const TTileWarning& w) {
  switch (w.kind) {
    case TTileWarning::kMissing:
    case TTileWarning::kSameAsBase:
      return {};
    case TTileWarning::kPartlyRead:
    case TTileWarning::kBasePartlyRead:
    case TTileWarning::kNotDrawing:
      return ReadFailureText(w.read);
    case TTileWarning::kImageLeftOut:
      return ImageLeftOutReason(w.image);
    case TTileWarning::kDanglingBlock:
      return std::to_string(w.references) + " block reference(s) without definition";
    case TTileWarning::kPaperSize:
      return PaperReason(w);
    case TTileWarning::kBeyondCell:
      return "its content leaves its paper and reaches into the cell of tile " +
             std::to_string(w.other_tile + 1);
    case TTileWarning::kScale:
      return ScaleReason(w.scales);
    case TTileWarning::kHidden:
      return "entities on layers the base drawing hides: " + JoinAscii(LayerNames(w.layers));
    case TTileWarning::kUnhidden:
      return "entities on layers it hides that the base drawing shows: " +
             JoinAscii(LayerNames(w.layers));
    case TTileWarning::kOverlap:
      return "its cell overlaps the cell of tile " + std::to_string(w.other_tile + 1) +
             " (a negative gap)";
    case TTileWarning::kBlockRenamed:
      return RenameReason(w.blocks);
    case TTileWarning::kGroups: {
      std::string reason;
      for (std::size_t i = 0; i < w.placed.size() && i < kMaxListed; ++i) {
        const TGroupPlaced& g = w.placed[i];
        if (i) reason += ", ";
        reason += "group " + std::string(1, static_cast<char>(HexDigit(g.from))) + " to " +
                  std::string(1, static_cast<char>(HexDigit(g.to))) + " at " +
                  Ascii(ScaleText(g.scale));
      }
      return reason + (w.placed.size() > kMaxListed ? ", ..." : "");
    }
    case TTileWarning::kNoFreeGroup:
      return "no free layer group left: " + ScaleReason(w.scales);
    case TTileWarning::kPaperTooSmall:
      return "the arrangement does not fit even reduced by " + Ascii(FactorText(w.reduction));
  }
  return {};
}

std::u16string WarningNote(TTileWarning::Kind kind) {
  switch (kind) {
    case TTileWarning::kPaperSize:
      return u"用紙違い";
    case TTileWarning::kBeyondCell:
      return u"はみ出し";
    case TTileWarning::kScale:
      return u"縮尺違い";
    case TTileWarning::kHidden:
      return u"非表示になる図形";
    case TTileWarning::kUnhidden:
      return u"表示される図形";
    case TTileWarning::kOverlap:
      return u"重なり";
    case TTileWarning::kNoFreeGroup:
      return u"空きグループなし";
    default:
      return {};
  }
}

std::string ImageLeftOutReason(const TImageLeftOut& left) {
  switch (left.kind) {
    case TImageLeftOut::kUnusableName:
      return "its name cannot be a file name";
    case TImageLeftOut::kNameWithNul:
      return "its name holds a NUL character";
    case TImageLeftOut::kNotWritten:
      // No reason given: it could be neither moved nor copied.
      return left.status.ok() ? "could not be copied" : platform::FileErrorText(left.status);
    case TImageLeftOut::kCut:
      return "the drawing ends inside the image";
    case TImageLeftOut::kNotUnpacked:
      return left.status.ok() ? "its compressed data is damaged"
                              : platform::FileErrorText(left.status);
    case TImageLeftOut::kOverLimit:
      return "it would unpack to more than the limit";
  }
  return {};
}

}  // namespace plattero
