// The port of the virtual WIA service: what it needs from the platform it runs on, beside
// the COM types: its files in the temporary folder, JPEG encoding and whether the virtual
// devices are installed. Two adapters implement it, side by side under src/platform/:
// posix/ for winsim's own runtime (POSIX files, libjpeg-turbo, the marker beside
// libwinsim.so) and windows/ for the Windows test programs over the real system
// (CreateFileW, GetTempPathW, the imaging component's JPEG encoder). The census of the
// service's objects, its fault gates and its journal come from runtime/Internal.h
// (RefCounted, CallScope), whose portable parts both builds compile.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "Encode.h"
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

// Whether the device set of the environment (WINSIM_DEVICES, else the default set) is
// installed: where the virtual devices are part of the installation.
bool virtualDevicesInstalled();

// The image as a JPEG file: 0, kWritingStopped or the errno of the failure, after which the
// file's content is undefined.
int writeJpeg(std::FILE* file, const Image& image, const PixelFormat& format, RowProgress& progress);
// A JPEG written a row at a time as a driver hands the rows on. posix/ alone: the drivers of
// real devices are Linux's.
std::unique_ptr<RowWriter> jpegRowWriter(std::FILE* file, const PixelFormat& format);

}  // namespace winsim::wia
