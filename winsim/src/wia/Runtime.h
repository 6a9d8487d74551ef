// What the virtual WIA service needs from the runtime it runs on, beside the COM types:
// its files in the temporary folder and JPEG encoding. winsim's own runtime implements it
// in src/runtime/ (POSIX files, libjpeg-turbo); the Windows test programs implement it in
// windows/ over the real system (CreateFileW, GetTempPathW, the imaging component's JPEG
// encoder). The census of the service's objects, its fault gates and its journal come from
// runtime/Internal.h (RefCounted, CallScope), whose portable parts both builds compile.
#pragma once

#include <cstdio>
#include <string>

#include "winsim/winsim.h"

namespace winsim::wia {

// A new file in the temporary folder that no one else can have opened (exclusive
// creation under a name from detail::temporaryFileName, retried when it exists), ending in
// `extension` (".jpg"): S_OK with `*file` open for binary writing and `*path` its name in
// UTF-8, else the failure and nothing created.
HRESULT createTemporaryFile(const char* extension, std::FILE** file, std::string* path);

// The file the caller named, created or truncated, open for binary writing.
HRESULT openNamedFile(const std::string& path, std::FILE** file);

// Deletes a file the service wrote; a failure is ignored (the file may be gone already).
void removeFile(const std::string& path);

// The code for a write that failed with the C library's `error` (errno).
HRESULT writeFailure(int error);

// A new folder in the temporary folder that only its owner can enter ("vestaro-XXXXXX"),
// for a camera file's transfer under the file's own name. ReleaseStgMedium of a file in it
// removes the folder with the file; removeTransferFolder does it otherwise.
HRESULT createTransferFolder(std::string* folder);
void removeTransferFolder(const std::string& folder);
// The folder of `file` when createTransferFolder made it, removed (winsim's ReleaseStgMedium).
void removeTransferFolderOf(const std::string& file);

// Whether the device set of the environment (WINSIM_DEVICES, else the default set) is
// installed: where the virtual devices are part of the installation.
bool virtualDevicesInstalled();

}  // namespace winsim::wia
