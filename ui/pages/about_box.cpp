#include "ui/pages/about_box.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/document/escape_records.h"
#include "driver/services/os_factory.h"
#include "platform/host/modules.h"
#include "platform/host/version_info.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"

using namespace platform;

namespace {

// Room for the library's path, as the services read module paths.
constexpr DWORD kModulePathUnits = 260;

// The string `name` of the translation in `block`; empty when missing.
RWWString VersionText(const std::string& block, const GVersionTranslation& translation,
                      const char* name) {
  char path[96];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation.language,
                translation.code_page, name);
  const std::u16string wide(path, path + std::strlen(path));
  void* found = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), wide.c_str(), &found, &length) || length == 0) return {};
  // The length counts the terminator; a text without one ends at the length.
  const auto* text = static_cast<const char16_t*>(found);
  RWSize units = 0;
  while (units < length && text[units] != u'\0')
    ++units;
  return RWWString(text, units);
}

RWWString LibraryPath() {
  GOSFactory* services = GOSFactory::Instance();
  HMODULE module = services ? services->GetModuleHandle() : nullptr;
  if (!module) module = GetPluginModuleHandle();
  if (!module) return {};
  char16_t path[kModulePathUnits] = {};
  const DWORD got = GetModuleFileNameW(module, path, kModulePathUnits);
  return got == 0 || got >= kModulePathUnits ? RWWString() : RWWString(path, got);
}

}  // namespace

bool ReadAboutTexts(const RWWString& path, GAboutTexts& texts) {
  texts = GAboutTexts{};
  std::string block;
  GVersionTranslation first, last;
  if (path.IsNull() || !ReadVersionData(path, block, first, last)) return false;
  texts.name = VersionText(block, last, "ProductName");
  texts.version = VersionText(block, last, "ProductVersion");
  texts.copyright = VersionText(block, last, "LegalCopyright");
  return true;
}

INT_PTR GAboutFeature::ShowAboutBox(HWND owner) {
  return DialogBoxParamW(GetResourceModuleHandle(), MakeIntResourceW(kAboutBoxTemplate), owner,
                         AboutBoxProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR GAboutFeature::AboutBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == kWmInitDialog) {
    GAboutTexts texts;
    ReadAboutTexts(LibraryPath(), texts);
    SetDlgItemTextW(dialog, kAboutBoxName, texts.name.Data());
    SetDlgItemTextW(dialog, kAboutBoxVersion, texts.version.Data());
    SetDlgItemTextW(dialog, kAboutBoxCopyright, texts.copyright.Data());
    return 1;
  }
  if (message == kWmCommand && HighWord(wparam) == kBnClicked &&
      (LowWord(wparam) == kIdOk || LowWord(wparam) == kIdCancel)) {
    EndDialog(dialog, LowWord(wparam));
    return 1;
  }
  return 0;
}

LRESULT GAboutButtonWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked ||
      LowWord(wparam) != GetControlId(0)) {
    return 0;
  }
  static_cast<GAboutFeature*>(GetFeature())->ShowAboutBox(GetDialogWindow());
  return 1;
}
