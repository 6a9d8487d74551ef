// The virtual service's files on winsim's own platform: POSIX files in $TMPDIR (else /tmp),
// created exclusively and readable by the owner only.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "runtime/Internal.h"
#include "wia/Platform.h"

namespace winsim::wia {
namespace {

// Win32 errors for the file system failures a transfer can meet.
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorWriteFault = 29;
constexpr DWORD kErrorDiskFull = 112;

std::string temporaryDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

HRESULT streamOf(int fd, const std::string& path, std::FILE** file) {
  if (fd < 0) return writeFailure(errno);
  *file = ::fdopen(fd, "wb");
  if (*file) return S_OK;
  const int error = errno;
  ::close(fd);
  ::unlink(path.c_str());
  return writeFailure(error);
}

}  // namespace

HRESULT writeFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return HRESULT_FROM_WIN32(kErrorPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
      return E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT:
      return HRESULT_FROM_WIN32(kErrorDiskFull);
    case ENOMEM:
      return E_OUTOFMEMORY;
    default:
      return HRESULT_FROM_WIN32(kErrorWriteFault);
  }
}

HRESULT createTemporaryFile(const char* extension, std::FILE** file, std::string* path) {
  const std::string dir = temporaryDirectory();
  for (int attempt = 0; attempt < detail::kTemporaryFileAttempts; ++attempt) {
    const std::string candidate =
        dir + "/" + detail::temporaryFileName(static_cast<unsigned long>(getpid()), extension);
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    const HRESULT hr = streamOf(fd, candidate, file);
    if (SUCCEEDED(hr)) *path = candidate;
    return hr;
  }
  return writeFailure(EEXIST);
}

HRESULT openNamedFile(const std::string& path, std::FILE** file) {
  return streamOf(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), path, file);
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

HRESULT createTransferFolder(std::string* folder) {
  std::string pattern = temporaryDirectory() + "/vestaro-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) return writeFailure(errno);  // mode 0700
  *folder = name.data();
  detail::keepTransferFolder(*folder);
  return S_OK;
}

void removeTransferFolder(const std::string& folder) { detail::removeTransferFolder(folder); }

}  // namespace winsim::wia
