#include "ui/pages/feature_tip.h"

#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_bitmap.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::uint32_t kTipCursor = 11270;
constexpr std::uint32_t kTipPicture = 11280;  // +1 pressed, +2 style 1
constexpr std::uint32_t kTipCaption = 11901;
constexpr std::uint32_t kHiddenWhileDisabled = 11902;
constexpr std::uint32_t kFirstNotice = 5300;
constexpr std::uint32_t kLastNotice = 5399;
// The dialog face the style 0 pictures are drawn on.
constexpr std::uint32_t kFaceColor = Rgb(0xC0, 0xC0, 0xC0);

}  // namespace

std::uint32_t GFeatureTipFeature::GetMessageId() const {
  std::int32_t value = 0;
  GetContext()->GetUIObjectView().GetValue(message_, value);
  return static_cast<std::uint16_t>(value);
}

int GFeatureTipFeature::GetState() {
  if ((GetAccessFlags() & 1) != 0) return kStateHidden;
  const std::uint32_t message = GetMessageId();
  if (GetAttributeValue(flag_) == 1) return message == kHiddenWhileDisabled ? kStateHidden : 0;
  return message >= kFirstNotice && message <= kLastNotice ? kStateEnabled : kStateHidden;
}

void GFeatureTipWrapper::OnInit() {
  cursor_ = LoadCursorW(GetResourceModuleHandle(), MakeIntResourceW(kTipCursor));
  if (HWND button = GetControl(0)) SetClassLongW(button, kGclHCursor, 0);
  SetCursor(LoadCursorW(nullptr, MakeIntResourceW(kIdcArrow)));
}

void GFeatureTipWrapper::RefreshState() {
  SetState(tip_->GetState());
}

LRESULT GFeatureTipWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kWmSetCursor:
      SetCursor(cursor_);
      return 0;
    case kWmDrawItem: {
      const auto* item = reinterpret_cast<const DrawItemStruct*>(lparam);
      if (!item || static_cast<std::int32_t>(item->control_id) != GetControlId(0)) return 0;
      const std::uint32_t picture =
          kTipPicture + (style_ == 1 ? 2 : 0) + ((item->item_state & kOdsSelected) ? 1 : 0);
      DrawResourceBitmapAligned(item->item, picture,
                                style_ == 1 ? Rgb(0xFF, 0xFF, 0xFF) : kFaceColor, kAlignCentred,
                                kDrawOnBackground);
      if (item->item_state & kOdsFocus) DrawFocusRect(item->dc, &item->item_rect);
      return 0;
    }
    case kWmCommand:
      if (LowWord(wparam) == GetControlId(0) && HighWord(wparam) == kBnClicked) {
        RWWString text;
        // A tip without text would show an empty box: none.
        if (LoadResString(tip_->GetMessageId(), text) > 0)
          MessageBox(GetDialogWindow(), tip_->GetMessageId(), kTipCaption, kMbIconInformation);
      }
      SetCursor(cursor_);
      return 0;
    default:
      return 0;
  }
}
