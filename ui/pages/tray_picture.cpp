#include "ui/pages/tray_picture.h"

#include <algorithm>

#include "config/keys/settings_keys.h"
#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/accessory_choices.h"
#include "ui/pages/media_type_controls.h"

using namespace platform;

namespace {

constexpr COLORREF kHighlight = PaletteRgb(0x00, 0xFF, 0x00);
constexpr COLORREF kGrey = Rgb(0x80, 0x80, 0x80);
constexpr int kLowerTrayKind = 2;

// Trays (paper sources) and the page groups' tray and option attributes.
constexpr std::int32_t kUpperTray = 6;
constexpr std::int32_t kAnyTray = 18;
constexpr std::int32_t kMiddleTray = 1;
constexpr std::int32_t kLowerTray = 3;
constexpr std::int32_t kCoverOn = 2;

}  // namespace

// ---- GPicturePart

GPicturePart::~GPicturePart() {
  if (picture_) {
    SelectObject(picture_, stock_bitmap_);
    DeleteDC(picture_);
  }
  if (bitmap_) DeleteObject(bitmap_);
}

int GPicturePart::GetAccessoryKind() {
  RWCString part;
  GetContext()->GetSettingsView().GetString(kOptionalPaperSourcesKey, part);
  return part == kLowerTrayAccessory ? kLowerTrayKind : 0;
}

HDC GPicturePart::Picture() {
  if (picture_ || !GetResourceModuleHandle()) return picture_;
  bitmap_ = LoadBitmapW(GetResourceModuleHandle(), MakeIntResourceW(kPictureBitmap));
  if (!bitmap_) return nullptr;
  BitmapInfo info;
  GetObjectW(bitmap_, sizeof(info), &info);
  size_ = Point{info.width, info.height};
  picture_ = CreateCompatibleDC(nullptr);
  stock_bitmap_ = SelectObject(picture_, bitmap_);
  return picture_;
}

void GPicturePart::HighlightValue(const DrawItemStruct& record) {
  const Point point = GetPointForValue(GetValue());
  if (point.x == 0 && point.y == 0) return;
  HBRUSH brush = CreateSolidBrush(kHighlight);
  HGDIOBJ previous = SelectObject(record.dc, brush);
  const int x = origin_.x + point.x;
  const int y = origin_.y + point.y;
  ExtFloodFill(record.dc, x, y, GetPixel(record.dc, x, y), kFloodFillSurface);
  SelectObject(record.dc, previous);
  DeleteObject(brush);
}

std::int32_t GPicturePart::ReadSaved(std::uint32_t id, std::int32_t fallback) {
  GAttributeView objects = GetContext()->GetUIObjectView();
  std::int32_t value = 0;
  if (objects.GetValue(id, value)) return value;
  if (!objects.Has(id)) objects.SetValue(id, fallback);
  return fallback;
}

std::uint32_t GPicturePart::GetSavedPair(int index) {
  const std::uint32_t first = kTrayPictureFirstPairKey + 2 * std::uint32_t(std::clamp(index, 0, 2));
  return (std::uint32_t(ReadSaved(first, 0)) & 0xFFFF) |
         (std::uint32_t(ReadSaved(first + 1, 0)) << 16);
}

void GPicturePart::SetSavedPair(int index, std::uint32_t pair) {
  const std::uint32_t first = kTrayPictureFirstPairKey + 2 * std::uint32_t(std::clamp(index, 0, 2));
  GAttributeView objects = GetContext()->GetUIObjectView();
  objects.SetValue(first, std::int32_t(pair & 0xFFFF));
  objects.SetValue(first + 1, std::int32_t(pair >> 16));
}

std::int32_t GPicturePart::GetSavedValue(int index) {
  return index == 0 ? ReadSaved(kTrayPictureSavedValueKey, 0)
                    : ReadSaved(kTrayPictureSecondSavedValueKey, -1);
}

void GPicturePart::SetSavedValue(int index, std::int32_t value) {
  GetContext()->GetUIObjectView().SetValue(
      index == 0 ? kTrayPictureSavedValueKey : kTrayPictureSecondSavedValueKey, value);
}

// ---- GTrayPicturePart

bool GTrayPicturePart::IsAffectedByChange() {
  GUIContext* context = GetContext();
  for (std::uint32_t id :
       {kPaperSourceKey, kOtherPagesSourceKey, kBackCoverSourceKey, kPageGroupSelectorKey,
        kBackCoverKey, kFrontCoverKey, kFrontCoverSourceKey, 275u, kOptionalPaperSourcesKey, 308u,
        316u, kDifferentFirstPageKey, kLastPageSourceKey}) {
    if (context->WasChanged(id)) return true;
  }
  return false;
}

