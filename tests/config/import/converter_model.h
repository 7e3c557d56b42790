// A settings model that holds every attribute the converters look for,
// each key once (so that a search from the root finds the one the
// converter set), and a fixture that runs converters on it.
//
//   root
//     362 document settings
//         289 staple code 0, 1200 stapling 0, 278 stapler choice 0,
//         982 stitching 0, 265 orientation 0, 252 toner saving 0,
//         248 output bin 1, 280 booklet size 1, 279 booklet 0, 266 n-up 1,
//         269 scale 100, 271 scale page 0, 442, 287, 251, 250, 277, 612,
//         710, 905, 711, 713, 983, 1201, 1209, 1202, 1204 all 0,
//         1133 dry time 4, 249 resolution {323 600, 324 600, 325 1}
//     364 colour and media settings
//         291 copies 1, 293 TrueType mode 0, 255 rasterization 0,
//         451 ignore collation 0, 379 current watermark {585 text as black 0}
//     365 installed options
//         239, 310, 441, 520, 275, 981, 613, 918, 518, 974, 308, 1004 all 0,
//         202 work space 10, 311 stapler 1, 274 tray-1 mode 7,
//         245 manual duplex 3, 1205 post-insertion kit 0 (a value),
//         1203 punch unit '' (a string), 927 bundle 0
//     366 key locks {378 watermark list {}, 1102 lock list {}}
//
// The rasterization choice lies in 364 and the text-as-black flag in the
// current watermark, as the models that keep them there do, so that the
// lookups that reach them another way are the ones exercised. No accessory
// text (365 -> 316) is installed: AddAccessory puts one in.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_table.h"
#include "config/import/product_data.h"
#include "config/import/setting_converter.h"
#include "tests/config/import/import_fixture.h"

namespace import_test {

inline GAttributeComposite* ConverterModel() {
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
                               Group(249, {Value(323, 600), Value(324, 600), Value(325, 1)})});
  auto* color_media = Group(364, {Value(291, 1), Value(293, 0), Value(255, 0), Value(451, 0),
                                  Group(379, {Value(585, 0)})});
  auto* installed =
      Group(365, {Value(239, 0), Value(310, 0), Value(441, 0), Value(520, 0), Value(275, 0),
                  Value(981, 0), Value(613, 0), Value(918, 0), Value(518, 0), Value(974, 0),
                  Value(308, 0), Value(1004, 0), Value(202, 10), Value(311, 1), Value(274, 7),
                  Value(245, 3), Value(1205, 0), Text(1203, ""), Value(927, 0)});
  auto* locks = Group(366, {Group(378, {}), Group(1102, {})});
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
    destination_.Reset(new GAttributeComposite(kDestinationKey));
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
    destination_.Reset(new GAttributeComposite(kDestinationKey));
  }
  void AddAccessory(const char* text) {
    GSettingConverter::FindComposite(Root(), kInstalledOptionsKey)->AddChild(Text(316, text));
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
    GSettingConverter::FindValue(Root(), key)->SetValue(value);
  }

  std::unique_ptr<GQCFLibrary> library_;  // made once the store is installed
  GCountedPtr root_;
  GCountedPtr destination_;
};

}  // namespace import_test
