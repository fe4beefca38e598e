#pragma once
// Move-only owners of the POSIX handles the platform layer opens: each closes its handle once,
// when the owner goes, whatever path leaves the scope.

#include <dirent.h>
#include <iconv.h>
#include <locale.h>
#include <unistd.h>

#include <utility>

namespace qelo::platform {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != Traits::Invalid(); }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle handle = Traits::Invalid()) {
    if (Valid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FdTraits {
  using Handle = int;
  static Handle Invalid() { return -1; }
  static void Close(Handle fd) { ::close(fd); }
};

struct DirTraits {
  using Handle = DIR*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle dir) { ::closedir(dir); }
};

struct LocaleTraits {
  using Handle = locale_t;
  static Handle Invalid() { return static_cast<locale_t>(nullptr); }
  static void Close(Handle locale) { ::freelocale(locale); }
};

struct IconvTraits {
  using Handle = iconv_t;
  // NOLINTNEXTLINE(performance-no-int-to-ptr): (iconv_t)-1 is iconv_open's failure value.
  static Handle Invalid() { return reinterpret_cast<iconv_t>(-1); }
  static void Close(Handle converter) { ::iconv_close(converter); }
};

using UniqueFd = UniqueHandle<FdTraits>;
using UniqueDir = UniqueHandle<DirTraits>;
using UniqueLocale = UniqueHandle<LocaleTraits>;
using UniqueIconv = UniqueHandle<IconvTraits>;

}  // namespace qelo::platform
