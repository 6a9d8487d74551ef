// Property rules of the virtual devices: valid values, access rights, refused writes that keep
// the old value, dependent values, the format and medium pair, and the property listing.
#include <set>

#include "WiaTestSupport.h"

namespace wiatest {
namespace {

using PropertyTest = WiaTest;

winsim::DeviceSpec scanner(const std::string& id) {
  winsim::DeviceSpec deviceSpec;
  deviceSpec.id = id;
  deviceSpec.name = id;
  return deviceSpec;
}

ComPtr<IWiaPropertyStorage> flatbed(const std::string& id) {
  auto root = openDevice(id);
  auto item = childAt(root.get(), 0);
  return storageOf(item.get());
}

TEST_F(PropertyTest, InvalidValuesAndReadOnlyPropertiesAreRefusedKeepingTheOldValue) {
  auto item = flatbed(kScannerId);
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XRES, 300));
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE));
  struct Case {
    PROPID id;
    LONG value;
    HRESULT expected;
  } cases[] = {
      {WIA_IPS_XRES, 49, E_INVALIDARG},             // below the range
      {WIA_IPS_XRES, 1201, E_INVALIDARG},           // above it
      {WIA_IPS_XRES, -1, E_INVALIDARG},
      {WIA_IPA_DATATYPE, WIA_DATA_DITHER, E_INVALIDARG},  // not in the list
      {WIA_IPA_DEPTH, 24, E_INVALIDARG},            // not a greyscale depth
      {WIA_IPA_DEPTH, 16, E_INVALIDARG},            // 16 bits only where the profile allows it
      {WIA_IPS_XPOS, 2550, E_INVALIDARG},           // the bed is 2550 pixels wide at 300 dpi
      {WIA_IPS_XEXTENT, 2551, E_INVALIDARG},
      {WIA_IPS_XEXTENT, 0, E_INVALIDARG},
      {WIA_IPS_BRIGHTNESS, 1001, E_INVALIDARG},
      {WIA_IPA_PIXELS_PER_LINE, 100, E_ACCESSDENIED},  // read-only
      {WIA_IPA_ITEM_NAME, 1, E_ACCESSDENIED},         // read-only comes before the type
      {4242, 1, E_INVALIDARG},                        // no such property
  };
  for (const auto& c : cases) {
    LONG before = c.id == 4242 || c.id == WIA_IPA_ITEM_NAME ? 0 : readLong(item.get(), c.id);
    EXPECT_EQ(c.expected, writeLong(item.get(), c.id, c.value)) << "property " << c.id;
    if (before) {
      EXPECT_EQ(before, readLong(item.get(), c.id)) << "property " << c.id;
    }
  }
  EXPECT_EQ(300, readLong(item.get(), WIA_IPS_XRES));
  EXPECT_EQ(8, readLong(item.get(), WIA_IPA_DEPTH));

  // A value of another type than the property's is refused too, whatever its number.
  PROPSPEC propSpec{PRSPEC_PROPID, {WIA_IPS_YRES}};
  PROPVARIANT shortValue;
  PropVariantInit(&shortValue);
  shortValue.vt = VT_I2;
  shortValue.iVal = 300;
  EXPECT_EQ(E_INVALIDARG, item->WriteMultiple(1, &propSpec, &shortValue, WIA_IPA_FIRST));
  EXPECT_EQ(150, readLong(item.get(), WIA_IPS_YRES));

  // All or nothing: one bad value in a call keeps the good ones out as well.
  PROPSPEC pair[2] = {{PRSPEC_PROPID, {WIA_IPS_YRES}}, {PRSPEC_PROPID, {WIA_IPS_XRES}}};
  PROPVARIANT values[2];
  PropVariantInit(&values[0]);
  PropVariantInit(&values[1]);
  values[0].vt = values[1].vt = VT_I4;
  values[0].lVal = 600;
  values[1].lVal = 5000;
  EXPECT_EQ(E_INVALIDARG, item->WriteMultiple(2, pair, values, WIA_IPA_FIRST));
  EXPECT_EQ(150, readLong(item.get(), WIA_IPS_YRES));
}

