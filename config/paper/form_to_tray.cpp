#include "config/paper/form_to_tray.h"

#include <typeinfo>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kFormToTrayClasses[] = {
    {&RWCreate<GFormToTrayDatabase>, kGFormToTrayDatabaseId, "GFormToTrayDatabase"},
    {&RWCreate<GFormToTrayAssociation>, kGFormToTrayAssociationId, "GFormToTrayAssociation"},
};

// The value attributes of an association carry key 0.
constexpr std::uint32_t kSlotKey = 0;

}  // namespace

std::span<const RWClassRegistration> FormToTrayClasses() {
  return kFormToTrayClasses;
}

// ---------------------------------------------------------------------------
// GFormToTrayAssociation

GFormToTrayAssociation::GFormToTrayAssociation(std::uint16_t form, std::uint16_t tray,
                                               std::uint16_t media_type)
    : tray_(tray, kSlotKey), form_(form, kSlotKey), media_type_(media_type, kSlotKey) {}

GFormToTrayAssociation::GFormToTrayAssociation(std::uint16_t form, std::uint16_t tray,
                                               std::uint16_t media_type, const RWWString& form_name)
    : GFormToTrayAssociation(form, tray, media_type) {
  form_name_ = form_name;
}

RWSize GFormToTrayAssociation::StoredSize() const {
  // Each value attribute's object token is its 2-byte class id.
  return GAttribute::StoredSize() + 4 + 2 + tray_.StoredSize() + 2 + form_.StoredSize() + 2 +
         media_type_.StoredSize() + 4 + 2 * form_name_.Length();
}

template <class Out>
void GFormToTrayAssociation::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kFormToTrayVersion);
  PutReference(out, &tray_);
  PutReference(out, &form_);
  PutReference(out, &media_type_);
  PutItem(out, form_name_);
}

template <class In>
void GFormToTrayAssociation::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  if (!ReadsVersion(scope, in, kFormToTrayVersion)) return;
  // Back into the values held: only new value attributes are taken.
  if (!GetEmbedded(in, tray_) || !GetEmbedded(in, form_) || !GetEmbedded(in, media_type_)) {
    scope.Fail();
    return;
  }
  GetItem(in, form_name_);
}

bool GFormToTrayAssociation::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GFormToTrayAssociation* same = SameContentBase(other);
  return same && tray_.IsEqualContent(&same->tray_) && form_.IsEqualContent(&same->form_) &&
         media_type_.IsEqualContent(&same->media_type_) && form_name_ == same->form_name_;
}

std::uint16_t GFormToTrayAssociation::Execute(GAttributeHandlers&) {
  return 1;
}

// ---------------------------------------------------------------------------
// GFormToTrayDatabase: finding

template <class Match>
GFormToTrayAssociation* GFormToTrayDatabase::FindFirst(Match match) const {
  const GCountedPtrVector& children = associations_.Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    // The class is final: one type test stands for the cast, which cost
    // more than the match in the form walks' many look-ups.
    MPersistentObject* child = children[i].Get();
    if (!child || typeid(*child) != typeid(GFormToTrayAssociation)) continue;
    auto* association = static_cast<GFormToTrayAssociation*>(child);
    if (match(*association)) return association;
  }
  return nullptr;
}

GFormToTrayAssociation* GFormToTrayDatabase::FindByForm(std::uint16_t form) const {
  return FindFirst([form](const GFormToTrayAssociation& a) { return a.GetForm() == form; });
}

GFormToTrayAssociation* GFormToTrayDatabase::FindByTray(std::uint16_t tray) const {
  return FindFirst([tray](const GFormToTrayAssociation& a) { return a.GetTray() == tray; });
}

GFormToTrayAssociation* GFormToTrayDatabase::FindByMediaType(std::uint16_t media_type) const {
  return FindFirst(
      [media_type](const GFormToTrayAssociation& a) { return a.GetMediaType() == media_type; });
}

// ---------------------------------------------------------------------------
// Editing

void GFormToTrayDatabase::SetAssociation(std::uint16_t form, std::uint16_t tray,
                                         std::uint16_t media_type) {
  RemoveAssociation(form);
  associations_.AddChild(RWNew<GFormToTrayAssociation>(form, tray, media_type));
}

void GFormToTrayDatabase::SetAssociationNamed(std::uint16_t form, std::uint16_t tray,
                                              std::uint16_t media_type,
                                              const RWWString& form_name) {
  RemoveAssociation(form);
  associations_.AddChild(RWNew<GFormToTrayAssociation>(form, tray, media_type, form_name));
}

void GFormToTrayDatabase::ResetAssociation(std::uint16_t form) {
  SetAssociation(form, default_tray_, default_media_type_);
}

void GFormToTrayDatabase::RemoveAssociation(std::uint16_t form) {
  if (GFormToTrayAssociation* found = FindByForm(form)) delete associations_.RemoveChild(found);
}

