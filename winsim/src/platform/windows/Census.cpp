// The census in a Windows program: the virtual objects, and the task-memory blocks that
// are allocated while the census watches (a malloc spy registered with the system's task
// allocator) and not yet freed. OLE automation takes BSTRs from the same allocator; with
// OANOCACHE=1 in the environment (the Wine tests set it) it frees them at once instead of
// caching them, so BSTRs count among the task-memory blocks. Local memory has no such hook.
#include <mutex>
#include <unordered_set>

#include "runtime/Internal.h"
#include "winsim/control.h"

namespace winsim {
namespace {

class TaskMemorySpy final : public IMallocSpy {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IMallocSpy) {
      *object = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: lives as long as the process
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override { return cbRequest; }
  void* STDMETHODCALLTYPE PostAlloc(void* pActual) override {
    if (pActual) add(pActual);
    return pActual;
  }
  // The set of blocks seen allocated decides what a free removes, so a block allocated
  // before the census began watching is never counted.
  void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL) override {
    if (pRequest) remove(pRequest);
    return pRequest;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest,
                                      BOOL) override {
    if (pRequest) remove(pRequest);
    *ppNewRequest = pRequest;
    return cbRequest;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override {
    if (pActual) add(pActual);
    return pActual;
  }
  void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

  long live() {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<long>(blocks_.size());
  }

 private:
  void add(void* block) {
    std::lock_guard<std::mutex> guard(lock_);
    blocks_.insert(block);
  }
  void remove(void* block) {
    std::lock_guard<std::mutex> guard(lock_);
    blocks_.erase(block);
  }

  std::mutex lock_;
  std::unordered_set<void*> blocks_;
};

TaskMemorySpy& spy() {
  static TaskMemorySpy instance;
  static const bool registered = SUCCEEDED(CoRegisterMallocSpy(&instance));
  (void)registered;
  return instance;
}

}  // namespace

Census census() {
  Census result;
  result.comObjects = detail::liveObjectCount();
  result.taskMemoryBlocks = spy().live();
  return result;
}

}  // namespace winsim
