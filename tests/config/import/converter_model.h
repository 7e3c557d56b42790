// A settings model that holds every attribute the converters look for,
// each key once (so that a search from the root finds the one the
// converter set; only the watermark definitions, which follow the current
// watermark, repeat its keys), and a fixture that runs converters on it.
//
//   root
//     362 document settings
//         289 staple code 0, 1200 stapling 0, 278 stapler choice 0,
//         982 stitching 0, 265 orientation 0, 252 toner saving 0,
//         248 output bin 1, 280 booklet size 1, 279 booklet 0, 266 n-up 1,
//         269 scale 100, 271 scale page 0, 442, 287, 251, 250, 277, 612,
//         710, 905, 711, 713, 983, 1201, 1209, 1202, 1204 all 0,
//         1133 dry time 4, 249 resolution {323 600, 324 600, 325 1},
//         253 duplex 0, 258 input bin 0x13, 260 paper size 1,
//         270 fit to size 0, 272 target size 1, 267 n-up borders 0,
//         268 n-up order 0, 410 grey options 0, 901 print quality 0,
//         920 back cover 0, 921 back-cover tray 0x13,
//         973 back-cover media 'Plain' (a string)
//     364 colour and media settings
//         291 copies 1, 293 TrueType mode 0, 255 rasterization 0,
//         451 ignore collation 0, 261 media 'Plain', 262 rest media 'Plain'
//         (strings), 263 rest tray 0x13, 264 different first page 0,
//         296 grey printing 0, 304 colour adjustment choice 0,
//         295 colour adjustment (class 1201, its defaults),
//         379 current watermark {585 text as black 0, 383 name 'Mark-0',
//             1112 code 0, 390 0, 382 first page 0, 388 style 0,
//             403 shade 224, 386 face 'Arial', 387 0, 393 escapement 0,
//             394 angle 0, 398 red 0, 399 green 0, 400 blue 0}
//     365 installed options
//         239, 310, 441, 520, 275, 981, 613, 918, 518, 974, 308, 1004 all 0,
//         202 work space 10, 311 stapler 1, 274 tray-1 mode 7,
//         245 manual duplex 3, 1205 post-insertion kit 0 (a value),
//         1203 punch unit '' (a string), 927 bundle 0, 925 memory 64,
//         307 memory share 1000, 315 optional sources '' (a string),
//         915 scale from large paper 0
//     366 key locks {378 watermark pool {definitions of codes 0 to 3:
//             1112 code, 384 name 'Mark-<code>'; code 2 also 390 5,
//             403 64, 388 1, 382 1, 393 4, 394 45, 398 255, 399 0,
//             400 255, 387 1, 386 'Courier New'},
//         1102 lock list {}}
//
// The rasterization choice lies in 364 and the text-as-black flag in the
// current watermark, as the models that keep them there do, so that the
// lookups that reach them another way are the ones exercised. No accessory
// text (365 -> 316) is installed: AddAccessory puts one in. The driver
// data's job settings start empty (no paper path, presets or default
// colour adjustment).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_table.h"
#include "config/import/product_data.h"
#include "config/import/setting_converter.h"
#include "config/keys/settings_keys.h"
#include "tests/config/import/import_fixture.h"

namespace import_test {

inline GAttributeComposite* ConverterModel() {
  constexpr std::uint16_t kAutomaticTray = 0x13;
  auto* document = Group(362, {Value(289, 0),
                               Value(1200, 0),
                               Value(278, 0),
                               Value(982, 0),
                               Value(265, 0),
                               Value(252, 0),
                               Value(248, 1),
                               Value(280, 1),
                               Value(279, 0),
                               Value(266, 1),
                               Value(269, 100),
                               Value(271, 0),
                               Value(442, 0),
                               Value(287, 0),
                               Value(251, 0),
                               Value(250, 0),
                               Value(277, 0),
                               Value(612, 0),
                               Value(710, 0),
                               Value(905, 0),
                               Value(711, 0),
                               Value(713, 0),
                               Value(983, 0),
                               Value(1201, 0),
                               Value(1209, 0),
                               Value(1202, 0),
                               Value(1204, 0),
                               Value(1133, 4),
                               Group(249, {Value(323, 600), Value(324, 600), Value(325, 1)}),
                               Value(253, 0),
                               Value(258, kAutomaticTray),
                               Value(260, 1),
                               Value(270, 0),
                               Value(272, 1),
                               Value(267, 0),
                               Value(268, 0),
                               Value(410, 0),
                               Value(901, 0),
                               Value(920, 0),
                               Value(921, kAutomaticTray),
                               Text(973, "Plain")});
  auto* watermark =
      Group(379, {Value(585, 0), Text(383, "Mark-0"), Value(1112, 0), Value(390, 0), Value(382, 0),
                  Value(388, 0), Value(403, 224), Text(386, "Arial"), Value(387, 0), Value(393, 0),
                  Value(394, 0), Value(398, 0), Value(399, 0), Value(400, 0)});
  auto* color_media = Group(
      364, {Value(291, 1), Value(293, 0), Value(255, 0), Value(451, 0), Text(261, "Plain"),
            Text(262, "Plain"), Value(263, kAutomaticTray), Value(264, 0), Value(296, 0),
            Value(304, 0), new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey), watermark});
  auto* installed =
      Group(365, {Value(239, 0),    Value(310, 0),  Value(441, 0),  Value(520, 0), Value(275, 0),
                  Value(981, 0),    Value(613, 0),  Value(918, 0),  Value(518, 0), Value(974, 0),
                  Value(308, 0),    Value(1004, 0), Value(202, 10), Value(311, 1), Value(274, 7),
                  Value(245, 3),    Value(1205, 0), Text(1203, ""), Value(927, 0), Value(925, 64),
                  Value(307, 1000), Text(315, ""),  Value(915, 0)});
  auto* pool = Group(378, {});
  for (std::uint16_t code = 0; code <= 3; ++code) {
    const std::string name = "Mark-" + std::to_string(code);
    auto* definition = Group(0, {Value(1112, code), Text(384, name.c_str())});
    if (code == 2) {
      for (GAttribute* property : std::initializer_list<GAttribute*>{
               Value(390, 5), Value(403, 64), Value(388, 1), Value(382, 1), Value(393, 4),
               Value(394, 45), Value(398, 255), Value(399, 0), Value(400, 255), Value(387, 1),
               Text(386, "Courier New")}) {
        definition->AddChild(property);
      }
    }
    pool->AddChild(definition);
  }
  auto* locks = Group(366, {pool, Group(1102, {})});
  return Group(0, {document, color_media, installed, locks});
}

