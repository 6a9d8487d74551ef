// A driver library loaded at run time (dlopen) and the addresses of the functions the
// service calls in it. Nothing of the library is linked in: a machine without it simply
// has no devices of its kind, and the reason says why.
//
// A library once loaded stays loaded for the life of the process: SANE's and libgphoto2's
// own plug-ins and the threads or exit handlers they may leave make unloading unsafe, and
// loading again only counts up the loader's reference.
#pragma once

#include <string>

namespace winsim::drivers {

class DynamicLibrary {
 public:
  // Loads `file` (a name the loader searches for, or a path): false with the loader's
  // message in `reason`.
  bool load(const std::string& file, std::string* reason);

  // Binds `*function` to the library's function `name`: false with a reason that names it.
  template <typename Function>
  bool bind(const char* name, Function** function, std::string* reason) const {
    void* address = symbol(name, reason);
    *function = reinterpret_cast<Function*>(address);
    return address != nullptr;
  }

  const std::string& file() const { return file_; }

 private:
  void* symbol(const char* name, std::string* reason) const;

  void* handle_ = nullptr;
  std::string file_;
};

}  // namespace winsim::drivers
