// The load entry's process-wide state: the host classes and member IDs every native uses,
// the host's standard error stream, the debug switch and the interface table through which
// native interfaces cross threads. Written once by JNI_OnLoad, read without locks afterwards.
//
// COM on the host's threads. The host calls natives from threads of its own, so every native
// (and the load) starts with CoInitialize(nullptr): a COM call on a thread without COM fails.
// Its result is not read, as S_FALSE (already initialised) and RPC_E_CHANGED_MODE (the host
// put the thread in the multithreaded apartment) both leave COM usable. No native calls
// CoUninitialize: the thread and its apartment are the host's, and the objects registered in
// the interface table from it (the handles the host holds) must outlive the call; the last
// CoUninitialize of the thread would disconnect them. The count each call adds belongs to
// the thread and ends with it.
#pragma once

#include "Platform.h"

struct BindingCache {
  JavaVM* javaVm;

  jclass systemClass;
  jobject systemErr;  // System.err as the load found it; null when the host had none
  jmethodID printlnMethod;

  jclass byteClass, shortClass, integerClass, floatClass, doubleClass, booleanClass,
      stringClass, dateClass;
  jmethodID byteValueMethod, shortValueMethod, intValueMethod, floatValueMethod,
      doubleValueMethod, booleanValueMethod, getTimeMethod;
  jmethodID byteInit, shortInit, integerInit, floatInit, doubleInit, booleanInit, dateInit;

  jclass managerClass, deviceClass, cameraClass, scannerClass;
  jfieldID bitDepthField, resolutionField, xField, yField, widthField, heightField;

  bool debugEnabled;  // Manager.debug at load; later changes of the field are not seen

  jmethodID addMethod, fireTransferDoneMethod, fireTransferFailedMethod;

  // The extensions fireTransferDone reports, made once: a transfer then makes no string
  // besides its path.
  jstring jpgExtension, bmpExtension;

  // Natives reach the table through interfaceTableOrThrow, which reports a table that
  // could not be created.
  IGlobalInterfaceTable* interfaceTable;
  HRESULT interfaceTableResult;  // what creating the table returned
};

extern BindingCache bindingCache;

// The interface table, or null with a VestaroException pending that carries the failure of
// its creation at load, reported from `file` and `line`. Use REQUIRE_INTERFACE_TABLE.
IGlobalInterfaceTable* interfaceTableOrThrow(JNIEnv* env, const char* file, int line);

// The interface table, or null after reporting why there is none from the calling line:
//   IGlobalInterfaceTable* table = REQUIRE_INTERFACE_TABLE(env);
//   if (!table) return 0;
#define REQUIRE_INTERFACE_TABLE(env) interfaceTableOrThrow((env), __FILE__, __LINE__)
