#include "ui/pages/about_box.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "driver/document/escape_records.h"
#include "driver/extension_manager.h"
#include "persist/string_conversion.h"
#include "platform/host/boundary.h"
#include "platform/host/modules.h"
#include "platform/host/version_info.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "services/os_factory.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

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

RWWString ModulePath(HMODULE module) {
  if (!module) return {};
  char16_t path[kModulePathUnits] = {};
  const DWORD got = GetModuleFileNameW(module, path, kModulePathUnits);
  return got == 0 || got >= kModulePathUnits ? RWWString() : RWWString(path, got);
}

RWWString LibraryPath() {
  GOSFactory* services = GOSFactory::Instance();
  HMODULE module = services ? services->GetModuleHandle() : nullptr;
  return ModulePath(module ? module : GetPluginModuleHandle());
}

// The texts of an extension that the box shows, in this order.
constexpr std::uint32_t kAboutKeys[] = {kExtensionIdentityKey, kExtensionTextKey,
                                        kExtensionAboutTextKey, kExtensionAboutMoreKey};

// The lines the box lists for the extensions registered in `settings`:
// none for null settings, or lists that do not load.
std::vector<RWWString> ExtensionAboutLines(GAttributeComposite* settings) {
  std::vector<RWWString> lines;
  if (!settings) return lines;
  ExtensionSet extensions;
  LoadExtensionEntries(settings, extensions);
  for (const ExtensionDescription* description : extensions.descriptions) {
    if (!description) continue;
    for (std::uint32_t key : kAboutKeys) {
      for (const ExtensionTextField& field : kExtensionTextFields) {
        if (field.key != key) continue;
        RWWString line;  // ill-formed text shows as an empty line
        NarrowToWide(DescriptionText(*description, field), line);
        lines.push_back(line);
      }
    }
  }
  return lines;
}

void ShowTexts(HWND dialog, GAboutFeature* feature) {
  GAboutTexts texts;
  if (!ReadAboutTexts(LibraryPath(), texts))
    ReadAboutTexts(ModulePath(GetResourceModuleHandle()), texts);
  SetDlgItemTextW(dialog, kAboutBoxName, texts.name.Data());
  SetDlgItemTextW(dialog, kAboutBoxVersion, texts.version.Data());
  SetDlgItemTextW(dialog, kAboutBoxCopyright, texts.copyright.Data());
  GUIContext* context = feature ? feature->GetContext() : nullptr;
  const std::vector<RWWString> lines =
      ExtensionAboutLines(context ? context->GetSettings() : nullptr);
  for (const RWWString& line : lines) {
    SendDlgItemMessageW(dialog, kAboutBoxExtensions, kLbAddString, 0,
                        reinterpret_cast<LPARAM>(line.Data()));
  }
  if (lines.empty()) ShowWindow(GetDlgItem(dialog, kAboutBoxExtensions), kSwHide);
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

INT_PTR GAboutFeature::AboutBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return AnswerAtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
    if (message == kWmInitDialog) {
      ShowTexts(dialog, reinterpret_cast<GAboutFeature*>(lparam));
      return 1;
    }
    if (message == kWmCommand && HighWord(wparam) == kBnClicked &&
        (LowWord(wparam) == kIdOk || LowWord(wparam) == kIdCancel)) {
      EndDialog(dialog, LowWord(wparam));
      return 1;
    }
    return 0;
  });
}

LRESULT GAboutButtonWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked ||
      LowWord(wparam) != GetControlId(0)) {
    return 0;
  }
  static_cast<GAboutFeature*>(GetFeature())->ShowAboutBox(GetDialogWindow());
  return 1;
}
