// The document feeder's paper path.
#include "Feeder.h"

#include <stdexcept>
#include <string>

namespace winsim::wia {

Feeder::Feeder(const FeederSpec& feeder) : left_(feeder.sheets), jamAt_(feeder.jamAt) {}

Feed Feeder::take(bool duplex, bool backFirst, FedPage* page) {
  std::lock_guard<std::mutex> guard(lock_);
  if (jammed_) return Feed::Jam;
  if (pending_.sheet != 0) {
    if (duplex) {
      *page = pending_;
      pending_ = {};
      return Feed::Page;
    }
    pending_ = {};
  }
  if (left_ == 0) return Feed::Empty;
  --left_;
  ++fed_;
  if (fed_ == jamAt_) {
    jammed_ = true;
    return Feed::Jam;
  }
  *page = {fed_, duplex && backFirst};
  if (duplex) pending_ = {fed_, !backFirst};
  return Feed::Page;
}

void Feeder::eject() {
  std::lock_guard<std::mutex> guard(lock_);
  pending_ = {};
}

void Feeder::clearJam() {
  std::lock_guard<std::mutex> guard(lock_);
  jammed_ = false;
}

void Feeder::load(unsigned sheets) {
  std::lock_guard<std::mutex> guard(lock_);
  if (sheets > kFeederCapacity - left_) {
    throw std::invalid_argument("the feeder holds at most " + std::to_string(kFeederCapacity) + " sheets");
  }
  left_ += sheets;
}

FeederState Feeder::state() const {
  std::lock_guard<std::mutex> guard(lock_);
  return {left_, fed_, jammed_, pending_.sheet != 0};
}

}  // namespace winsim::wia
