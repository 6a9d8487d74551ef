// Natives of kordin.vestaro.wia.WIACamera: the pictures under a camera's root item, or those
// the user picks in the camera's dialog, each into a file handed to the host.
#include "DialogItems.h"
#include "Handles.h"
#include "NextElement.h"
#include "RequireOut.h"
#include "WIAUtils.h"

// A picture that fails does not stop the others. Its exception is held aside while the
// transfer goes on, later failures are attached to it as suppressed, and it is pending when
// the method returns. A dialog, child enumeration or fetch that fails is reported after the
// pictures that arrived before it; a cancelled dialog (S_FALSE), the end of the list and a
// camera without pictures end the call quietly.
extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIACamera__1transfer(JNIEnv* env, jobject self,
                                                                               jlong deviceHandle,
                                                                               jboolean dialog) {
  CoInitialize(nullptr);  // never uninitialised (COM on the host's threads, WIALibrary.h)
  ComPtr<IWiaItem> root;
  if (!LOOK_UP_HANDLE(env, deviceHandle, IID_IWiaItem, root)) return;
  HeldException held(env);

  if (dialog) {
    DialogItems picked;
    const HRESULT shown = root->DeviceDlg(nullptr, 0, WIA_INTENT_NONE, picked.countSlot(), picked.arraySlot());
    if (FAILED(shown)) {
      THROW_HRESULT(env, shown);  // camera: dialog failed
      return;
    }
    if (shown != S_OK) return;  // cancelled (S_FALSE)
    for (LONG i = 0; i < picked.size(); ++i) {
      ComPtr<IWiaItem> item = picked.take(i);
      if (item && transferItem(env, self, std::move(item), 0, nullptr, nullptr) != JavaState::Clear) {
        held.takePending();
      }
    }
    return;
  }

  ComPtr<IEnumWiaItem> children;
  HRESULT status = requireOutOnSuccess(root->EnumChildItems(children.put()), children);
  if (FAILED(status)) {
    THROW_HRESULT(env, status);  // camera: no picture list
    return;
  }
  // Each direct child right after its fetch, in the enumerator's order.
  while (status == S_OK) {
    ComPtr<IWiaItem> child;
    status = nextElement(children.get(), child);
    if (status != S_OK) {
      child.reset();
      if (FAILED(status)) THROW_HRESULT(env, status);  // camera: next picture not fetched
      break;
    }
    if (child && transferItem(env, self, std::move(child), 0, nullptr, nullptr) != JavaState::Clear) {
      held.takePending();
    }
  }
}
