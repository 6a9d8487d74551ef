// SANE statuses and libgphoto2 results as WIA and system codes, and the texts the drivers
// leave for codes of their own.
#include <gtest/gtest.h>

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include "DriverText.h"
#include "gphoto2/Gphoto2Result.h"
#include "sane/SaneStatus.h"

namespace winsim::drivers {
namespace {

TEST(SaneStatusCode, EveryStatusOfSaneHasTheCodeOfAWindowsDriverForTheSameEvent) {
  EXPECT_EQ(saneStatusCode(SANE_STATUS_GOOD), S_OK);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_UNSUPPORTED), WIA_ERROR_INVALID_COMMAND);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_CANCELLED), E_ABORT);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_DEVICE_BUSY), WIA_ERROR_BUSY);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_INVAL), E_INVALIDARG);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_JAMMED), WIA_ERROR_PAPER_JAM);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_NO_DOCS), WIA_ERROR_PAPER_EMPTY);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_COVER_OPEN), WIA_ERROR_USER_INTERVENTION);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_IO_ERROR), WIA_ERROR_DEVICE_COMMUNICATION);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_NO_MEM), E_OUTOFMEMORY);
  EXPECT_EQ(saneStatusCode(SANE_STATUS_ACCESS_DENIED), E_ACCESSDENIED);
}

TEST(SaneStatusCode, AStatusWithoutSuchACodeGetsOneOfItsOwnThatKeepsSanesText) {
  DriverStatus endOfFile = saneFailure(SANE_STATUS_EOF, "End of file reached", "sane_start");
  EXPECT_EQ(endOfFile.code, HRESULT(0x80045A05u));
  EXPECT_EQ(endOfFile.text, "End of file reached");
  EXPECT_EQ(driverText(HRESULT(0x80045A05u)), "End of file reached");

  DriverStatus unknown = saneFailure(57, "Unknown SANE status code 57", "sane_read");
  EXPECT_EQ(unknown.code, HRESULT(0x80045A39u));
  EXPECT_EQ(driverText(unknown.code), "Unknown SANE status code 57");
  EXPECT_EQ(saneStatusCode(100000), HRESULT(0x80045AFFu));

  // Mapped codes leave no text: the system's or the WIA table's is the one shown.
  saneFailure(SANE_STATUS_JAMMED, "Document feeder jammed", "sane_read");
  EXPECT_FALSE(driverText(WIA_ERROR_PAPER_JAM));
}

TEST(Gphoto2ResultCode, EveryResultHasACodeAndThoseWithoutAWindowsOneGetTheirOwn) {
  struct Row {
    int result;
    HRESULT code;
  };
  for (const Row& row : std::initializer_list<Row>{
           {GP_OK, S_OK},
           {GP_ERROR, WIA_ERROR_GENERAL_ERROR},
           {GP_ERROR_BAD_PARAMETERS, E_INVALIDARG},
           {GP_ERROR_PATH_NOT_ABSOLUTE, E_INVALIDARG},
           {GP_ERROR_NO_MEMORY, E_OUTOFMEMORY},
           {GP_ERROR_NOT_SUPPORTED, WIA_ERROR_INVALID_COMMAND},
           {GP_ERROR_UNKNOWN_PORT, WIA_ERROR_OFFLINE},
           {GP_ERROR_IO_USB_FIND, WIA_ERROR_OFFLINE},
           {GP_ERROR_IO, WIA_ERROR_DEVICE_COMMUNICATION},
           {GP_ERROR_TIMEOUT, WIA_ERROR_DEVICE_COMMUNICATION},
           {GP_ERROR_IO_READ, WIA_ERROR_DEVICE_COMMUNICATION},
           {GP_ERROR_IO_USB_CLAIM, WIA_ERROR_DEVICE_COMMUNICATION},
           {GP_ERROR_IO_LOCK, WIA_ERROR_BUSY},
           {GP_ERROR_CAMERA_BUSY, WIA_ERROR_BUSY},
           {GP_ERROR_CORRUPTED_DATA, WIA_ERROR_INVALID_DRIVER_RESPONSE},
           {GP_ERROR_FILE_NOT_FOUND, WIA_ERROR_ITEM_DELETED},
           {GP_ERROR_DIRECTORY_NOT_FOUND, WIA_ERROR_ITEM_DELETED},
           {GP_ERROR_CANCEL, E_ABORT},
           {GP_ERROR_NO_SPACE, HRESULT(0x80070070u)},
           {GP_ERROR_LIBRARY, HRESULT(0x80046004u)},
           {GP_ERROR_MODEL_NOT_FOUND, HRESULT(0x80046069u)},
           {GP_ERROR_CAMERA_ERROR, HRESULT(0x80046071u)},
           {-5000, HRESULT(0x80046FFFu)},
       })
    EXPECT_EQ(gphoto2ResultCode(row.result), row.code) << row.result;

  DriverStatus own = gphoto2Failure(GP_ERROR_OS_FAILURE, "Unspecified failure of the operating system",
                                    "gp_camera_file_get");
  EXPECT_EQ(own.code, HRESULT(0x80046072u));
  EXPECT_EQ(driverText(own.code), "Unspecified failure of the operating system");
  EXPECT_EQ(own.call, "gp_camera_file_get");
}

}  // namespace
}  // namespace winsim::drivers