// Placeholder accessory identifiers: A, B (D among them), M and the six
// that install the stapler.
inline constexpr const char* kPlaceholderStaplerStackers[] = {"ACC-B1", "ACC-D", "ACC-B3"};
inline constexpr const char* kPlaceholderMailboxes[] = {"ACC-M1", "ACC-M2"};
inline constexpr const char* kPlaceholderStaplers[] = {"ACC-B1", "ACC-D",  "ACC-B3",
                                                       "ACC-S4", "ACC-S5", "ACC-S6"};
// Placeholder bundles: one row whose two forms agree, two that differ.
inline constexpr GBundleRow kPlaceholderBundles[] = {
    {"Model-100", u"Model-100"}, {"Model-200 dn", u"Model-200DN"}, {"model-300", u"Model-300"}};
inline constexpr GProductData kPlaceholderProduct{
    {"ACC-A", kPlaceholderStaplerStackers, "ACC-D", kPlaceholderMailboxes, kPlaceholderStaplers},
    kPlaceholderBundles};

class ConverterFixture : public ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    library_ = std::make_unique<GQCFLibrary>();
    root_.Reset(ConverterModel());
    destination_.Reset(new GAttributeComposite(kImportDestinationKey));
    SetProductData(&kPlaceholderProduct);
  }
  void TearDown() override {
    SetProductData(nullptr);
    library_.reset();
    ImportFixture::TearDown();
  }

  GAttributeComposite* Root() const { return static_cast<GAttributeComposite*>(root_.Get()); }
  GAttributeComposite* Destination() const {
    return static_cast<GAttributeComposite*>(destination_.Get());
  }
  // A fresh model (and destination).
  void Reset() {
    root_.Reset(ConverterModel());
    destination_.Reset(new GAttributeComposite(kImportDestinationKey));
  }
  void AddAccessory(const char* text) {
    FindComposite(Root(), kInstalledOptionsKey)->AddChild(Text(316, text));
  }
  // The converter a maker makes with this fixture's store and driver data.
  std::unique_ptr<GSettingConverter> Make(GConverterMaker make,
                                          const char16_t* short_name = nullptr) {
    return std::unique_ptr<GSettingConverter>(
        make(GConverterArguments{library_.get(), &driver_data_, Root(), short_name}));
  }
  // The factory's converter of `short_name`.
  std::unique_ptr<GSettingConverter> Made(const char16_t* short_name) {
    for (const GConverterEntry& entry : DefaultConverterTable().chain) {
      if (WideStringsEqual(entry.short_name, short_name) != 0) {
        return entry.make != nullptr ? Make(entry.make, entry.short_name) : nullptr;
      }
    }
    return nullptr;
  }
  std::uint32_t Apply(const char16_t* short_name) {
    return Made(short_name)->Apply(Root(), Destination());
  }
  std::uint32_t Extract(const char16_t* short_name) {
    store_.ClearLog();
    return Made(short_name)->Extract(Root());
  }
  // The words written, as "key=word", in order.
  std::vector<std::string> Written() const {
    std::vector<std::string> written;
    for (const auto& entry : store_.Exports()) {
      written.push_back(testing_support::Utf8(entry.key) + "=" + testing_support::Utf8(entry.word));
    }
    return written;
  }
  int ValueAt(std::uint32_t key) const { return ValueOf(Root(), key); }
  void SetValue(std::uint32_t key, std::uint16_t value) {
    FindValueAttribute(Root(), key)->SetValue(value);
  }

  std::unique_ptr<GQCFLibrary> library_;  // made once the store is installed
  GCountedPtr root_;
  GCountedPtr destination_;
};

}  // namespace import_test
