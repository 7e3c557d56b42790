#include "ui/framework/attribute_view.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "driver/spooler_forms.h"
#include "persist/child_iterator.h"
#include "persist/find_of_class.h"
#include "persist/string_conversion.h"
#include "ui/framework/ui_context.h"

namespace {

// The last id of a custom size (16384 is the current one).
constexpr std::uint16_t kLastCustomSizeId = 17383;

// Appends a new value attribute to `composite`; the attribute, or null when
// the composite would not take it (it is then destroyed: held here across
// the call, never by the composite).
GValueAttribute* AppendValue(MPersistentObject& composite, std::uint32_t id, std::uint16_t value) {
  GCountedPtr held(new GValueAttribute(value, id));
  composite.AddChild(held.Get());
  auto* added = static_cast<GValueAttribute*>(held.Get());
  return composite.FindByKey(id) == added ? added : nullptr;
}

// Where the first descendant keyed `id` of `in` lies, in FindByKey's order
// (each child before its own children): its parent and its position there.
bool FindSlot(MPersistentObject* in, std::uint32_t id, MPersistentObject*& parent,
              std::size_t& position) {
  std::unique_ptr<MChildIterator> walk(in->NewChildIterator());
  for (std::size_t i = 0; walk && walk->Next(); ++i) {
    MPersistentObject* child = walk->Current();
    if (!child) continue;
    if (child->Key() == id) {
      parent = in;
      position = i;
      return true;
    }
    if (FindSlot(child, id, parent, position)) return true;
  }
  return false;
}

// The child at `position` of `parent`, or null.
MPersistentObject* ChildAt(MPersistentObject* parent, std::size_t position) {
  std::unique_ptr<MChildIterator> walk(parent->NewChildIterator());
  for (std::size_t i = 0; walk && walk->Next(); ++i)
    if (i == position) return walk->Current();
  return nullptr;
}

}  // namespace

template <class T>
T* GAttributeView::Find(std::uint32_t id) const {
  return FindOfClass<T>(composite_, id);
}

bool GAttributeView::GetValue(std::uint32_t id, std::int32_t& value) const {
  const GValueAttribute* attribute = Find<GValueAttribute>(id);
  value = attribute ? static_cast<std::int16_t>(attribute->GetValue()) : 0;
  return attribute != nullptr;
}

bool GAttributeView::SetValue(std::uint32_t id, std::int32_t value) {
  if (read_only_ || !composite_) return false;
  const auto stored = static_cast<std::uint16_t>(value);
  MPersistentObject* found = composite_->FindByKey(id);
  if (!found) {
    // Only the flags and messages of the user interface are made here.
    if (!context_ || composite_ != context_->GetUIObjects()) return false;
    GValueAttribute* attribute = AppendValue(*composite_, id, stored);
    if (attribute) context_->NoteChildAdded(*attribute);
    return attribute != nullptr;
  }
  auto* attribute = dynamic_cast<GValueAttribute*>(found);
  if (!attribute) return false;
  const std::uint16_t old_value = attribute->GetValue();
  if (old_value == stored) return true;
  attribute->SetValue(stored);
  if (context_) context_->NoteValueWrite(*attribute, old_value);
  return true;
}

bool GAttributeView::AddValue(std::int32_t value, std::uint32_t id) {
  if (read_only_ || !composite_ || composite_->FindByKey(id)) return false;
  GValueAttribute* attribute = AppendValue(*composite_, id, static_cast<std::uint16_t>(value));
  if (attribute && context_) context_->NoteChildAdded(*attribute);
  return attribute != nullptr;
}

bool GAttributeView::Has(std::uint32_t id) const {
  return composite_ && composite_->FindByKey(id);
}

bool GAttributeView::WasChanged(std::uint32_t id) const {
  return context_ && context_->WasChanged(id);
}

bool GAttributeView::GetString(std::uint32_t id, RWCString& value) const {
  const GStringAttribute* attribute = Find<GStringAttribute>(id);
  value = attribute ? attribute->GetValue() : RWCString();
  return attribute != nullptr;
}

bool GAttributeView::GetWideString(std::uint32_t id, RWWString& value) const {
  RWCString narrow;
  const bool found = GetString(id, narrow);
  NarrowToWide(narrow, value);
  return found;
}

bool GAttributeView::SetString(std::uint32_t id, const RWCString& value) {
  if (read_only_) return false;
  GStringAttribute* attribute = Find<GStringAttribute>(id);
  if (!attribute) return false;
  if (attribute->GetValue() == value) return true;
  const RWCString old_value = attribute->GetValue();
  attribute->SetValue(value);
  if (context_) context_->NoteStringWrite(*attribute, old_value);
  return true;
}

GAttributeComposite* GAttributeView::FindComposite(std::uint32_t id) const {
  return Find<GAttributeComposite>(id);
}

MPersistentObject* GAttributeView::FindTyped(std::uint32_t id, RWClassID class_id) const {
  MPersistentObject* found = composite_ ? composite_->FindByKey(id) : nullptr;
  return found && found->IsKindOf(class_id) ? found : nullptr;
}

GAttributeView GAttributeView::Descend(std::uint32_t id) const {
  return GAttributeView(FindComposite(id), context_, read_only_);
}

std::unique_ptr<MPersistentObject> GAttributeView::CopyAttribute(std::uint32_t id) const {
  MPersistentObject* found = composite_ ? composite_->FindByKey(id) : nullptr;
  return std::unique_ptr<MPersistentObject>(found ? found->DeepCopy() : nullptr);
}

bool GAttributeView::ReplaceAttribute(std::uint32_t id, MPersistentObject* object) {
  if (read_only_ || !composite_ || !object) return false;
  // The old child is held until the context lets go of its undo entry. The
  // copy put in its place is found by position, not by key: its key may
  // differ from `id`.
  GCountedPtr previous(composite_->FindByKey(id));
  MPersistentObject* parent = nullptr;
  std::size_t position = 0;
  if (!previous || !FindSlot(composite_, id, parent, position) ||
      !composite_->ReplaceByKey(id, object))
    return false;
  if (context_) context_->NoteReplacement(previous.Get(), ChildAt(parent, position));
  return true;
}

std::unique_ptr<GMedia> GAttributeView::FindMediaSquare(std::uint16_t paper_id,
                                                        std::uint32_t orientation,
                                                        std::uint16_t resolution) const {
  if (paper_id >= kCustomSizePaperId && paper_id <= kLastCustomSizeId && context_) {
    GAttributeComposite* sizes =
        GAttributeView(context_->GetSettings(), nullptr, true).FindComposite(kCustomSizesKey);
    const std::uint32_t count = sizes ? sizes->EntryCount() : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      auto* size = dynamic_cast<GCustomMediaSize*>(sizes->Children()[i].Get());
      if (!size || size->GetId() != paper_id) continue;
      return std::unique_ptr<GMedia>(MakeMediaFromCustomSize(*size, context_->GetConfiguration(),
                                                             resolution, resolution, orientation));
    }
  }
  auto* media = Find<GMediaPool>(kMediaListKey);
  GMedia* medium =
      media ? media->FindByPaperSizeId(paper_id, orientation, resolution, resolution) : nullptr;
  return std::unique_ptr<GMedia>(medium ? new GMedia(*medium) : nullptr);
}
