// The scanner model read from options as real backends declare them: resolutions as a
// list or a range, integer or fixed point; areas in millimetres or pixels; the names of
// modes and sources.
#include <gtest/gtest.h>

#include <array>

#include "sane/SaneScannerModel.h"

namespace winsim::drivers {
namespace {

SaneOption number(const char* name, SANE_Value_Type type, SANE_Unit unit, double value) {
  SaneOption option;
  option.name = name;
  option.type = type;
  option.unit = unit;
  option.size = sizeof(SANE_Word);
  option.capabilities = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  option.hasValue = true;
  option.number = value;
  return option;
}

SaneOption ranged(SaneOption option, double min, double max, double quant) {
  option.constraint = SANE_CONSTRAINT_RANGE;
  option.min = min;
  option.max = max;
  option.quant = quant;
  return option;
}

struct Span {
  double min;
  double max;
};

// A scan area's corner options as backends name them, with the values of tl-x, tl-y, br-x
// and br-y in that order; each x within `x`, each y within `y`.
std::vector<SaneOption> corners(SANE_Value_Type type, SANE_Unit unit, const std::array<double, 4>& at, Span x,
                                Span y) {
  const char* const names[] = {"tl-x", "tl-y", "br-x", "br-y"};
  std::vector<SaneOption> options;
  for (size_t i = 0; i < at.size(); ++i) {
    const Span& span = i % 2 == 0 ? x : y;
    options.push_back(ranged(number(names[i], type, unit, at[i]), span.min, span.max, 0));
  }
  return options;
}

SaneOption text(const char* name, const std::string& value, std::vector<std::string> choices) {
  SaneOption option;
  option.name = name;
  option.type = SANE_TYPE_STRING;
  option.size = 64;
  option.capabilities = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  option.constraint = SANE_CONSTRAINT_STRING_LIST;
  option.strings = std::move(choices);
  option.hasValue = true;
  option.text = value;
  return option;
}

TEST(SaneResolutions, AWordListIsAListAndARangeSnapsToItsSteps) {
  SaneOption listed = number("resolution", SANE_TYPE_INT, SANE_UNIT_DPI, 300);
  listed.constraint = SANE_CONSTRAINT_WORD_LIST;
  listed.numbers = {75, 150, 300, 600, 1200};
  SaneResolutions list = scannerModelOf({listed}).resolution;
  EXPECT_TRUE(list.list);
  EXPECT_EQ(list.values, (std::vector<double>{75, 150, 300, 600, 1200}));
  EXPECT_EQ(list.current, 300);
  EXPECT_EQ(list.nearest(200), 150);
  EXPECT_EQ(list.nearest(5000), 1200);

  SaneResolutions range =
      scannerModelOf({ranged(number("resolution", SANE_TYPE_FIXED, SANE_UNIT_DPI, 100), 50, 2400, 25)}).resolution;
  EXPECT_FALSE(range.list);
  EXPECT_EQ(range.nearest(110), 100);
  EXPECT_EQ(range.nearest(113), 125);
  EXPECT_EQ(range.nearest(10), 50);
  EXPECT_EQ(range.nearest(9999), 2400);

  // A device with separate resolutions per axis; an inactive resolution option is none.
  SaneOption inactive = number("resolution", SANE_TYPE_INT, SANE_UNIT_DPI, 300);
  inactive.capabilities |= SANE_CAP_INACTIVE;
  SaneResolutions perAxis =
      scannerModelOf({inactive, ranged(number("x-resolution", SANE_TYPE_INT, SANE_UNIT_DPI, 200), 100, 600, 0)})
          .resolution;
  EXPECT_EQ(perAxis.option, "x-resolution");
  EXPECT_EQ(perAxis.current, 200);
  EXPECT_TRUE(scannerModelOf({inactive}).resolution.option.empty());
}

TEST(SaneWords, FixedPointAndIntegerWordsConvertBothWays) {
  EXPECT_EQ(numberOfWord(SANE_TYPE_FIXED, SANE_FIX(215.9)), SANE_UNFIX(SANE_FIX(215.9)));
  EXPECT_EQ(numberOfWord(SANE_TYPE_INT, 300), 300);
  SANE_Word word = 0;
  ASSERT_TRUE(wordOfNumber(SANE_TYPE_FIXED, 25.4, &word));
  EXPECT_EQ(word, 1664614);  // 25.4 * 65536, rounded
  ASSERT_TRUE(wordOfNumber(SANE_TYPE_INT, 149.6, &word));
  EXPECT_EQ(word, 150);
  EXPECT_FALSE(wordOfNumber(SANE_TYPE_FIXED, 40000, &word));  // beyond a fixed word
  EXPECT_FALSE(wordOfNumber(SANE_TYPE_INT, 1e300, &word));
}

TEST(SaneArea, MillimetresGiveTheBedInThousandthsOfAnInchAndTheAreaInPixels) {
  // A letter-size bed whose x starts 2 mm off the glass's edge.
  std::vector<SaneOption> options = corners(SANE_TYPE_FIXED, SANE_UNIT_MM, {27.4, 0, 129, 254}, {2, 217.9}, {0, 279.4});
  SaneArea area = scannerModelOf(options).area;
  ASSERT_TRUE(area.present);
  EXPECT_TRUE(area.settable);
  EXPECT_EQ(area.bedWidthThousandths(), 8500);
  EXPECT_EQ(area.bedHeightThousandths(), 11000);
  EXPECT_EQ(pixelAreaOf(area, 100), (PixelArea{100, 0, 400, 1000}));
  EXPECT_EQ(pixelAreaOf(area, 300), (PixelArea{300, 0, 1200, 3000}));

  // Options in pixels are taken at the current resolution.
  std::vector<SaneOption> pixels = corners(SANE_TYPE_INT, SANE_UNIT_PIXEL, {0, 0, 400, 600}, {0, 1700}, {0, 2200});
  pixels.insert(pixels.begin(), ranged(number("resolution", SANE_TYPE_INT, SANE_UNIT_DPI, 200), 50, 600, 0));
  SaneArea inPixels = scannerModelOf(pixels).area;
  ASSERT_TRUE(inPixels.present);
  EXPECT_EQ(inPixels.bedWidthThousandths(), 8500);
  EXPECT_EQ(pixelAreaOf(inPixels, 200), (PixelArea{0, 0, 400, 600}));

  // Three corners are no area.
  options.pop_back();
  EXPECT_FALSE(scannerModelOf(options).area.present);
}

TEST(SaneModes, ModeNamesOfRealBackendsReadAsWiaDataTypes) {
  struct Row {
    const char* mode;
    int depth;
    LONG dataType;
    LONG bits;
  };
  for (const Row& row : std::initializer_list<Row>{
           {"Color", 8, WIA_DATA_COLOR, 24},
           {"Colour", 0, WIA_DATA_COLOR, 24},
           {"24bit Color", 0, WIA_DATA_COLOR, 24},
           {"Color", 16, WIA_DATA_COLOR, 48},
           {"Gray", 8, WIA_DATA_GRAYSCALE, 8},
           {"True Gray", 16, WIA_DATA_GRAYSCALE, 16},
           {"Grayscale", 1, WIA_DATA_THRESHOLD, 1},
           {"Lineart", 0, WIA_DATA_THRESHOLD, 1},
           {"Binary", 1, WIA_DATA_THRESHOLD, 1},
           {"Black & White", 0, WIA_DATA_THRESHOLD, 1},
           {"Halftone", 0, WIA_DATA_DITHER, 1},
           {"Color Lineart", 0, WIA_DATA_COLOR_THRESHOLD, 3},
           {"Color Halftone", 0, WIA_DATA_COLOR_DITHER, 3},
       }) {
    std::optional<SaneDataType> type = dataTypeOf(row.mode, row.depth);
    ASSERT_TRUE(type) << row.mode;
    EXPECT_EQ(type->dataType, row.dataType) << row.mode;
    EXPECT_EQ(type->bitsPerPixel, row.bits) << row.mode;
  }
  EXPECT_FALSE(dataTypeOf("Infrared", 8));
  EXPECT_FALSE(dataTypeOf("Color", 12));

  SaneOption depth = number("depth", SANE_TYPE_INT, SANE_UNIT_BIT, 8);
  depth.constraint = SANE_CONSTRAINT_WORD_LIST;
  depth.numbers = {8, 12, 16};
  std::vector<SaneDataType> types = dataTypesOfCurrentMode({text("mode", "Gray", {"Gray", "Color"}), depth});
  ASSERT_EQ(types.size(), 2u);  // 12 bits is no WIA depth
  EXPECT_EQ(types[0].bitsPerPixel, 8);
  EXPECT_EQ(types[1].bitsPerPixel, 16);
  EXPECT_EQ(types[1].depth, 16);
}

TEST(SaneSources, SourceNamesOfRealBackendsReadAsDocumentHandling) {
  for (const char* flatbed : {"Flatbed", "FlatBed", "Normal"}) EXPECT_EQ(documentHandlingOfSource(flatbed), FLATBED);
  for (const char* feeder : {"ADF", "ADF Front", "ADF Back", "Automatic Document Feeder", "Document Feeder",
                             "Automatic Document Feeder(left aligned)"})
    EXPECT_EQ(documentHandlingOfSource(feeder), FEEDER) << feeder;
  for (const char* duplex : {"ADF Duplex", "Duplex", "Automatic Document Feeder(left aligned,Duplex)"})
    EXPECT_EQ(documentHandlingOfSource(duplex), FEEDER | DUPLEX) << duplex;
  for (const char* film : {"Transparency Adapter", "Transparency Unit", "Negative Film", "Slide", "TPU", "XPA"})
    EXPECT_EQ(documentHandlingOfSource(film), 0) << film;

  SaneScannerModel model =
      scannerModelOf({text("source", "ADF Front", {"Flatbed", "ADF Front", "ADF Duplex", "Transparency Unit"})});
  EXPECT_EQ(model.documentHandlingCapabilities(), FLATBED | FEEDER | DUPLEX);
  EXPECT_EQ(model.currentDocumentHandling(), FEEDER);
  ASSERT_TRUE(model.sourceFor(FEEDER | DUPLEX));
  EXPECT_EQ(model.sourceFor(FEEDER | DUPLEX)->name, "ADF Duplex");
  EXPECT_EQ(scannerModelOf({}).documentHandlingCapabilities(), FLATBED);  // no source option
}

}  // namespace
}  // namespace winsim::drivers
