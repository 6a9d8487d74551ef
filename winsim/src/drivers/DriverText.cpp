#include "DriverText.h"

#include <map>
#include <mutex>

namespace winsim::drivers {
namespace {

struct Texts {
  std::mutex lock;
  std::map<HRESULT, std::string> byCode;
};

Texts& texts() {
  static Texts* instance = new Texts;  // never destroyed: drivers' threads may outlive statics
  return *instance;
}

}  // namespace

void rememberDriverText(HRESULT code, const std::string& text) {
  Texts& t = texts();
  std::lock_guard<std::mutex> guard(t.lock);
  t.byCode[code] = text;
}

std::optional<std::string> driverText(HRESULT code) {
  Texts& t = texts();
  std::lock_guard<std::mutex> guard(t.lock);
  auto found = t.byCode.find(code);
  if (found == t.byCode.end()) return std::nullopt;
  return found->second;
}

}  // namespace winsim::drivers