TEST_F(PropertyTest, DepthFollowsTheDataTypeAsTheProfileAllows) {
  winsim::DeviceSpec deep = scanner("deep\\0000");
  deep.deepColour = true;
  winsim::setDevices({scanner("plain\\0000"), deep});

  auto plain = flatbed("plain\\0000");
  struct Step {
    LONG dataType, depthAfter;
  } steps[] = {{WIA_DATA_THRESHOLD, 1}, {WIA_DATA_GRAYSCALE, 8}, {WIA_DATA_COLOR, 24}};
  for (const auto& step : steps) {
    ASSERT_EQ(S_OK, writeLong(plain.get(), WIA_IPA_DATATYPE, step.dataType));
    EXPECT_EQ(step.depthAfter, readLong(plain.get(), WIA_IPA_DEPTH));
    EXPECT_EQ(S_OK, writeLong(plain.get(), WIA_IPA_DEPTH, step.depthAfter));
  }
  EXPECT_EQ(E_INVALIDARG, writeLong(plain.get(), WIA_IPA_DEPTH, 48));

  auto rich = flatbed("deep\\0000");
  EXPECT_EQ(S_OK, writeLong(rich.get(), WIA_IPA_DEPTH, 48));
  EXPECT_EQ(16, readLong(rich.get(), WIA_IPA_BITS_PER_CHANNEL));
  ASSERT_EQ(S_OK, writeLong(rich.get(), WIA_IPA_DATATYPE, WIA_DATA_GRAYSCALE));
  EXPECT_EQ(8, readLong(rich.get(), WIA_IPA_DEPTH));  // 48 is no greyscale depth
  EXPECT_EQ(S_OK, writeLong(rich.get(), WIA_IPA_DEPTH, 16));
  EXPECT_EQ(E_INVALIDARG, writeLong(rich.get(), WIA_IPA_DEPTH, 24));
}

TEST_F(PropertyTest, TheScanAreaStaysOnTheGlassWhenTheResolutionChanges) {
  auto item = flatbed(kScannerId);  // 150 dpi, the whole bed of 8.5 x 11.693 inches
  EXPECT_EQ(1275, readLong(item.get(), WIA_IPS_XEXTENT));
  EXPECT_EQ(1753, readLong(item.get(), WIA_IPS_YEXTENT));
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XPOS, 150));
  EXPECT_EQ(1125, readLong(item.get(), WIA_IPS_XEXTENT));  // shrunk to stay on the bed
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XEXTENT, 300));
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XRES, 300));
  EXPECT_EQ(300, readLong(item.get(), WIA_IPS_XPOS));
  EXPECT_EQ(600, readLong(item.get(), WIA_IPS_XEXTENT));
  ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XRES, 75));
  EXPECT_EQ(75, readLong(item.get(), WIA_IPS_XPOS));
  EXPECT_EQ(150, readLong(item.get(), WIA_IPS_XEXTENT));
  EXPECT_EQ(1753, readLong(item.get(), WIA_IPS_YEXTENT));  // the other axis is untouched

  // The valid range of the extent follows resolution and position.
  PROPSPEC propSpec{PRSPEC_PROPID, {WIA_IPS_XEXTENT}};
  ULONG flags = 0;
  PROPVARIANT valid;
  ASSERT_EQ(S_OK, item->GetPropertyAttributes(1, &propSpec, &flags, &valid));
  EXPECT_EQ(static_cast<ULONG>(WIA_PROP_RW | WIA_PROP_RANGE), flags);
  ASSERT_EQ(static_cast<VARTYPE>(VT_VECTOR | VT_I4), valid.vt);
  ASSERT_EQ(4u, valid.cal.cElems);
  EXPECT_EQ(1, valid.cal.pElems[WIA_RANGE_MIN]);
  EXPECT_EQ(637 - 75, valid.cal.pElems[WIA_RANGE_MAX]);
  FreePropVariantArray(1, &valid);
}

TEST_F(PropertyTest, OutOfRangeNumbersBecomeTheNearestValidOneWhereTheProfileSaysSo) {
  winsim::DeviceSpec lenient = scanner("lenient\\0000");
  lenient.nearestValues = true;
  lenient.resolutions = {75, 150, 300, 600};
  winsim::setDevices({lenient});
  auto item = flatbed("lenient\\0000");
  EXPECT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XRES, 5000));
  EXPECT_EQ(600, readLong(item.get(), WIA_IPS_XRES));
  EXPECT_EQ(S_OK, writeLong(item.get(), WIA_IPS_YRES, 200));
  EXPECT_EQ(150, readLong(item.get(), WIA_IPS_YRES));
  EXPECT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XEXTENT, 999999));
  EXPECT_EQ(5100, readLong(item.get(), WIA_IPS_XEXTENT));
  EXPECT_EQ(E_INVALIDARG, writeLong(item.get(), WIA_IPA_DATATYPE, WIA_DATA_DITHER));
}

