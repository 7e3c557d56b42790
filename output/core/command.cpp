#include "output/core/command.h"

#include <utility>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "output/core/state.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

}  // namespace

GCommand::GCommand(const std::uint32_t& key) : MPersistentObject(key) {}

GCommand::GCommand(GAttributeComposite* attributes, const std::uint32_t& key)
    : MPersistentObject(key), attributes_(attributes, g_file_lock) {}

GCommand::GCommand(const GCommand& other)
    : MPersistentObject(other),
      attributes_(other.attributes_, g_file_lock),
      command_word_(other.command_word_) {}

GCommand::~GCommand() = default;

GAttributeComposite* GCommand::GetAttributes() const {
  return static_cast<GAttributeComposite*>(attributes_.Get());
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GCommand::StoredSize() const {
  return MPersistentObject::StoredSize() + GraphStoreSizeOf(attributes_.Get()) + 4;
}

template <class Out>
void GCommand::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutReference(out, attributes_.Get());
  PutItem(out, kCommandVersion);
}

template <class In>
void GCommand::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!scope.Ok()) return;
  RestoreHeldReference<GAttributeComposite>(in, scope, *this, attributes_, g_file_lock);
  std::uint32_t version = 0;
  if (scope.Ok()) GetItem(in, version);
}

void GCommand::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GCommand::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GCommand::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GCommand::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// Kind and content

bool GCommand::IsKindOf(const RWClassID& id) const {
  return id == kGCommandId || MPersistentObject::IsKindOf(id);
}

bool GCommand::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* command = dynamic_cast<const GCommand*>(other);
  if (!command || ClassId() != other->ClassId() || !MPersistentObject::IsEqualContent(other)) {
    return false;
  }
  MPersistentObject* mine = attributes_.Get();
  MPersistentObject* theirs = command->attributes_.Get();
  return mine == theirs || (mine && theirs && !mine->IsDifferent(theirs));
}

// ---------------------------------------------------------------------------
// The attribute set

void GCommand::PrepareForComposite() {}

void GCommand::AttachAttributes(GAttributeComposite* attributes) {
  attributes_.Reset(attributes, g_file_lock);
}

GCountedPtr GCommand::DetachAttributes() {
  return std::move(attributes_);
}

void GCommand::MakeSelfContained() {}

bool GCommand::ForcedSetKey(std::uint32_t&) const {
  return false;
}

void GCommand::SetAttributes(GAttributeComposite* attributes) {
  if (attributes && !attributes->IsKindOf(kGStateId)) {
    GAttributeComposite::Refuse(attributes);
    return;
  }
  std::uint32_t key = 0;
  if (attributes && ForcedSetKey(key)) attributes->SetKey(key);
  attributes_.Reset(attributes, g_file_lock);
}
