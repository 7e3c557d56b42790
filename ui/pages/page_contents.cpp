#include "ui/pages/page_contents.h"

#include <initializer_list>
#include <memory>
#include <vector>

#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "driver/ui_driver_data.h"
#include "platform/ui/messages.h"
#include "services/os_factory.h"
#include "ui/framework/dialog_base.h"
#include "ui/framework/modal_dialog.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/about_box.h"
#include "ui/pages/basics_groups.h"
#include "ui/pages/color_groups.h"
#include "ui/pages/configure_controls.h"
#include "ui/pages/configure_features.h"
#include "ui/pages/configure_groups.h"
#include "ui/pages/description_texts.h"
#include "ui/pages/effects_groups.h"
#include "ui/pages/feature_tip.h"
#include "ui/pages/finishing_groups.h"
#include "ui/pages/font_card_list.h"
#include "ui/pages/form_to_tray_links_wrapper.h"
#include "ui/pages/job_storage_groups.h"
#include "ui/pages/media_type_controls.h"
#include "ui/pages/page_groups.h"
#include "ui/pages/paper_features.h"
#include "ui/pages/paper_groups.h"
#include "ui/pages/quickset_groups.h"
#include "ui/pages/tray_picture.h"

namespace {

// The memory field's list of sizes (mode 1, ten values) and the work
// space's limits in hundredths of a megabyte (min, max, step).
constexpr std::int16_t kMemoryLimits[] = {1, 10, 64, 96, 128, 160, 192, 256, 288, 320, 384, 512};
constexpr std::int16_t kWorkSpaceLimits[] = {0, 100, 230 * 100, 100};

using Pairs = std::initializer_list<GControlEntry>;
constexpr std::int32_t kNo = kNoHelp;
constexpr int kWithHelp = 1;

// The tables several pages share.
constexpr GControlEntry kAboutTable[] = {{11525, kNo}, {0, 0}};
constexpr GControlEntry kPreviewTable[] = {{1070, 901}, {0, 0}};
constexpr GControlEntry kQuicksetTable[] = {
    {1011, 902}, {1012, 903}, {1014, 904}, {1010, kNo}, {0, 0}};

// `pairs` with the (0, 0) end; the wrapper copies it.
std::vector<GControlEntry> Ended(Pairs pairs) {
  std::vector<GControlEntry> table(pairs);
  table.push_back({0, 0});
  return table;
}

// A feature of fixed state (the button of a dialog that does not exist).
class GFixedStateFeature : public GFeature {
 public:
  GFixedStateFeature(GUIContext* owner, int state) : GFeature(owner), state_(state) {}
  int GetState() override { return state_; }

 private:
  int state_;
};

// Adds the groups to one page or dialog.
class Groups {
 public:
  Groups(GDialogBase* to, GUIContext* context) : to_(to), context_(context) {}

  template <class Wrapper = GPageWrapper>
  void Add(GFeature* feature, Pairs pairs) {
    to_->AddWrapper(new Wrapper(feature, Ended(pairs).data()));
  }
  void Add(GControlWrapper* wrapper) { to_->AddWrapper(wrapper); }
  void Plain(Pairs pairs) { Add(new GPageFeature(context_), pairs); }
  void Tip(Pairs pairs, std::uint32_t flag, std::uint32_t message, int style) {
    to_->AddWrapper(new GFeatureTipWrapper(new GFeatureTipFeature(context_, &flag, &message),
                                           Ended(pairs).data(), style));
  }
  void About() {
    to_->AddWrapper(new GAboutButtonWrapper(new GAboutFeature(context_), kAboutTable));
  }
  void Preview() {
    to_->AddWrapper(new GPreviewWrapper(new GPreviewFeature(context_), kPreviewTable));
  }
  // About, preview (when asked), quick sets and the two quick-set tips.
  void Shared(bool preview) {
    About();
    if (preview) Preview();
    to_->AddWrapper(new GQuicksetComboWrapper(new GQuicksetPoolFeature(context_), kQuicksetTable));
    Tip({{1013, kNo}}, kEffectivePermissionFlagKey, kEffectivePermissionMessageKey, 1);
    Tip({{1015, kNo}}, kEffectivePermissionFlagKey, kEffectivePermissionMessageKey, 1);
  }
  GUIContext* Context() const { return context_; }

