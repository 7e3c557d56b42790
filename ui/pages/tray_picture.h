// The clickable printer picture of the Paper and Configure pages.
//   GPicturePart           the model side of a picture whose parts can be
//                          clicked: its origin inside the control, the
//                          point of each value, the value at a point, and
//                          the highlight of the current value (a flood fill
//                          in green from its point);
//   GTrayPicturePart       the trays of the printer (values 6 and 18 upper,
//                          1 middle, 3 lower with the "Z7142" accessory),
//                          read and written for the page group that the
//                          selector kPageGroupSelectorKey names;
//   GPrinterPictureWrapper the owner-drawn button (2021) that shows the
//                          picture (bitmap 2021) with the current tray
//                          highlighted and, when interactive, selects the
//                          tray clicked.
//
// Drawing: the wrapper copies the picture onto the button (SRCCOPY), lets
// the part flood-fill a scratch copy, and lays the changed pixels over the
// button with SRCINVERT, SRCAND (through a mask that is black exactly where
// the scratch copy changed) and SRCINVERT again.
//
// The part keeps the picture's drawing objects (the bitmap in a memory
// context), made on first use and freed with it: a part belongs to one
// wrapper, so a second wrapper never frees what the first still draws.
//
// Ownership: the wrapper owns its part. Threads: the sheet's.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/ui/messages.h"
#include "platform/ui/ui_types.h"
#include "ui/pages/page_groups.h"

inline constexpr std::uint32_t kPictureBitmap = 2021;
inline constexpr std::int32_t kNoPart = -1;

class GPicturePart : public GFeature {
 public:
  explicit GPicturePart(GUIContext* owner) : GFeature(owner) {}
  ~GPicturePart() override;

  // Whether a change of the current update concerns the picture.
  virtual bool IsAffectedByChange() = 0;
  // 2 while the optional paper source (kOptionalPaperSourcesKey) is "Z7142",
  // else 0.
  virtual int GetAccessoryKind();
  // The point (relative to the origin) of `value`; (0, 0) for none.
  virtual platform::Point GetPointForValue(std::int32_t value) = 0;
  // The value at (x, y) of the control, kNoPart for none.
  virtual std::int32_t GetValueAtPoint(int x, int y) = 0;
  // The picture's origin in the control.
  virtual platform::Point GetOrigin() const { return origin_; }
  // The current value.
  virtual std::int32_t GetValue() = 0;
  // Fills, in green, the area of the current value's point on the
  // record's context; nothing when the value has no point.
  virtual void HighlightValue(const platform::DrawItemStruct& record);
  // The three pairs of user-interface objects from kTrayPictureFirstPairKey
  // on (`index` 0-2), the first in the low 16 bits; a missing one is made
  // with 0.
  virtual std::uint32_t GetSavedPair(int index);
  virtual void SetSavedPair(int index, std::uint32_t pair);
  // kTrayPictureSavedValueKey (made with 0) and
  // kTrayPictureSecondSavedValueKey (made with -1), `index` 0 or 1.
  virtual std::int32_t GetSavedValue(int index);
  virtual void SetSavedValue(int index, std::int32_t value);
  virtual void SetOrigin(int x, int y) { origin_ = platform::Point{x, y}; }
  virtual void SetValue(std::int32_t value) = 0;

  // The picture in a memory context (made on first use, null when the
  // resource library lacks it) and its size.
  platform::HDC Picture();
  platform::Point PictureSize() const { return size_; }

 private:
  // The user-interface object `id`, made with `fallback` when missing.
  std::int32_t ReadSaved(std::uint32_t id, std::int32_t fallback);

  platform::Point origin_;
  platform::HDC picture_ = nullptr;
  platform::HBITMAP bitmap_ = nullptr;
  platform::HGDIOBJ stock_bitmap_ = nullptr;
  platform::Point size_;
};

class GTrayPicturePart : public GPicturePart {
 public:
  using GPicturePart::GPicturePart;
  // The hot spots, tested in order: upper (tray 6), middle (1), lower (3).
  using Polygon = std::array<platform::Point, 4>;

  bool IsAffectedByChange() override;
  platform::Point GetPointForValue(std::int32_t value) override;
  // kNoPart while the tray-selection lock (kTraySelectionLockKey) is 1; the lower
  // tray only with the accessory.
  std::int32_t GetValueAtPoint(int x, int y) override;
  std::int32_t GetValue() override;
  void SetValue(std::int32_t value) override;

 protected:
  virtual std::array<Polygon, 3> HotSpots() const;
};

class GPrinterPictureWrapper : public GControlWrapper {
 public:
  // `interactive` 1 lets clicks select. REQUIRES: `part` is not null.
  GPrinterPictureWrapper(GTrayPicturePart* part, const GControlEntry* table,
                         std::int32_t interactive);

  // Centres the picture in the button and loads the hot-spot cursor.
  void OnInit() override;
  // When forced or affected: takes the part's value and repaints.
  void UpdateControl(int force) override;
  void ReadControl() override {}
  void RefreshState() override;
  GControlKind ExpectedKind(std::size_t) const override { return GControlKind::kOwnerDrawn; }
  // WM_DRAWITEM draws (the selected tray highlighted only when
  // interactive); a click (interactive, and only with the right to change
  // settings: access bit 0 clear) selects the tray under the cursor;
  // WM_SETCURSOR shows the hand over a tray.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

  std::int32_t Selected() const { return selected_; }

 private:
  GTrayPicturePart* Part() const { return part_; }
  void Draw(const platform::DrawItemStruct& record);
  // The value under the cursor, kNoPart when none (or not interactive).
  std::int32_t ValueUnderCursor();

  GTrayPicturePart* part_;
  std::int32_t interactive_;
  platform::HCURSOR cursor_ = nullptr;
  std::int16_t selected_ = 19;  // no part: the automatic choice
  std::uint16_t state_ = 0;     // bit 1: grey frame
};
