// The Configure page's groups and those of its dialogs, beside the option
// controls of configure_controls.h:
//   ConfigureGroupKeys()     which settings keys each group of the page and
//                            of "More Configuration Options" reads and
//                            writes (the configuration the page commits);
//   GAutoConfigWrapper       the "Update Now" button: runs the automatic
//                            configuration;
//   GFontCardAddWrapper      the "Add Font Card" dialog (7200): the card's
//                            font-storage file (edit 7204) and its source
//                            (list 7205), taken when OK is clicked;
//   GFontCardErrorWrapper    the "Error Configuring Card Fonts" dialog
//                            (7300): shows the file (7306) and the source
//                            (7309) that could not be configured.
// The "Configure Font Cards" dialog (font_card_list.h) opens both.
//
// Groups no page class gives a meaning to (7026, 7069, 7055, 7076, 7062)
// only show and enable their controls; their rows name no keys.
//
// Ownership: the dialogs own their wrappers. Threads: the sheet's.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/wstring.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/pages/group_keys.h"
#include "ui/pages/page_groups.h"

// The Configure page's groups and the "More Configuration Options" ones,
// in the page's order.
std::span<const GGroupKeys> ConfigureGroupKeys();

class GAutoConfigWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t index) const override;
  // A click of the button runs the automatic configuration.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;
};

class GFontCardAddWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t index) const override;
  // Empties the file and lists the ten sources, `source` selected.
  // REQUIRES: `source` below kFontSourceCount.
  void Prepare(std::uint32_t source) { source_ = source; }
  void OnInit() override;
  // OK's click takes the file and the source; other messages as the base.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

  std::uint32_t Source() const { return source_; }
  const RWWString& Path() const { return path_; }

 private:
  GComboBoxHelper sources_;
  std::uint32_t source_ = 0;
  RWWString path_;
};

class GFontCardErrorWrapper : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;
  GControlKind ExpectedKind(std::size_t index) const override;
  void Prepare(const RWWString& path, const RWWString& source) {
    path_ = path;
    source_ = source;
  }
  void OnInit() override;

 private:
  RWWString path_;
  RWWString source_;
};
