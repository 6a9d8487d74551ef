// The virtual service's files in a Windows program: new files in the folder GetTempPathW
// names, created with CREATE_NEW under unique names, written through the C library.
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "runtime/Internal.h"
#include "wia/Platform.h"
#include "winsim/control.h"

namespace winsim::wia {
namespace {

std::wstring wideOfUtf8(const std::string& text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(toUtf16(text).c_str()));
}

HRESULT streamOf(HANDLE handle, const std::wstring& path, std::FILE** file) {
  if (handle == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    DeleteFileW(path.c_str());
    return E_OUTOFMEMORY;
  }
  *file = _fdopen(fd, "wb");
  if (*file) return S_OK;
  _close(fd);
  DeleteFileW(path.c_str());
  return E_OUTOFMEMORY;
}

}  // namespace

HRESULT writeFailure(int error) {
  switch (error) {
    case ENOSPC:
      return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case EACCES:
      return E_ACCESSDENIED;
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  }
}

HRESULT createTemporaryFile(const char* extension, std::FILE** file, std::string* path) {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
  for (int attempt = 0; attempt < detail::kTemporaryFileAttempts; ++attempt) {
    const std::wstring candidate =
        folder + wideOfUtf8(detail::temporaryFileName(GetCurrentProcessId(), extension));
    HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    const HRESULT hr = streamOf(handle, candidate, file);
    if (SUCCEEDED(hr)) *path = toUtf8(detail::utf16Of(candidate.c_str()));
    return hr;
  }
  return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
}

HRESULT openNamedFile(const std::string& path, std::FILE** file) {
  const std::wstring wide = wideOfUtf8(path);
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return streamOf(handle, wide, file);
}

void removeFile(const std::string& path) { DeleteFileW(wideOfUtf8(path).c_str()); }

}  // namespace winsim::wia
