#include "output/core/result_commands.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kResultCommandClasses[] = {
    {&RWCreate<GErrorCommand>, kGErrorCommandId, "GErrorCommand"},
    {&RWCreate<GNoCommand>, kGNoCommandId, "GNoCommand"},
};

}  // namespace

std::span<const RWClassRegistration> ResultCommandClasses() {
  return kResultCommandClasses;
}

template class MPersistentClass<GNoCommand, GCommand, kGNoCommandId>;

std::uint16_t GNoCommand::Execute(GPeripheral&) {
  return 0;
}

GErrorCommand::GErrorCommand(std::uint16_t code, GCommand* command, const std::uint32_t& key)
    : MPersistentClass(key), code_(code), command_(command, g_file_lock) {}

GErrorCommand::GErrorCommand(const GErrorCommand& other)
    : MPersistentClass(other), code_(other.code_), command_(other.command_, g_file_lock) {}

GErrorCommand::~GErrorCommand() {
  command_.Reset(nullptr, g_file_lock);
}

GCommand* GErrorCommand::GetCommand() const {
  return static_cast<GCommand*>(command_.Get());
}

std::uint16_t GErrorCommand::Execute(GPeripheral&) {
  return 0;
}

bool GErrorCommand::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GErrorCommand* error = SameContentBase(other);
  if (!error || code_ != error->code_) return false;
  const MPersistentObject* mine = command_.Get();
  const MPersistentObject* theirs = error->command_.Get();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

RWSize GErrorCommand::StoredSize() const {
  return GCommand::StoredSize() + 6 + GraphStoreSizeOf(command_.Get());
}

template <class Out>
void GErrorCommand::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kErrorCommandVersion);
  PutItem(out, code_);
  PutReference(out, command_.Get());
}

template <class In>
void GErrorCommand::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  if (ReadsVersion(scope, in, kErrorCommandVersion) && GetItem(in, code_)) {
    RestoreHeldReference<GCommand>(in, scope, *this, command_, g_file_lock);
  }
}

template class MPersistentClass<GErrorCommand, GCommand, kGErrorCommandId>;
