// The paper path of a scanner's document feeder: the sheets it holds, the sheet in the
// scanner whose other side is still to come, and a jam. It is the device's, not a
// session's: every CreateDevice of the device feeds from the same stack.
#pragma once

#include <mutex>

#include "winsim/devices.h"

namespace winsim::wia {

// One side of a sheet from the feeder; sheet 0 is no sheet (a flatbed scan).
struct FedPage {
  unsigned sheet = 0;  // 1 for the first sheet the device fed
  bool back = false;
};

enum class Feed { Page, Empty, Jam };

class Feeder {
 public:
  explicit Feeder(const FeederSpec& feeder);

  // The next side: with `duplex` both sides of each sheet, the front first unless
  // `backFirst`. The second side of a sheet comes before a new sheet is fed; a simplex
  // feed ejects such a sheet first.
  Feed take(bool duplex, bool backFirst, FedPage* page);
  // The sheet in the scanner leaves it, its other side unscanned.
  void eject();
  // The user takes the jammed sheet out.
  void clearJam();
  void load(unsigned sheets);  // throws std::invalid_argument beyond kFeederCapacity
  FeederState state() const;

 private:
  mutable std::mutex lock_;
  unsigned left_;
  unsigned fed_ = 0;
  unsigned jamAt_;
  bool jammed_ = false;
  FedPage pending_;  // the other side of the sheet in the scanner
};

}  // namespace winsim::wia
