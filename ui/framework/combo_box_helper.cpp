#include "ui/framework/combo_box_helper.h"

#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

using platform::SendMessageW;

void GComboBoxHelper::Attach(platform::HWND dialog, int control_id) {
  control_ = dialog ? platform::GetDlgItem(dialog, control_id) : nullptr;
}

void GComboBoxHelper::ResetContent() {
  if (control_) SendMessageW(control_, platform::kCbResetContent, 0, 0);
}

std::uint32_t GComboBoxHelper::AddString(const char16_t* text) {
  const platform::LRESULT index = control_ ? SendMessageW(control_, platform::kCbAddString, 0,
                                                          reinterpret_cast<platform::LPARAM>(text))
                                           : platform::kCbErr;
  return index < 0 ? kComboAddFailed : static_cast<std::uint32_t>(index);
}

std::uint32_t GComboBoxHelper::AddStringWithData(const char16_t* text, std::uint32_t data) {
  const std::uint32_t index = AddString(text);
  if (index == kComboAddFailed ||
      SendMessageW(control_, platform::kCbSetItemData, index, data) == platform::kCbErr)
    return kComboAddFailed;
  return index;
}

void GComboBoxHelper::SelectByData(std::uint32_t data) {
  if (!control_) return;
  const platform::LRESULT count = SendMessageW(control_, platform::kCbGetCount, 0, 0);
  for (platform::LRESULT i = 0; i < count; ++i) {
    const auto item = static_cast<platform::ULONG_PTR>(
        SendMessageW(control_, platform::kCbGetItemData, static_cast<platform::WPARAM>(i), 0));
    if (item == data) {
      SetCurSel(static_cast<std::int32_t>(i));
      return;
    }
  }
}

void GComboBoxHelper::SetCurSel(std::int32_t index) {
  if (control_)
    SendMessageW(control_, platform::kCbSetCurSel,
                 static_cast<platform::WPARAM>(static_cast<platform::INT_PTR>(index)), 0);
}

std::int32_t GComboBoxHelper::GetSelectedData() const {
  if (!control_) return -1;
  const platform::LRESULT selection = SendMessageW(control_, platform::kCbGetCurSel, 0, 0);
  if (selection < 0) return -1;
  return static_cast<std::int32_t>(SendMessageW(control_, platform::kCbGetItemData,
                                                static_cast<platform::WPARAM>(selection), 0));
}
