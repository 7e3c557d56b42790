// GExtensionManager's job side: the job modules of the registered
// extensions and the data they add around a job's document and page
// commands (extension_manager.h).
#include <memory>
#include <new>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_manager.h"
#include "foundation/rw/support.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "platform/host/modules.h"
#include "services/os_factory.h"

namespace {}  // namespace

RWWString ExtensionModulePath(const ExtensionDescription& description,
                              const ExtensionTextField& field) {
  GOSFactory* services = GOSFactory::Instance();
  RWWString path = services ? services->GetModuleDirectory() : RWWString();
  path += u"\\";
  const RWCString name = DescriptionText(description, field);
  path += RWWString::FromMultiByte(name.Data(), name.Length());
  return path;
}

void GExtensionManager::BeginDocument(GCommand* document_start) {
  ReleaseJob();
  ExtensionJobContext* context = EnsureJobContext();
  if (!context) return;
  context->command = document_start;
  context->printer_language = owner_ ? owner_->GetPrinterLanguage() : nullptr;
  context->default_settings = owner_ ? owner_->GetDefaultSettings() : nullptr;
  if (LoadSettingsRoot()) {
    LoadJobExtensions(nullptr);
    loaded_count_ = context->extensions.count;
  }
  LoadJobModules();
  for (std::uint16_t i = 0; i < loaded_count_; ++i) {
    if (!job_tables_[i].start) continue;
    masks_[i] = kExtJobNoData;
    if (job_tables_[i].start(query_interface_, &masks_[i], this) != kExtOk)
      masks_[i] = kExtJobNoData;
  }
  AddDocumentData(document_start, kExtDocStartJobLanguage, kJobLanguageDataKey);
  AddDocumentData(document_start, kExtDocStartPageDescription, kPageDescriptionDataKey);
}

void GExtensionManager::EndDocument(GCommand* document_end) {
  if (job_context_) job_context_->command = document_end;
  AddDocumentData(document_end, kExtDocEndJobLanguage, kJobLanguageDataKey);
  AddDocumentData(document_end, kExtDocEndPageDescription, kPageDescriptionDataKey);
  for (std::uint16_t i = 0; i < loaded_count_; ++i) {
    if (job_tables_[i].end) job_tables_[i].end(this);
  }
  ReleaseJob();
}

GCommand* GExtensionManager::AddStartData(GCommand* page_start, std::uint32_t filter) {
  if (page_start) page_start->PrepareForComposite();
  return WrapPageCommand(page_start, filter == 0 ? kExtPageStartFirst : kExtPageStartSecond, false);
}

GCommand* GExtensionManager::AddEndData(GCommand* page_end, std::uint32_t filter) {
  return WrapPageCommand(page_end, filter == 0 ? kExtPageEndFirst : kExtPageEndSecond, true);
}

void GExtensionManager::LoadJobModules() {
  const ExtensionSet& loaded = job_context_->extensions;
  for (std::uint16_t i = 0; i < loaded_count_; ++i) {
    const ExtensionDescription* description = loaded.descriptions[i];
    if (!description || !(DescriptionFlags(*description) & kExtHasJobModule)) continue;
    job_modules_[i] = GDynamicLibrary(ExtensionModulePath(*description, kExtensionTextFields[4]));
    if (!job_modules_[i].Load()) continue;
    auto query = reinterpret_cast<ExtQueryInterfaceFn>(
        platform::GetProcAddress(job_modules_[i].Handle(), kExtQueryInterfaceName));
    if (query && query(kExtJobTableVersion, &job_tables_[i]) != kExtOk) job_tables_[i] = {};
  }
}

template <class Take>
void GExtensionManager::ForEachAnswer(std::uint32_t code, Take take) {
  for (std::uint16_t i = 0; i < loaded_count_; ++i) {
    const ExtensionJobTable& table = job_tables_[i];
    const std::uint8_t* bytes = nullptr;
    std::uint16_t count = 0;
    if (!table.get_data || !(masks_[i] & code) ||
        table.get_data(code, &bytes, &count, this) != kExtOk)
      continue;
    take(bytes, bytes ? count : std::uint16_t{0});
    if (table.free_data) table.free_data(bytes, this);
  }
}

void GExtensionManager::AddDocumentData(GCommand* command, std::uint32_t code, std::uint32_t key) {
  GAttributeComposite* attributes = command ? command->GetAttributes() : nullptr;
  std::unique_ptr<GAttributeComposite> data;
  ForEachAnswer(code, [&](const std::uint8_t* bytes, std::uint16_t count) {
    if (!data) data.reset(new (kRWNoThrow) GAttributeComposite(key));
    if (!data) return;
    data->AddChild(new (kRWNoThrow) GStringAttribute(
        RWCString(reinterpret_cast<const char*>(bytes), count), std::uint32_t{0}));
  });
  // Without an attribute set the answers have nowhere to go.
  if (data && attributes) attributes->AddChild(data.release());
}

GCommand* GExtensionManager::WrapPageCommand(GCommand* command, std::uint32_t code,
                                             bool data_first) {
  if (job_context_) job_context_->command = command;
  GPeripheral* language = job_context_ ? job_context_->printer_language : nullptr;
  const RWClassID class_id = language ? language->ClassId() : 0;
  const RWClassID target = class_id == 767 || class_id == 788 ? class_id : 0;
  std::vector<std::unique_ptr<GPassThroughCommand>> added;
  ForEachAnswer(code, [&](const std::uint8_t* bytes, std::uint16_t count) {
    std::unique_ptr<GPassThroughCommand> data(
        new (kRWNoThrow) GPassThroughCommand(bytes, count, target, std::uint32_t{0}));
    // A command that cannot keep its own copy is dropped: the bytes go
    // back to the extension after this.
    if (data && data->OwnData()) added.push_back(std::move(data));
  });
  // The composite is made only when there is data: it holds the command,
  // and a composite let go of would take the caller's command with it.
  if (added.empty() || !command) return command;
  auto* composite = new (kRWNoThrow) GCommandComposite();
  if (!composite) return command;
  if (data_first) command->PrepareForComposite();
  if (!data_first) composite->AddChild(command);
  for (std::unique_ptr<GPassThroughCommand>& data : added)
    composite->AddChild(data.release());
  if (data_first) composite->AddChild(command);
  return composite;
}

void GExtensionManager::ReleaseJob() {
  for (std::uint16_t i = 0; i < kMaxExtensions; ++i) {
    job_tables_[i] = {};
    masks_[i] = 0;
    job_modules_[i].Unload();
  }
  if (job_context_) job_context_->extensions.Clear();
  loaded_count_ = 0;
}