 private:
  GDialogBase* to_;
  GUIContext* context_;
};

GModalDialog* Dialog(std::uint32_t template_id, GUIContext* context, int with_help,
                     std::uint32_t help_context) {
  return new GModalDialog(template_id, context, with_help, help_context);
}

// The custom paper size dialog (8000).
GModalDialog* MakeCustomSizeDialog(GUIContext* context) {
  GModalDialog* dialog = Dialog(8000, context, kWithHelp, 219);
  Groups groups(dialog, context);
  // Letter printers measure in inches, the others in millimetres.
  auto units = std::make_shared<GCustomUnits>();
  if (context->GetDefaultPaperId() == kLetterPaperId) units->unit = GCustomUnits::kInches;
  groups.Add<GCustomPaperNameWrapper>(new GPaperSizeLimitsFeature(context),
                                      {{2050, 218}, {2051, 217}, {8, 221}, {2049, kNo}, {9, 1300}});
  groups.Add(new GCustomLengthWrapper(
      new GCustomSizeFeature(context, kCustomHeightKey),
      Ended({{11421, 211}, {11422, 211}, {11431, kNo}, {11433, kNo}, {2054, 211}}).data(), units));
  groups.Add(new GCustomLengthWrapper(new GCustomSizeFeature(context, kCustomWidthKey),
                                      Ended({{11411, 212},
                                             {11412, 212},
                                             {11430, kNo},
                                             {11432, kNo},
                                             {2053, 212},
                                             {11413, kNo},
                                             {11414, kNo},
                                             {11423, kNo},
                                             {11424, kNo},
                                             {2055, kNo}})
                                          .data(),
                                      units));
  groups.Add(new GCustomUnitsWrapper(new GPaperSizeLimitsFeature(context),
                                     Ended({{2052, 213}}).data(), units));
  dialog->BuildHelpTable();
  return dialog;
}

// The watermark details dialog (5000).
GModalDialog* MakeWatermarkDialog(GUIContext* context) {
  GModalDialog* dialog = Dialog(5000, context, kWithHelp, 522);
  Groups groups(dialog, context);
  auto details = [context] { return new GWatermarkFeature(context, GWatermarkPart::kDetails); };
  groups.Add<GWMFontWrapper>(details(), {{5012, 515},
                                         {5014, 516},
                                         {5019, 517},
                                         {5027, 523},
                                         {5011, 515},
                                         {5026, 523},
                                         {5013, 516},
                                         {5018, 517},
                                         {5010, kNo},
                                         {9, 1300}});
  groups.Tip({{6533, kNo}}, kWatermarkFontTipFlagKey, kWatermarkFontTipMessageKey, 0);
  groups.Add<GWatermarkListWrapper>(
      new GWatermarkFeature(context, GWatermarkPart::kChoice),
      {{5002, 510}, {5003, 511}, {5004, 512}, {5006, 521}, {5001, kNo}, {5005, kNo}});
  groups.Add<GWatermarkPagesWrapper>(new GWatermarkFeature(context, GWatermarkPart::kPages),
                                     {{5016, 518}, {5017, 518}, {5015, 518}});
  groups.Add(new GWatermarkLayoutWrapper(
      details(), new GWatermarkLayoutFeature(context),
      Ended({{5008, 513}, {5009, 514}, {5021, 519}, {5022, 520}, {5028, 524}, {5007, kNo}})
          .data()));
  groups.Tip({{5020, kNo}}, kWatermarkLayoutTipFlagKey, kWatermarkLayoutTipMessageKey, 0);
  groups.Preview();
  dialog->BuildHelpTable();
  return dialog;
}

// The "Print Quality Details" dialog of the Finishing page, null for a
// language of neither kind (finishing_groups.h).
GModalDialog* MakeQualityDialog(GUIContext* context, std::uint16_t kind) {
  if (kind != kLanguageXL && kind != kLanguageZdl5) return nullptr;
  const bool zdl5 = kind == kLanguageZdl5;
  GModalDialog* dialog =
      zdl5 ? Dialog(13001, context, 0, 332) : Dialog(9000, context, kWithHelp, 332);
  Groups groups(dialog, context);
  groups.Add<GQualityDescriptionWrapper>(new GQualityFeature(context), {{9002, kNo}, {9001, kNo}});
  groups.Add<GPatternScalingCheckWrapper>(new GPatternScalingFeature(context),
                                          {{9015, 331}, {9007, kNo}, {9, 1300}});
  groups.Add<GChoiceCheckWrapper>(
      zdl5 ? new GChoiceFeature(context, &kTextAsBlackKey, kRasterizationThirdFlagKey)
           : new GChoiceFeature(context, &kTextAsBlackKey),
      {{6044, 346}});
  if (zdl5) groups.Tip({{7074, kNo}}, kRasterizationThirdFlagKey, kRasterizationThirdMessageKey, 0);
  groups.Add<GTrueTypeCheckWrapper>(new GTrueTypeBitmapFeature(context),
                                    {{3021, 313}, {9003, kNo}});
  groups.Tip({{3023, kNo}}, kTrueTypeBitmapFlagKey, kTrueTypeBitmapMessageKey, 0);
  if (zdl5) {
    groups.Add<GRasterizationWrapper>(
        new GChoiceFeature(context, &kRasterizationKey),
        {{9020, 334}, {9021, 335}, {9022, 336}, {9023, 337}, {9024, 338}, {9004, kNo}});
    groups.Tip({{9033, kNo}}, kRasterizationFlagKey, kRasterizationMessageKey, 0);
    dialog->BuildHelpTable();
    groups.Tip({{9034, kNo}}, kRasterizationSecondFlagKey, kRasterizationSecondMessageKey, 0);
  } else {
    groups.Plain({{1002, 327}, {1005, 327}, {9010, kNo}});  // no setting is given to it
    dialog->BuildHelpTable();
  }
  return dialog;
}

// The Configure page's dialogs.
GModalDialog* MakeMoreOptionsDialog(GUIContext* context) {
  GModalDialog* dialog = Dialog(7500, context, kWithHelp, 618);
  Groups groups(dialog, context);
  groups.Add(new GDwsEditWrapper(new GDwsFeature(context),
                                 Ended({{7041, 608}, {7042, 608}, {7043, 608}}).data(),
                                 kWorkSpaceLimits));
  groups.Add(new GMemoryEditWrapper(
      new GMemoryFeature(context),
      Ended({{7091, 611}, {7092, 611}, {7093, 611}, {7040, kNo}}).data(), kMemoryLimits));
  groups.Add<GHardDiskCheckWrapper>(new GHardDiskFeature(context),
                                    {{7046, 610}, {7061, 617}, {7070, kNo}});
  groups.Tip({{7066, kNo}}, kMemorySecondFlagKey, kMemoryMessageKey, 0);
  groups.Plain({{7055, 627}, {7054, kNo}});
  groups.Plain({{7076, 634}});
  groups.Tip({{7077, kNo}}, kMoreOptionsTipFlagKey, kMoreOptionsTipMessageKey, 0);
  groups.Plain({{7062, 307}, {7065, kNo}, {9, 1300}});
  dialog->BuildHelpTable();
  return dialog;
}

}  // namespace

