// The forms page's model on the printer fixture (trays 4, 1, 2 and 7
// installed, tray 3's cassette not), with the default error handler in
// force: which trays refuse which types and sizes, the links of the
// form-to-tray table and their undoing.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "output/core/peripheral_composite.h"
#include "tests/ui/plugin/plugin_fixture.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/form_to_tray_feature.h"

namespace {

class FormToTrayTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
    context = std::make_unique<GUIContext>(&host);
    feature = std::make_unique<GFormToTrayFeature>(context.get());
  }
  void TearDown() override {
    feature.reset();
    context.reset();
    ReleaseResourceLibrary();
    PluginFixture::TearDown();
  }
  GAttributeComposite* Tree() { return static_cast<GAttributeComposite*>(settings.Get()); }
  // "form/type" of the tray's link.
  std::string Link(std::uint16_t tray) {
    std::uint16_t form = 0;
    std::uint16_t type = 0;
    EXPECT_EQ(feature->GetLink(tray, form, type), type);
    return std::to_string(form) + "/" + std::to_string(type);
  }

  std::unique_ptr<GUIContext> context;
  std::unique_ptr<GFormToTrayFeature> feature;
};

// Sizes in dots at 600 dots per inch, each an inch count derived by hand:
// 3496 / 600 = 5.8267 (under 5.83, though 5.83 when kept to two
// decimals), 5100 / 600 = 8.5 and 8400 / 600 = 14.0 (the bounds, taken),
// 1800 = 3.0 inches, 2400 x 3600 = 4 x 6 inches (the fixture's custom size
// 16385 of 400 x 600 hundredths).
TEST_F(FormToTrayTest, TraysRefuseTypesAndSizes) {
  auto* media = dynamic_cast<GMediaPool*>(context->GetConfigView().FindComposite(kMediaListKey));
  ASSERT_NE(media, nullptr);
  const auto add = [&](std::uint16_t id, std::int16_t w, std::int16_t h) {
    media->AddChild(
        new GMedia("T", {w, h}, {w, h}, {0, 0}, 0, id, 600, 600, kMediumKey, 0, "", ""));
  };
  add(60, 3496, 6600);  // 5.8267 x 11
  add(61, 3498, 6600);  // 5.83 x 11
  add(63, 8400, 5100);  // 14 x 8.5
  add(64, 1800, 3000);  // 3 x 5: tray 6's lower bounds
  add(8, 5100, 6600);   // never fits
  struct Case {
    std::uint16_t paper, tray;
    bool fits, refused;
  } const cases[] =
      {
          {60, 1, false, true},    {60, 3, false, true},    {61, 1, true, false},
          {63, 1, false, true},    {63, 6, false, false},   {5, 3, true, false},
          {3, 1, false, true},     {64, 6, true, false},    {64, 1, false, true},
          {16385, 1, false, true}, {16385, 6, true, false}, {8, 6, false, false},
          {8, 1, false, true},     {1, 1, true, false},     {999, 1, false, true},
          {23, 3, true, false},    {5, 18, false, false},   {5, 19, false, false},
          {43, 1, false, false},  // a standard size with no medium
      };
  for (const Case& c : cases) {
    EXPECT_EQ(feature->FitsTray(c.paper, c.tray), c.fits) << c.paper << " in " << c.tray;
    EXPECT_EQ(feature->IsSizeRefusedForTray(c.paper, c.tray), c.refused)
        << c.paper << " in " << c.tray;
  }
  // Types: only trays 1 and 3 refuse, and only the three names, exactly.
  for (std::uint16_t tray : {1, 3, 6, 18, 19}) {
    const bool restricted = tray == 1 || tray == 3;
    for (const char* name : {"Card Stock", "Extra Heavy", "Envelope"})
      EXPECT_EQ(GFormToTrayFeature::IsTypeRefusedForTray(name, tray), restricted) << name;
    EXPECT_FALSE(GFormToTrayFeature::IsTypeRefusedForTray("card stock", tray));
    EXPECT_FALSE(GFormToTrayFeature::IsTypeRefusedForTray("", tray));
  }
  Tree()->AddChild(new GValueAttribute(0, kShownTrayKey));
  feature->SetCurrentTray(1);
  EXPECT_EQ(feature->GetCurrentTray(), 1);
  EXPECT_FALSE(feature->IsTypeRefusedForCurrentTray(11381));  // a user type: no name
  // A resolution of 0 (or a missing one) fits nothing.
  GAttributeView settings = context->GetSettingsView();
  ASSERT_TRUE(settings.Descend(kResolutionKey).SetValue(kResolutionXKey, 0));
  EXPECT_FALSE(feature->FitsTray(5, 1));
  EXPECT_TRUE(feature->IsSizeRefusedForTray(5, 1));
  delete Tree()->RemoveByKey(kResolutionKey);
  EXPECT_FALSE(feature->FitsTray(5, 1));
}

