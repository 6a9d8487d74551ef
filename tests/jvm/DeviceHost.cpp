#include "DeviceHost.h"

namespace jvmtest {

namespace {

constexpr const char* kManager = "kordin/vestaro/testhost/RecordingManager";
constexpr const char* kCamera = "kordin/vestaro/testhost/RecordingCamera";
constexpr const char* kScanner = "kordin/vestaro/testhost/RecordingScanner";

jobject newThrowable(JNIEnv* env, const char* className, const char* message) {
  LocalRef<jclass> cls(env, findClass(env, className));
  jmethodID constructor = env->GetMethodID(cls.get(), "<init>", "(Ljava/lang/String;)V");
  LocalRef<jstring> text(env, javaString(env, std::string(message)));
  jobject thrown = env->NewObject(cls.get(), constructor, text.get());
  expectNoException(env, std::string("new ") + className);
  return thrown;
}

void setField(JNIEnv* env, jobject object, const char* name, const char* signature, jvalue value) {
  LocalRef<jclass> cls(env, env->GetObjectClass(object));
  jfieldID field = env->GetFieldID(cls.get(), name, signature);
  ASSERT_NE(field, nullptr) << name;
  if (signature[0] == 'Z') {
    env->SetBooleanField(object, field, value.z);
  } else {
    env->SetObjectField(object, field, value.l);
  }
}

// What a recording host object holds: `count`()I records, each read from `get`(I)<record>.
template <typename T, typename Read>
std::vector<T> recordsOf(JNIEnv* env, jobject holder, const char* count, const char* get,
                         const char* getSignature, Read read) {
  std::vector<T> records;
  const jint n = callMethod<jint>(env, holder, count, "()I");
  for (jint i = 0; i < n; ++i) {
    LocalRef<jobject> record(env, callMethod<jobject>(env, holder, get, getSignature, i));
    records.push_back(read(record.get()));
  }
  return records;
}

jobject recorderOf(JNIEnv* env, jobject device) {
  return objectField(env, device, "transfers", "Lkordin/vestaro/testhost/TransferRecorder;");
}

}  // namespace

std::vector<winsim::DeviceSpec> deviceSet(int count, winsim::DeviceKind kind,
                                          const std::string& prefix) {
  std::vector<winsim::DeviceSpec> devices;
  for (int i = 0; i < count; ++i) {
    winsim::DeviceSpec device;
    device.kind = kind;
    char instance[16];
    std::snprintf(instance, sizeof instance, "%04d", i);
    device.id = prefix + "\\" + instance;
    device.name = (kind == winsim::DeviceKind::Camera ? "Camera " : "Scanner ") + std::to_string(i);
    if (kind == winsim::DeviceKind::Camera) {
      winsim::PictureSpec picture;
      picture.name = "IMG_0001";
      picture.width = 32;
      picture.height = 24;
      device.pictures = {picture};
    }
    devices.push_back(device);
  }
  return devices;
}

void DeviceTest::SetUp() {
  JvmTest::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  manager_ = newObject(env_, kManager);
}

jlong DeviceTest::initialize() { return callMethod<jlong>(env_, manager_, "initialize", "()J"); }

JavaException DeviceTest::initializeThrown(jlong* handle) {
  JavaException thrown;
  LocalRef<jclass> cls(env_, env_->GetObjectClass(manager_));
  *handle = detail::call<jlong>(env_, manager_, cls.get(), "initialize", "()J", &thrown);
  return thrown;
}

void DeviceTest::poll(jlong managerHandle) { callMethod(env_, manager_, "poll", "(J)V", managerHandle); }

JavaException DeviceTest::pollThrown(jlong managerHandle) {
  return thrownBy(env_, manager_, "poll", "(J)V", managerHandle);
}

void DeviceTest::releaseManager(jlong managerHandle) {
  callMethod(env_, manager_, "release", "(J)V", managerHandle);
}

JavaException DeviceTest::releaseManagerThrown(jlong managerHandle) {
  return thrownBy(env_, manager_, "release", "(J)V", managerHandle);
}

// WIADevice._release through a recording camera: the native is the same for every device.
JavaException DeviceTest::releaseDeviceThrown(jlong deviceHandle) {
  LocalRef<jobject> device(env_, newCamera());
  return thrownBy(env_, device.get(), "release", "(J)V", deviceHandle);
}

void DeviceTest::releaseDevice(jlong deviceHandle) {
  JavaException e = releaseDeviceThrown(deviceHandle);
  EXPECT_FALSE(e.thrown) << e.describe();
}

std::vector<Offer> DeviceTest::offers() {
  return recordsOf<Offer>(env_, manager_, "offerCount", "offer", "(I)Lkordin/vestaro/testhost/RecordingManager$Offer;",
                          [this](jobject offer) {
                            return Offer{stringField(env_, offer, "name"), longField(env_, offer, "handle"),
                                         intField(env_, offer, "type"), stringField(env_, offer, "id")};
                          });
}

void DeviceTest::setAccept(bool accept) {
  jvalue value;
  value.z = accept ? JNI_TRUE : JNI_FALSE;
  setField(env_, manager_, "accept", "Z", value);
}

void DeviceTest::throwFromAdd(const char* exceptionClass) {
  LocalRef<jobject> thrown(env_, newThrowable(env_, exceptionClass, "add refused"));
  jvalue value;
  value.l = thrown.get();
  setField(env_, manager_, "toThrow", "Ljava/lang/RuntimeException;", value);
}

void DeviceTest::keepNoOffers() {
  jvalue value;
  value.z = JNI_FALSE;
  setField(env_, manager_, "keepOffers", "Z", value);
}

jlong DeviceTest::lastHandle() { return longField(env_, manager_, "lastHandle"); }

std::vector<Offer> DeviceTest::open() {
  const size_t before = offers().size();
  managerHandle_ = initialize();
  EXPECT_NE(managerHandle_, 0);
  poll(managerHandle_);
  const std::vector<Offer> all = offers();
  opened_.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
  return opened_;
}

jlong DeviceTest::handleOf(const std::string& deviceId) {
  for (const Offer& offer : opened_) {
    if (offer.id == deviceId) return offer.handle;
  }
  ADD_FAILURE() << "no device " << deviceId << " was offered";
  return 0;
}

void DeviceTest::close() {
  for (const Offer& offer : opened_) releaseDevice(offer.handle);
  opened_.clear();
  if (managerHandle_) releaseManager(managerHandle_);
  managerHandle_ = 0;
}

jobject DeviceTest::newCamera() { return newObject(env_, kCamera); }
jobject DeviceTest::newScanner() { return newObject(env_, kScanner); }

JavaException DeviceTest::transferThrown(jobject device, jlong deviceHandle, bool dialog) {
  return thrownBy(env_, device, "transfer", "(JZ)V", deviceHandle, jboolean(dialog));
}

void DeviceTest::transfer(jobject device, jlong deviceHandle, bool dialog) {
  callMethod(env_, device, "transfer", "(JZ)V", deviceHandle, jboolean(dialog));
}

void DeviceTest::setScan(jobject scanner, jint bitDepth, jint resolution, jint x, jint y, jint width,
                         jint height) {
  callMethod(env_, scanner, "setScan", "(IIIIII)V", bitDepth, resolution, x, y, width, height);
}

std::vector<Delivery> DeviceTest::deliveries(jobject device) {
  LocalRef<jobject> recorder(env_, recorderOf(env_, device));
  return recordsOf<Delivery>(env_, recorder.get(), "count", "get",
                             "(I)Lkordin/vestaro/testhost/TransferRecorder$Transfer;", [this](jobject t) {
                               return Delivery{stringField(env_, t, "path"), stringField(env_, t, "extension"),
                                               booleanField(env_, t, "existed"), longField(env_, t, "size"),
                                               stringField(env_, t, "copy")};
                             });
}

ScanOutcome DeviceTest::scanPages(jobject scanner, jlong deviceHandle, const std::vector<jint>& rootWrites,
                                  const std::vector<jint>& itemWrites, jint maxPages) {
  auto array = [this](const std::vector<jint>& values) {
    jintArray made = env_->NewIntArray(static_cast<jsize>(values.size()));
    env_->SetIntArrayRegion(made, 0, static_cast<jsize>(values.size()), values.data());
    expectNoException(env_, "the writes' array");
    return made;
  };
  LocalRef<jintArray> root(env_, array(rootWrites));
  LocalRef<jintArray> item(env_, array(itemWrites));
  LocalRef<jclass> cls(env_, env_->GetObjectClass(scanner));
  ScanOutcome result;
  result.outcome = detail::call<jint>(env_, scanner, cls.get(), "scanPages", "(J[I[II)I", &result.thrown, deviceHandle,
                                      static_cast<jobject>(root.get()), static_cast<jobject>(item.get()), maxPages);
  return result;
}

JavaException DeviceTest::capabilitiesThrown(jobject scanner, jlong deviceHandle, std::vector<jint>* capabilities) {
  JavaException thrown;
  LocalRef<jclass> cls(env_, env_->GetObjectClass(scanner));
  LocalRef<jintArray> array(env_, detail::call<jintArray>(env_, scanner, cls.get(), "capabilities", "(J)[I", &thrown,
                                                           deviceHandle));
  capabilities->clear();
  if (array) {
    capabilities->resize(static_cast<size_t>(env_->GetArrayLength(array.get())));
    env_->GetIntArrayRegion(array.get(), 0, static_cast<jsize>(capabilities->size()), capabilities->data());
  }
  return thrown;
}

std::vector<Progress> DeviceTest::progress(jobject scanner) {
  return recordsOf<Progress>(env_, scanner, "progressCount", "progressAt", "(I)[I", [this](jobject pair) {
    jint values[2] = {};
    env_->GetIntArrayRegion(static_cast<jintArray>(pair), 0, 2, values);
    return Progress{values[0], values[1]};
  });
}

void DeviceTest::cancelAt(jobject scanner, jint page, jint percent) {
  callMethod(env_, scanner, "cancelAt", "(II)V", page, percent);
}

void DeviceTest::throwAt(jobject scanner, jint page, jint percent, const char* exceptionClass, const char* message) {
  LocalRef<jobject> thrown(env_, newThrowable(env_, exceptionClass, message));
  callMethod(env_, scanner, "throwAt", "(IILjava/lang/RuntimeException;)V", page, percent, thrown.get());
}

void DeviceTest::copyInto(jobject device, const std::string& directory) {
  LocalRef<jobject> recorder(env_, recorderOf(env_, device));
  LocalRef<jstring> dir(env_, javaString(env_, directory));
  callMethod(env_, recorder.get(), "copyInto", "(Ljava/lang/String;)V", dir.get());
}

void DeviceTest::throwFromCallback(jobject device, int call, const char* exceptionClass,
                                   const char* message) {
  LocalRef<jobject> recorder(env_, recorderOf(env_, device));
  LocalRef<jobject> thrown(env_, newThrowable(env_, exceptionClass, message));
  callMethod(env_, recorder.get(), "throwOn", "(ILjava/lang/RuntimeException;)V", jint(call),
             thrown.get());
}

void DeviceTest::keepTotalsOnly(jobject device) {
  LocalRef<jobject> recorder(env_, recorderOf(env_, device));
  callMethod(env_, recorder.get(), "keepTotalsOnly", "()V");
}

jlong DeviceTest::totalBytes(jobject device) {
  LocalRef<jobject> recorder(env_, recorderOf(env_, device));
  return callMethod<jlong>(env_, recorder.get(), "totalBytes", "()J");
}

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

std::vector<winsim::JournalEntry> journalOf(const std::string& method, const std::string& target) {
  std::vector<winsim::JournalEntry> entries;
  for (auto& entry : winsim::journal(method)) {
    if (entry.target == target) entries.push_back(entry);
  }
  return entries;
}

}  // namespace jvmtest
