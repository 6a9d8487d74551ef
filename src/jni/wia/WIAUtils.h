// The transfer of one item into a file handed to the host, the pieces of it that a batch of
// pages shares, and the listing of an item's properties on the diagnostic channel.
#pragma once

#include "ComPtr.h"
#include "PendingException.h"
#include "Platform.h"

// Moves the image of `item` into a file and hands it to the host. Sets the item's format and
// medium as a pair (a JPEG file, else a BMP file), writes the `count` extra properties one by
// one (a refusal only prints "Failed to set property[i] id to value" when debugging is on),
// lists the item's properties when debugging is on, has WIA write the file, calls
// deviceObject.fireTransferDone(path, "jpg" or "bmp") once and deletes the file right after.
// Releases `item`, with everything else it obtained, on every path. A failure is reported
// as a VestaroException from this source; a throwing callback leaves its exception pending;
// either gives ExceptionPending. `propSpecs` and `propValues` are only read; null arrays mean
// no extra property.
[[nodiscard]] JavaState transferItem(JNIEnv* env, jobject deviceObject, ComPtr<IWiaItem> item,
                                     ULONG count, const PROPSPEC* propSpecs,
                                     const PROPVARIANT* propValues);

// The pieces of an item transfer that a batch of pages shares with it:
// - writeFileFormat writes the format and medium as a pair, a JPEG file, else a BMP file, and
//   gives the extension the host is told ("jpg" or "bmp", a global reference of the load),
//   or null with `result` holding the second attempt's result;
// - writeItemProperties writes `count` properties one at a time (a refusal only prints
//   "Failed to set property[i] id to value" when debugging is on), then lists the storage's
//   properties when debugging is on;
// - deliverFile calls deviceObject.fireTransferDone(path, extension) with the file WIA named;
//   ExceptionPending when the path cannot be made or the callback threw.
jstring writeFileFormat(IWiaPropertyStorage* storage, HRESULT* result);
void writeItemProperties(IWiaPropertyStorage* storage, ULONG count, const PROPSPEC* propSpecs,
                         const PROPVARIANT* propValues);
[[nodiscard]] JavaState deliverFile(JNIEnv* env, jobject deviceObject, const WCHAR* fileName,
                                    jstring extension);

// Prints every property of `storage` as a diagnostic line, whatever the debug switch:
// "  <id> - <name> - " followed by "\"<text>\"" for a string, "0x<hex> (<decimal>)" for a
// 32-bit integer, "<TYPE>" for any other type and "ERROR" for a property that cannot be read.
// `storage` is borrowed.
void dumpPropertyStorage(IWiaPropertyStorage* storage);

// The name of a variant type code without its VT_ prefix ("BSTR", "UI4"), or "unknown" for a
// code outside the base types, modifier bits (vector, array, by-reference) included.
const char* varTypeName(VARTYPE vt);