void GFormToTrayDatabase::RemoveAllAssociations() {
  associations_.RemoveAll();
}

// ---------------------------------------------------------------------------
// Questions

std::uint16_t GFormToTrayDatabase::GetTrayForForm(std::uint16_t form) const {
  const GFormToTrayAssociation* found = FindByForm(form);
  return found ? found->GetTray() : default_tray_;
}

std::uint16_t GFormToTrayDatabase::GetMediaTypeForForm(std::uint16_t form) const {
  const GFormToTrayAssociation* found = FindByForm(form);
  return found ? found->GetMediaType() : default_media_type_;
}

std::uint16_t GFormToTrayDatabase::GetMediaTypeForTray(std::uint16_t tray) const {
  const GFormToTrayAssociation* found = FindByTray(tray);
  return found ? found->GetMediaType() : default_media_type_;
}

std::uint16_t GFormToTrayDatabase::GetTrayForMediaType(std::uint16_t media_type) const {
  const GFormToTrayAssociation* found = FindByMediaType(media_type);
  return found ? found->GetTray() : default_tray_;
}

std::uint16_t GFormToTrayDatabase::GetFirstAssignedTray() const {
  const GFormToTrayAssociation* found =
      FindFirst([this](const GFormToTrayAssociation& a) { return a.GetTray() != default_tray_; });
  return found ? found->GetTray() : default_tray_;
}

std::uint16_t GFormToTrayDatabase::GetFirstAssignedMediaType() const {
  const GFormToTrayAssociation* found = FindFirst(
      [this](const GFormToTrayAssociation& a) { return a.GetMediaType() != default_media_type_; });
  return found ? found->GetMediaType() : default_media_type_;
}

std::uint32_t GFormToTrayDatabase::HasForm(std::uint16_t form) const {
  return FindByForm(form) ? 1 : 0;
}

std::uint32_t GFormToTrayDatabase::IsTrayAssigned(std::uint16_t tray) const {
  return FindByTray(tray) ? 1 : 0;
}

std::uint32_t GFormToTrayDatabase::IsMediaTypeAssigned(std::uint16_t media_type) const {
  return FindByMediaType(media_type) ? 1 : 0;
}

std::uint32_t GFormToTrayDatabase::HasAssociation(std::uint16_t tray,
                                                  std::uint16_t media_type) const {
  return FindFirst([tray, media_type](const GFormToTrayAssociation& a) {
    return a.GetTray() == tray && a.GetMediaType() == media_type;
  })
             ? 1
             : 0;
}

std::uint32_t GFormToTrayDatabase::HasTrayWithFormName(std::uint16_t tray,
                                                       const RWWString& form_name) const {
  return FindFirst([tray, &form_name](const GFormToTrayAssociation& a) {
    return a.GetTray() == tray && a.GetFormName() == form_name;
  })
             ? 1
             : 0;
}

std::uint32_t GFormToTrayDatabase::HasNonDefaultAssociation() const {
  return FindFirst([this](const GFormToTrayAssociation& a) {
    return a.GetTray() != default_tray_ || a.GetMediaType() != default_media_type_;
  })
             ? 1
             : 0;
}

void GFormToTrayDatabase::GetForms(RWShortVector& forms) const {
  FindFirst([&forms](const GFormToTrayAssociation& a) {
    forms.Append(a.GetForm());
    return false;
  });
}

void GFormToTrayDatabase::GetTrays(RWShortVector& trays) const {
  FindFirst([&trays](const GFormToTrayAssociation& a) {
    trays.Append(a.GetTray());
    return false;
  });
}

// ---------------------------------------------------------------------------
// Stored form, content, execution

RWSize GFormToTrayDatabase::StoredSize() const {
  return GAttribute::StoredSize() + 4 + associations_.StoredSize();
}

template <class Out>
void GFormToTrayDatabase::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kFormToTrayVersion);
  SaveBase<GAttributeComposite>(associations_, out);
}

template <class In>
void GFormToTrayDatabase::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  if (!ReadsVersion(scope, in, kFormToTrayVersion)) return;
  {
    // No association may refer back to the database being read.
    MRestoreInProgress in_progress(*this);
    RestoreBase<GAttributeComposite>(associations_, in);
  }
  const GCountedPtrVector& children = associations_.Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (children[i].Get()->ClassId() != kGFormToTrayAssociationId) scope.Fail();
  }
}

bool GFormToTrayDatabase::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GFormToTrayDatabase* same = SameContentBase(other);
  return same && associations_.IsEqualContent(&same->associations_);
}

std::uint16_t GFormToTrayDatabase::Execute(GAttributeHandlers&) {
  return 1;
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GFormToTrayAssociation, GAttribute, kGFormToTrayAssociationId>;
template class MPersistentClass<GFormToTrayDatabase, GAttribute, kGFormToTrayDatabaseId>;
