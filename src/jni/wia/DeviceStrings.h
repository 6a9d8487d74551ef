// The Java strings of the devices a manager offers its host, kept across polls: a host that
// polls every few seconds sees the same devices again and again, so each device's id and
// name are made once and handed to every later offer while they stay the same. A device
// whose name changed gets new strings; one that a complete poll no longer lists, and every
// string of a manager whose handle is released, are given back.
//
// Entries are taken out of the cache while an offer uses them and put back afterwards, so
// that a string is never freed under a poll running on another thread.
#pragma once

#include <cstdint>

#include "Platform.h"

struct DeviceStrings {
  jstring id = nullptr;    // global references
  jstring name = nullptr;
};

// The number of a poll of the manager registered as `managerCookie`.
uint64_t beginDevicePoll(DWORD managerCookie);

// The strings of the device `id` named `name`: the kept ones when neither changed, else new
// ones. False with the error pending when a string cannot be made. The caller owns them
// until it gives them back.
bool takeDeviceStrings(JNIEnv* env, DWORD managerCookie, BSTR id, BSTR name, DeviceStrings* strings);
// Keeps `strings` for the next poll, stamped with the poll that used them.
void giveBackDeviceStrings(JNIEnv* env, DWORD managerCookie, BSTR id, BSTR name, uint64_t poll,
                           const DeviceStrings& strings);
// After a poll that went through the whole list: frees the strings of devices it did not see.
void endDevicePoll(JNIEnv* env, DWORD managerCookie, uint64_t poll);
// Frees every string kept for the manager.
void dropDeviceStrings(JNIEnv* env, DWORD managerCookie);
