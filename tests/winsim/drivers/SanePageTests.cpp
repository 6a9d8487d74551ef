// Pages put together from frames as SANE sends them: depths, polarity, byte order, line
// padding, chunks, three-pass colour, unknown height, and frames no page can hold.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sane/SanePage.h"

namespace winsim::drivers {
namespace {

// Parameters as a backend writes them; `format` may be one SANE does not define.
SANE_Parameters frame(int format, int depth, int pixels, int lines, int bytesPerLine, bool last = true) {
  SANE_Parameters p{};
  std::memcpy(&p.format, &format, sizeof format);
  p.last_frame = last ? SANE_TRUE : SANE_FALSE;
  p.depth = depth;
  p.pixels_per_line = pixels;
  p.lines = lines;
  p.bytes_per_line = bytesPerLine;
  return p;
}

// One frame's bytes through a page into a raster, `chunk` bytes at a time.
SaneRaster pageOf(const SANE_Parameters& p, const std::vector<uint8_t>& bytes, size_t chunk = 1 << 20) {
  SaneRaster raster;
  SaneRasterSink sink(&raster);
  SanePage page(sink);
  EXPECT_TRUE(page.beginFrame(p).ok());
  for (size_t at = 0; at < bytes.size(); at += chunk)
    EXPECT_TRUE(page.add(bytes.data() + at, std::min(chunk, bytes.size() - at)).ok());
  EXPECT_TRUE(page.endFrame().ok());
  EXPECT_TRUE(page.complete());
  return raster;
}

// One frame through `page` in one piece: its parameters, its bytes, its end. A failure names
// the step and the page's text.
::testing::AssertionResult sendFrame(SanePage& page, const SANE_Parameters& p, const std::vector<uint8_t>& bytes) {
  DriverStatus status = page.beginFrame(p);
  if (status.ok()) status = page.add(bytes.data(), bytes.size());
  if (status.ok()) status = page.endFrame();
  if (status.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << status.call << ": " << status.text;
}

// A sink that takes `rows` rows and fails the next, as a full disk would.
struct FailingSink : SaneRowSink {
  int rows;
  int ended = 0;
  explicit FailingSink(int rows) : rows(rows) {}
  DriverStatus begin(LONG, LONG, int) override { return DriverStatus{}; }
  DriverStatus row(const uint8_t*) override {
    return rows-- > 0 ? DriverStatus{} : driverFailure(HRESULT(0x80070070u), "disk full", "write");
  }
  DriverStatus end(LONG, bool) override {
    ++ended;
    return DriverStatus{};
  }
};

TEST(SanePage, OneBitGreyIsBlackForASetBitAndOneBitColourIsFullIntensity) {
  // Ten pixels from the high bit, a padding byte at the end of each line.
  SaneRaster grey = pageOf(frame(SANE_FRAME_GRAY, 1, 10, 1, 3), {0b10110000, 0b01000000, 0xFF});
  EXPECT_EQ(grey.channels, 1);
  EXPECT_EQ(grey.samples, (std::vector<uint8_t>{0, 255, 0, 0, 255, 255, 255, 255, 255, 0}));

  SaneRaster colour = pageOf(frame(SANE_FRAME_RGB, 1, 3, 1, 2), {0b10001101, 0b00000000});
  EXPECT_EQ(colour.channels, 3);
  EXPECT_EQ(colour.samples, (std::vector<uint8_t>{255, 0, 0, 0, 255, 255, 0, 255, 0}));
}

TEST(SanePage, SixteenBitSamplesInTheMachinesOrderKeepTheirHighByte) {
  std::vector<uint16_t> samples = {0x1234, 0xFFFF, 0x00FF, 0xAB00, 0x8000, 0x7FFF};
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  SaneRaster page = pageOf(frame(SANE_FRAME_RGB, 16, 1, 2, 6), bytes);
  EXPECT_EQ(page.samples, (std::vector<uint8_t>{0x12, 0xFF, 0x00, 0xAB, 0x80, 0x7F}));
  uint8_t rgb[3];
  page.rgbRow(1, rgb);
  EXPECT_EQ(rgb[0], 0xAB);
}

TEST(SanePage, ChunksOfAnySizeAndLinePaddingGiveTheSamePage) {
  std::vector<uint8_t> bytes;
  for (int line = 0; line < 7; ++line) {
    for (int x = 0; x < 5; ++x) bytes.push_back(static_cast<uint8_t>(line * 16 + x));
    bytes.push_back(0xEE);  // padding
    bytes.push_back(0xEE);
  }
  SANE_Parameters p = frame(SANE_FRAME_GRAY, 8, 5, 7, 7);
  SaneRaster whole = pageOf(p, bytes);
  for (size_t chunk : {1, 3, 7, 8, 13}) EXPECT_EQ(pageOf(p, bytes, chunk).samples, whole.samples) << chunk;
  EXPECT_EQ(whole.samples.size(), 35u);
  EXPECT_EQ(whole.samples[5], 16);
  uint8_t rgb[15];
  whole.rgbRow(6, rgb);
  EXPECT_EQ(rgb[12], 100);
  EXPECT_EQ(rgb[14], 100);
}

TEST(SanePage, ThreeColourFramesInAnyOrderMakeOneRgbPage) {
  SaneRaster rgb;
  SaneRasterSink sink(&rgb);
  SanePage page(sink);
  const std::pair<SANE_Frame, uint8_t> frames[] = {{SANE_FRAME_GREEN, 20}, {SANE_FRAME_BLUE, 30}, {SANE_FRAME_RED, 10}};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(page.beginFrame(frame(frames[i].first, 8, 2, 2, 2, i == 2)).ok());
    EXPECT_EQ(page.bytesExpected(), 12u);  // three frames of four bytes
    std::vector<uint8_t> bytes(4, frames[i].second);
    ASSERT_TRUE(page.add(bytes.data(), bytes.size()).ok());
    ASSERT_TRUE(page.endFrame().ok());
    EXPECT_EQ(page.complete(), i == 2);
    EXPECT_EQ(rgb.height, i == 2 ? 2 : 0);  // the rows come with the last colour
  }
  EXPECT_EQ(page.bytesRead(), 12u);
  EXPECT_EQ(rgb.channels, 3);
  EXPECT_EQ(rgb.samples, (std::vector<uint8_t>{10, 20, 30, 10, 20, 30, 10, 20, 30, 10, 20, 30}));
}

TEST(SanePage, APageOfUnknownHeightTakesTheLinesThatCame) {
  SaneRaster raster;
  SaneRasterSink sink(&raster);
  SanePage page(sink);
  ASSERT_TRUE(page.beginFrame(frame(SANE_FRAME_GRAY, 8, 4, -1, 4)).ok());
  EXPECT_EQ(page.bytesExpected(), 0u);
  std::vector<uint8_t> bytes(4 * 9 + 2, 7);  // nine lines and part of a tenth
  ASSERT_TRUE(page.add(bytes.data(), bytes.size()).ok());
  ASSERT_TRUE(page.endFrame().ok());
  EXPECT_EQ(raster.height, 9);
  EXPECT_EQ(raster.samples.size(), 36u);
  EXPECT_FALSE(raster.shortened);
}

TEST(SanePage, AFrameEndingEarlyIsShortenedAndBytesBeyondItsLinesAreDropped) {
  SaneRaster shortened;
  SaneRasterSink shortenedSink(&shortened);
  SanePage early(shortenedSink);
  ASSERT_TRUE(sendFrame(early, frame(SANE_FRAME_GRAY, 8, 2, 10, 2), std::vector<uint8_t>(6, 1)));  // three lines
  EXPECT_EQ(shortened.height, 3);
  EXPECT_TRUE(shortened.shortened);

  SaneRaster full;
  SaneRasterSink fullSink(&full);
  SanePage late(fullSink);
  ASSERT_TRUE(sendFrame(late, frame(SANE_FRAME_GRAY, 8, 2, 2, 2), std::vector<uint8_t>(10, 2)));  // five lines
  EXPECT_EQ(late.bytesRead(), 10u);
  EXPECT_EQ(full.samples.size(), 4u);
  EXPECT_FALSE(full.shortened);
}

TEST(SanePage, ASinkThatFailsStopsThePageWithItsFailure) {
  FailingSink sink(2);
  SanePage page(sink);
  ASSERT_TRUE(page.beginFrame(frame(SANE_FRAME_GRAY, 16, 2, 5, 4)).ok());
  std::vector<uint8_t> bytes(20, 9);
  DriverStatus added = page.add(bytes.data(), bytes.size());
  EXPECT_EQ(added.code, HRESULT(0x80070070u));
  EXPECT_EQ(added.text, "disk full");
  EXPECT_EQ(sink.ended, 0);
}

TEST(SanePage, FramesNoPageCanHoldAreTheDriversFault) {
  SaneRaster raster;
  SaneRasterSink sink(&raster);
  auto refused = [&](const SANE_Parameters& p) {
    SanePage page(sink);
    DriverStatus status = page.beginFrame(p);
    return status.code == WIA_ERROR_INVALID_DRIVER_RESPONSE && !status.text.empty();
  };
  EXPECT_TRUE(refused(frame(SANE_FRAME_GRAY, 4, 10, 10, 10)));        // a depth SANE has not
  EXPECT_TRUE(refused(frame(9, 8, 10, 10, 10)));
  EXPECT_TRUE(refused(frame(SANE_FRAME_RGB, 8, 10, 10, 29)));         // lines shorter than pixels
  EXPECT_TRUE(refused(frame(SANE_FRAME_GRAY, 8, 0, 10, 10)));
  EXPECT_TRUE(refused(frame(SANE_FRAME_GRAY, 8, 10, 0, 10)));
  EXPECT_TRUE(refused(frame(SANE_FRAME_GRAY, 8, 10, -2, 10)));
  EXPECT_TRUE(refused(frame(SANE_FRAME_RGB, 8, 1 << 20, 1 << 20, 3 << 20)));  // 3 TiB

  SanePage mixed(sink);
  const std::vector<uint8_t> bytes(4, 1);
  ASSERT_TRUE(sendFrame(mixed, frame(SANE_FRAME_RED, 8, 2, 2, 2, false), bytes));
  EXPECT_EQ(mixed.beginFrame(frame(SANE_FRAME_RED, 8, 2, 2, 2)).code, WIA_ERROR_INVALID_DRIVER_RESPONSE);
  EXPECT_EQ(mixed.beginFrame(frame(SANE_FRAME_GREEN, 8, 3, 2, 3)).code, WIA_ERROR_INVALID_DRIVER_RESPONSE);
  EXPECT_EQ(mixed.beginFrame(frame(SANE_FRAME_GRAY, 8, 2, 2, 2)).code, WIA_ERROR_INVALID_DRIVER_RESPONSE);

  SanePage empty(sink);
  ASSERT_TRUE(empty.beginFrame(frame(SANE_FRAME_GRAY, 8, 4, 4, 4)).ok());
  ASSERT_TRUE(empty.add(bytes.data(), 3).ok());  // less than a line
  EXPECT_EQ(empty.endFrame().code, WIA_ERROR_INVALID_DRIVER_RESPONSE);

  SanePage done(sink);
  ASSERT_TRUE(sendFrame(done, frame(SANE_FRAME_GRAY, 8, 2, 2, 2), bytes));
  EXPECT_EQ(done.beginFrame(frame(SANE_FRAME_GRAY, 8, 2, 2, 2)).code, WIA_ERROR_INVALID_DRIVER_RESPONSE);
}

}  // namespace
}  // namespace winsim::drivers