Point GTrayPicturePart::GetPointForValue(std::int32_t value) {
  switch (value) {
    case kMiddleTray:
      return Point{108, 128};
    case kLowerTray:
      return Point{110, 150};
    case kUpperTray:
    case kAnyTray:
      return Point{99, 88};
    default:
      return Point{};
  }
}

std::array<GTrayPicturePart::Polygon, 3> GTrayPicturePart::HotSpots() const {
  return {{{{{98, 80}, {155, 64}, {156, 101}, {101, 118}}},
           {{{106, 129}, {152, 113}, {153, 118}, {105, 135}}},
           {{{101, 147}, {157, 129}, {155, 146}, {101, 165}}}}};
}

std::int32_t GTrayPicturePart::GetValueAtPoint(int x, int y) {
  x -= GetOrigin().x;
  y -= GetOrigin().y;
  if (GetAttributeValue(kTraySelectionLockKey) == 1) return kNoPart;
  const std::array<Polygon, 3> spots = HotSpots();
  const std::int32_t values[] = {kUpperTray, kMiddleTray, kLowerTray};
  const int count = (GetAccessoryKind() & kLowerTrayKind) ? 3 : 2;
  std::int32_t found = kNoPart;
  std::vector<HRGN> regions;
  for (int i = 0; i < count; ++i)
    regions.push_back(CreatePolygonRgn(spots[i].data(), 4, kWinding));
  for (int i = 0; i < count && found == kNoPart; ++i)
    if (PtInRegion(regions[i], x, y)) found = values[i];
  for (HRGN region : regions)
    DeleteObject(region);
  return found;
}

std::int32_t GTrayPicturePart::GetValue() {
  GAttributeView objects = GetContext()->GetUIObjectView();
  if (!objects.Has(kPageGroupSelectorKey)) objects.SetValue(kPageGroupSelectorKey, 0);
  switch (GetAttributeValue(kPageGroupSelectorKey)) {
    case 0:
      return GetAttributeValue(kPaperSourceKey);
    case 1:
      return GetAttributeValue(kOtherPagesSourceKey);
    case 2:
      return GetAttributeValue(kBackCoverKey) ? GetAttributeValue(kBackCoverSourceKey) : 0;
    case 3:
      return GetAttributeValue(kFrontCoverKey) ? GetAttributeValue(kFrontCoverSourceKey) : 0;
    case 4:
      return GetAttributeValue(kLastPageSourceKey);
    default:
      return 0;
  }
}

void GTrayPicturePart::SetValue(std::int32_t value) {
  GAttributeView settings = GetContext()->GetSettingsView();
  switch (GetAttributeValue(kPageGroupSelectorKey)) {
    case 0:
      settings.SetValue(kPaperSourceKey, value);
      if (GetAttributeValue(kDifferentFirstPageKey) == 0) {
        for (std::uint32_t id :
             {kOtherPagesSourceKey, kLastPageSourceKey, kBackCoverSourceKey, kFrontCoverSourceKey})
          settings.SetValue(id, value);
      }
      break;
    case 1:
      settings.SetValue(kOtherPagesSourceKey, value);
      break;
    case 2:
      settings.SetValue(kBackCoverSourceKey, value);
      settings.SetValue(kBackCoverKey, kCoverOn);
      break;
    case 3:
      settings.SetValue(kFrontCoverSourceKey, value);
      settings.SetValue(kFrontCoverKey, kCoverOn);
      break;
    case 4:
      settings.SetValue(kLastPageSourceKey, value);
      break;
    default:
      break;
  }
}

// ---- GPrinterPictureWrapper

namespace {

constexpr std::int16_t kAutomaticChoice = 19;
constexpr std::uint32_t kNoSettingsRight = 1;  // access bit 0

}  // namespace

GPrinterPictureWrapper::GPrinterPictureWrapper(GTrayPicturePart* part, const GControlEntry* table,
                                               std::int32_t interactive)
    : GControlWrapper(part, table), part_(part), interactive_(interactive) {}

void GPrinterPictureWrapper::OnInit() {
  cursor_ = LoadCursorW(nullptr, MakeIntResourceW(kIdcHand));
  Rect client;
  HWND button = GetControl(0);
  if (!button || !GetClientRect(button, &client) || !part_->Picture()) return;
  const Point size = part_->PictureSize();
  part_->SetOrigin(std::max<LONG>(0, (client.right - size.x) / 2),
                   std::max<LONG>(0, (client.bottom - size.y) / 2));
}

void GPrinterPictureWrapper::UpdateControl(int force) {
  if (!force && !part_->IsAffectedByChange()) return;
  selected_ = static_cast<std::int16_t>(part_->GetValue());
  if (HWND button = GetControl(0)) InvalidateRect(button, nullptr, 0);
}

void GPrinterPictureWrapper::RefreshState() {
  state_ = static_cast<std::uint16_t>(part_->GetState());
  SetState(state_);
}

