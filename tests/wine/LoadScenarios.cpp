// Loading the DLL into a host, and the manager against Wine's own WIA service.
#include "Scenario.h"

namespace wine {
namespace {

class MissingMember : public Scenario, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
 protected:
  MissingMember() { options.omitMember = GetParam().first; }
};

TEST_P(MissingMember, FailsTheLoadWithTheErrorThatNamesItAndKeepsNoReference) {
  EXPECT_EQ(library->onLoad(), JNI_ERR);
  Host::Thrown thrown;
  ASSERT_TRUE(host->takeThrown(&thrown));
  EXPECT_EQ(thrown.className, GetParam().second);
  const std::string member = std::string(GetParam().first).substr(std::string(GetParam().first).find('.') + 1);
  EXPECT_NE(thrown.message.find(member), std::string::npos) << thrown.message;
  EXPECT_EQ(host->vm.liveGlobals(), 0) << "global references kept after a failed load";
}

INSTANTIATE_TEST_SUITE_P(Host, MissingMember,
                         ::testing::Values(std::make_pair("WIAManager.add", "java/lang/NoSuchMethodError"),
                                           std::make_pair("WIADevice.fireTransferFailed", "java/lang/NoSuchMethodError"),
                                           std::make_pair("WIAScanner.height", "java/lang/NoSuchFieldError"),
                                           std::make_pair("Manager.debug", "java/lang/NoSuchFieldError")));

using Load = Scenario;

// Wine's own WIA service is a stub: the manager is made and lists no device.
TEST_F(Load, InitializeReachesTheSystemsOwnServiceWhichListsNoDevice) {
  const jlong manager = library->initialize();
  Host::Thrown thrown;
  ASSERT_TRUE(nothingThrown());
  ASSERT_NE(manager, 0);
  EXPECT_EQ(static_cast<uint64_t>(manager) >> 32, 0u);
  // Its enumerator's Next answers E_NOTIMPL, which the poll reports instead of reading it
  // as an empty list (a null count pointer would be refused by the marshaller first, with
  // RPC_X_NULL_REF_POINTER: the library passes a real one).
  library->poll(manager);
  if (host->takeThrown(&thrown)) {
    EXPECT_EQ(static_cast<uint32_t>(thrown.code), static_cast<uint32_t>(E_NOTIMPL)) << thrown.message;
  }
  EXPECT_TRUE(host->offers.empty());
  // Wine's table fails the revocation of this proxy's registration with 0x8001011d (its
  // service is gone by then); the library reports what the table said, and the
  // registration is gone either way.
  library->releaseManager(manager);
  if (host->takeThrown(&thrown)) {
    EXPECT_EQ(static_cast<uint32_t>(thrown.code), 0x8001011du) << thrown.message;
    EXPECT_EQ(thrown.file, "..\\src\\jni\\wia\\WIAManager.cpp");
  }
  library->releaseManager(manager);
  ASSERT_TRUE(host->takeThrown(&thrown));
  EXPECT_EQ(static_cast<HRESULT>(thrown.code), E_INVALIDARG);
}

// A handle that was never issued, and one released twice, are reported with the table's code.
TEST_F(Load, BadAndReleasedHandlesAreReportedFromTheirNative) {
  Host::Thrown thrown;
  library->releaseDevice(0x7FFF1234);
  ASSERT_TRUE(reportedFrom("WIADevice.cpp", E_INVALIDARG, &thrown));
  EXPECT_EQ(thrown.className, "kordin/vestaro/VestaroException");

  const jlong manager = registerVirtualManager();
  library->releaseManager(manager);
  ASSERT_TRUE(nothingThrown());
  library->releaseManager(manager);
  ASSERT_TRUE(reportedFrom("WIAManager.cpp", E_INVALIDARG, &thrown));
  EXPECT_GT(thrown.line, 0);
}

}  // namespace
}  // namespace wine
