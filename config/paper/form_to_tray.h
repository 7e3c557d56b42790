// The form-to-tray database: for each spooler form the user assigned, the
// tray and the media type that jobs on that form use. Forms without an
// assignment fall back to the database's default tray (0) and default media
// type (11913, the string id of "Unspecified"). The forms page and the
// paper pages edit it, the settings record carries it in the device mode
// (kFormToTrayKey), and the page code asks it which tray a form uses.
//
// GFormToTrayAssociation: one assignment: three 16-bit value attributes
// (value_attribute.h, key 0) held by value, the tray, the form and the
// media type, and the form's wide name (empty unless given). Execute
// answers 1. Content equality: the same class id and key, the three value
// attributes equal in content, and equal names.
//
// GFormToTrayDatabase: an attribute that owns, by value, an attribute
// composite of associations in the order they were added. Every setter
// first removes the form's association, so that a form has at most one.
// The defaults are set by the constructors only: they are neither stored
// nor compared. Execute answers 1. Content equality: the same class id and
// key, and equal composites (attribute_composite.h). A copy shares the
// associations (they are never changed in place).
//
// The roles of the two slots are the reverse of what the device-mode code,
// the capability queries and the forms page call them: they go through the
// adapter GFormToTrayLinks (form_to_tray_links.h), whose trays are this
// database's forms. The settings record re-adds one association per form
// slot, so that only what is keyed by the form slot survives it: two
// trays on one form here would merge into one there.
//
// Class ids 1013 "GFormToTrayAssociation" and 1012 "GFormToTrayDatabase";
// kind tests the own id, 753, 751.
//
// Stored forms, after the GAttribute part (attribute.h):
//   GFormToTrayAssociation  version u32 kFormToTrayVersion
//                           tray, form, media type: each a new object of
//                           class 763 with its stored form (rwstore.h)
//                           form name: wide string (u32 length, UTF-16
//                           units)
//   GFormToTrayDatabase     version u32 kFormToTrayVersion
//                           the composite's whole stored form, inline (its
//                           persistent and attribute parts, version, count
//                           and the associations as object references)
// A restore of another version reads nothing further. The value attributes
// are read back into those held, and only from new objects of their class.
// The database's associations must all be associations (anything else
// fails the restore); its defaults stay what its constructor set. Stored
// sizes: association = the attribute part, 4, each value attribute's token
// (2) and size, 4 and 2 per name unit; database = the attribute part, 4 and
// the composite's size.
//
// Ownership: the database's composite holds the associations through
// counted pointers; removals delete what the database held alone. Threads:
// as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "foundation/rw/wstring.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGFormToTrayDatabaseId = 1012;
inline constexpr RWClassID kGFormToTrayAssociationId = 1013;
inline constexpr std::uint32_t kFormToTrayVersion = 1;
// The string id of "Unspecified", the default media type.
inline constexpr std::uint16_t kUnspecifiedMediaType = 11913;
inline constexpr std::uint16_t kDefaultTray = 0;

class GFormToTrayAssociation final
    : public MPersistentClass<GFormToTrayAssociation, GAttribute, kGFormToTrayAssociationId> {
 public:
  // Tray, form and media type 0, empty name, key 0.
  GFormToTrayAssociation() = default;
  GFormToTrayAssociation(std::uint16_t form, std::uint16_t tray, std::uint16_t media_type);
  GFormToTrayAssociation(std::uint16_t form, std::uint16_t tray, std::uint16_t media_type,
                         const RWWString& form_name);
  GFormToTrayAssociation(const GFormToTrayAssociation& other) = default;

  std::uint16_t GetForm() const { return form_.GetValue(); }
  std::uint16_t GetTray() const { return tray_.GetValue(); }
  std::uint16_t GetMediaType() const { return media_type_.GetValue(); }
  const RWWString& GetFormName() const { return form_name_; }

  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 1.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GValueAttribute tray_;
  GValueAttribute form_;
  GValueAttribute media_type_;
  RWWString form_name_;
};

class GFormToTrayDatabase final
    : public MPersistentClass<GFormToTrayDatabase, GAttribute, kGFormToTrayDatabaseId> {
 public:
  // No associations; default media type 11913, default tray 0.
  GFormToTrayDatabase() = default;
  explicit GFormToTrayDatabase(const std::uint32_t& key) : MPersistentClass(key) {}
  // Shares the associations; the defaults are the constructor's.
  GFormToTrayDatabase(const GFormToTrayDatabase& other) = default;

  std::uint16_t GetDefaultMediaType() const { return default_media_type_; }
  std::uint16_t GetDefaultTray() const { return default_tray_; }
  const GAttributeComposite& GetAssociations() const { return associations_; }

  // The first association of that form, tray or media type, or null.
  GFormToTrayAssociation* FindByForm(std::uint16_t form) const;
  GFormToTrayAssociation* FindByTray(std::uint16_t tray) const;
  GFormToTrayAssociation* FindByMediaType(std::uint16_t media_type) const;

  // Removes the form's association, then appends (form, tray, media type).
  void SetAssociation(std::uint16_t form, std::uint16_t tray, std::uint16_t media_type);
  void SetAssociationNamed(std::uint16_t form, std::uint16_t tray, std::uint16_t media_type,
                           const RWWString& form_name);
  // Removes the form's association, then appends (form, default tray,
  // default media type).
  void ResetAssociation(std::uint16_t form);
  // Removes and deletes the form's association; nothing when none.
  void RemoveAssociation(std::uint16_t form);
  void RemoveAllAssociations();

  // The association's tray or media type, else the default.
  std::uint16_t GetTrayForForm(std::uint16_t form) const;
  std::uint16_t GetMediaTypeForForm(std::uint16_t form) const;
  // Of the first association with that tray / media type, else the default.
  std::uint16_t GetMediaTypeForTray(std::uint16_t tray) const;
  std::uint16_t GetTrayForMediaType(std::uint16_t media_type) const;
  // The first tray (media type) other than the default, else the default.
  std::uint16_t GetFirstAssignedTray() const;
  std::uint16_t GetFirstAssignedMediaType() const;

  // Each 1 or 0.
  std::uint32_t HasForm(std::uint16_t form) const;
  std::uint32_t IsTrayAssigned(std::uint16_t tray) const;
  std::uint32_t IsMediaTypeAssigned(std::uint16_t media_type) const;
  // One association has both.
  std::uint32_t HasAssociation(std::uint16_t tray, std::uint16_t media_type) const;
  std::uint32_t HasTrayWithFormName(std::uint16_t tray, const RWWString& form_name) const;
  // Some association's tray or media type is not the default.
  std::uint32_t HasNonDefaultAssociation() const;
  // Appends every association's form (tray), in order.
  void GetForms(RWShortVector& forms) const;
  void GetTrays(RWShortVector& trays) const;

  // The attribute part, 4 and the composite's size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 1.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  // The first association that `match` accepts, or null.
  template <class Match>
  GFormToTrayAssociation* FindFirst(Match match) const;

  std::uint16_t default_media_type_ = kUnspecifiedMediaType;
  std::uint16_t default_tray_ = kDefaultTray;
  GAttributeComposite associations_;
};

extern template class MPersistentClass<GFormToTrayAssociation, GAttribute,
                                       kGFormToTrayAssociationId>;
extern template class MPersistentClass<GFormToTrayDatabase, GAttribute, kGFormToTrayDatabaseId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> FormToTrayClasses();
