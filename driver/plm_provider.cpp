#include "driver/plm_provider.h"

#include <new>

#include "driver/device_value_reader.h"
#include "driver/stored_state.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/pml_descriptor.h"
#include "persist/stored_form.h"
#include "platform/host/registry.h"
#include "platform/ui/window.h"
#include "services/os_factory.h"
#include "services/os_version.h"

namespace {

constexpr RWClassRegistration kPLMProviderClasses[] = {
    {&RWCreate<GPLMProvider>, kGPLMProviderId, "GPLMProvider"},
};

// Replaces `into`'s children by deep copies of `from`'s.
void CopyChildren(const GAttributeComposite& from, GAttributeComposite& into) {
  into.RemoveAll();
  const GCountedPtrVector& children = from.Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (MPersistentObject* child = children[i].Get()) into.AddChild(child->DeepCopy());
  }
}

}  // namespace

std::span<const RWClassRegistration> PLMProviderClasses() {
  return kPLMProviderClasses;
}

GPLMProvider::GPLMProvider(const GPLMProvider& other)
    : MPersistentClass(other),
      window_(other.window_.load()),
      message_(other.message_.load()),
      first_set_(other.first_set_),
      second_set_(other.second_set_) {
  CopyChildren(other.first_set_, first_set_);
  CopyChildren(other.second_set_, second_set_);
}

void* GPLMProvider::OpenEx(const RWWString& destination, const RWCString& name, std::uint32_t,
                           void* extra) {
  // Handed out as the kind the flags name: a value source.
  GNamedValueSource* reader = new (kRWNoThrow)
      GDeviceValueReader(this, name, static_cast<GDriverData*>(extra), destination);
  return reader;
}

bool GPLMProvider::HasFlags(std::uint32_t version) const {
  return version == kAgentInterfaceVersion && (IsConnected() || Connect());
}

bool GPLMProvider::Connect() const {
  message_ = platform::RegisterWindowMessageW(kAgentMessageName);
  window_ = platform::FindWindowW(kAgentWindowClass, nullptr);
  return IsConnected();
}

bool GPLMProvider::IsConnected() const {
  return window_.load() != nullptr && message_.load() != 0;
}

bool GPLMProvider::SendAgentCode(platform::LPARAM code) {
  if (!IsConnected() && !Connect()) return false;
  return platform::SendMessageW(window_, message_, kAgentRequest, code) == 0;
}

bool GPLMProvider::SendAgentCode6() {
  return SendAgentCode(kAgentCodeUpdate);
}

bool GPLMProvider::SendAgentCode1() {
  return SendAgentCode(kAgentCodeNotify);
}

int GPLMProvider::Disconnect() {
  GOSVersion version;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetOSVersion(version);
  window_ = nullptr;
  message_ = 0;
  return 1;
}

int GPLMProvider::WriteAgentObjects() {
  if (!GStoredState::KeyExists(platform::kHkeyLocalMachine, kAgentObjectsKey)) return 0;
  int result = 1;
  const GCountedPtrVector& pairs = first_set_.Children();
  for (RWSize i = 0; i < pairs.Count(); ++i) {
    const auto* pair = dynamic_cast<const GPMLDescriptor*>(pairs[i].Get());
    if (!pair || pair->Text().IsNull()) continue;
    platform::BYTE probe = 0;
    platform::DWORD size = 0;
    if (GStoredState::QueryValue(platform::kHkeyLocalMachine, kAgentObjectsKey, pair->Name().Data(),
                                 nullptr, &probe,
                                 &size) == static_cast<platform::LONG>(platform::kErrorMoreData)) {
      continue;
    }
    const auto* bytes = reinterpret_cast<const platform::BYTE*>(pair->Text().Data());
    if (GStoredState::SetValue(platform::kHkeyLocalMachine, kAgentObjectsKey, pair->Name().Data(),
                               platform::kRegBinary, bytes,
                               static_cast<platform::DWORD>(pair->Text().Length()), false) != 0) {
      result = 0;
    }
  }
  return result;
}

RWSize GPLMProvider::StoredSize() const {
  return GPortHandler::StoredSize() + 4 + 2 + first_set_.StoredSize() + 2 +
         second_set_.StoredSize();
}

bool GPLMProvider::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const auto* same = dynamic_cast<const GPLMProvider*>(other);
  return same && MPersistentObject::IsEqualContent(other) && window_ == same->window_.load() &&
         message_ == same->message_.load() && first_set_.IsEqualContent(&same->first_set_) &&
         second_set_.IsEqualContent(&same->second_set_);
}

template <class Out>
void GPLMProvider::SaveItems(Out& out) const {
  SaveBase<GPortHandler>(*this, out);
  PutItem(out, kPLMProviderVersion);
  PutReference(out, &first_set_);
  PutReference(out, &second_set_);
}

template <class In>
void GPLMProvider::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPortHandler>(*this, in);
  if (!ReadsVersion(scope, in, kPLMProviderVersion)) return;
  window_ = nullptr;
  message_ = 0;
  if (!GetEmbedded(in, first_set_) || !GetEmbedded(in, second_set_)) scope.Fail();
}

template class MPersistentClass<GPLMProvider, GPortHandler, kGPLMProviderId>;
