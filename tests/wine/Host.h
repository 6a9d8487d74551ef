// The Java host as the library sees it, defined in the fake VM: the JDK classes the library
// binds and the host classes with the contract's members. The callbacks record what they
// receive; fireTransferDone checks the file while it exists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jvm/FakeJvm.h"

namespace wine {

struct HostOptions {
  bool debug = false;       // kordin.vestaro.Manager.debug
  std::string omitMember;   // "Class.member" left out of the host ("WIADevice.fireTransferFailed";
                            // "VestaroException.deviceName" leaves out both device fields;
                            // "WIAScanner.scanProgress")
};

struct Offer {  // one call of WIAManager.add
  std::string name;
  jlong handle = 0;
  jint type = 0;
  std::string id;
};

struct Delivery {  // one call of WIADevice.fireTransferDone
  std::string path, format;
  bool existed = false;
  uint64_t size = 0;
  std::string head;  // the file's first bytes
};

// How WIAManager.add answers.
enum class AddAnswer { Keep, Refuse, Throw };

class Host {
 public:
  explicit Host(const HostOptions& options = {});

  fakejvm::Vm vm;
  fakejvm::Object* manager = nullptr;
  fakejvm::Object* camera = nullptr;
  fakejvm::Object* scanner = nullptr;

  std::vector<Offer> offers;
  AddAnswer addAnswer = AddAnswer::Keep;
  std::vector<Delivery> deliveries;
  bool throwFromTransferDone = false;
  // WIAScanner.scanProgress: each call as {page, percent}; it answers false from the first
  // call at cancelPage with cancelPercent or more on.
  std::vector<std::pair<jint, jint>> progress;
  jint cancelPage = -1, cancelPercent = 0;
  std::vector<std::string> errLines;  // System.err.println

  void setInt(fakejvm::Object* object, const std::string& field, jint value);

  // The pending exception of the main thread: its class, message and, for a
  // VestaroException, code, file, line and the device it names.
  struct Thrown {
    std::string className, message, file;
    int64_t code = 0;
    int64_t line = 0;
    std::optional<std::string> deviceName, deviceId;  // nothing for null
    std::vector<std::string> suppressed;  // class names
  };
  bool takeThrown(Thrown* thrown);

 private:
  void defineJdk();
  void defineHost(const HostOptions& options);
};

}  // namespace wine
