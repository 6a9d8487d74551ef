// The device event sink: a WIA event sink that announces each event on the diagnostic
// channel, whatever the debug switch, and accepts it.
#pragma once

#include "CallbackObject.h"
#include "Platform.h"

// Created with `new` holding one reference (see CallbackObject).
class EventCallback final : public CallbackObject<IWiaEventCallback> {
 public:
  EventCallback() : CallbackObject(IID_IWiaEventCallback) {}

  // Prints "ImageEventCallback()" and returns S_OK; reads and writes none of its arguments.
  HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* eventGuid, BSTR eventDescription,
                                               BSTR deviceId, BSTR deviceDescription,
                                               DWORD deviceType, BSTR fullItemName,
                                               ULONG* eventType, ULONG reserved) override;
};
