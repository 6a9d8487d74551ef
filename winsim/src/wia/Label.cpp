// The dot font and the layout of a label.
#include "Label.h"

#include <algorithm>

namespace winsim::wia {
namespace {

constexpr long kGlyphDots = 5;  // a glyph is 5 dots wide and 7 high,
constexpr long kGlyphRows = 7;
constexpr long kCellDots = 6;   // with a dot of space after it

struct Glyph {
  char c;
  unsigned char rows[kGlyphRows];
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
};

}  // namespace

Label::Label(std::string text, long left, long top, long right, long bottom) {
  const long cells = static_cast<long>(text.size()) * kCellDots - 1;
  if (text.empty() || right <= left || bottom <= top) return;
  const long dot = std::min((bottom - top) / kGlyphRows, (right - left) / cells);
  if (dot < 1) return;
  text_ = std::move(text);
  left_ = left;
  top_ = top;
  dot_ = dot;
}

unsigned Label::dots(char c, long row) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.c == c) return glyph.rows[row];
  }
  return 0;  // a space, or a character the font lacks
}

bool Label::inked(long x, long y) const {
  if (text_.empty() || x < left_ || y < top_) return false;
  const long row = (y - top_) / dot_;
  const long column = (x - left_) / dot_;
  const auto glyph = static_cast<size_t>(column / kCellDots);
  const long dot = column % kCellDots;
  if (row >= kGlyphRows || glyph >= text_.size() || dot >= kGlyphDots) return false;
  return (dots(text_[glyph], row) >> (kGlyphDots - 1 - dot)) & 1;
}

void Label::edges(long y, std::vector<long>& breaks) const {
  if (text_.empty() || y < top_ || (y - top_) / dot_ >= kGlyphRows) return;
  const long row = (y - top_) / dot_;
  for (size_t glyph = 0; glyph < text_.size(); ++glyph) {
    const unsigned line = dots(text_[glyph], row);
    for (long dot = 0; dot < kGlyphDots; ++dot) {
      if (!((line >> (kGlyphDots - 1 - dot)) & 1)) continue;
      const long x = left_ + (static_cast<long>(glyph) * kCellDots + dot) * dot_;
      breaks.push_back(x);
      breaks.push_back(x + dot_);
    }
  }
}

}  // namespace winsim::wia