// Links are stored keyed by tray through a copy that records no change;
// a revert gives back the table, dropped links included.
TEST_F(FormToTrayTest, LinksEditAndRevert) {
  context->BeginUpdate(nullptr);
  feature->SetLinkWithName(1, 1, 11108, "Bond");
  feature->SetLinkWithName(3, 5, 11913, "Unspecified");
  feature->SetLinkWithName(1, 23, 11108, "Bond");
  EXPECT_EQ(Link(1), "23/11108");
  EXPECT_EQ(Link(3), "5/11913");
  EXPECT_EQ(Link(2), "0/11913");
  EXPECT_FALSE(context->WasChanged(kFormToTrayKey));
  context->DispatchChanges(0);

  GValueList ids;
  ids.Append(99);  // the caller's nodes stay
  feature->DropLinksOfRemovedTrays(ids);
  std::string listed;
  for (const GValueList::Node* node = ids.First(); node; node = node->next)
    listed += std::to_string(node->value) + " ";
  EXPECT_EQ(listed, "99 4 1 2 7 ");
  EXPECT_EQ(Link(3), "0/11913");
  EXPECT_EQ(Link(1), "23/11108");
  context->RevertAll();
  EXPECT_EQ(Link(3), "5/11913");

  feature->ClearLinks();
  EXPECT_EQ(Link(1), "0/11913");
  auto* table = dynamic_cast<GFormToTrayDatabase*>(
      context->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetAssociations().EntryCount(), 0u);
  context->EndUpdate();
}

TEST_F(FormToTrayTest, TrayNamesAndUserTypes) {
  GValueList ids;
  std::vector<RWWString> names;
  EXPECT_EQ(feature->GetInstalledTrays(ids, &names), 1);
  ASSERT_EQ(ids.Count(), 4u);
  EXPECT_EQ(names.size(), 4u);

  // The fixture's 701 holds three names.
  RWWString name(u"kept");
  EXPECT_FALSE(feature->NextUserType(name));
  EXPECT_EQ(name, RWWString(u"kept"));
  feature->BeginUserTypes();
  for (const char16_t* expected : {u"Envelope Feeder", u"Manual Envelope", u"Auto Select"}) {
    EXPECT_TRUE(feature->NextUserType(name));
    EXPECT_EQ(name, RWWString(expected));
  }
  EXPECT_FALSE(feature->NextUserType(name));
}

// Missing or foreign attributes: no crash, defaults, nothing dropped.
TEST_F(FormToTrayTest, MissingAndForeignAttributes) {
  for (std::uint32_t key : {kFormToTrayKey, kPaperHandlingKey, kResolutionKey, kShownTrayKey})
    delete Tree()->RemoveByKey(key);
  delete context->GetConfigView().FindComposite(kPrinterModelKey)->RemoveByKey(kPaperHandlingKey);
  EXPECT_EQ(Link(1), "0/11913");
  EXPECT_EQ(feature->GetCurrentTray(), 0);
  GValueList ids;
  EXPECT_EQ(feature->GetInstalledTrays(ids, nullptr), 0);
  feature->DropLinksOfRemovedTrays(ids);
  EXPECT_TRUE(ids.IsEmpty());
  // The first edit adds the table to the installed options.
  feature->SetLinkWithName(1, 1, 11108, std::string(300, 'x').c_str());
  EXPECT_EQ(Link(1), "1/11108");
  ASSERT_NE(context->GetSettingsView()
                .Descend(kInstalledOptionsKey)
                .FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId),
            nullptr);
  // Another class under 510 is left alone and reads as defaults.
  delete Tree()->RemoveByKey(kFormToTrayKey);
  Tree()->AddChild(new GValueAttribute(3, kFormToTrayKey));
  feature->SetLinkWithName(1, 1, 11108, nullptr);
  feature->ClearLinks();
  EXPECT_EQ(Link(1), "0/11913");
}

}  // namespace