// Brightness, contrast and threshold report their ranges, start at the nominal value and
// take exactly the values in the range; a lenient device brings others into it.
TEST_F(PropertyTest, AdjustmentsReportTheirRangesAndTakeOnlyValuesInThem) {
  winsim::DeviceSpec lenient = scanner("lenient\\0000");
  lenient.nearestValues = true;
  winsim::setDevices({scanner("strict\\0000"), lenient});
  auto strict = flatbed("strict\\0000");
  auto nearest = flatbed("lenient\\0000");
  const struct {
    PROPID id;
    LONG min, nominal, max;
  } adjustments[] = {
      {WIA_IPS_BRIGHTNESS, -1000, 0, 1000},
      {WIA_IPS_CONTRAST, -1000, 0, 1000},
      {WIA_IPS_THRESHOLD, 0, 128, 255},
  };
  for (const auto& a : adjustments) {
    SCOPED_TRACE(a.id);
    PROPSPEC propSpec{PRSPEC_PROPID, {a.id}};
    ULONG flags = 0;
    PROPVARIANT valid;
    ASSERT_EQ(S_OK, strict->GetPropertyAttributes(1, &propSpec, &flags, &valid));
    EXPECT_EQ(static_cast<ULONG>(WIA_PROP_RW | WIA_PROP_RANGE), flags);
    ASSERT_EQ(static_cast<VARTYPE>(VT_VECTOR | VT_I4), valid.vt);
    EXPECT_EQ((std::vector<LONG>{a.min, a.nominal, a.max, 1}),
              std::vector<LONG>(valid.cal.pElems, valid.cal.pElems + valid.cal.cElems));
    FreePropVariantArray(1, &valid);

    EXPECT_EQ(a.nominal, readLong(strict.get(), a.id));
    EXPECT_EQ(E_INVALIDARG, writeLong(strict.get(), a.id, a.min - 1));
    EXPECT_EQ(E_INVALIDARG, writeLong(strict.get(), a.id, a.max + 1));
    EXPECT_EQ(a.nominal, readLong(strict.get(), a.id));
    for (LONG bound : {a.min, a.max}) {
      EXPECT_EQ(S_OK, writeLong(strict.get(), a.id, bound));
      EXPECT_EQ(bound, readLong(strict.get(), a.id));
    }
    EXPECT_EQ(S_OK, writeLong(nearest.get(), a.id, a.max + 500));
    EXPECT_EQ(a.max, readLong(nearest.get(), a.id));
    EXPECT_EQ(S_OK, writeLong(nearest.get(), a.id, a.min - 500));
    EXPECT_EQ(a.min, readLong(nearest.get(), a.id));
  }
}

// The root, the flatbed and a camera's picture all name themselves and their rights.
TEST_F(PropertyTest, EveryItemListsItsNameFlagsAndAccessRights) {
  auto scannerRoot = openDevice(kScannerId);
  auto cameraRoot = openDevice(kCameraId);
  auto flatbedItem = childAt(scannerRoot.get(), 0);
  auto picture = childAt(cameraRoot.get(), 0);
  for (IUnknown* item : {static_cast<IUnknown*>(scannerRoot.get()), static_cast<IUnknown*>(cameraRoot.get()),
                         static_cast<IUnknown*>(flatbedItem.get()), static_cast<IUnknown*>(picture.get())}) {
    auto storage = storageOf(item);
    std::set<PROPID> listed;
    ComPtr<IEnumSTATPROPSTG> listing;
    ASSERT_EQ(S_OK, storage->Enum(listing.put()));
    STATPROPSTG entry;
    while (listing->Next(1, &entry, nullptr) == S_OK) {
      listed.insert(entry.propid);
      CoTaskMemFree(entry.lpwstrName);
    }
    for (PROPID id : {WIA_IPA_ITEM_NAME, WIA_IPA_FULL_ITEM_NAME, WIA_IPA_ITEM_FLAGS, WIA_IPA_ACCESS_RIGHTS}) {
      EXPECT_EQ(1u, listed.count(id)) << readText(storage.get(), WIA_IPA_FULL_ITEM_NAME) << " lacks " << id;
    }
  }
}

