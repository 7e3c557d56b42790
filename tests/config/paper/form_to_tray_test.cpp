// The form-to-tray database: defaults, one association per form, the
// questions by form, tray and media type, copies and equality; and the
// adapter that keys links by tray, through which two trays on one form
// coexist.
#include "config/paper/form_to_tray.h"
#include "config/keys/settings_keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/paper/form_to_tray_links.h"
#include "tests/persist/media.h"

namespace {

std::vector<std::uint16_t> Values(const RWShortVector& v) {
  return std::vector<std::uint16_t>(v.Data(), v.Data() + v.Count());
}

std::vector<std::uint16_t> Forms(const GFormToTrayDatabase& database) {
  RWShortVector forms;
  database.GetForms(forms);
  return Values(forms);
}

TEST(FormToTrayDatabase, AnEmptyDatabaseAnswersItsDefaults) {
  GFormToTrayDatabase database;
  EXPECT_EQ(database.GetTrayForForm(1), 0);
  EXPECT_EQ(database.GetMediaTypeForForm(1), 11913);
  EXPECT_EQ(database.GetMediaTypeForTray(3), 11913);
  EXPECT_EQ(database.GetTrayForMediaType(200), 0);
  EXPECT_EQ(database.GetFirstAssignedTray(), 0);
  EXPECT_EQ(database.GetFirstAssignedMediaType(), 11913);
  EXPECT_EQ(database.HasNonDefaultAssociation(), 0u);
  EXPECT_EQ(database.HasForm(1), 0u);
  EXPECT_EQ(database.FindByTray(0), nullptr);
}

TEST(FormToTrayDatabase, OneAssociationPerFormInOrderOfSetting) {
  GFormToTrayDatabase database(kFormToTrayKey);
  database.SetAssociation(1, 3, 200);
  database.SetAssociation(2, 0, 300);
  database.SetAssociationNamed(7, 4, 11913, RWWString(u"Legal"));
  database.SetAssociation(1, 5, 201);  // again: one association, now last
  EXPECT_EQ(Forms(database), (std::vector<std::uint16_t>{2, 7, 1}));
  EXPECT_EQ(database.GetTrayForForm(1), 5);
  EXPECT_EQ(database.GetMediaTypeForForm(1), 201);
  EXPECT_EQ(database.GetFirstAssignedTray(), 4);  // skips the tray 0 of form 2
  EXPECT_EQ(database.GetFirstAssignedMediaType(), 300);
  EXPECT_EQ(database.GetMediaTypeForTray(5), 201);
  EXPECT_EQ(database.GetTrayForMediaType(300), 0);
  EXPECT_EQ(database.IsTrayAssigned(4), 1u);
  EXPECT_EQ(database.IsTrayAssigned(3), 0u);
  EXPECT_EQ(database.IsMediaTypeAssigned(201), 1u);
  EXPECT_EQ(database.HasAssociation(4, 11913), 1u);
  EXPECT_EQ(database.HasAssociation(4, 200), 0u);
  EXPECT_EQ(database.HasTrayWithFormName(4, RWWString(u"Legal")), 1u);
  EXPECT_EQ(database.HasTrayWithFormName(4, RWWString(u"Lega")), 0u);
  EXPECT_EQ(database.HasTrayWithFormName(5, RWWString(u"Legal")), 0u);
  EXPECT_EQ(database.HasNonDefaultAssociation(), 1u);
  // The first association in order with the media type: form 7's.
  database.SetAssociation(8, 6, 11913);
  ASSERT_NE(database.FindByMediaType(11913), nullptr);
  EXPECT_EQ(database.FindByMediaType(11913)->GetForm(), 7);
  EXPECT_EQ(database.FindByMediaType(999), nullptr);
  database.RemoveAssociation(8);

  database.RemoveAssociation(2);
  database.RemoveAssociation(99);
  EXPECT_EQ(Forms(database), (std::vector<std::uint16_t>{7, 1}));
  database.RemoveAllAssociations();
  EXPECT_TRUE(Forms(database).empty());
}

TEST(FormToTrayDatabase, ResetKeepsTheFormWithTheDefaults) {
  GFormToTrayDatabase database;
  database.SetAssociation(1, 3, 200);
  database.ResetAssociation(1);
  EXPECT_EQ(database.HasForm(1), 1u);
  EXPECT_EQ(database.GetTrayForForm(1), 0);
  EXPECT_EQ(database.GetMediaTypeForForm(1), 11913);
  EXPECT_EQ(database.HasNonDefaultAssociation(), 0u);
}

// Copies share the associations and edit their own composite; equality
// compares key and associations, never the defaults; a database read back
// has the constructor's defaults.
TEST(FormToTrayDatabase, CopiesEqualityAndReading) {
  GFormToTrayDatabase database(kFormToTrayKey);
  database.SetAssociationNamed(1, 3, 200, RWWString(u"A4"));
  database.SetAssociation(2, 6, 201);
  std::unique_ptr<GFormToTrayDatabase> copy(
      static_cast<GFormToTrayDatabase*>(database.CreateCopy()));
  EXPECT_TRUE(copy->IsEqual(&database));
  EXPECT_EQ(copy->FindByForm(1), database.FindByForm(1));
  copy->RemoveAssociation(1);
  EXPECT_EQ(database.GetTrayForForm(1), 3);
  EXPECT_FALSE(copy->IsEqual(&database));

  GFormToTrayDatabase renamed(kFormToTrayKey);
  renamed.SetAssociationNamed(1, 3, 200, RWWString(u"a4"));
  renamed.SetAssociation(2, 6, 201);
  EXPECT_FALSE(renamed.IsEqual(&database));

  for (model_testing::Medium m : model_testing::kAllMedia) {
    model_testing::Restored back = model_testing::Restore(model_testing::Save(&database, m), m);
    auto* read = dynamic_cast<GFormToTrayDatabase*>(back.object);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->IsEqual(&database));
    EXPECT_EQ(read->GetDefaultMediaType(), 11913);
    EXPECT_EQ(read->GetDefaultTray(), 0);
    EXPECT_EQ(read->FindByForm(1)->GetFormName(), RWWString(u"A4"));
    delete read;
  }
}

