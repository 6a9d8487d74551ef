#include "Host.h"

#include <cstdio>

namespace wine {

using fakejvm::Class;
using fakejvm::Env;
using fakejvm::Object;
using fakejvm::Value;

namespace {

std::string text(const Object* string) { return string ? fakejvm::utf8Of(string->text) : "(null)"; }

std::wstring wide(const std::string& utf8) {
  std::wstring out(utf8.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return out;
}

// Reads the file a callback receives: whether it is there, its size and first bytes.
void inspect(const std::string& path, Delivery* delivery) {
  HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  delivery->existed = true;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size)) delivery->size = static_cast<uint64_t>(size.QuadPart);
  char head[4] = {};
  DWORD read = 0;
  if (ReadFile(file, head, sizeof head, &read, nullptr)) delivery->head.assign(head, read);
  CloseHandle(file);
}

Value none() { return Value::none(); }

}  // namespace

Host::Host(const HostOptions& options) {
  defineJdk();
  defineHost(options);
}

void Host::defineJdk() {
  vm.defineClass("java/lang/String", "java/lang/Object");
  Class& throwable = vm.defineClass("java/lang/Throwable", "java/lang/Object");
  throwable.method("<init>", "(Ljava/lang/String;)V", [](Env&, Object* self, const std::vector<Value>& a) {
    self->message = text(a[0].l);
    return none();
  });
  throwable.method("addSuppressed", "(Ljava/lang/Throwable;)V", [](Env&, Object* self, const std::vector<Value>& a) {
    if (a[0].l) self->suppressed.push_back(a[0].l);
    return none();
  });
  vm.defineClass("java/lang/Exception", "java/lang/Throwable");
  vm.defineClass("java/lang/RuntimeException", "java/lang/Exception");
  vm.defineClass("java/lang/IllegalStateException", "java/lang/RuntimeException");
  vm.defineClass("java/lang/Error", "java/lang/Throwable");
  vm.defineClass("java/lang/OutOfMemoryError", "java/lang/Error");
  vm.defineClass("java/lang/LinkageError", "java/lang/Error");
  vm.defineClass("java/lang/NoClassDefFoundError", "java/lang/LinkageError");
  vm.defineClass("java/lang/IncompatibleClassChangeError", "java/lang/LinkageError");
  vm.defineClass("java/lang/NoSuchMethodError", "java/lang/IncompatibleClassChangeError");
  vm.defineClass("java/lang/NoSuchFieldError", "java/lang/IncompatibleClassChangeError");

  Class& stream = vm.defineClass("java/io/PrintStream", "java/lang/Object");
  stream.method("println", "(Ljava/lang/String;)V", [this](Env&, Object*, const std::vector<Value>& a) {
    errLines.push_back(text(a[0].l));
    return none();
  });
  Class& system = vm.defineClass("java/lang/System", "java/lang/Object");
  system.field("err", "Ljava/io/PrintStream;", true).staticValue = Value::ofObject(vm.newObject(&stream));

  // Boxed values hold their value in "value"; Date its milliseconds.
  const struct {
    const char* name;
    const char* getter;
    char letter;
  } boxes[] = {{"java/lang/Byte", "byteValue", 'B'},       {"java/lang/Short", "shortValue", 'S'},
               {"java/lang/Integer", "intValue", 'I'},     {"java/lang/Float", "floatValue", 'F'},
               {"java/lang/Double", "doubleValue", 'D'},   {"java/lang/Boolean", "booleanValue", 'Z'},
               {"java/util/Date", "getTime", 'J'}};
  for (const auto& box : boxes) {
    Class& cls = vm.defineClass(box.name, "java/lang/Object");
    const std::string letter(1, box.letter);
    cls.method(box.getter, "()" + letter, [](Env&, Object* self, const std::vector<Value>&) {
      return self->extra["value"];
    });
    cls.method("<init>", "(" + letter + ")V", [](Env&, Object* self, const std::vector<Value>& a) {
      self->extra["value"] = a[0];
      return none();
    });
  }
}

