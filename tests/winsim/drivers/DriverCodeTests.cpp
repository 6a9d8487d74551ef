// The codes of the drivers' own, for statuses and results no WIA or system code means, and
// the texts they leave for them. (SANE's mapped statuses are tested against its test
// backend, in SaneBackendTests.cpp.)
#include <gtest/gtest.h>

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>

#include "DriverText.h"
#include "gphoto2/Gphoto2Result.h"
#include "sane/SaneStatus.h"

namespace winsim::drivers {
namespace {

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

TEST(Gphoto2ResultCode, AResultWithoutAWindowsCodeGetsOneOfItsOwnThatKeepsItsText) {
  EXPECT_EQ(gphoto2ResultCode(GP_ERROR_CAMERA_BUSY), WIA_ERROR_BUSY);
  EXPECT_EQ(gphoto2ResultCode(GP_ERROR_LIBRARY), HRESULT(0x80046004u));
  EXPECT_EQ(gphoto2ResultCode(GP_ERROR_MODEL_NOT_FOUND), HRESULT(0x80046069u));
  EXPECT_EQ(gphoto2ResultCode(-5000), HRESULT(0x80046FFFu));  // beyond the range: one code for all

  DriverStatus own = gphoto2Failure(GP_ERROR_OS_FAILURE, "Unspecified failure of the operating system",
                                    "gp_camera_file_get");
  EXPECT_EQ(own.code, HRESULT(0x80046072u));
  EXPECT_EQ(driverText(own.code), "Unspecified failure of the operating system");
  EXPECT_EQ(own.call, "gp_camera_file_get");
}

}  // namespace
}  // namespace winsim::drivers
