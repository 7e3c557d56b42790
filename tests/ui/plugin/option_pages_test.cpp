// The forms page's link controls and the Configure dialog's memory and
// work-space fields on their page templates, with the default error
// handler in force: what the lists offer and what choosing, typing and
// stepping store.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "config/paper/form_to_tray.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/spooler.h"
#include "platform/ui/dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/window.h"
#include "tests/ui/plugin/plugin_fixture.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/configure_controls.h"
#include "ui/pages/form_to_tray_links_wrapper.h"

using namespace platform;
using testing_support::UiDialog;

namespace {

GControlWrapper* g_wrapper = nullptr;

INT_PTR RouteToWrapper(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!g_wrapper) return 0;
  // The wrappers under test refresh themselves after what they store.
  return g_wrapper->HandleMessage(message, wparam, lparam);
}

class OptionPagesTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
    context = std::make_unique<GUIContext>(&host);
    for (std::uint32_t key : {511u, 925u, 307u})
      if (!context->GetSettingsView().Has(key)) Tree()->AddChild(new GValueAttribute(0, key));
  }
  void TearDown() override {
    if (sheet) DestroyWindow(sheet);
    g_wrapper = nullptr;
    wrapper.reset();
    context.reset();
    ReleaseResourceLibrary();
    PluginFixture::TearDown();
  }
  GAttributeComposite* Tree() { return static_cast<GAttributeComposite*>(settings.Get()); }
  // Opens page `template_id` with `made` on it, initialised and refreshed.
  UiDialog Open(int template_id, GControlWrapper* made) {
    g_wrapper = nullptr;
    wrapper.reset(made);
    sheet = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(9000), nullptr,
                               RouteToWrapper, 0);
    page = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(template_id), sheet,
                              RouteToWrapper, 0);
    ShowWindow(sheet, kSwShow);
    EXPECT_NE(page, nullptr);
    ShowWindow(page, kSwShow);
    g_wrapper = made;
    made->AttachDialog(page);
    made->OnInit();
    made->Refresh(1);
    return UiDialog(page);
  }
  std::int32_t Value(std::uint32_t key) {
    std::int32_t value = 0;
    context->GetSettingsView().GetValue(key, value);
    return value;
  }
  GFormToTrayDatabase* Table() {
    return static_cast<GFormToTrayDatabase*>(
        context->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  }

  std::unique_ptr<GUIContext> context;
  std::unique_ptr<GControlWrapper> wrapper;
  HWND sheet = nullptr;
  HWND page = nullptr;
};

TEST_F(OptionPagesTest, FormsPageStoresLinks) {
  AddServerForm(u"", kFormBuiltin, u"Letter", 215900, 279400);
  AddServerForm(u"", kFormBuiltin, u"Legal", 215900, 355600);
  AddServerForm(u"", kFormUser, u"Card 4x6", 101600, 152400);
  ASSERT_TRUE(context->GetSettingsView().SetValue(511, 1));
  const GControlEntry table[] = {{12003, 701}, {12006, 702}, {12008, 703}, {12009, 704},
                                 {12002, 701}, {12005, 702}, {12007, 703}, {0, 0}};
  UiDialog dialog =
      Open(12000, new GFormToTrayLinkWrapper(new GFormToTrayFeature(context.get()),
                                             new GMediaTypeFeature(context.get()), table));
  // Tray 1 takes Letter; Legal (no medium) and the 4 x 6 inch card it
  // refuses.
  using Items = std::vector<std::u16string>;
  EXPECT_EQ(dialog.Items(12003).size(), 4u);  // trays 4, 1, 2, 7
  EXPECT_EQ(dialog.Items(12006), (Items{u"Letter"}));
  const std::size_t tray_one_types = dialog.Items(12008).size();
  EXPECT_EQ(dialog.Items(12008).front(), u"Unspecified");
  ASSERT_TRUE(dialog.Select(12006, u"Letter"));
  ASSERT_TRUE(dialog.Select(12008, u"Bond"));
  std::uint16_t form = 0;
  std::uint16_t type = 0;
  GFormToTrayFeature links(context.get());
  links.GetLink(1, form, type);
  EXPECT_EQ(form, 1);
  EXPECT_EQ(type, 11108);
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 1u);
  EXPECT_EQ(dialog.Text(12008), u"Bond");

  // Tray 2 refuses nothing; "Unspecified" on it stores nothing, a type
  // takes the default paper as the form.
  ASSERT_TRUE(dialog.SelectData(12003, 2));
  EXPECT_EQ(Value(511), 2);
  EXPECT_EQ(dialog.Items(12006), (Items{u"Letter", u"Card 4x6"}));
  EXPECT_GT(dialog.Items(12008).size(), tray_one_types);
  ASSERT_TRUE(dialog.Select(12008, u"Unspecified"));
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 1u);
  ASSERT_TRUE(dialog.Select(12008, u"Plain"));
  links.GetLink(2, form, type);
  EXPECT_EQ(form, links.GetDefaultPaperId());
  EXPECT_EQ(type, 11102);
  EXPECT_EQ(Table()->HasNonDefaultAssociation(), 1u);
  ASSERT_TRUE(dialog.Click(12009));
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 0u);
  EXPECT_EQ(dialog.Selection(12006), -1);
}

