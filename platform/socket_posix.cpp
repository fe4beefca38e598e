#include <netdb.h>
#include <netinet/in.h>
#include <cerrno>

#include <algorithm>
#include <cstring>
#include <span>

#include "core/text.h"
#include "platform/socket.h"

namespace qelo::platform {

namespace {

struct AddressInfoTraits {
  using Handle = addrinfo*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle list) { ::freeaddrinfo(list); }
};
using UniqueAddressInfo = UniqueHandle<AddressInfoTraits>;

struct ErrnoCode {
  int error;
  int code;
};

// Each errno beside the Windows Sockets code of the same failure.
// clang-format off
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, 10004},           {EBADF, 10009},         {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},          {EMFILE, 10024},        {EWOULDBLOCK, 10035},     {EAGAIN, 10035},
    {EINPROGRESS, 10036},     {EALREADY, 10037},      {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},     {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},        {ENETUNREACH, 10051},
    {ENETRESET, 10052},       {ECONNABORTED, 10053},  {ECONNRESET, 10054},      {ENOBUFS, 10055},
    {EISCONN, 10056},         {ENOTCONN, 10057},      {EPIPE, 10058},           {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061},    {ELOOP, 10062},
    {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

// Each of the resolver's answers beside the Windows Sockets code of the same failure; any other
// is 11003, an unrecoverable failure of the name service.
constexpr ErrnoCode kResolverCodes[] = {
    {EAI_NONAME, kWsaHostNotFound}, {EAI_NODATA, kWsaHostNotFound}, {EAI_AGAIN, 11002},
    {EAI_ADDRFAMILY, kWsaHostNotFound}, {EAI_FAIL, 11003},          {EAI_MEMORY, 10055},
    {EAI_FAMILY, 10047},              {EAI_SOCKTYPE, 10044},        {EAI_SERVICE, 10109},
    {EAI_BADFLAGS, 10022},
};
// clang-format on

int CodeOf(std::span<const ErrnoCode> table, int error, int otherwise) {
  const auto found = std::ranges::find(table, error, &ErrnoCode::error);
  return found == table.end() ? otherwise : found->code;
}

}  // namespace

// An errno without a counterpart stays as it is.
int SocketErrorCode(int systemError) { return CodeOf(kErrnoCodes, systemError, systemError); }

SocketLibrary::SocketLibrary() = default;
SocketLibrary::~SocketLibrary() = default;

SocketEnd LookUpIpv4(const std::u16string& host, Ipv4Address& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(ToUtf8(host).c_str(), nullptr, &hints, &found);
  if (result != 0) {
    const int code =
        result == EAI_SYSTEM ? SocketErrorCode(errno) : CodeOf(kResolverCodes, result, 11003);
    return {SocketEnd::kFailed, code};
  }
  const UniqueAddressInfo list(found);
  const addrinfo* entry = list.Get();
  while (entry != nullptr && (entry->ai_family != AF_INET || entry->ai_addr == nullptr)) {
    entry = entry->ai_next;
  }
  if (entry == nullptr) return {SocketEnd::kFailed, kWsaHostNotFound};
  std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
  return {};
}

}  // namespace qelo::platform
