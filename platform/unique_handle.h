#pragma once
// One owning type for every kind of system handle: UniqueHandle<Traits> holds one handle, frees
// it with Traits::Close once, when it is destroyed or reset, and moves but never copies. Traits
// name the handle type, the value that means "no handle" (Invalid) and the call that frees it.
// Each kind's traits stand beside the code that holds that kind.

#include <utility>

namespace qelo::platform {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const noexcept { return handle_; }
  bool Valid() const noexcept { return handle_ != Traits::Invalid(); }
  // Gives the handle up without freeing it.
  Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  // Frees the handle held, if any, and holds `handle` instead.
  void Reset(Handle handle = Traits::Invalid()) noexcept {
    if (Valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

}  // namespace qelo::platform
