// The private folders of transferred camera files, kept until ReleaseStgMedium of the file
// (or the service, when the transfer fails) removes them.
#include <unistd.h>

#include <mutex>
#include <set>

#include "Internal.h"

namespace winsim::detail {
namespace {

struct TransferFolders {
  std::mutex lock;
  std::set<std::string> made;
};
TransferFolders& transferFolders() {
  static TransferFolders* instance = new TransferFolders;  // media may be released at exit
  return *instance;
}

}  // namespace

void keepTransferFolder(const std::string& folder) {
  TransferFolders& folders = transferFolders();
  std::lock_guard<std::mutex> guard(folders.lock);
  folders.made.insert(folder);
}

void removeTransferFolder(const std::string& folder) {
  TransferFolders& folders = transferFolders();
  std::lock_guard<std::mutex> guard(folders.lock);
  if (folders.made.erase(folder) > 0) ::rmdir(folder.c_str());
}

void removeTransferFolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return;
  removeTransferFolder(file.substr(0, slash));
}

}  // namespace winsim::detail
