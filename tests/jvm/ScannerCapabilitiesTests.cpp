// WIAScanner._capabilities on the virtual scanners: the layout for a flatbed-only scanner and
// for one with a duplex feeder, a property the device lacks, and reads that fail.
#include "DeviceHost.h"

namespace jvmtest {
namespace {

using winsim::DeviceKind;

class ScannerCapabilities : public DeviceTest {
 protected:
  std::vector<jint> read(jlong handle) {
    LocalRef<jobject> scanner(env_, newScanner());
    std::vector<jint> capabilities;
    JavaException e = capabilitiesThrown(scanner.get(), handle, &capabilities);
    EXPECT_FALSE(e.thrown) << e.describe();
    return capabilities;
  }
};

TEST_F(ScannerCapabilities, FlatbedOnlyAndDuplexFeederScannersInTheLayout) {
  winsim::DeviceSpec flatbed = deviceSet(1, DeviceKind::Scanner)[0];
  winsim::DeviceSpec feeder = deviceSet(2, DeviceKind::Scanner)[1];
  feeder.feeder = winsim::FeederSpec{5, true, 0, 8267, 14000};
  feeder.resolutions = {75, 150, 300};
  feeder.dataTypes = {WIA_DATA_GRAYSCALE, WIA_DATA_COLOR};
  feeder.deepColour = true;
  winsim::setDevices({flatbed, feeder});
  open();
  // Handling: capabilities, status, selection, pages; bed; sheet; page writable; resolution
  // (current, kind, count, values); data types; depths of the current data type.
  EXPECT_EQ(read(handleOf(flatbed.id)),
            (std::vector<jint>{FLAT, FLAT_READY, FLATBED, -1, 8500, 11693, -1, -1, 0,  //
                               150, 1, 4, 50, 150, 1200, 1,                           //
                               3, WIA_DATA_THRESHOLD, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR, 1, 24}));
  EXPECT_EQ(read(handleOf(feeder.id)),
            (std::vector<jint>{FLAT | FEED | DETECT_FEED | DUP, FLAT_READY | FEED_READY, FLATBED, 1, 8500, 11693,
                               8267, 14000, 1,  //
                               150, 2, 3, 75, 150, 300, 2, WIA_DATA_GRAYSCALE, WIA_DATA_COLOR, 2, 24, 48}));
  EXPECT_TRUE(winsim::journal("IWiaPropertyStorage::WriteMultiple").empty()) << "reading changes nothing";
  close();
  expectCensusUnchanged();
}

// A property that reads as VT_EMPTY, or as no 32-bit integer, is -1; a read or a description
// that fails is reported from the reader, and a handle that resolves to nothing by the lookup.
TEST_F(ScannerCapabilities, MissingPropertiesAreMinusOneAndFailuresAreReported) {
  winsim::DeviceSpec scanner = deviceSet(1, DeviceKind::Scanner)[0];
  winsim::setDevices({scanner});
  open();
  const std::string root = winsim::fullItemName(scanner.id, "");
  winsim::overrideRead({root, WIA_DPS_HORIZONTAL_BED_SIZE, S_OK, true, winsim::PropertyValue::missing()});
  winsim::overrideRead({root, WIA_DPS_VERTICAL_BED_SIZE, S_OK, true, winsim::PropertyValue::bstr("11693")});
  const std::vector<jint> capabilities = read(handleOf(scanner.id));
  ASSERT_GE(capabilities.size(), 9u);
  EXPECT_EQ(capabilities[4], -1);
  EXPECT_EQ(capabilities[5], -1);
  EXPECT_EQ(capabilities[0], FLAT);
  winsim::clearReadOverrides();

  const struct {
    winsim::Fault fault;
    const char* source;
    const char* statement;
  } cases[] = {
      {{"IWiaPropertyStorage::ReadMultiple", WIA_ERROR_OFFLINE, 1, root}, kCapabilitiesSource,
       "// capabilities: properties not read"},
      {{"IWiaPropertyStorage::ReadMultiple", WIA_ERROR_BUSY, 1, winsim::fullItemName(scanner.id, "Flatbed")},
       kCapabilitiesSource, "// capabilities: properties not read"},
      {{"IWiaPropertyStorage::GetPropertyAttributes", WIA_ERROR_OFFLINE, 1, ""}, kCapabilitiesSource,
       "// capabilities: valid values not described"},
      {{"IWiaItem::QueryInterface", E_NOINTERFACE, 2, root}, kCapabilitiesSource,
       "// capabilities: no property storage"},
      {{"IEnumWiaItem::Next", S_FALSE, 1, ""}, kScanItemSource, "// scan item: the root has none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    winsim::injectFault(c.fault);
    LocalRef<jobject> device(env_, newScanner());
    std::vector<jint> none;
    JavaException e = capabilitiesThrown(device.get(), handleOf(scanner.id), &none);
    winsim::clearFaults();
    ASSERT_TRUE(e.isVestaro) << e.describe();
    EXPECT_EQ(e.code, c.fault.result == S_FALSE ? WIA_ERROR_INVALID_DRIVER_RESPONSE : c.fault.result);
    EXPECT_EQ(e.line, lineOf(c.source, c.statement));
    EXPECT_TRUE(none.empty());
  }
  LocalRef<jobject> device(env_, newScanner());
  std::vector<jint> none;
  JavaException unknown = capabilitiesThrown(device.get(), 0x7FFF0000, &none);
  EXPECT_EQ(unknown.code, E_INVALIDARG) << unknown.describe();
  EXPECT_EQ(unknown.line, lineOf(kScanItemSource, "LOOK_UP_HANDLE("));
  close();
  expectCensusUnchanged();
}

}  // namespace
}  // namespace jvmtest
