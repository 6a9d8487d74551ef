// The scanner's test chart and the camera's pictures.
#include "Render.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "Label.h"

namespace winsim::wia {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

Rgb hsv(double hue, double saturation, double value) {
  double h = std::fmod(hue, 1.0) * 6.0;
  int sector = static_cast<int>(h) % 6;
  double f = h - std::floor(h);
  double p = value * (1 - saturation);
  double q = value * (1 - saturation * f);
  double t = value * (1 - saturation * (1 - f));
  double r = 0, g = 0, b = 0;
  switch (sector) {
    case 0: r = value, g = t, b = p; break;
    case 1: r = q, g = value, b = p; break;
    case 2: r = p, g = value, b = t; break;
    case 3: r = p, g = q, b = value; break;
    case 4: r = t, g = p, b = value; break;
    default: r = value, g = p, b = q; break;
  }
  auto byte = [](double c) { return static_cast<uint8_t>(std::clamp(c * 255.0 + 0.5, 0.0, 255.0)); };
  return {byte(r), byte(g), byte(b)};
}

// The geometry of the chart on a bed of `width` by `height` (1/1000 inch): the frame around
// the colour bars and grey steps, and the red circle over the grid.
constexpr long kBorder = 60;
constexpr long kMargin = 800;
constexpr long kFrame = 30;
constexpr long kGridTop = 2800;
constexpr long kGridSquare = 500;
constexpr double kRingHalfWidth = 40;

struct Circle {
  double cx, cy, radius;
};

// The glass the chart is printed on and the label over it, for the chart's functions below.
struct Chart {
  long width, height;
  Label label;
};

// The box of a page's label: the white band right of the orientation mark, above the
// colour bars; rowBand treats its rows as rows that differ from every other.
constexpr long kLabelTop = 150;
constexpr long kLabelBottom = 650;

Circle circleOn(long width, long height) {
  const long inner = width - 2 * kMargin;
  const long gridBottom = height - kMargin;
  return {width / 2.0, (kGridTop + gridBottom) / 2.0,
          std::min({2500.0, inner / 2.0, (gridBottom - kGridTop) / 2.0})};
}

// The chart at a point of the glass, in 1/1000 inch from its top-left corner. Everything is
// laid out in physical units, so a square is the same size on the glass at any resolution.
// Rows are drawn as spans between the places where this can change (chartBreaks), so it is
// called a few dozen times per row, not once per pixel.
Rgb chartAt(long x, long y, const Chart& chart) {
  constexpr Rgb kBlack{0, 0, 0};
  constexpr Rgb kWhite{255, 255, 255};
  const long width = chart.width;
  const long height = chart.height;
  if (x < kBorder || y < kBorder || x >= width - kBorder || y >= height - kBorder) return kBlack;
  if (chart.label.inked(x, y)) return kBlack;
  // An orientation mark in the top-left corner.
  if (x >= 150 && y >= 150 && (x - 150) + (y - 150) < 500) return kBlack;
  long inner = width - 2 * kMargin;
  // A thin frame around the colour bars and the grey steps, so that their white ends show.
  bool aroundX = x >= kMargin - kFrame && x < width - kMargin + kFrame;
  bool insideX = x >= kMargin && x < width - kMargin;
  bool barsFrame = y >= 800 - kFrame && y < 1800 + kFrame && !(insideX && y >= 800 && y < 1800);
  bool stepsFrame = y >= 2000 - kFrame && y < 2500 + kFrame && !(insideX && y >= 2000 && y < 2500);
  if (inner > 0 && aroundX && (barsFrame || stepsFrame)) return kBlack;
  if (insideX && inner > 0) {
    if (y >= 800 && y < 1800) {
      static constexpr Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                      {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
      return kBars[(x - kMargin) * 8 / inner];
    }
    if (y >= 2000 && y < 2500) {
      auto level = static_cast<uint8_t>((x - kMargin) * 16 / inner * 17);
      return {level, level, level};
    }
    long gridBottom = height - kMargin;
    if (y >= kGridTop && y < gridBottom) {
      // A red circle over a grid of half-inch squares: any stretch shows as an ellipse.
      const Circle circle = circleOn(width, height);
      const double dx = x - circle.cx;
      const double dy = y - circle.cy;
      const double distance = std::sqrt(dx * dx + dy * dy);
      if (std::fabs(distance - circle.radius) < kRingHalfWidth) return {200, 30, 30};
      bool dark = (((x - kMargin) / kGridSquare) + ((y - kGridTop) / kGridSquare)) % 2 == 0;
      return dark ? Rgb{40, 60, 120} : Rgb{230, 235, 245};
    }
  }
  return kWhite;
}

// Every x at which chartAt(x, y) may differ from chartAt(x - 1, y), for one row y, in no
// particular order and possibly repeated. Between two of them the chart is one colour.
void chartBreaks(long y, const Chart& chart, std::vector<long>& breaks) {
  const long width = chart.width;
  const long height = chart.height;
  breaks.clear();
  chart.label.edges(y, breaks);
  const long inner = width - 2 * kMargin;
  breaks.insert(breaks.end(), {kBorder, width - kBorder, 150, 800 - y, kMargin - kFrame, kMargin,
                               width - kMargin, width - kMargin + kFrame});
  if (inner <= 0) return;
  for (long k = 1; k < 8; ++k) breaks.push_back(kMargin + (k * inner + 7) / 8);
  for (long k = 1; k < 16; ++k) breaks.push_back(kMargin + (k * inner + 15) / 16);
  for (long x = kMargin + kGridSquare; x < width - kMargin; x += kGridSquare) breaks.push_back(x);
  // The ring's edges, where the distance from the centre crosses radius -/+ its half width;
  // a few neighbours are added so that rounding in the square root cannot miss one.
  const Circle circle = circleOn(width, height);
  const double dy = y - circle.cy;
  for (double edge : {circle.radius - kRingHalfWidth, circle.radius + kRingHalfWidth}) {
    const double squared = edge * edge - dy * dy;
    if (edge <= 0 || squared < 0) continue;
    const double half = std::sqrt(squared);
    for (double at : {circle.cx - half, circle.cx + half}) {
      const long first = static_cast<long>(std::floor(at));
      for (long x = first - 1; x <= first + 2; ++x) breaks.push_back(x);
    }
  }
}

// Rows of the same band are the same: a number for row y such that two rows with the same
// number get the same colour at every x from chartAt, or -1 for a row that may differ from
// all others (through the orientation mark or the ring). The number says where y lies
// against every height chartAt compares it with, and which row of grid squares it is in.
long rowBand(long y, const Chart& chart) {
  const long width = chart.width;
  const long height = chart.height;
  if (y >= 150 && y < 650) return -1;  // the mark's diagonal edge, and the label
  const long gridBottom = height - kMargin;
  const bool inGrid = y >= kGridTop && y < gridBottom;
  const Circle circle = circleOn(width, height);
  if (inGrid && std::fabs(y - circle.cy) < circle.radius + kRingHalfWidth + 1) return -1;
  const long heights[] = {kBorder, 150, 650, 800 - kFrame, 800, 1800, 1800 + kFrame, 2000 - kFrame,
                          2000, 2500, 2500 + kFrame, kGridTop, gridBottom, height - kBorder};
  long below = 0;
  for (long h : heights) below += y >= h ? 1 : 0;
  const long squareRow = inGrid ? ((y - kGridTop) / kGridSquare) % 2 : 0;
  return below * 2 + squareRow;
}

// Pixels [from, to) of an RGB row in one colour: short spans pixel by pixel, long ones as
// the first 16 pixels and then copies that double.
void fillSpan(uint8_t* rgb, size_t from, size_t to, Rgb c) {
  constexpr size_t kShort = 16;
  uint8_t* start = rgb + 3 * from;
  const size_t first = std::min(to - std::min(from, to), kShort);
  for (size_t x = 0; x < first; ++x) {
    start[3 * x] = c.r;
    start[3 * x + 1] = c.g;
    start[3 * x + 2] = c.b;
  }
  if (first < kShort) return;
  const size_t total = 3 * (to - from);
  for (size_t done = 3 * kShort; done < total;) {
    const size_t chunk = std::min(done, total - done);
    std::memcpy(start + done, start, chunk);
    done += chunk;
  }
}

class ChartImage final : public Image {
 public:
  ChartImage(const Glass& glass, const ItemSettings& s, std::string label)
      : chart_{glass.width, glass.height,
               Label(std::move(label), kMargin, kLabelTop, glass.width - kMargin, kLabelBottom)},
        s_(s) {
    // The glass position of each column, computed once for all rows (nondecreasing in x).
    physicalX_.resize(static_cast<size_t>(std::max<LONG>(s_.xextent, 0)));
    for (size_t x = 0; x < physicalX_.size(); ++x) {
      physicalX_[x] = static_cast<long>((s_.xpos + static_cast<LONG>(x) + 0.5) * 1000.0 / s_.xres);
    }
  }
  LONG width() const override { return s_.xextent; }
  LONG height() const override { return s_.yextent; }
  void row(LONG y, uint8_t* rgb) const override {
    if (physicalX_.empty()) return;
    long physicalY = static_cast<long>((s_.ypos + y + 0.5) * 1000.0 / s_.yres);
    const long band = rowBand(physicalY, chart_);
    const size_t bytes = 3 * physicalX_.size();
    if (band != -1 && band == lastBand_) {
      std::memcpy(rgb, lastRow_.data(), bytes);
      return;
    }
    drawRow(physicalY, rgb);
    if (band != -1) {
      lastRow_.assign(rgb, rgb + bytes);
      lastBand_ = band;
    }
  }

 private:
  void drawRow(long physicalY, uint8_t* rgb) const {
    bool adjusted = s_.brightness != 0 || s_.contrast != 0;
    chartBreaks(physicalY, chart_, breaks_);
    std::sort(breaks_.begin(), breaks_.end());
    // Walks the spans of one colour left to right; each covers the columns whose glass
    // position lies in [spanStart, next break).
    size_t column = 0;
    long spanStart = physicalX_.front();
    auto next = std::upper_bound(breaks_.begin(), breaks_.end(), spanStart);
    while (column < physicalX_.size()) {
      size_t end = physicalX_.size();
      long spanEnd = 0;
      if (next != breaks_.end()) {
        spanEnd = *next;
        end = static_cast<size_t>(std::lower_bound(physicalX_.begin() + column, physicalX_.end(), spanEnd) -
                                  physicalX_.begin());
      }
      if (end > column) {
        Rgb c = chartAt(spanStart, physicalY, chart_);
        if (adjusted) {
          c = {adjustedChannel(c.r, s_.brightness, s_.contrast), adjustedChannel(c.g, s_.brightness, s_.contrast),
               adjustedChannel(c.b, s_.brightness, s_.contrast)};
        }
        fillSpan(rgb, column, end, c);
        column = end;
      }
      if (next == breaks_.end()) break;
      spanStart = spanEnd;
      next = std::upper_bound(next, breaks_.end(), spanStart);
    }
  }

  const Chart chart_;
  ItemSettings s_;
  std::vector<long> physicalX_;
  // Scratch of row(): the breaks of a row, and the last row drawn of a band with its number.
  mutable std::vector<long> breaks_;
  mutable std::vector<uint8_t> lastRow_;
  mutable long lastBand_ = -1;
};

// A landscape whose colours, sun and hills depend on the picture's index, with the index
// written in binary along the bottom edge. What depends on the column alone (the hill line,
// the distance from the sun's centre, the bit) is computed once per picture, and the colours
// once per row.
class PictureImage final : public Image {
 public:
  PictureImage(unsigned index, LONG width, LONG height)
      : index_(index), width_(width), height_(height) {
    hue_ = std::fmod(index * 0.61803398875, 1.0);
    sunX_ = 0.2 + 0.6 * std::fmod(index * 0.37, 1.0);
    hills_ = 1 + index % 3;
    sun_ = hsv(hue_ + 0.5, 0.8, 1.0);
    const size_t columns = static_cast<size_t>(std::max<LONG>(width_, 0));
    hillLine_.resize(columns);
    sunDx_.resize(columns);
    bit_.resize(columns);
    for (size_t x = 0; x < columns; ++x) {
      double u = (static_cast<LONG>(x) + 0.5) / width_;
      bit_[x] = static_cast<unsigned>(u * 16);
      hillLine_[x] = 0.65 + 0.06 * std::sin(u * 6.283185307 * hills_ + hue_ * 6);
      sunDx_[x] = (u - sunX_) * width_ / height_;
    }
  }
  LONG width() const override { return width_; }
  LONG height() const override { return height_; }
  void row(LONG y, uint8_t* rgb) const override {
    double v = (y + 0.5) / height_;
    const size_t columns = bit_.size();
    if (v > 0.92) {
      constexpr Rgb kWhite{255, 255, 255};
      constexpr Rgb kBlack{0, 0, 0};
      for (size_t x = 0; x < columns; ++x) {
        put(rgb, x, ((index_ + 1) >> (15 - bit_[x])) & 1 ? kWhite : kBlack);
      }
      return;
    }
    const Rgb hill = hsv(hue_ + 0.33, 0.6, 0.35 + 0.2 * v);
    const Rgb sky = hsv(hue_, 0.55, 0.95 - 0.4 * v);
    const double dv = v - 0.25;
    const bool sunRow = std::fabs(dv) < kSunRadius;
    for (size_t x = 0; x < columns; ++x) {
      Rgb c = sky;
      if (v > hillLine_[x]) {
        c = hill;
      } else if (sunRow && std::fabs(sunDx_[x]) < kSunRadius &&
                 std::sqrt(sunDx_[x] * sunDx_[x] + dv * dv) < kSunRadius) {
        c = sun_;
      }
      put(rgb, x, c);
    }
  }

 private:
  static constexpr double kSunRadius = 0.12;

  static void put(uint8_t* rgb, size_t x, Rgb c) {
    rgb[3 * x] = c.r;
    rgb[3 * x + 1] = c.g;
    rgb[3 * x + 2] = c.b;
  }

  unsigned index_;
  LONG width_, height_;
  double hue_, sunX_;
  int hills_;
  Rgb sun_;
  std::vector<double> hillLine_, sunDx_;
  std::vector<unsigned> bit_;
};

}  // namespace

std::unique_ptr<Image> scannerImage(const Glass& glass, const ItemSettings& settings, std::string label) {
  return std::make_unique<ChartImage>(glass, settings, std::move(label));
}

std::unique_ptr<Image> cameraImage(unsigned index, LONG width, LONG height) {
  return std::make_unique<PictureImage>(index, width, height);
}

std::vector<long long> thumbnailBytes(unsigned index, LONG width, LONG height) {
  PictureImage image(index, width, height);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  std::vector<long long> bytes;
  bytes.reserve(rgb.size() * height);
  for (LONG y = 0; y < height; ++y) {
    image.row(y, rgb.data());
    for (LONG x = 0; x < width; ++x) {
      bytes.push_back(rgb[3 * x + 2]);
      bytes.push_back(rgb[3 * x + 1]);
      bytes.push_back(rgb[3 * x]);
    }
  }
  return bytes;
}

uint8_t adjustedChannel(uint8_t channel, LONG brightness, LONG contrast) {
  double value = (channel - 128.0) * (1000.0 + contrast) / 1000.0 + 128.0 + brightness * 0.128;
  return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

}  // namespace winsim::wia
