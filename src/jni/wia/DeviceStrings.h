// The Java strings of the devices a manager offers its host, kept across polls: a host that
// polls every few seconds sees the same devices again and again, so each device's id and
// name are made once and handed to every later offer while they stay the same. A device
// whose name changed gets new strings; one that a complete poll no longer lists, and every
// string of a manager whose handle is released, are given back.
//
// The cache holds global references; an offer gets local references to them, made under the
// cache's lock, so a string a poll on another thread gives back stays valid for the offer.
#pragma once

#include <cstdint>

#include "LocalRef.h"
#include "Platform.h"

// The number of a poll of the manager registered as `managerCookie`.
uint64_t beginDevicePoll(DWORD managerCookie);

// Local references to the strings of the device `id` named `name`: the kept ones when
// neither changed, else new ones, kept from now on. False with the error pending when a
// string cannot be made.
bool deviceStrings(JNIEnv* env, DWORD managerCookie, uint64_t poll, BSTR id, BSTR name,
                   LocalRef<jstring>* idString, LocalRef<jstring>* nameString);
// After a poll that went through the whole list: frees the strings of devices it did not see.
void endDevicePoll(JNIEnv* env, DWORD managerCookie, uint64_t poll);
// Frees every string kept for the manager.
void dropDeviceStrings(JNIEnv* env, DWORD managerCookie);