// Through the adapter the trays are the database's forms: two trays on one
// form are two associations, and removing one keeps the other.
TEST(FormToTrayLinks, LinksAreKeyedByTray) {
  GFormToTrayDatabase database(kFormToTrayKey);
  GFormToTrayLinks links(database);
  links.SetAssociationWithName(6, 1, 200, "Letter");
  links.SetAssociationWithName(3, 1, 11913, "Letter \xC3\xA9");  // UTF-8
  RWShortVector trays;
  links.CollectTrays(trays);
  EXPECT_EQ(Values(trays), (std::vector<std::uint16_t>{6, 3}));
  EXPECT_EQ(links.GetFormForTray(6), 1);
  EXPECT_EQ(links.GetFormForTray(3), 1);
  EXPECT_EQ(links.GetMediaTypeForTray(6), 200);
  EXPECT_EQ(links.GetFormForTray(9), links.GetDefaultForm());
  EXPECT_EQ(links.GetMediaTypeForTray(9), links.GetDefaultMediaType());
  EXPECT_EQ(links.IsFormAssigned(1), 1u);
  EXPECT_EQ(links.IsFormAssigned(6), 0u);
  EXPECT_EQ(links.HasNonDefaultAssociation(), 1u);

  std::uint16_t tray = 0;
  EXPECT_EQ(links.FindTrayOfFormName(RWWString(u"Letter \u00E9"), tray), 1u);
  EXPECT_EQ(tray, 3);
  EXPECT_EQ(links.FindTrayOfFormName(RWWString(u"Legal"), tray), 0u);
  RWWString name;
  EXPECT_EQ(links.GetFormNameOfTray(6, name), 1u);
  EXPECT_EQ(name, RWWString(u"Letter"));
  EXPECT_EQ(links.GetFormNameOfTray(1, name), 0u);

  links.SetAssociationWithName(6, 2, 200, nullptr);  // again for tray 6: replaced
  links.RemoveLinkForTray(3);
  trays.Clear();
  links.CollectTrays(trays);
  EXPECT_EQ(Values(trays), std::vector<std::uint16_t>{6});
  EXPECT_EQ(links.GetFormForTray(6), 2);
  links.RemoveLinkForTray(6);
  links.RemoveLinkForTray(6);
  EXPECT_EQ(links.HasNonDefaultAssociation(), 0u);
  links.SetAssociationWithName(6, 2, 200, "x");
  links.Clear();
  EXPECT_EQ(database.GetAssociations().EntryCount(), 0u);
}

}  // namespace
