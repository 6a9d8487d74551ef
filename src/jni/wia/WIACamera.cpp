// Natives of kordin.vestaro.wia.WIACamera: the pictures under a camera's root item, or those
// the user picks in the camera's dialog, each into a file handed to the host.
#include "DialogItems.h"
#include "Handles.h"
#include "LocalRef.h"
#include "NextElement.h"
#include "ReadValues.h"
#include "RequireOut.h"
#include "WIAUtils.h"

namespace {

// The item's WIA_IPA_ITEM_NAME as a Java string; null when the item has no such text (the
// host then names the file itself). A storage that cannot be asked fails the picture: null
// with the failure pending, as when the string could not be made.
LocalRef<jstring> itemNameOf(JNIEnv* env, IWiaItem* item) {
  LocalRef<jstring> none(env, nullptr);
  ComPtr<IWiaPropertyStorage> storage;
  HRESULT hr = requireOut(item->QueryInterface(IID_IWiaPropertyStorage, storage.putVoid()), storage, E_NOINTERFACE);
  if (hr != S_OK) {
    THROW_HRESULT(env, hr);  // camera: no storage for the picture's name
    return none;
  }
  const PROPSPEC name = {PRSPEC_PROPID, {WIA_IPA_ITEM_NAME}};
  ReadValues<1> value;
  hr = storage->ReadMultiple(1, &name, value.data());
  if (FAILED(hr)) {
    THROW_HRESULT(env, hr);  // camera: picture's name not read
    return none;
  }
  if (hr != S_OK || value[0].vt != VT_BSTR || !value[0].bstrVal) return none;  // S_FALSE: the item has none
  return LocalRef<jstring>(env, env->NewString(reinterpret_cast<const jchar*>(value[0].bstrVal),
                                               static_cast<jsize>(SysStringLen(value[0].bstrVal))));
}

// Before each picture's transfer, the host's pictureNamed(String) hears the item's name, so
// that the file it is handed next keeps it. Bound when the naming native is first called,
// so that a host without the method still loads the library.
class PictureNaming {
 public:
  // Looks the method up; false with the lookup's error pending when the host lacks it.
  bool bind(JNIEnv* env, jobject camera) {
    LocalRef<jclass> type(env, env->GetObjectClass(camera));
    method_ = type ? env->GetMethodID(type.get(), "pictureNamed", "(Ljava/lang/String;)V") : nullptr;
    return method_ != nullptr && !env->ExceptionCheck();
  }
  // Tells the host the item's name (null when it has none); Pending when that threw.
  JavaState announce(JNIEnv* env, jobject camera, IWiaItem* item) const {
    LocalRef<jstring> name = itemNameOf(env, item);
    if (env->ExceptionCheck()) return JavaState::ExceptionPending;
    jvalue argument;
    argument.l = name.get();
    env->CallVoidMethodA(camera, method_, &argument);
    return env->ExceptionCheck() ? JavaState::ExceptionPending : JavaState::Clear;
  }

 private:
  jmethodID method_ = nullptr;
};

// One picture: its name first when the host wants it, then its transfer.
JavaState transferPicture(JNIEnv* env, jobject camera, ComPtr<IWiaItem> item, const PictureNaming* naming) {
  if (naming && item && naming->announce(env, camera, item.get()) != JavaState::Clear) {
    return JavaState::ExceptionPending;
  }
  return transferItem(env, camera, std::move(item), 0, nullptr, nullptr);
}

// A picture that fails does not stop the others. Its exception is held aside while the
// transfer goes on, later failures are attached to it as suppressed, and it is pending when
// the method returns. A dialog, child enumeration or fetch that fails is reported after the
// pictures that arrived before it; a cancelled dialog (S_FALSE), the end of the list and a
// camera without pictures end the call quietly.
void transferPictures(JNIEnv* env, jobject self, jlong deviceHandle, jboolean dialog, const PictureNaming* naming) {
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
      if (item && transferPicture(env, self, std::move(item), naming) != JavaState::Clear) {
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
    if (child && transferPicture(env, self, std::move(child), naming) != JavaState::Clear) {
      held.takePending();
    }
  }
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIACamera__1transfer(JNIEnv* env, jobject self,
                                                                               jlong deviceHandle,
                                                                               jboolean dialog) {
  transferPictures(env, self, deviceHandle, dialog, nullptr);
}

// As _transfer, each picture's name handed to the host's pictureNamed before its file.
extern "C" JNIEXPORT void JNICALL Java_kordin_vestaro_wia_WIACamera__1transferNamed(JNIEnv* env, jobject self,
                                                                                    jlong deviceHandle,
                                                                                    jboolean dialog) {
  PictureNaming naming;
  if (!naming.bind(env, self)) return;
  transferPictures(env, self, deviceHandle, dialog, &naming);
}
