// The load: binding the host, the interface table, and a host that breaks the contract.
#include "Java.h"
#include "Jvm.h"

namespace jvmtest {
namespace {

class LibraryLoad : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return LoadSettings("library"); }
};

TEST_F(LibraryLoad, CreatesTheInterfaceTableOnceUnderJniChecks) {
  std::vector<winsim::JournalEntry> creations;
  for (const auto& entry : jvm_->loadJournal()) {
    if (entry.method == "CoCreateInstance") creations.push_back(entry);
  }
  ASSERT_EQ(creations.size(), 1u);
  EXPECT_EQ(creations[0].target, "{00000323-0000-0000-C000-000000000046}");
  EXPECT_EQ(creations[0].detail, "context=1 iid={00000146-0000-0000-C000-000000000046}");
  EXPECT_EQ(creations[0].result, S_OK);
}

// A host that breaks the contract, placed before the real host classes.
class BrokenHost : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return otherHostSettings("broken-host", BROKEN_HOST_JAR); }
  bool requireLoaded() const override { return false; }
};

TEST_F(BrokenHost, FirstMissingMemberFailsTheLoadAndNamesIt) {
  // The host lacks WIAScanner.height and, bound later, WIADevice.fireTransferFailed.
  const std::string& error = jvm_->loadError();
  EXPECT_EQ(error.rfind("java.lang.NoSuchFieldError: ", 0), 0u) << error;
  EXPECT_NE(error.find("height"), std::string::npos) << error;
  for (const auto& entry : jvm_->loadJournal()) {
    EXPECT_NE(entry.method, "CoCreateInstance") << "the load went on after the failure";
  }
  // The library was unloaded again: its natives are not bound.
  LocalRef<jobject> manager(env_, newObject(env_, "kordin/vestaro/testhost/RecordingManager"));
  JavaException thrown = thrownBy<jlong>(env_, manager.get(), "initialize", "()J");
  EXPECT_EQ(thrown.className, "java.lang.UnsatisfiedLinkError") << thrown.describe();
}

class BrokenHierarchy : public JvmTest {
 protected:
  LoadSettings loadSettings() const override { return otherHostSettings("broken-hierarchy", BROKEN_HIERARCHY_JAR); }
  bool requireLoaded() const override { return false; }
};

TEST_F(BrokenHierarchy, CameraOutsideTheDeviceHierarchyFailsTheLoad) {
  EXPECT_EQ(jvm_->loadError(),
            "java.lang.IncompatibleClassChangeError: kordin/vestaro/wia/WIACamera does not extend "
            "kordin/vestaro/wia/WIADevice");
}

}  // namespace
}  // namespace jvmtest
