#include "output/commands/job_commands.h"

#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "output/core/state.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kJobCommandClasses[] = {
    {&RWCreate<GDocumentStart>, kGDocumentStartId, "GDocumentStart"},
    {&RWCreate<GDocumentEnd>, kGDocumentEndId, "GDocumentEnd"},
    {&RWCreate<GPageStart>, kGPageStartId, "GPageStart"},
    {&RWCreate<GPageEnd>, kGPageEndId, "GPageEnd"},
    {&RWCreate<GJobAbort>, kGJobAbortId, "GJobAbort"},
};

GAttributeComposite* Keyed(GAttributeComposite* attributes, std::uint32_t key) {
  if (attributes) attributes->SetKey(key);
  return attributes;
}

}  // namespace

std::span<const RWClassRegistration> JobCommandClasses() {
  return kJobCommandClasses;
}

// ---------------------------------------------------------------------------
// GDocumentCommand

GDocumentCommand::GDocumentCommand(GAttributeComposite* attributes, const RWWString& port_name,
                                   const RWWString& document_name, const std::uint32_t& key)
    : GCommand(Keyed(attributes, kDocumentAttributesKey), key),
      port_name_(port_name),
      document_name_(document_name) {}

bool GDocumentCommand::ForcedSetKey(std::uint32_t& key) const {
  key = kDocumentAttributesKey;
  return true;
}

bool GDocumentCommand::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* command = dynamic_cast<const GDocumentCommand*>(other);
  return command && GCommand::IsEqualContent(other) && port_name_ == command->port_name_ &&
         document_name_ == command->document_name_;
}

RWSize GDocumentCommand::StoredSize() const {
  return GCommand::StoredSize() + 12 + 2 * (port_name_.Length() + document_name_.Length());
}

template <class Out>
void GDocumentCommand::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kDocumentCommandVersion);
  PutItem(out, port_name_);
  PutItem(out, document_name_);
}

template <class In>
void GDocumentCommand::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  if (ReadsVersion(scope, in, kDocumentCommandVersion) && GetItem(in, port_name_)) {
    GetItem(in, document_name_);
  }
}

void GDocumentCommand::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GDocumentCommand::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GDocumentCommand::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GDocumentCommand::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// The job commands

template class MPersistentClass<GDocumentStart, GDocumentCommand, kGDocumentStartId>;
template class MPersistentClass<GDocumentEnd, GDocumentCommand, kGDocumentEndId>;
template class MPersistentClass<GPageStart, GCommand, kGPageStartId>;
template class MPersistentClass<GPageEnd, GCommand, kGPageEndId>;
template class MPersistentClass<GJobAbort, GCommand, kGJobAbortId>;

std::uint16_t GDocumentStart::Execute(GPeripheral& device) {
  return device.DocumentStart(*this);
}

std::uint16_t GDocumentEnd::Execute(GPeripheral& device) {
  return device.DocumentEnd(*this);
}

GPageStart::GPageStart(GAttributeComposite* attributes, const std::uint32_t& key)
    : GCommandClass(Keyed(attributes, kPageAttributesKey), key) {}

bool GPageStart::ForcedSetKey(std::uint32_t& key) const {
  key = kPageAttributesKey;
  return true;
}

std::uint16_t GPageStart::Execute(GPeripheral& device) {
  return device.PageStart(*this);
}

GPageEnd::GPageEnd(const std::uint32_t& key)
    : GCommandClass(RWNew<GState>(kPageAttributesKey), key) {}

bool GPageEnd::ForcedSetKey(std::uint32_t& key) const {
  key = kPageAttributesKey;
  return true;
}

std::uint16_t GPageEnd::Execute(GPeripheral& device) {
  return device.PageEnd(*this);
}

std::uint16_t GJobAbort::Execute(GPeripheral& device) {
  return device.JobAbort(*this);
}
