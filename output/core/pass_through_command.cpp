#include "output/core/pass_through_command.h"

#include <algorithm>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPassThroughCommandClasses[] = {
    {&RWCreate<GPassThroughCommand>, kGPassThroughCommandId, "GPassThroughCommand"},
};

}  // namespace

std::span<const RWClassRegistration> PassThroughCommandClasses() {
  return kPassThroughCommandClasses;
}

GPassThroughCommand::GPassThroughCommand(const std::uint8_t* data, std::uint32_t length,
                                         RWClassID target, const std::uint32_t& key)
    : MPersistentClass(key), data_(data), length_(data ? length : 0), target_(target) {}

GPassThroughCommand::GPassThroughCommand(const GPassThroughCommand& other)
    : MPersistentClass(other), data_(other.data_), length_(other.length_), target_(other.target_) {
  if (other.owned_ && !OwnData()) length_ = 0;  // [NOMEM]: no bytes rather than shared ones
}

GPassThroughCommand::~GPassThroughCommand() = default;

std::uint32_t GPassThroughCommand::OwnData() {
  if (OwnsData()) return 1;
  std::unique_ptr<std::uint8_t[]> block = RWNewArrayForOverwrite<std::uint8_t>(length_);
  if (!block) return 0;
  std::copy_n(data_, length_, block.get());
  owned_ = std::move(block);
  data_ = owned_.get();
  return 1;
}

void GPassThroughCommand::MakeSelfContained() {
  OwnData();
}

std::uint16_t GPassThroughCommand::Execute(GPeripheral& device) {
  return device.PassThrough(*this);
}

bool GPassThroughCommand::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPassThroughCommand* command = SameContentBase(other);
  return command && target_ == command->target_ && length_ == command->length_ &&
         std::equal(data_, data_ + length_, command->data_);
}

RWSize GPassThroughCommand::StoredSize() const {
  return GCommand::StoredSize() + 10 + length_;
}

template <class Out>
void GPassThroughCommand::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kPassThroughVersion);
  PutItem(out, std::uint16_t{target_});
  PutItem(out, length_);
  PutBytes(out, data_, length_);
}

template <class In>
void GPassThroughCommand::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  std::uint16_t target = 0;
  std::uint32_t length = 0;
  if (!ReadsVersion(scope, in, kPassThroughVersion) || !GetItem(in, target) ||
      !GetItem(in, length)) {
    return;
  }
  target_ = target;
  std::unique_ptr<std::uint8_t[]> block;
  bool read = GetBytes(in, length, block);
  owned_ = std::move(block);
  data_ = owned_.get();
  length_ = read ? length : 0;
  if (!read) scope.Fail();
}

template class MPersistentClass<GPassThroughCommand, GCommand, kGPassThroughCommandId>;
