#include "config/import/qcf_library.h"

#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "platform/host/process.h"
#include "services/os_factory.h"

namespace {

// The helper's own order of lookups, which is not the slot order.
constexpr QCFSlot kResolveOrder[kQCFEntryCount] = {
    QCFSlot::kStartConfig,
    QCFSlot::kStartExport,
    QCFSlot::kSetListSeparator,
    QCFSlot::kSetContextRelative,
    QCFSlot::kSetContext,
    QCFSlot::kSetExport,
    QCFSlot::kGetOptionAttributes,
    QCFSlot::kGetNamedOptionAttribute,
    QCFSlot::kGetNamedFeatureAttribute,
    QCFSlot::kGetListSeparator,
    QCFSlot::kGetFeatureAttributes,
    QCFSlot::kGetContext,
    QCFSlot::kGet,
    QCFSlot::kGetPRV,
    QCFSlot::kEnumOptions,
    QCFSlot::kEnumOptionAttributes,
    QCFSlot::kEnumListToken,
    QCFSlot::kEnumFeatures,
    QCFSlot::kEnumFeatureAttributes,
    QCFSlot::kEndConfig,
    QCFSlot::kEndExport,
    QCFSlot::kCharToWide,
    QCFSlot::kWideToChar,
};

// WinExec answers above 31 when the program started.
constexpr platform::UINT kWinExecStarted = 32;

std::size_t Index(QCFSlot slot) {
  return static_cast<std::size_t>(slot);
}

}  // namespace

GQCFLibrary::GQCFLibrary() {
  RWWString directory;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetDriverDirectory(directory);
  path_ = directory;
  path_ += u'\\';
  path_ += kQCFLibraryFileName;

  // The path is quoted: a driver directory may hold blanks.
  RWWString command = RWWString::FromMultiByte(kQCFRegisterCommand);
  command += u'"';
  command += path_;
  command += u'"';
  RWCString narrow;
  WideToNarrow(command, narrow);
  if (platform::WinExec(narrow.Data(), platform::kSwShow) < kWinExecStarted) usable_ = 0;

  module_ = platform::LoadLibraryW(path_.Data());
  if (module_ == nullptr) {
    usable_ = 0;
    return;
  }
  usable_ = 1;
  for (QCFSlot slot : kResolveOrder)
    Resolve(slot);
  for (platform::FARPROC entry : entries_) {
    if (entry == nullptr) usable_ = 0;
  }
  load_attempted_ = 1;
}

GQCFLibrary::~GQCFLibrary() {
  if (module_ != nullptr) platform::FreeLibrary(module_);
}

void GQCFLibrary::Resolve(QCFSlot slot) {
  entries_[Index(slot)] = platform::GetProcAddress(module_, QCFEntryName(slot));
}

template <class Entry, class... Args>
std::uint32_t GQCFLibrary::Forward(QCFSlot slot, Args... args) const {
  // The exports are kept untyped; each slot's type is its entry's own.
  auto entry = reinterpret_cast<Entry>(entries_[Index(slot)]);
  return entry != nullptr ? entry(args...) : 0;
}

std::uint32_t GQCFLibrary::StartConfig(const char16_t* printer, std::uint32_t mode,
                                       const char16_t* context, std::uint32_t word) {
  return Forward<QCFStartConfigEntry>(QCFSlot::kStartConfig, printer, mode, context, word);
}

std::uint32_t GQCFLibrary::StartExport(const char16_t* printer, const char16_t* context,
                                       std::uint32_t flag) {
  if (module_ == nullptr) return 0;
  Resolve(QCFSlot::kStartExport);
  return Forward<QCFStartExportEntry>(QCFSlot::kStartExport, printer, context, flag);
}

std::uint32_t GQCFLibrary::SetListSeparator(QCFWord word) {
  return Forward<QCFOneWordEntry>(QCFSlot::kSetListSeparator, word);
}

std::uint32_t GQCFLibrary::SetContextRelative(QCFWord word) {
  return Forward<QCFOneWordEntry>(QCFSlot::kSetContextRelative, word);
}

std::uint32_t GQCFLibrary::SetContext(const char16_t* key) {
  return Forward<QCFSetContextEntry>(QCFSlot::kSetContext, key);
}

std::uint32_t GQCFLibrary::SetExport(const char16_t* key, const char16_t* word) {
  return Forward<QCFSetExportEntry>(QCFSlot::kSetExport, key, word);
}

std::uint32_t GQCFLibrary::GetOptionAttributes(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kGetOptionAttributes, first, second);
}

