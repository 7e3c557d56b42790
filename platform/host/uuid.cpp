#include "platform/host/uuid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <new>
#include <random>

#include "platform/host/host_state.h"

namespace platform {
namespace {

using host_internal::Lock;
using host_internal::Mutex;

std::mt19937_64& Generator() {
  static std::mt19937_64 generator{std::random_device{}()};
  return generator;
}

// The text form in 8-bit characters, with its terminator.
void Format(const Uuid& uuid, char (&text)[kUuidTextLength + 1]) {
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned>(uuid.data1), uuid.data2, uuid.data3, uuid.data4[0],
                uuid.data4[1], uuid.data4[2], uuid.data4[3], uuid.data4[4], uuid.data4[5],
                uuid.data4[6], uuid.data4[7]);
}

template <class Char>
LONG ToString(const Uuid* uuid, Char** text) {
  if (text) *text = nullptr;
  if (!uuid || !text) return kRpcSInvalidArg;
  char narrow[kUuidTextLength + 1];
  Format(*uuid, narrow);
  Char* out = new (std::nothrow) Char[kUuidTextLength + 1];
  if (!out) return kRpcSOutOfMemory;
  for (int i = 0; i <= kUuidTextLength; ++i)
    out[i] = static_cast<Char>(narrow[i]);
  *text = out;
  return kRpcSOk;
}

template <class Char>
LONG Free(Char** text) {
  if (text) {
    delete[] * text;
    *text = nullptr;
  }
  return kRpcSOk;
}

}  // namespace

LONG UuidCreate(Uuid* uuid) {
  if (!uuid) return kRpcSInvalidArg;
  std::uint64_t high, low;
  {
    Lock lock(Mutex());
    high = Generator()();
    low = Generator()();
  }
  // Version 4 in the top nibble of data3, variant 1 in the top bits of the
  // first byte of data4.
  uuid->data1 = static_cast<DWORD>(high >> 32);
  uuid->data2 = static_cast<WORD>(high >> 16);
  uuid->data3 = static_cast<WORD>((high & 0x0FFF) | 0x4000);
  for (int i = 0; i < 8; ++i)
    uuid->data4[i] = static_cast<BYTE>(low >> (56 - 8 * i));
  uuid->data4[0] = static_cast<BYTE>((uuid->data4[0] & 0x3F) | 0x80);
  return kRpcSOk;
}

LONG UuidToStringA(const Uuid* uuid, char** text) {
  return ToString(uuid, text);
}

LONG UuidToStringW(const Uuid* uuid, char16_t** text) {
  return ToString(uuid, text);
}

LONG RpcStringFreeA(char** text) {
  return Free(text);
}

LONG RpcStringFreeW(char16_t** text) {
  return Free(text);
}

BOOL RtlGenRandom(void* buffer, DWORD size) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  for (DWORD done = 0; done < size;) {
    const ssize_t got = ::getrandom(bytes + done, size - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return host_internal::Fail<BOOL>(kErrorAccessDenied, 0);
    done += static_cast<DWORD>(got);
  }
  return 1;
}

void SeedUuids(std::uint64_t seed) {
  Lock lock(Mutex());
  Generator().seed(seed);
}

namespace host_internal {

void ResetUuidsLocked() {
  Generator().seed(std::random_device{}());
}

}  // namespace host_internal
}  // namespace platform
