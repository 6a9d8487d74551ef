// A line of capitals and digits in a dot font of 5 x 7 dots, laid out on the glass in
// 1/1000 inch: what tells the pages of a feeder apart on the test chart ("SHEET 12 BACK").
// Drawn like the chart, as spans: a row asks where its ink starts and ends.
#pragma once

#include <string>
#include <vector>

namespace winsim::wia {

class Label {
 public:
  Label() = default;  // no text
  // `text` as large as fits the box [left, right) x [top, bottom); no text when it cannot.
  Label(std::string text, long left, long top, long right, long bottom);

  bool empty() const { return text_.empty(); }
  // Whether the point (x, y) of the glass is ink.
  bool inked(long x, long y) const;
  // Adds every x of row y at which ink starts or ends.
  void edges(long y, std::vector<long>& breaks) const;

 private:
  // The row of dots of glyph row `row` for `c`: bit 4 is the leftmost dot.
  static unsigned dots(char c, long row);

  std::string text_;
  long left_ = 0;
  long top_ = 0;
  long dot_ = 0;  // the side of one dot
};

}  // namespace winsim::wia