void GPrinterPictureWrapper::Draw(const DrawItemStruct& record) {
  HDC picture = part_->Picture();
  if (!picture) return;
  const Point origin = part_->GetOrigin();
  const Point size = part_->PictureSize();
  BitBlt(record.dc, origin.x, origin.y, size.x, size.y, picture, 0, 0, kSrcCopy);

  // The highlight on a scratch copy, laid over through the mask of what it
  // changed.
  const int width = record.item_rect.right;
  const int height = record.item_rect.bottom;
  HDC scratch = CreateCompatibleDC(record.dc);
  HBITMAP scratch_bitmap = CreateCompatibleBitmap(record.dc, width, height);
  HDC mask = CreateCompatibleDC(record.dc);
  HBITMAP mask_bitmap = CreateCompatibleBitmap(record.dc, width, height);
  if (scratch_bitmap && mask_bitmap) {
    HGDIOBJ scratch_stock = SelectObject(scratch, scratch_bitmap);
    HGDIOBJ mask_stock = SelectObject(mask, mask_bitmap);
    BitBlt(scratch, 0, 0, width, height, record.dc, 0, 0, kSrcCopy);
    // Only a picture that selects shows a selection.
    if (interactive_ && selected_ != kAutomaticChoice) {
      DrawItemStruct on_scratch = record;
      on_scratch.dc = scratch;
      part_->HighlightValue(on_scratch);
    }
    // The changed pixels are the area filled from the value's point: in
    // picture xor scratch, inverted, they are the one area of a colour
    // other than white around that point, which a black fill turns into
    // the mask. Nothing changed: nothing to lay over.
    const Point spot = part_->GetPointForValue(part_->GetValue());
    const int x = origin.x + spot.x, y = origin.y + spot.y;
    if ((spot.x != 0 || spot.y != 0) && GetPixel(scratch, x, y) != GetPixel(record.dc, x, y)) {
      BitBlt(mask, 0, 0, width, height, record.dc, 0, 0, kSrcCopy);
      BitBlt(mask, 0, 0, width, height, scratch, 0, 0, kSrcInvert);
      BitBlt(mask, 0, 0, width, height, nullptr, 0, 0, kDstInvert);
      HBRUSH black = CreateSolidBrush(0);
      HGDIOBJ white = SelectObject(mask, black);
      ExtFloodFill(mask, x, y, GetPixel(mask, x, y), kFloodFillSurface);
      SelectObject(mask, white);
      DeleteObject(black);
      BitBlt(record.dc, 0, 0, width, height, scratch, 0, 0, kSrcInvert);
      BitBlt(record.dc, 0, 0, width, height, mask, 0, 0, kSrcAnd);
      BitBlt(record.dc, 0, 0, width, height, scratch, 0, 0, kSrcInvert);
    }
    SelectObject(scratch, scratch_stock);
    SelectObject(mask, mask_stock);
  }
  DeleteDC(scratch);
  DeleteDC(mask);
  if (scratch_bitmap) DeleteObject(scratch_bitmap);
  if (mask_bitmap) DeleteObject(mask_bitmap);

  if (state_ & 2) {
    HBRUSH grey = CreateSolidBrush(kGrey);
    const Rect edges[] = {{0, 0, width, 1},
                          {0, height - 1, width, height},
                          {0, 0, 1, height},
                          {width - 1, 0, width, height}};
    for (const Rect& edge : edges)
      FillRect(record.dc, &edge, grey);
    DeleteObject(grey);
  }
}

std::int32_t GPrinterPictureWrapper::ValueUnderCursor() {
  HWND button = GetControl(0);
  Point at;
  if (!interactive_ || !button || !GetCursorPos(&at) || !ScreenToClient(button, &at))
    return kNoPart;
  return part_->GetValueAtPoint(at.x, at.y);
}

LRESULT GPrinterPictureWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kWmDrawItem: {
      const auto* record = reinterpret_cast<const DrawItemStruct*>(lparam);
      if (!record || std::int32_t(record->control_id) != GetControlId(0) || !record->dc) return 0;
      Draw(*record);
      return 1;
    }
    case kWmSetCursor:
      if (ValueUnderCursor() == kNoPart) return 0;
      SetCursor(cursor_);
      return 1;
    case kWmCommand: {
      if (LowWord(wparam) != GetControlId(0) || HighWord(wparam) != kBnClicked) return 0;
      // A user without the right to change settings picks no tray.
      if (part_->GetAccessFlags() & kNoSettingsRight) return 1;
      const std::int32_t value = ValueUnderCursor();
      if (value == kNoPart) return 1;
      part_->SetValue(value);
      selected_ = static_cast<std::int16_t>(value);
      InvalidateRect(GetControl(0), nullptr, 0);
      return 1;
    }
    default:
      return 0;
  }
}
