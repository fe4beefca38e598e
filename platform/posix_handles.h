#pragma once
// Move-only owners of the POSIX handles the platform layer opens: each closes its handle once,
// when the owner goes, whatever path leaves the scope.

#include <dirent.h>
#include <iconv.h>
#include <locale.h>
#include <netdb.h>
#include <unistd.h>

#include "platform/unique_handle.h"

namespace qelo::platform {

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

struct AddressInfoTraits {
  using Handle = addrinfo*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle list) { ::freeaddrinfo(list); }
};

using UniqueFd = UniqueHandle<FdTraits>;
using UniqueDir = UniqueHandle<DirTraits>;
using UniqueLocale = UniqueHandle<LocaleTraits>;
using UniqueIconv = UniqueHandle<IconvTraits>;
// The list getaddrinfo returns.
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

}  // namespace qelo::platform
