// The platform calls the library's natives make, made directly from C++ with no Java VM: the
// baseline of the benchmarks. Each sequence mirrors one native call call for call (the
// journal check in SameCalls proves it), with the host's share done as plainly as C++ can.
#pragma once

#include <cstdint>
#include <vector>

#include <winsim/winsim.h>

#include "ComPtr.h"

namespace bench::direct {

// What the library holds after _initialize: the interface table and the manager's cookie.
struct Session {
  ComPtr<IGlobalInterfaceTable> table;
  DWORD managerCookie = 0;
};

Session open();
void close(Session& session);

// A poll of every device for a host that takes none (as WIAManager._poll with add false).
void poll(const Session& session);

// The first device, created and registered as a poll whose host takes it; its cookie.
DWORD takeFirstDevice(const Session& session);
void releaseDevice(const Session& session, DWORD deviceCookie);

// Every picture of the camera into a JPEG file whose size is read and which is then
// deleted (as WIACamera._transfer with a host that reads each file's size); the count.
int cameraTransfer(const Session& session, DWORD deviceCookie);

// A feeder batch of `pages` pages (as WIAScanner._scanPages with the feeder selected, the
// device's page count 0, the item at `dpi` and a host whose scanProgress goes on and that
// reads each file's size): the pages delivered.
int feederBatch(const Session& session, DWORD deviceCookie, int pages, LONG dpi);

// A colour scan of the scanner's first item at `dpi` over the given area, as BMP, returned
// as top-down rows of RGB bytes: the pixels the library's JPEG scan of that area encodes.
std::vector<uint8_t> scanPixels(const Session& session, DWORD deviceCookie, LONG dpi, LONG width,
                                LONG height);

}  // namespace bench::direct