void Host::defineHost(const HostOptions& options) {
  auto wanted = [&options](const char* member) { return options.omitMember != member; };

  Class& exception = vm.defineClass("kordin/vestaro/VestaroException", "java/lang/Exception");
  exception.method("<init>", "(ILjava/lang/String;Ljava/lang/String;I)V",
                   [](Env&, Object* self, const std::vector<Value>& a) {
                     self->extra["code"] = a[0];
                     self->message = text(a[1].l);
                     self->extra["file"] = a[2];
                     self->extra["line"] = a[3];
                     return none();
                   });
  if (wanted("VestaroException.deviceName")) {
    exception.field("deviceName", "Ljava/lang/String;");
    exception.field("deviceId", "Ljava/lang/String;");
  }

  Class& base = vm.defineClass("kordin/vestaro/Manager", "java/lang/Object");
  if (wanted("Manager.debug")) base.field("debug", "Z", true).staticValue = Value::ofInt('Z', options.debug);

  Class& managerClass = vm.defineClass("kordin/vestaro/wia/WIAManager", "kordin/vestaro/Manager");
  if (wanted("WIAManager.add")) {
    managerClass.method("add", "(Ljava/lang/String;JILjava/lang/String;)Z",
                        [this](Env& env, Object*, const std::vector<Value>& a) {
                          offers.push_back({text(a[0].l), a[1].j, static_cast<jint>(a[2].j), text(a[3].l)});
                          if (addAnswer == AddAnswer::Throw) env.throwNew("java/lang/IllegalStateException", "add refused");
                          return Value::ofInt('Z', addAnswer == AddAnswer::Keep);
                        });
  }

  Class& device = vm.defineClass("kordin/vestaro/wia/WIADevice", "java/lang/Object");
  if (wanted("WIADevice.fireTransferDone")) {
    device.method("fireTransferDone", "(Ljava/lang/String;Ljava/lang/String;)V",
                  [this](Env& env, Object*, const std::vector<Value>& a) {
                    Delivery delivery;
                    delivery.path = text(a[0].l);
                    delivery.format = text(a[1].l);
                    inspect(delivery.path, &delivery);
                    deliveries.push_back(delivery);
                    if (throwFromTransferDone) env.throwNew("java/lang/IllegalStateException", "listener failed");
                    return none();
                  });
  }
  if (wanted("WIADevice.fireTransferFailed")) {
    device.method("fireTransferFailed", "(ILjava/lang/String;)V",
                  [](Env&, Object*, const std::vector<Value>&) { return none(); });
  }
  vm.defineClass("kordin/vestaro/wia/WIACamera", "kordin/vestaro/wia/WIADevice");
  Class& scannerClass = vm.defineClass("kordin/vestaro/wia/WIAScanner", "kordin/vestaro/wia/WIADevice");
  for (const char* field : {"bitDepth", "resolution", "x", "y", "width", "height"}) {
    if (wanted((std::string("WIAScanner.") + field).c_str())) scannerClass.field(field, "I");
  }
  if (wanted("WIAScanner.scanProgress")) {
    scannerClass.method("scanProgress", "(II)Z", [this](Env&, Object*, const std::vector<Value>& a) {
      const auto page = static_cast<jint>(a[0].j), percent = static_cast<jint>(a[1].j);
      progress.emplace_back(page, percent);
      const bool stop = cancelPage >= 0 && (page > cancelPage || (page == cancelPage && percent >= cancelPercent));
      return Value::ofInt('Z', !stop);
    });
  }

  manager = vm.newObject(&managerClass);
  camera = vm.newObject(vm.findClass("kordin/vestaro/wia/WIACamera"));
  scanner = vm.newObject(&scannerClass);
  setInt(scanner, "bitDepth", 8);
  setInt(scanner, "resolution", 150);
  for (const char* field : {"x", "y", "width", "height"}) setInt(scanner, field, -1);
}

void Host::setInt(Object* object, const std::string& field, jint value) {
  for (auto& [f, v] : object->fields) {
    if (f->name == field) v = Value::ofInt('I', value);
  }
}

bool Host::takeThrown(Thrown* thrown) {
  Env& env = vm.mainEnv();
  Object* pending = env.pending();
  if (!pending) return false;
  env.setPending(nullptr);
  *thrown = Thrown{};
  thrown->className = pending->cls->name;
  thrown->message = pending->message;
  if (pending->extra.count("code")) {
    thrown->code = pending->extra["code"].j;
    thrown->file = text(pending->extra["file"].l);
    thrown->line = pending->extra["line"].j;
  }
  for (const auto& [field, value] : pending->fields) {
    if (value.l && field->name == "deviceName") thrown->deviceName = text(value.l);
    if (value.l && field->name == "deviceId") thrown->deviceId = text(value.l);
  }
  for (Object* s : pending->suppressed) thrown->suppressed.push_back(s->cls->name);
  return true;
}

}  // namespace wine
