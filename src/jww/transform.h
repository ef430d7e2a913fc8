#pragma once

// Moving and scaling drawn content: every point p of an entity goes to
// p * k + (dx, dy), and every length that is drawn on the paper (a radius, a
// text's size and spacing, a block reference's scales, an embedded image's
// size) is multiplied by k. Line types, pen widths and colours, angles, an
// ellipse's flattening and tilt stay as they are.
//
// Block definitions are not touched: their entities lie relative to the
// definition, and a reference's insertion point and scales carry them.
//
// With k = 1 the operation adds the offset exactly as appending at an offset
// always did (x + dx), so k = 1 with a zero offset leaves every value as it
// was except a negative zero, which becomes +0.

#include <cstddef>
#include <cstdint>
#include <string>

#include "jww/jww_data.h"
#include "jww/jwwtype.h"

namespace plattero {

struct TMoveScale {
  double k = 1.0;
  double dx = 0.0, dy = 0.0;

  double X(double x) const { return x * k + dx; }
  double Y(double y) const { return y * k + dy; }
  double Length(double d) const { return d * k; }
  bool operator==(const TMoveScale&) const = default;
};

// One function per entity kind.
void MoveAndScale(const TMoveScale& t, TEntJwwLine& e);
void MoveAndScale(const TMoveScale& t, TEntJwwEnko& e);   // centre and radius
void MoveAndScale(const TMoveScale& t, TEntJwwTen& e);    // position only
void MoveAndScale(const TMoveScale& t, TEntJwwMoji& e);   // base line, size, spacing, image size
void MoveAndScale(const TMoveScale& t, TEntJwwSunpo& e);  // line and text; the six parts too
                                                          // when bSxfMode is not 0
// A quadrilateral: its four corners. From nPenStyle 101 on a round solid:
// its centre (start) and radius (end_x); flattening (end_y) and the angles
// stay.
void MoveAndScale(const TMoveScale& t, TEntJwwSolid& e);
void MoveAndScale(const TMoveScale& t, TEntJwwBlock& e);  // insertion point and both scales

// Where each top-level entity list of a document ends: entities appended
// after a mark can be moved and scaled on their own.
struct TEntityMark {
  std::size_t line = 0, enko = 0, ten = 0, moji = 0, sunpo = 0, solid = 0, block = 0;
};
TEntityMark EntityMarkOf(const TJwwData& doc);

// Every top-level entity of the document from `from` on (every one with the
// default mark). Each record is changed once, whatever the entity order
// holds; block definitions and the header are not changed.
void MoveAndScale(TJwwData& doc, const TMoveScale& t, const TEntityMark& from = {});

// An image reference "^@BM<path>,<width>,<height>,..." with width and height
// multiplied by k, written as the shortest decimal that reads back as the
// product ("37.5", "150", never an exponent). Any other text, and a reference
// whose width or height is no finite number, is returned unchanged; so is
// every text when k is 1.
std::u16string ScaleImageText(const std::u16string& str, double k);

// The layer groups whose bit is set in `groups` (bit g for group g) get their
// scale denominator divided by k: 1:100 at k = 1/2 becomes 1:200, so that a
// length drawn k times as long still measures the same. A quotient within
// rounding of a whole number is that number (1:100 at k = 2/3 is 1:150).
void DivideGroupScales(TJwwData& doc, double k, std::uint32_t groups = 0xFFFFu);

}  // namespace plattero
