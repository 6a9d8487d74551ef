// The scanner's test chart and the camera's pictures.
#include "Render.h"

#include <algorithm>
#include <cmath>

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

// The chart at a point of the glass, in 1/1000 inch from its top-left corner. Everything is
// laid out in physical units, so a square is the same size on the glass at any resolution.
Rgb chartAt(long x, long y, long width, long height) {
  constexpr Rgb kBlack{0, 0, 0};
  constexpr Rgb kWhite{255, 255, 255};
  constexpr long kBorder = 60;
  constexpr long kMargin = 800;
  if (x < kBorder || y < kBorder || x >= width - kBorder || y >= height - kBorder) return kBlack;
  // An orientation mark in the top-left corner.
  if (x >= 150 && y >= 150 && (x - 150) + (y - 150) < 500) return kBlack;
  long inner = width - 2 * kMargin;
  // A thin frame around the colour bars and the grey steps, so that their white ends show.
  constexpr long kFrame = 30;
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
    if (y >= 2800 && y < gridBottom) {
      // A red circle over a grid of half-inch squares: any stretch shows as an ellipse.
      double cx = width / 2.0;
      double cy = (2800 + gridBottom) / 2.0;
      double radius = std::min({2500.0, inner / 2.0, (gridBottom - 2800) / 2.0});
      double distance = std::hypot(x - cx, y - cy);
      if (std::fabs(distance - radius) < 40) return {200, 30, 30};
      bool dark = (((x - kMargin) / 500) + ((y - 2800) / 500)) % 2 == 0;
      return dark ? Rgb{40, 60, 120} : Rgb{230, 235, 245};
    }
  }
  return kWhite;
}

uint8_t adjust(uint8_t channel, LONG brightness, LONG contrast) {
  double value = (channel - 128.0) * (1000.0 + contrast) / 1000.0 + 128.0 + brightness * 0.128;
  return static_cast<uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
}

class ChartImage final : public Image {
 public:
  ChartImage(const DeviceSpec& deviceSpec, const ItemSettings& s) : spec_(deviceSpec), s_(s) {}
  LONG width() const override { return s_.xextent; }
  LONG height() const override { return s_.yextent; }
  void row(LONG y, uint8_t* rgb) const override {
    long physicalY = static_cast<long>((s_.ypos + y + 0.5) * 1000.0 / s_.yres);
    bool adjusted = s_.brightness != 0 || s_.contrast != 0;
    for (LONG x = 0; x < s_.xextent; ++x) {
      long physicalX = static_cast<long>((s_.xpos + x + 0.5) * 1000.0 / s_.xres);
      Rgb c = chartAt(physicalX, physicalY, spec_.bedWidth, spec_.bedHeight);
      if (adjusted) {
        c = {adjust(c.r, s_.brightness, s_.contrast), adjust(c.g, s_.brightness, s_.contrast),
             adjust(c.b, s_.brightness, s_.contrast)};
      }
      rgb[3 * x] = c.r;
      rgb[3 * x + 1] = c.g;
      rgb[3 * x + 2] = c.b;
    }
  }

 private:
  const DeviceSpec& spec_;
  ItemSettings s_;
};

// A landscape whose colours, sun and hills depend on the picture's index, with the index
// written in binary along the bottom edge.
class PictureImage final : public Image {
 public:
  PictureImage(unsigned index, LONG width, LONG height)
      : index_(index), width_(width), height_(height) {
    hue_ = std::fmod(index * 0.61803398875, 1.0);
    sunX_ = 0.2 + 0.6 * std::fmod(index * 0.37, 1.0);
    hills_ = 1 + index % 3;
  }
  LONG width() const override { return width_; }
  LONG height() const override { return height_; }
  void row(LONG y, uint8_t* rgb) const override {
    double v = (y + 0.5) / height_;
    for (LONG x = 0; x < width_; ++x) {
      double u = (x + 0.5) / width_;
      Rgb c;
      if (v > 0.92) {
        unsigned bit = static_cast<unsigned>(u * 16);
        c = ((index_ + 1) >> (15 - bit)) & 1 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
      } else if (v > 0.65 + 0.06 * std::sin(u * 6.283185307 * hills_ + hue_ * 6)) {
        c = hsv(hue_ + 0.33, 0.6, 0.35 + 0.2 * v);
      } else if (std::hypot((u - sunX_) * width_ / height_, v - 0.25) < 0.12) {
        c = hsv(hue_ + 0.5, 0.8, 1.0);
      } else {
        c = hsv(hue_, 0.55, 0.95 - 0.4 * v);
      }
      rgb[3 * x] = c.r;
      rgb[3 * x + 1] = c.g;
      rgb[3 * x + 2] = c.b;
    }
  }

 private:
  unsigned index_;
  LONG width_, height_;
  double hue_, sunX_;
  int hills_;
};

}  // namespace

std::unique_ptr<Image> scannerImage(const DeviceSpec& deviceSpec, const ItemSettings& settings) {
  return std::make_unique<ChartImage>(deviceSpec, settings);
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

}  // namespace winsim::wia
