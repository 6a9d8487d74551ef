// Building blocks shared by the stand-in's runtime and its virtual WIA service.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "winsim/winsim.h"

namespace winsim::detail {

// Census bookkeeping for COM objects; the object's kind names it in leak reports.
WINSIM_API void objectCreated(const char* kind);
WINSIM_API void objectDestroyed(const char* kind);
long liveObjectCount();

// The heaps that the census counts besides task memory (which CoTaskMemAlloc tracks).
void trackBstr(const void* block);
void untrackBstr(const void* block);  // aborts when the block is not a live BSTR
void trackLocal(const void* block);
void untrackLocal(const void* block);  // aborts when the block is not live local memory

// True when the calling thread has joined COM (CoInitialize/CoInitializeEx).
WINSIM_API bool comInitializedOnThisThread();

// Classes that CoCreateInstance can make: `contexts` is the CLSCTX mask the class is
// served in; `create` returns a new object's IUnknown with one reference.
// A class registered again replaces its earlier registration.
using ClassFactory = std::function<IUnknown*()>;
WINSIM_API void registerClass(const CLSID& clsid, DWORD contexts, ClassFactory create);
// The factory of `clsid` when it is served in one of `contexts`, else an empty one.
ClassFactory registeredClass(const CLSID& clsid, DWORD contexts);

// Called by winsim::reset(), in registration order.
WINSIM_API void addResetHook(std::function<void()> hook);

// The entry of every gated method of a virtual object: checks that the thread has joined
// COM, applies injected faults and records the journal entry when it goes out of scope.
// `method` is a string that lives as long as the process (a literal).
//
//   CallScope call("IWiaItem::EnumChildItems", targetName);
//   if (call.refused()) { *out = nullptr; return call.result(); }
//   if (call.recording()) call.detail("flags=" + std::to_string(flags));
//   ... the method's work, giving hr ...
//   return call.finish(hr);
class WINSIM_API CallScope {
 public:
  CallScope(const char* method, const std::string& target);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // True when the call must fail without effect (thread not in COM, or a failure fault);
  // result() is then the code to return.
  bool refused() const { return refused_; }
  HRESULT result() const { return result_; }
  // Whether this call goes into the journal: make argument text only then.
  bool recording() const { return recording_; }
  // Adds argument text to the journal entry (nothing when not recording).
  void detail(const std::string& text);
  // Whether any call is observed now (a fault is set or the journal is on): a target that
  // costs work to name is only worth naming then.
  static bool observed();
  // Records the method's own result; an injected success code replaces S_OK.
  HRESULT finish(HRESULT hr);

 private:
  const char* method_;
  std::string target_;
  std::string detail_;
  HRESULT result_ = S_OK;
  HRESULT successOverride_ = S_OK;
  bool hasSuccessOverride_ = false;
  bool refused_ = false;
  bool recording_ = false;
};

// For platform routines outside COM (allocation, say): the failure an injected fault rule
// gives this call of `method`, or S_OK. Not journaled, and needs no COM initialisation.
WINSIM_API HRESULT injectedFailure(const char* method);

// What a COM method returns for the C++ exception being handled, so that none leaves it:
// E_OUTOFMEMORY for std::bad_alloc, else E_FAIL. Call only from a catch block:
//   HRESULT Method(...) try { ... } catch (...) { return detail::resultOfCaughtException(); }
WINSIM_API HRESULT resultOfCaughtException() noexcept;

// Reference counting and census for a virtual COM object. A derived class implements
// QueryInterface with queryInterfaceImpl and forwards AddRef/Release here.
class WINSIM_API RefCounted {
 public:
  explicit RefCounted(const char* kind);
  virtual ~RefCounted();
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  ULONG addRefImpl();
  ULONG releaseImpl();  // deletes the object when the count reaches zero
  ULONG refCount() const { return count_.load(); }
  const char* kind() const { return kind_; }
  // The runtime's marshaler for this object, made by queryMarshaler, released with it.
  void*& marshaler() { return marshaler_; }

 private:
  const char* kind_;
  std::atomic<ULONG> count_{1};
  void* marshaler_ = nullptr;
};

// Answers `riid` with the interface that lets the runtime hand `object` (whose controlling
// IUnknown is `outer`) to other apartments, or returns E_NOINTERFACE. winsim's interface
// table hands out the same pointer everywhere and has none; the real system's needs the
// free-threaded marshaler aggregated, as an in-process object without proxies must.
HRESULT queryMarshaler(RefCounted& object, IUnknown* outer, REFIID riid, void** ppv);
void releaseMarshaler(void* marshaler);

// The name, without its folder, of a new file of the virtual service in the temporary
// folder: "wia<process>-<serial>-<random><extension>", unique in the process by its serial
// and hard to guess by its random part. A runtime that finds the name taken asks for
// another, up to kTemporaryFileAttempts names in all.
std::string temporaryFileName(unsigned long processId, const char* extension);
constexpr int kTemporaryFileAttempts = 100;

// The private folders made for one transferred file each (a camera file under its own
// name), which ReleaseStgMedium of the file removes with it. The platform's files make them
// and keep them here; winsim's ReleaseStgMedium is the runtime's, below the service.
void keepTransferFolder(const std::string& folder);
// Removes `folder` (which must then be empty) when it is one kept here.
void removeTransferFolder(const std::string& folder);
// The folder of `file`, removed when it is one kept here.
void removeTransferFolderOf(const std::string& file);

// Text helpers. WCHAR is char16_t in winsim and wchar_t (also 16 bits) on Windows; these
// view one as the other.
inline std::u16string utf16Of(const WCHAR* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string utf16Of(const WCHAR* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}
inline const WCHAR* wideOf(const std::u16string& text) {
  return reinterpret_cast<const WCHAR*>(text.c_str());
}
WINSIM_API std::string guidText(const GUID& guid);  // {B96B3CAE-0728-...}
WINSIM_API std::string variantText(const PROPVARIANT& value);  // "I4:300", "BSTR:\"Name\"", ...
WINSIM_API LPWSTR taskMemString(const std::u16string& text);   // CoTaskMemAlloc'd copy

}  // namespace winsim::detail
