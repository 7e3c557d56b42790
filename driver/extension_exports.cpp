#include "driver/extension_exports.h"

#include "driver/extension_interface.h"
#include "driver/extension_manager.h"
#include "driver/extension_values.h"
#include "driver/out_of_memory_handler.h"

std::uint16_t KVDrv_QueryInterface(std::uint16_t version, void* table) {
  if (version != kDriverInterfaceVersion || !table) return kExtNotSupported;
  using UIGetValue = decltype(&KVDrv_UIGetValue);
  using UIGetSettings = decltype(&KVDrv_UIGetExtSettings);
  using UISetSettings = decltype(&KVDrv_UISetExtSettings);
  struct UIExports {
    UIGetValue get_value;
    UIGetSettings get_settings;
    UISetSettings set_settings;
  };
  *static_cast<UIExports*>(table) = {&KVDrv_UIGetValue, &KVDrv_UIGetExtSettings,
                                     &KVDrv_UISetExtSettings};
  return kExtOk;
}

// The exports an extension calls back answer kExtFailed when memory runs
// out inside them (AnswerEntryPoint).

std::uint16_t KVDrv_GetValue(std::uint16_t id, void* output, void* handle) {
  return AnswerEntryPoint(kExtFailed, [&] {
    if (!output || !IsLiveExtensionManager(handle)) return kExtFailed;
    // Before any command the ids that need none answer from the defaults.
    auto* manager = static_cast<GExtensionManager*>(handle);
    manager->EnsureJobContext();
    return DispatchExtensionValue(id, output, nullptr, manager);
  });
}

std::uint16_t KVDrv_GetExtSettings(char* buffer, std::uint16_t size, const char* name,
                                   void* handle) {
  return AnswerEntryPoint(kExtFailed, [&] {
    if (!IsLiveExtensionManager(handle)) return kExtFailed;
    ExtensionJobContext* context = static_cast<GExtensionManager*>(handle)->GetJobContext();
    return context ? context->extensions.CopyOut(buffer, size, name) : kExtNoSettings;
  });
}

std::uint16_t KVDrv_SetExtSettings(const void*, std::uint16_t, const char*, void*) {
  return kExtNotSupported;
}