// The builder's records: ten memory sizes; work space 1.00 to 230.00 by
// 1.00. 20-digit texts clamp (memory) or fall back to 6.00 (work space).
TEST_F(OptionPagesTest, MemoryAndWorkSpaceFields) {
  const std::int16_t memory_list[] = {1, 10, 64, 96, 128, 160, 192, 256, 288, 320, 384, 512};
  const GControlEntry memory_table[] = {{7091, 611}, {7092, 611}, {0, 0}};
  UiDialog memory = Open(
      7500, new GMemoryEditWrapper(new GMemoryFeature(context.get()), memory_table, memory_list));
  for (auto [typed, value] : {std::pair{u"100", 96},
                              {u"600", 512},
                              {u"-5", 64},
                              {u"99999999999999999999", 512},
                              {u"96", 96}}) {
    ASSERT_TRUE(memory.Type(7091, typed));
    ASSERT_TRUE(memory.Blur());
    EXPECT_EQ(Value(925), value);
  }
  EXPECT_EQ(memory.Text(7091), u"96");
  ASSERT_TRUE(memory.Spin(7092, 1));
  EXPECT_EQ(Value(925), 128);
  EXPECT_EQ(memory.Text(7091), u"128");
  for (std::uint32_t key : {520u, 310u, 451u})
    EXPECT_EQ(Value(key), 1) << key;

  DestroyWindow(sheet);
  sheet = nullptr;
  SetProfileString(u"intl", u"sDecimal", u",");
  context->BeginUpdate(nullptr);  // forgets the memory's changes
  context->EndUpdate();
  const std::int16_t space_limits[] = {0, 100, 230 * 100, 100};
  const GControlEntry space_table[] = {{7041, 608}, {7042, 608}, {0, 0}};
  UiDialog space =
      Open(7500, new GDwsEditWrapper(new GDwsFeature(context.get()), space_table, space_limits));
  for (auto [typed, value, shown] : {std::tuple{u"22,00", 2200, u"22,00"},
                                     {u"7,25", 725, u"7,25"},
                                     {u"500", 600, u"6,00"},
                                     {u"12345678901234567890", 600, u"6,00"}}) {
    ASSERT_TRUE(space.Type(7041, typed));
    ASSERT_TRUE(space.Blur());
    EXPECT_EQ(Value(307), value);
    EXPECT_EQ(space.Text(7041), shown);
  }
  ASSERT_TRUE(space.Spin(7042, 1));
  EXPECT_EQ(Value(307), 700);
  // A memory change shows D(96) at the next refresh.
  context->BeginUpdate(nullptr);
  ASSERT_TRUE(context->GetSettingsView().SetValue(925, 96));
  wrapper->Refresh(0);
  EXPECT_EQ(Value(307), 2200);
  EXPECT_EQ(space.Text(7041), u"22,00");
  context->EndUpdate();
}

}  // namespace