TEST_F(PropertyTest, FileFormatsFollowTheProfile) {
  winsim::DeviceSpec bmpOnly = scanner("bmp\\0000");
  bmpOnly.jpegFiles = false;
  winsim::DeviceSpec neither = scanner("none\\0000");
  neither.jpegFiles = neither.bmpFiles = false;
  winsim::setDevices({scanner("jpeg\\0000"), bmpOnly, neither});

  auto jpeg = flatbed("jpeg\\0000");
  EXPECT_EQ(TYMED_CALLBACK, readLong(jpeg.get(), WIA_IPA_TYMED));
  EXPECT_EQ(S_OK, writeFormat(jpeg.get(), WiaImgFmt_JPEG));
  EXPECT_EQ(TYMED_FILE, readLong(jpeg.get(), WIA_IPA_TYMED));
  EXPECT_EQ("JPG", readText(jpeg.get(), WIA_IPA_FILENAME_EXTENSION));

  auto bmp = flatbed("bmp\\0000");
  EXPECT_EQ(E_INVALIDARG, writeFormat(bmp.get(), WiaImgFmt_JPEG));
  EXPECT_EQ(TYMED_CALLBACK, readLong(bmp.get(), WIA_IPA_TYMED));  // the medium did not change
  EXPECT_EQ(S_OK, writeFormat(bmp.get(), WiaImgFmt_BMP));
  // A medium without a format brings the medium's preferred one.
  EXPECT_EQ(S_OK, writeLong(bmp.get(), WIA_IPA_TYMED, TYMED_CALLBACK));
  PROPVARIANT format;
  ASSERT_EQ(S_OK, read(bmp.get(), WIA_IPA_FORMAT, &format));
  ASSERT_EQ(VT_CLSID, format.vt);
  EXPECT_EQ(WiaImgFmt_MEMORYBMP, *format.puuid);
  FreePropVariantArray(1, &format);

  auto none = flatbed("none\\0000");
  EXPECT_EQ(E_INVALIDARG, writeFormat(none.get(), WiaImgFmt_JPEG));
  EXPECT_EQ(E_INVALIDARG, writeFormat(none.get(), WiaImgFmt_BMP));
  EXPECT_EQ(E_INVALIDARG, writeLong(none.get(), WIA_IPA_TYMED, TYMED_FILE));

  // A transfer needs the file medium to have been chosen.
  STGMEDIUM medium;
  std::string path;
  EXPECT_EQ(E_INVALIDARG, transfer(none.get(), &medium, &path));
}

TEST_F(PropertyTest, ListingShowsNamesAndManyValueTypes) {
  auto root = openDevice(kCameraId);
  auto picture = childAt(root.get(), 1);
  std::set<VARTYPE> types;
  for (IUnknown* item : {static_cast<IUnknown*>(root.get()), static_cast<IUnknown*>(picture.get())}) {
    auto storage = storageOf(item);
    ComPtr<IEnumSTATPROPSTG> listing;
    ASSERT_EQ(S_OK, storage->Enum(listing.put()));
    STATPROPSTG entry;
    ULONG fetched = 0;
    while (listing->Next(1, &entry, &fetched) == S_OK) {
      EXPECT_EQ(1u, fetched);
      ASSERT_NE(nullptr, entry.lpwstrName) << entry.propid;
      CoTaskMemFree(entry.lpwstrName);
      PROPVARIANT value;
      EXPECT_EQ(S_OK, read(storage.get(), entry.propid, &value)) << entry.propid;
      EXPECT_EQ(entry.vt, value.vt) << entry.propid;
      types.insert(value.vt);
      FreePropVariantArray(1, &value);
    }
  }
  for (VARTYPE expected : {VARTYPE(VT_BSTR), VARTYPE(VT_I4), VARTYPE(VT_CLSID),
                           VARTYPE(VT_VECTOR | VT_UI2), VARTYPE(VT_VECTOR | VT_UI1)}) {
    EXPECT_EQ(1u, types.count(expected)) << "type " << expected;
  }
  auto storage = storageOf(picture.get());
  EXPECT_EQ("IMG_0002", readText(storage.get(), WIA_IPA_ITEM_NAME));
  EXPECT_EQ(E_ACCESSDENIED, writeLong(storage.get(), WIA_IPA_DATATYPE, WIA_DATA_COLOR));
}

TEST_F(PropertyTest, SettingsLastAsLongAsTheDeviceIsOpen) {
  auto root = openDevice(kScannerId);
  {
    auto item = storageOf(childAt(root.get(), 0).get());
    ASSERT_EQ(S_OK, writeLong(item.get(), WIA_IPS_XRES, 600));
  }
  EXPECT_EQ(600, readLong(storageOf(childAt(root.get(), 0).get()).get(), WIA_IPS_XRES));
  // Another CreateDevice is another session with the driver's defaults.
  EXPECT_EQ(150, readLong(flatbed(kScannerId).get(), WIA_IPS_XRES));
}

}  // namespace
}  // namespace wiatest
