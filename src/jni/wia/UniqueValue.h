// Owner of one value that must be given back by a function of its own: a block of task
// memory, a buffer from LocalAlloc, a storage medium. The function runs once, when the
// holder goes out of scope or takes another value. A pointer is given back only when it is
// not null; any other type is always handed to its function, which must accept an empty one.
//
//   TaskMemory<WCHAR> name(entry.lpwstrName);
//   FileMedium medium;
//   transfer->idtGetData(medium.put(), nullptr);
#pragma once

#include <type_traits>
#include <utility>

#include "Platform.h"

template <typename T, auto Free>
class UniqueValue {
 public:
  UniqueValue() = default;
  // Takes over a value the caller owns.
  explicit UniqueValue(T owned) : value_(owned) {}
  ~UniqueValue() { reset(); }

  UniqueValue(UniqueValue&& other) noexcept : value_(other.release()) {}
  UniqueValue& operator=(UniqueValue&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueValue(const UniqueValue&) = delete;
  UniqueValue& operator=(const UniqueValue&) = delete;

  const T& get() const { return value_; }

  // Gives back what is held and hands out the slot for an out-parameter.
  T* put() {
    reset();
    return &value_;
  }

  // Gives the value up without giving it back.
  [[nodiscard]] T release() { return std::exchange(value_, T{}); }

  // Gives back what is held and takes over `owned` instead.
  void reset(T owned = T{}) {
    T old = std::exchange(value_, owned);
    if constexpr (std::is_pointer_v<T>) {
      if (!old) return;
    }
    Free(old);
  }

 private:
  T value_{};
};

namespace vestaro::detail {

inline void freeTaskMemory(void* block) { CoTaskMemFree(block); }
inline void freeLocalMemory(void* block) { LocalFree(block); }

// A file medium that WIA filled in: deletes the file and frees its name. One that holds no
// file (the transfer failed before WIA named one) has nothing to give back.
inline void releaseFileMedium(STGMEDIUM& medium) {
  if (medium.lpszFileName || medium.pUnkForRelease) ReleaseStgMedium(&medium);
}

}  // namespace vestaro::detail

// A block of COM task memory holding T (CoTaskMemFree).
template <typename T>
using TaskMemory = UniqueValue<T*, vestaro::detail::freeTaskMemory>;

// A buffer from LocalAlloc holding T, such as the text FormatMessage allocates (LocalFree).
template <typename T>
using LocalMemory = UniqueValue<T*, vestaro::detail::freeLocalMemory>;

// A storage medium that WIA fills in with a file of its choosing (ReleaseStgMedium).
using FileMedium = UniqueValue<STGMEDIUM, vestaro::detail::releaseFileMedium>;