std::uint32_t GQCFLibrary::GetNamedOptionAttribute(QCFWord first, QCFWord second, QCFWord third) {
  return Forward<QCFThreeWordEntry>(QCFSlot::kGetNamedOptionAttribute, first, second, third);
}

std::uint32_t GQCFLibrary::GetNamedFeatureAttribute(const char16_t* key, const char16_t* name,
                                                    char16_t* buffer, std::uint32_t capacity) {
  return Forward<QCFGetNamedFeatureAttributeEntry>(QCFSlot::kGetNamedFeatureAttribute, key, name,
                                                   buffer, capacity);
}

std::uint32_t GQCFLibrary::GetListSeparator(QCFWord word) {
  return Forward<QCFOneWordEntry>(QCFSlot::kGetListSeparator, word);
}

std::uint32_t GQCFLibrary::GetFeatureAttributes(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kGetFeatureAttributes, first, second);
}

std::uint32_t GQCFLibrary::GetContext(QCFWord word) {
  return Forward<QCFOneWordEntry>(QCFSlot::kGetContext, word);
}

std::uint32_t GQCFLibrary::Get(const char16_t* key, char16_t* buffer, std::uint32_t capacity) {
  return Forward<QCFGetEntry>(QCFSlot::kGet, key, buffer, capacity);
}

std::uint32_t GQCFLibrary::GetPRV(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kGetPRV, first, second);
}

std::uint32_t GQCFLibrary::EnumOptions(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kEnumOptions, first, second);
}

std::uint32_t GQCFLibrary::EnumOptionAttributes(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kEnumOptionAttributes, first, second);
}

std::uint32_t GQCFLibrary::EnumListToken(char16_t* token, char16_t* list,
                                         std::uint32_t token_capacity) {
  return Forward<QCFEnumListTokenEntry>(QCFSlot::kEnumListToken, token, list, token_capacity);
}

std::uint32_t GQCFLibrary::EnumFeatures(const char16_t* context, char16_t* list,
                                        std::uint32_t capacity) {
  return Forward<QCFEnumFeaturesEntry>(QCFSlot::kEnumFeatures, context, list, capacity);
}

std::uint32_t GQCFLibrary::EnumFeatureAttributes(QCFWord first, QCFWord second) {
  return Forward<QCFTwoWordEntry>(QCFSlot::kEnumFeatureAttributes, first, second);
}

std::uint32_t GQCFLibrary::CharToWide(char16_t* buffer, const char* text, std::uint32_t capacity) {
  return Forward<QCFCharToWideEntry>(QCFSlot::kCharToWide, buffer, text, capacity);
}

std::uint32_t GQCFLibrary::WideToChar(char* buffer, const char16_t* text, std::uint32_t capacity) {
  return Forward<QCFWideToCharEntry>(QCFSlot::kWideToChar, buffer, text, capacity);
}

std::uint32_t GQCFLibrary::EndConfig() {
  return Forward<QCFNoArgumentEntry>(QCFSlot::kEndConfig);
}

std::uint32_t GQCFLibrary::EndExport() {
  return Forward<QCFNoArgumentEntry>(QCFSlot::kEndExport);
}

void GQCFLibrary::SetHelper(QCFHelperEntry entry, void* importer) {
  helper_ = entry;
  request_block_.reset(RWNew<GQCFRequestBlock>());
  if (request_block_ != nullptr) request_block_->context = importer;
}

std::int32_t GQCFLibrary::CallHelper(std::uint32_t code, void* pointer, std::uint32_t third,
                                     std::uint32_t fourth) {
  if (helper_ == nullptr || request_block_ == nullptr) return 0;
  request_block_->code = code;
  request_block_->third = third;
  request_block_->fourth = fourth;
  request_block_->pointer = pointer;
  return static_cast<std::int32_t>(helper_(request_block_.get()));
}

std::uint32_t WideStringsEqual(const char16_t* a, const char16_t* b) {
  if (a == nullptr) a = u"";
  if (b == nullptr) b = u"";
  std::uint32_t length = 0;
  while (a[length] == b[length]) {
    if (a[length] == u'\0') return length == 0 ? 1 : length;
    ++length;
  }
  return 0;
}

char16_t* WideStringCopy(char16_t* destination, std::size_t capacity, const char16_t* source) {
  if (source == nullptr) source = u"";
  std::size_t length = 0;
  while (source[length] != u'\0')
    ++length;
  if (length >= capacity) {
    if (capacity != 0) destination[0] = u'\0';
    return nullptr;
  }
  for (std::size_t i = 0; i <= length; ++i)
    destination[i] = source[i];
  return destination;
}