void AddBasicsGroups(GDialogBase* page, GUIContext* context) {
  Groups groups(page, context);
  groups.Add(new GCopiesWrapper(
      new GCopiesFeature(context), new GCollateFeature(context),
      Ended({{1021, 101}, {1022, 101}, {1024, 101}, {1023, 101}, {1020, kNo}}).data()));
  groups.Add<GOrientationWrapper>(new GOrientationFeature(context),
                                  {{1031, 102}, {1032, 103}, {1033, 104}, {1030, kNo}});
  groups.Add<GAboutButtonWrapper>(new GAboutFeature(context), {{1050, 105}});
  groups.Shared(true);
}

void AddPaperGroups(GDialogBase* page, GUIContext* context) {
  Groups groups(page, context);
  groups.Add<GDifferentFirstPageWrapper>(new GDifferentFirstPageFeature(context),
                                         {{11586, 214}, {11555, kNo}});
  groups.Add<GPageSectionWrapper>(new GPageSectionFeature(context, 0), {{11553, 223}});
  groups.Tip({{2064, kNo}}, kBackCoverBookletFlagKey, kBackCoverBookletMessageKey, 0);
  groups.Add<GPageSectionWrapper>(new GPageSectionFeature(context, 1), {{11554, 224}});
  groups.Tip({{11585, kNo}}, kTrayConflictFlagKey, kTrayConflictMessageKey, 0);
  groups.Add(new GPaperSizeWrapper(new GPaperSizeLimitsFeature(context),
                                   new GPaperSizeFeature(context),
                                   Ended({{2015, 202}, {2014, 215}, {2013, 202}}).data()));
  groups.Tip({{2024, kNo}}, kFitToPaperFlagKey, kFitToPaperMessageKey, 0);
  GModalDialog* custom = MakeCustomSizeDialog(context);
  groups.Add(new GDialogButtonWrapper(new GPaperSizeLimitsFeature(context),
                                      Ended({{2016, 206}}).data(), custom));
  groups.Add<GMediaTypeListWrapper>(new GMediaTypeFeature(context), {{11582, 203}, {11581, 203}});
  groups.Add<GPaperSourceWrapper>(new GPaperSourceFeature(context), {{11584, 205}, {11583, 205}});
  groups.Tip({{12138, kNo}}, kTraySelectionLockKey, kLastPageConflictMessageKey, 0);
  auto* table = dynamic_cast<GFormToTrayDatabase*>(
      context->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  groups.Add(new GPrinterPictureWrapper(new GTrayPicturePart(context), Ended({{2021, 210}}).data(),
                                        table && table->HasNonDefaultAssociation() ? 0 : 1));
  groups.Tip({{2025, kNo}}, kPermissionFlagKey, kPermissionMessageKey, 1);
  groups.Shared(true);
}

void AddFinishingGroups(GDialogBase* page, GUIContext* context, std::uint16_t language_kind) {
  Groups groups(page, context);
  groups.Add(new GDuplexCheckWrapper(new GDuplexFeature(context),
                                     Ended({{3010, kNo}, {3030, kNo}}).data()));
  groups.Add(new GChoiceListWrapper(new GDuplexFeature(context),
                                    Ended({{3011, 302}, {3012, 303}}).data(), DuplexChoiceItems()));
  groups.Tip({{3013, kNo}}, kDuplexFlagKey, kDuplexMessageKey, 0);
  groups.Add(new GChoiceListWrapper(new GChoiceFeature(context, &kBookletKey, kBookletFlagKey),
                                    Ended({{3024, 301}, {3025, 301}}).data(),
                                    BookletChoiceItems()));
  groups.Tip({{3026, kNo}}, kBookletFlagKey, kBookletMessageKey, 0);
  groups.Add<GResolutionWrapper>(new GResolutionFeature(context),
                                 {{3015, 323}, {3017, 323}, {3019, 324}, {3040, 325}, {3041, 325}});
  groups.Tip({{3018, kNo}}, kNupConflictFlagKey, kNupConflictMessageKey, 0);
  groups.Add<GChoiceCheckWrapper>(new GChoiceFeature(context, &kPageOrderKey),
                                  {{3031, 310}, {3033, 312}});
  GModalDialog* details = MakeQualityDialog(context, language_kind);
  groups.Add<GChoiceCheckWrapper>(new GEdgeToEdgeFeature(context), {{3035, 314}});
  if (details) {
    groups.Add(
        new GDialogButtonWrapper(new GPageFeature(context), Ended({{3034, 321}}).data(), details));
  } else {
    groups.Add(new GFixedStateFeature(context, kStateDisabled), {{3034, 321}});
  }
  groups.Shared(true);
}

void AddEffectsGroups(GDialogBase* page, GUIContext* context) {
  Groups groups(page, context);
  groups.Add<GScaleEditWrapper>(new GScaleFeature(context),
                                {{6021, 505}, {6022, 505}, {6023, 506}});
  groups.Tip({{6025, kNo}}, kScaleConflictFlagKey, kScaleConflictMessageKey, 0);
  groups.Add(
      new GFitToLetterWrapper(new GPaperSizeLimitsFeature(context), new GFitToPaperFeature(context),
                              Ended({{6024, 507}, {6033, 508}, {6034, 509}, {6020, kNo}}).data()));
  groups.Tip({{6026, kNo}}, kSizeLimitFlagKey, kSizeLimitMessageKey, 0);
  groups.Add<GPagesPerSheetListWrapper>(new GPagesPerSheetFeature(context), {{6012, 503}});
  groups.Add<GWatermarkListWrapper>(new GWatermarkFeature(context, GWatermarkPart::kChoice),
                                    {{6011, 501}, {6010, kNo}});
  GModalDialog* watermark = MakeWatermarkDialog(context);
  groups.Add(new GDialogButtonWrapper(new GWatermarkFeature(context, GWatermarkPart::kChoice),
                                      Ended({{6013, 502}}).data(), watermark));
  groups.Shared(true);
}

void AddJobStorageGroups(GDialogBase* page, GUIContext* context) {
  AddJobStorageOwnGroups(page, context, true);
  Groups(page, context).Shared(false);
  AddJobStorageOwnGroups(page, context, false);
}

void AddNTFormsGroups(GDialogBase* page, GUIContext* context) {
  Groups groups(page, context);
  groups.Add(new GFormToTrayLinkWrapper(new GFormToTrayFeature(context),
                                        new GMediaTypeFeature(context),
                                        Ended({{12003, 701},
                                               {12006, 702},
                                               {12008, 703},
                                               {12009, 704},
                                               {12002, 701},
                                               {12005, 702},
                                               {12007, 703},
                                               {12001, kNo},
                                               {12010, kNo},
                                               {12004, kNo},
                                               {12011, kNo},
                                               {12012, kNo}})
                                            .data()));
  groups.About();
}

void AddConfigureGroups(GDialogBase* page, GUIContext* context) {
  Groups groups(page, context);
  groups.Add<GConfigStatusComboWrapper>(new GConfigStatusFeature(context),
                                        {{7013, 612}, {7010, kNo}});
  groups.Plain({{7026, 607}, {7020, kNo}});
  groups.Add<GManualDuplexCheckWrapper>(new GManualDuplexFeature(context), {{7023, 630}});
  groups.Add<GCollationCheckWrapper>(new GCollationFeature(context), {{7024, 609}});
  groups.Tip({{7025, kNo}}, kMemoryFlagKey, kMemoryMessageKey, 0);
  groups.Add<GPaperSourcesComboWrapper>(new GPaperSourcesFeature(context),
                                        {{7037, 604}, {7038, 604}});
  GModalDialog* more = MakeMoreOptionsDialog(context);

  GModalDialog* error = Dialog(7300, context, 0, 0);
  auto* error_group = new GFontCardErrorWrapper(
      new GFeature(context), Ended({{7303, kNo}, {7306, kNo}, {7309, kNo}, {1, 1302}}).data());
  error->AddWrapper(error_group);
  GModalDialog* add = Dialog(7200, context, 0, 0);
  auto* add_group = new GFontCardAddWrapper(
      new GPageFeature(context),
      Ended({{7204, 626}, {7205, 624}, {7201, 625}, {1, 1302}, {7203, 626}, {7206, 624}}).data());
  add->AddWrapper(add_group);
  add->BuildHelpTable();
  GModalDialog* cards = Dialog(7100, context, kWithHelp, 616);
  auto* list = new FontCardListPage(new GPageFeature(context), Ended({{7105, 620},
                                                                      {7106, 623},
                                                                      {7109, 621},
                                                                      {7107, 622},
                                                                      {7110, 619},
                                                                      {1, 1302},
                                                                      {2, 1301},
                                                                      {7104, 620},
                                                                      {7108, 621},
                                                                      {7102, kNo},
                                                                      {7103, kNo},
                                                                      {7101, kNo},
                                                                      {9, 1300}})
                                                                   .data());
  list->SetDialogs(add, add_group, error, error_group);
  cards->AddWrapper(list);
  cards->BuildHelpTable();
  auto* cards_button = new GDialogButtonWrapper(
      new GPageFeature(context), Ended({{7071, kNo}, {7047, 614}, {7048, 615}, {9, 1300}}).data(),
      cards);
  cards_button->KeepDialog(error);  // the font cards' flows show these
  cards_button->KeepDialog(add);
  groups.Add(cards_button);
  groups.Plain({{7069, 633}, {7068, kNo}});
  groups.Tip({{7073, kNo}}, kFontCardTipFlagKey, kFontCardTipMessageKey, 0);
  groups.Add(new GDialogButtonWrapper(new GPageFeature(context),
                                      Ended({{7049, 6180}, {7045, kNo}}).data(), more));
  groups.Add<GAutoConfigWrapper>(new GAutoConfigFeature(context), {{7052, 605}, {7050, kNo}});
  groups.Add(
      new GPrinterPictureWrapper(new GTrayPicturePart(context), Ended({{2021, 606}}).data(), 0));
  groups.About();
}

void AddColorGroups(GDialogBase* page, GUIContext* context) {
  AddColorPageGroups(page, context);
}

void ReadLocalJobStorageChoice(GUIContext* context) {
  GOSFactory* services = GOSFactory::Instance();
  GUIDriverData* printer = context->GetDriverContext();
  std::uint32_t stored = 0;
  if (services && printer) {
    RWWString key;
    printer->GetLocalJobStorageKey(key);
    stored = services->ReadUserDword(key, RWWString(u"LocalJobStorage"), 0);
  }
  context->GetSettingsView().SetValue(kLocalJobStorageKey, stored == 0 ? 1 : 0);
}
