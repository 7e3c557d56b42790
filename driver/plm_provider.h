// GPLMProvider: the library's side of the driver family's registry agent, a
// program outside the library whose window (class "kvplm") gathers printers'
// device values. The provider is a port handler of the second list (flags
// 0x10000): DllMain registers it as "KVPLM 1.0", and when the driver data
// asks the port-handler registry for a value source with 0x10000, the
// registry's flag test (HasFlags, the provider's "open" of that interface
// version) finds the agent, and OpenEx makes the device-value reader
// (device_value_reader.h) that runs the exchange. The reader asks the agent
// through SendAgentCode6 and SendAgentCode1, then Disconnect.
//
// The agent is reached by the registered window message
// "KVPLM_CLIENT_REQUEST" sent to the first top-level window of class
// "kvplm" with wParam 3 and lParam 6 or 1; an answer of 0 is success. The
// window and message are a cache found on the first request and cleared by
// Disconnect; they are no content and a restored provider starts without
// them.
//
// It carries two attribute composites of device values (GPMLDescriptor
// pairs: wide name, 8-bit text), held by value. WriteAgentObjects writes
// the first set's non-empty texts as REG_BINARY values under the agent's
// machine key; nothing in the library calls it.
//
// Class id 957, registered as "GPLMProvider"; kind test 957, 952, 751.
// Stored form, after the port handler's part (port_handler.h):
//   version      u32  kPLMProviderVersion (1)
//   first set    a new object of class 757 with its stored form (rwstore.h)
//   second set   the same
// A restore of another version reads nothing further and keeps the object
// as it was; version 1 clears the window and message and reads both sets
// back into the ones held. Content equality: the same class and key, the
// same window and message, content-equal sets. (The port handler's own
// comparison answers false for every pair, which would leave a provider
// unequal even to its copy; the key comparison below it is what is meant.)
//
// Ownership: the provider owns its sets; the registry never owns it (its
// maker unregisters it before deleting it). Threads: any; it keeps no lock,
// and two threads connecting at once store the same values (the cache is
// atomic).
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "config/attributes/attribute_composite.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"
#include "persist/port_handler.h"
#include "platform/host/types.h"

inline constexpr RWClassID kGPLMProviderId = 957;
inline constexpr std::uint32_t kPLMProviderVersion = 1;
// The interface version the provider answers and opens (its flags).
inline constexpr std::uint32_t kAgentInterfaceVersion = 0x10000;
inline constexpr char16_t kAgentWindowClass[] = u"kvplm";
inline constexpr char16_t kAgentMessageName[] = u"KVPLM_CLIENT_REQUEST";
// wParam of every request, and the two request codes.
inline constexpr platform::WPARAM kAgentRequest = 3;
inline constexpr platform::LPARAM kAgentCodeUpdate = 6;
inline constexpr platform::LPARAM kAgentCodeNotify = 1;
// Where WriteAgentObjects writes, under the local machine.
inline constexpr char16_t kAgentObjectsKey[] = u"Software\\Kestrova\\KV Pellumo\\KvrdbObjects";

class GPLMProvider final : public MPersistentClass<GPLMProvider, GPortHandler, kGPLMProviderId> {
 public:
  // Not connected, two empty sets, key 0.
  GPLMProvider() = default;
  // Deep copies of both sets; window and message copied.
  GPLMProvider(const GPLMProvider& other);
  GPLMProvider& operator=(const GPLMProvider&) = delete;

  // The virtual operations below are in slot order.
  // A new device-value reader, as a GNamedValueSource* (the caller's;
  // null when memory fails), for the driver data `extra` (a GDriverData*),
  // keeping `name` (the name the provider is registered under) and
  // `destination` (the port).
  void* OpenEx(const RWWString& destination, const RWCString& name, std::uint32_t flags,
               void* extra) override;
  // kAgentInterfaceVersion.
  std::uint32_t Flags() const override { return kAgentInterfaceVersion; }
  // For kAgentInterfaceVersion, whether the agent is connected, or else
  // can be connected now; any other version false, without looking.
  bool HasFlags(std::uint32_t version) const override;

  // Registers the message and finds the agent's window (no title): true
  // when both were had.
  bool Connect() const;
  bool IsConnected() const;
  // Connects when needed, then sends the request with code 6 (or 1): true
  // when it was sent and the agent answered 0.
  bool SendAgentCode6();
  bool SendAgentCode1();
  // Reads the system's version (unused) and forgets window and message; 1.
  int Disconnect();
  // See the file comment: 0 when the key does not open or a write failed,
  // else 1.
  int WriteAgentObjects();

  GAttributeComposite& FirstValueSet() { return first_set_; }
  GAttributeComposite& SecondValueSet() { return second_set_; }

  // The port handler's part, 4, and each set's class token (2) and size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  bool SendAgentCode(platform::LPARAM code);

  mutable std::atomic<platform::HWND> window_{nullptr};
  mutable std::atomic<platform::UINT> message_{0};
  GAttributeComposite first_set_;
  GAttributeComposite second_set_;
};

extern template class MPersistentClass<GPLMProvider, GPortHandler, kGPLMProviderId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PLMProviderClasses();
