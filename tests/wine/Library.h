// One of the two DLLs loaded into the test program as a Java VM loads it: LoadLibraryW, the
// exports looked up by the names the VM uses (plain on x86-64, _Name@N on i386), JNI_OnLoad
// and every native called inside a native frame of the calling thread's environment, whose
// local references must be gone when the native returns.
#pragma once

#include <string>
#include <vector>

#include "Host.h"

namespace wine {

class Library {
 public:
  // The DLL at `path`; by default the one named by VESTARO_WINE_DLL (a Windows path, or a
  // Unix path Wine maps to Z:).
  explicit Library(Host& host, const std::wstring& path = dllPath());
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  static std::wstring dllPath();
  bool loaded() const { return module_ != nullptr; }
  HMODULE module() const { return module_; }

  jint onLoad();
  jlong initialize();
  void poll(jlong manager);
  void releaseManager(jlong manager);
  void releaseDevice(jlong device);
  void transferCamera(jlong device, bool dialog);
  void transferScanner(jlong device, bool dialog);
  // WIAScanner._scanPages with (id, value) pairs; its outcome.
  jint scanPages(jlong device, const std::vector<jint>& rootWrites, const std::vector<jint>& itemWrites,
                 jint maxPages);
  // WIAScanner._capabilities; empty when it returned null.
  std::vector<jint> capabilities(jlong device);

 private:
  void* entry(const char* name, int argumentBytes);
  template <typename Call>
  void inFrame(const char* native, fakejvm::Object* self, Call call);

  Host& host_;
  HMODULE module_ = nullptr;
};

}  // namespace wine
