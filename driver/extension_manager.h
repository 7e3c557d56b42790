// GExtensionManager: the driver side of the driver family's extension
// libraries, one per driver data (made by its constructor with the driver
// data as owner). It registers and unregisters extensions, and during a
// job loads their job modules and lets them add data around the document
// and page commands. The registered extensions live in the owner's default
// settings: composite 368 holds the description list 987.
//
// What stands here: the manager's fields, its construction and
// destruction, and LoadSettingsRoot. Registration and unregistration are
// not built yet and answer 1 (the module did not load); the job side has
// nothing loaded.
//
// ExtensionJobContext: what the manager keeps for the value requests that
// job modules make during a job (extensions never see it).
//
// Ownership: the manager owns its job context and the job modules' handles;
// the owner and the settings root are the owner's. Threads: the owner's.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/cstring.h"
#include "persist/dynamic_library.h"

class GAttributeComposite;
class GCommand;
class GDriverDataImp;
class GPeripheral;
struct ExtensionDescription;  // the extensions' 276-byte description
struct ExtensionJobTable;     // a job module's function table

// Extensions a printer takes.
inline constexpr std::uint16_t kMaxExtensions = 4;
// The extension composite of the default settings.
inline constexpr std::uint32_t kExtensionCompositeKey = 368;

// The driver's export that extensions are handed: (interface version,
// table to fill) -> code.
using GDriverQueryInterface = std::uint16_t (*)(std::uint16_t version, void* table);

struct ExtensionJobContext {
  // The owner; every pointer null, the strings empty, no extension.
  explicit ExtensionJobContext(GDriverDataImp* owner_data) : owner(owner_data) {}

  GDriverDataImp* owner;                            // not owned
  GAttributeComposite* default_settings = nullptr;  // the owner's
  GCommand* command = nullptr;                      // being handled
  GPeripheral* printer_language = nullptr;
  ExtensionDescription* descriptions[kMaxExtensions] = {};
  RWCString settings[kMaxExtensions];
  std::uint16_t count = 0;
};

class GExtensionManager {
 public:
  // Keeps `owner`; nothing loaded, no settings root, no job context.
  explicit GExtensionManager(GDriverDataImp* owner);
  GExtensionManager(const GExtensionManager&) = delete;
  GExtensionManager& operator=(const GExtensionManager&) = delete;
  // Clears the owner and frees the job context.
  ~GExtensionManager();

  // Registration of the extension library `module_name` and its undoing:
  // the extension codes. Not built yet: 1.
  std::uint16_t Register(const char* module_name);
  std::uint16_t Unregister(const char* module_name);

  // 1 when the owner holds default settings (their composite 368, when it
  // is one, becomes the settings root; else none), 0 otherwise.
  int LoadSettingsRoot();
  GAttributeComposite* GetSettingsRoot() const { return settings_root_; }

  GDriverDataImp* GetOwner() const { return owner_; }
  std::uint16_t GetLoadedCount() const { return loaded_count_; }

 private:
  // The job side's state, used once the job hooks stand.
  [[maybe_unused]] ExtensionDescription* descriptions_[kMaxExtensions] = {};
  [[maybe_unused]] ExtensionJobTable* job_tables_[kMaxExtensions] = {};
  GDynamicLibrary job_modules_[kMaxExtensions];
  [[maybe_unused]] std::uint32_t masks_[kMaxExtensions] = {};
  GDriverDataImp* owner_;                                             // not owned
  [[maybe_unused]] GDriverQueryInterface query_interface_ = nullptr;  // handed to extensions
  GAttributeComposite* settings_root_ = nullptr;                      // the owner's 368
  std::uint16_t loaded_count_ = 0;
  std::unique_ptr<ExtensionJobContext> job_context_;  // during a job
};
