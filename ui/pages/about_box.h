// The About box: every page's About button (11525) and the Basics page's
// own (1050) open it. It shows the library's name, version and copyright
// from the library's version record: "ProductName", "ProductVersion" and
// "LegalCopyright" under the record's last translation. The record is the
// one of the library's module file (as the services' module handle names
// it) when that file has one, else the resource library's, which ships
// with the library (resources/resource_library.rcs). A text the record
// lacks is shown empty. Under them a list shows, for each extension
// registered in the sheet's settings (description list
// kExtensionDescriptionsKey of kExtensionCompositeKey, as the extension
// managers load it), its identity text (kExtensionIdentityKey) and its three
// description texts (kExtensionTextKey, kExtensionAboutTextKey,
// kExtensionAboutMoreKey), one line each, in index order; the list is hidden
// while none is registered. OK (or Cancel) closes the box; it changes no
// setting.
//
//   GAboutFeature        reads the texts and runs the box (AboutBoxProc);
//                        it is never disabled by the sheet's access;
//   GAboutButtonWrapper  a click of its push button opens the box.
//
// Ownership: the wrapper owns the feature. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"
#include "ui/pages/page_groups.h"

// The box's template, its three texts and the extensions' list.
inline constexpr std::uint32_t kAboutBoxTemplate = 11520;
inline constexpr int kAboutBoxName = 11521;
inline constexpr int kAboutBoxVersion = 11522;
inline constexpr int kAboutBoxCopyright = 11523;
inline constexpr int kAboutBoxExtensions = 11524;

// What the box shows.
struct GAboutTexts {
  RWWString name;
  RWWString version;
  RWWString copyright;
};

// The texts of the version record of the file at `path`; false (and all
// empty) when the file has no version record.
bool ReadAboutTexts(const RWWString& path, GAboutTexts& texts);

class GAboutFeature : public GPageFeature {
 public:
  using GPageFeature::GPageFeature;
  // 0: the box opens whatever the sheet's access.
  std::uint32_t GetAccessFlags() override { return 0; }
  // Shows the box owned by `owner`; its result (-1 when it cannot be made).
  platform::INT_PTR ShowAboutBox(platform::HWND owner);

  static platform::INT_PTR AboutBoxProc(platform::HWND dialog, platform::UINT message,
                                        platform::WPARAM wparam, platform::LPARAM lparam);
};

class GAboutButtonWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
  GControlKind ExpectedKind(std::size_t index) const override {
    return index == 0 ? GControlKind::kPushButton : GControlKind::kAny;
  }
};
