#include "config/paper/form_to_tray_links.h"

#include "persist/string_conversion.h"

void GFormToTrayLinks::SetAssociationWithName(std::uint16_t tray, std::uint16_t form,
                                              std::uint16_t media_type, const char* name) {
  RWWString wide;
  NarrowToWide(RWCString(name), wide);
  database_.SetAssociationNamed(tray, form, media_type, wide);
}

std::uint32_t GFormToTrayLinks::FindTrayOfFormName(const RWWString& form_name,
                                                   std::uint16_t& tray) const {
  const GCountedPtrVector& links = database_.GetAssociations().Children();
  for (RWSize i = 0; i < links.Count(); ++i) {
    auto* link = dynamic_cast<const GFormToTrayAssociation*>(links[i].Get());
    if (!link || link->GetFormName() != form_name) continue;
    tray = link->GetForm();
    return 1;
  }
  return 0;
}

std::uint32_t GFormToTrayLinks::GetFormNameOfTray(std::uint16_t tray, RWWString& form_name) const {
  const GFormToTrayAssociation* link = database_.FindByForm(tray);
  if (!link) return 0;
  form_name = link->GetFormName();
  return 1;
}
