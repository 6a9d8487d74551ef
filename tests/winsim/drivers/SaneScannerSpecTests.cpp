// A SANE device's model as the WIA scanner the service serves, from models as real backends
// give them: resolutions that are fractions or beyond a JPEG's size, lists with odd values,
// sheet-fed and duplex scanners, film units, modes WIA has no data type for; and the SANE
// settings that a page's WIA settings ask for.
#include <gtest/gtest.h>

#include "service/DriverDeviceId.h"
#include "service/SaneScannerSpec.h"

namespace winsim::drivers {
namespace {

const SaneDeviceInfo kDevice{"pixma:04A91234_0001", "CANON", "Canon PIXMA MX920", "multi-function peripheral"};

SaneScannerModel flatbed() {
  SaneScannerModel model;
  model.resolution.option = "resolution";
  model.resolution.min = 75;
  model.resolution.max = 1200;
  model.resolution.step = 75;
  model.dataTypes = {{WIA_DATA_COLOR, 24, "Color", 8}, {WIA_DATA_GRAYSCALE, 8, "Gray", 8}};
  model.area = {true, true, 0, 0, 215.9, 297, 0, 0, 215.9, 297};
  return model;
}

TEST(SaneScannerSpec, TheDeviceInformationNamesTheDeviceByItsSaneName) {
  DeviceSpec info = saneDeviceInfo(kDevice);
  EXPECT_EQ(info.id, "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:pixma:04A91234_0001");
  EXPECT_EQ(info.name, "CANON Canon PIXMA MX920");
  EXPECT_EQ(info.description, "multi-function peripheral");
  EXPECT_EQ(info.port, "pixma:04A91234_0001");
  EXPECT_EQ(saneDeviceInfo({"net:host:test:0", "", "", ""}).name, "net:host:test:0");
  // The part after the last backslash names the items: a backslash in a name cannot split it.
  EXPECT_EQ(driverDeviceId("sane", "odd\\name%"), "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\sane:odd%5Cname%25");
}

TEST(SaneScannerSpec, ResolutionsAreWholeDotsPerInchWithinTheLargestImage) {
  DeviceSpec d = saneScannerSpec(kDevice, flatbed());
  EXPECT_TRUE(d.resolutions.empty());
  EXPECT_EQ(d.resolutionMin, 75);
  EXPECT_EQ(d.resolutionMax, 1200);
  EXPECT_EQ(d.resolutionStep, 75);
  EXPECT_EQ(d.resolutionNominal, 150);
  EXPECT_TRUE(d.linkedResolutions);

  SaneScannerModel fine = flatbed();
  fine.resolution.min = 0.5;
  fine.resolution.max = 9600.7;
  fine.resolution.step = 0;
  d = saneScannerSpec(kDevice, fine);
  EXPECT_EQ(d.resolutionMin, 1);
  EXPECT_EQ(d.resolutionStep, 1);
  EXPECT_EQ(d.resolutionMax, 65500 * 1000 / 11693) << "the bed's long side in at most 65500 pixels";

  SaneScannerModel listed = flatbed();
  listed.resolution.list = true;
  listed.resolution.values = {300, 0.5, 75.4, 150.2, 9600, 150, 600};
  d = saneScannerSpec(kDevice, listed);
  EXPECT_EQ(d.resolutions, (std::vector<LONG>{75, 150, 300, 600}));
  EXPECT_EQ(d.resolutionNominal, 150);

  SaneScannerModel none = flatbed();
  none.resolution = SaneResolutions{};
  EXPECT_EQ(saneScannerSpec(kDevice, none).resolutions, (std::vector<LONG>{150}));
}

TEST(SaneScannerSpec, SourcesGiveTheFlatbedFeederAndDuplex) {
  SaneScannerModel model = flatbed();
  DeviceSpec plain = saneScannerSpec(kDevice, model);
  EXPECT_TRUE(plain.flatbed);
  EXPECT_FALSE(plain.feeder);
  EXPECT_EQ(plain.bedWidth, 8500);
  EXPECT_EQ(plain.bedHeight, 11693);

  model.sources = {{"Flatbed", FLATBED}, {"ADF", FEEDER}, {"ADF Duplex", FEEDER | DUPLEX}};
  DeviceSpec both = saneScannerSpec(kDevice, model);
  EXPECT_TRUE(both.flatbed);
  ASSERT_TRUE(both.feeder);
  EXPECT_TRUE(both.feeder->duplex);
  EXPECT_FALSE(both.feeder->backFirst) << "SANE's duplexers give the front first";
  EXPECT_EQ(both.feeder->sheetWidth, 8500);
  EXPECT_EQ(both.feeder->sheetHeight, 11693);

  model.sources = {{"ADF Front", FEEDER}, {"ADF Back", FEEDER}};
  DeviceSpec sheetFed = saneScannerSpec(kDevice, model);
  EXPECT_FALSE(sheetFed.flatbed);
  ASSERT_TRUE(sheetFed.feeder);
  EXPECT_FALSE(sheetFed.feeder->duplex);

  model.sources = {{"Flatbed", FLATBED}, {"Transparency Unit", 0}};
  DeviceSpec film = saneScannerSpec(kDevice, model);
  EXPECT_TRUE(film.flatbed);
  EXPECT_FALSE(film.feeder);
}

TEST(SaneScannerSpec, DataTypesAreThoseAFileHoldsAndDeepOnesWhereSixteenBitsAre) {
  SaneScannerModel model = flatbed();
  model.dataTypes = {{WIA_DATA_DITHER, 1, "Halftone", 0},
                     {WIA_DATA_COLOR_THRESHOLD, 3, "Color Lineart", 0},
                     {WIA_DATA_THRESHOLD, 1, "Lineart", 0},
                     {WIA_DATA_GRAYSCALE, 16, "Gray", 16}};
  DeviceSpec d = saneScannerSpec(kDevice, model);
  EXPECT_EQ(d.dataTypes, (std::vector<LONG>{WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE}));
  EXPECT_TRUE(d.deepColour);
  model.dataTypes.clear();
  EXPECT_EQ(saneScannerSpec(kDevice, model).dataTypes, (std::vector<LONG>{WIA_DATA_COLOR}));
  EXPECT_FALSE(saneScannerSpec(kDevice, flatbed()).deepColour);
}

TEST(SaneScannerSpec, APagesSettingsAskForTheModeOfItsDataTypeAndDepth) {
  SaneScannerModel model = flatbed();
  model.dataTypes.push_back({WIA_DATA_COLOR, 48, "Color", 16});
  model.dataTypes.push_back({WIA_DATA_THRESHOLD, 1, "Gray", 1});
  const PixelArea area{10, 20, 300, 400};
  SaneScanSettings deep = saneScanSettings(model, FLATBED, WIA_DATA_COLOR, 48, 300, area);
  ASSERT_TRUE(deep.dataType);
  EXPECT_EQ(deep.dataType->depth, 16);
  EXPECT_EQ(deep.handling, FLATBED);
  EXPECT_EQ(deep.dpi, 300);
  EXPECT_EQ(deep.area, area);
  // A depth the device does not have: its 8 bits a sample, which is what a file holds.
  SaneScanSettings grey = saneScanSettings(model, FLATBED, WIA_DATA_GRAYSCALE, 16, 300, area);
  ASSERT_TRUE(grey.dataType);
  EXPECT_EQ(grey.dataType->mode, "Gray");
  EXPECT_EQ(grey.dataType->depth, 8);
  EXPECT_EQ(saneScanSettings(model, FLATBED, WIA_DATA_THRESHOLD, 1, 300, area).dataType->depth, 1);
  EXPECT_FALSE(saneScanSettings(model, FLATBED, WIA_DATA_DITHER, 1, 300, area).dataType);
  // The feeder's side order is the device's own.
  EXPECT_EQ(saneScanSettings(model, FEEDER | DUPLEX | FRONT_FIRST, WIA_DATA_COLOR, 24, 300, area).handling,
            FEEDER | DUPLEX);
  EXPECT_EQ(saneScanSettings(model, FEEDER, WIA_DATA_COLOR, 24, 300, area).handling, FEEDER);
}

}  // namespace
}  // namespace winsim::drivers
