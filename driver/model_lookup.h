// Typed look-ups in a printer's model for the driver's readers: the job
// settings in either form of the configuration set, the lists beside them,
// the stored-settings encoding, direct children, named objects. The model
// comes from the driver data file and from printer data, both outside data:
// an object found under a key, or loaded as a named object, is used only
// when it is of the class its reader expects, and anything else counts as
// missing. The general look-ups by key and class (FindOfClass, the
// attribute look-ups) are the lower libraries' (persist/find_of_class.h,
// config/attributes/attribute_lookup.h), included here for the readers.
//
// Pure apart from the search; any thread, on a tree it alone uses.
#pragma once

#include <cstdint>
#include <memory>
#include <typeinfo>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media_from_custom_size.h"
#include "foundation/rw/cstring.h"
#include "persist/child_iterator.h"
#include "persist/configuration.h"
#include "persist/find_of_class.h"
#include "persist/persistent_association.h"
#include "persist/persistent_object.h"
#include "services/driver_data.h"
#include "services/os_factory.h"

// The job settings of a printer object's configuration set (its
// configuration, keyed kDeviceSettingsKey): the set itself when it is an
// attribute composite, the form every driver data file had so far; when it
// is a GConfiguration, its first direct child keyed kDeviceSettingsKey that
// is an attribute composite. The set then also holds, beside the job
// settings, the model objects an attribute composite cannot hold (the
// association lists kPaperAssociationsKey, kCopyPageChoicesKey and
// kPrinterDataValuesKey: FindJobList). Null for anything else.
inline GAttributeComposite* JobSettingsIn(MPersistentObject* set) {
  if (auto* settings = dynamic_cast<GAttributeComposite*>(set)) return settings;
  if (!set || typeid(*set) != typeid(GConfiguration)) return nullptr;
  const GCountedPtrVector& children = static_cast<GConfiguration*>(set)->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (child && child->Key() == kDeviceSettingsKey) {
      if (auto* settings = dynamic_cast<GAttributeComposite*>(child)) return settings;
    }
  }
  return nullptr;
}

// The association list keyed `key` of `printer`'s configuration set (found
// by key, depth first), or null: always null while the set is the job
// settings' attribute composite.
inline MAssociationList* FindJobList(GDriverData* printer, std::uint32_t key) {
  return FindOfClass<MAssociationList>(printer ? printer->GetConfigurationSet() : nullptr, key);
}

// The job settings' key path to the encoding of stored settings (the
// device mode's private part and named objects): 1 selects the flat
// settings record, anything else the object-graph form.
inline constexpr std::uint32_t kStoredEncodingPath[] = {kDefaultSettingsKey, kKeyLocksKey,
                                                        kStoredEncodingKey};
// That value attribute's value; 0 when a step is missing, of another
// class, or there is no printer.
inline std::uint16_t ReadStoredEncoding(GDriverData* printer) {
  MPersistentObject* node = printer ? printer->GetJobSettings() : nullptr;
  for (std::uint32_t key : kStoredEncodingPath)
    node = node ? node->FindByKey(key) : nullptr;
  const auto* value = dynamic_cast<const GValueAttribute*>(node);
  return value ? value->GetValue() : 0;
}

// The resolution (composite kResolutionKey: kXResolutionKey x, kYResolutionKey
// y) and orientation (kOrientationKey, degrees) of a settings tree; 0 where
// missing.
struct GSettingsGeometry {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint32_t orientation = 0;
};
inline GSettingsGeometry ReadSettingsGeometry(MPersistentObject* settings) {
  GAttributeComposite* resolution = FindComposite(settings, kResolutionKey);
  return {static_cast<std::uint16_t>(SignedValueOr(resolution, kXResolutionKey, 0)),
          static_cast<std::uint16_t>(SignedValueOr(resolution, kYResolutionKey, 0)),
          static_cast<std::uint32_t>(SignedValueOr(settings, kOrientationKey, 0) & 0xFFFF)};
}

// `in`'s first direct child keyed `key`, or null (a composite's own
// children only, never a deeper descendant).
inline MPersistentObject* FindDirectChild(const GAttributeComposite* in, std::uint32_t key) {
  if (!in) return nullptr;
  const GCountedPtrVector& children = in->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (child && child->Key() == key) return child;
  }
  return nullptr;
}

// `in`'s first direct child keyed `key`, taken out: the caller's (the child
// itself, or a copy while others still hold it); null when there is none.
inline MPersistentObject* TakeDirectChild(GAttributeComposite& in, std::uint32_t key) {
  MPersistentObject* child = FindDirectChild(&in, key);
  return child ? in.RemoveChild(child) : nullptr;
}

// Appends `part` (which `in` takes) in place of `in`'s direct child of the
// same key, which is deleted; null does nothing.
inline void PutDirectChild(GAttributeComposite& in, MPersistentObject* part) {
  if (!part) return;
  delete TakeDirectChild(in, part->Key());
  in.AddChild(part);
}

// Puts a deep copy of `part`, keyed `key`, in place of the first direct
// child of `in` keyed `key`; false (nothing changes) when there is none, or
// when the copy or the walk cannot be had (no memory). `part` stays the
// caller's.
inline bool ReplaceDirectChild(MPersistentObject& in, std::uint32_t key, MPersistentObject& part) {
  std::unique_ptr<MChildIterator> walk(in.NewChildIterator());
  while (walk && walk->Next()) {
    MPersistentObject* child = walk->Current();
    if (!child || child->Key() != key) continue;
    MPersistentObject* copy = part.DeepCopy();
    if (!copy) return false;
    copy->SetKey(key);
    walk->ReplaceCurrent(copy);
    return true;
  }
  return false;
}

// The named object `name` of `printer` when it is a T (the caller's); null
// when it is missing, or of another class (then deleted).
template <class T>
T* LoadNamedObjectAs(GDriverData* printer, const RWWString& name) {
  GOSFactory* services = GOSFactory::Instance();
  std::unique_ptr<RWCollectable> loaded(services ? services->LoadNamedObject(printer, name, 0)
                                                 : nullptr);
  auto* object = dynamic_cast<T*>(loaded.get());
  if (object) loaded.release();
  return object;
}
