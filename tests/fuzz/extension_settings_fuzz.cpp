// Fuzz target of the extension settings exports and of the lists 987 and
// 997 that a stored record brings back. The input writes the lists (up to
// five entries each: an index byte, the texts or settings bytes, each
// with a length byte, so texts may overrun their fields, hold NULs or
// repeat an index), which are stored as the printer's named objects and
// read back; then calls the exports with its own names, buffer sizes and
// bytes, in four-byte steps (export, name, size, first byte).
// Checked: the record brings the lists back as stored; they load whole or
// not at all; a get answers its code and writes only the first bytes of a
// buffer allocated at exactly the size given; what a set stores, later
// gets, a reload and another trip through the record give back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/driver_context.h"
#include "driver/extension_exports.h"
#include "driver/extension_ui_manager.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "persist/counted_ptr.h"
#include "persist/key_index.h"
#include "platform/host/spooler.h"
#include "support/test_os_factory.h"

namespace {

constexpr char16_t kPrinter[] = u"Extension Fuzz";

void Check(bool ok) {
  if (!ok) std::abort();
}

RWCString Text(MPersistentObject* entry, std::uint32_t key) {
  return FindStringAttribute(entry, key)->GetValue();
}

struct Input {
  const std::uint8_t* at;
  const std::uint8_t* end;
  std::uint8_t Byte() { return at < end ? *at++ : 0; }
  std::string Bytes(std::size_t n) {
    n = std::min<std::size_t>(n, end - at);
    at += n;
    return std::string(reinterpret_cast<const char*>(at - n), n);
  }
};

// An entry: index byte 0-3 as is, 4 gives 4 (never loads), 5 no index.
GAttributeComposite* Entry(Input& in, std::initializer_list<std::uint32_t> text_keys) {
  auto* entry = new GAttributeComposite(0);
  for (std::uint32_t key : text_keys) {
    const std::string text = in.Bytes(in.Byte() % 64);
    entry->AddChild(new GStringAttribute(RWCString(text.data(), text.size()), key));
  }
  if (const int index = in.Byte() % 6; index < 5) entry->AddChild(new GValueAttribute(index, 995));
  return entry;
}

// The settings tree of parts 368 and 367 as the printer's named objects
// bring them back; each must come back as it went.
GAttributeComposite* ThroughRecord(GDriverContext& printer, GAttributeComposite& tree) {
  auto* back = new GAttributeComposite(359);
  for (const char* part : {"368", "367"}) {
    MPersistentObject* stored = FindDirectChild(&tree, std::atoi(part));
    const RWWString name = RWWString::FromMultiByte(part);
    Check(GOSFactory::Instance()->StoreNamedObject(&printer, name, stored) != 0);
    auto* loaded = dynamic_cast<MPersistentObject*>(
        GOSFactory::Instance()->LoadNamedObject(&printer, name, 0));
    Check(loaded && loaded->IsEqualContent(stored));
    back->AddChild(loaded);
  }
  return back;
}

// The set the lists must load: when every entry of index 0 to 3 is whole
// (description texts within their fields and NUL-free, settings of at most
// 50 bytes, each index once per list), those entries as they are; else
// none.
void Expect(GAttributeComposite* settings, const ExtensionSet& set) {
  bool whole = true, seen[2][4] = {};
  std::uint16_t count = 0;
  for (int text_list = 0; text_list < 2; ++text_list) {
    GAttributeComposite* entries = FindComposite(settings, text_list ? 987 : 997);
    for (RWSize i = 0; i < entries->Children().Count(); ++i) {
      MPersistentObject* entry = entries->Children()[i].Get();
      const std::int32_t index = SignedValueOr(entry, 995, -1);
      if (index < 0 || index > 3) continue;
      whole &= !seen[text_list][index];
      seen[text_list][index] = true;
      const RWCString bytes = text_list ? RWCString() : Text(entry, 998);
      whole &= text_list || bytes.Length() <= 50;
      if (!text_list && set.count) Check(set.settings[index] == bytes);
      for (const ExtensionTextField& field : kExtensionTextFields) {
        if (!text_list) break;
        const RWCString text = Text(entry, field.key);
        whole &= text.Length() < field.size && std::strlen(text.Data()) == text.Length();
        if (set.count)
          Check(set.descriptions[index] &&
                DescriptionText(*set.descriptions[index], field) == text);
      }
      if (text_list) count = std::max<std::uint16_t>(count, index + 1);
    }
  }
  Check(set.count == (whole ? count : 0));
}

// The last loaded extension of `name`, or -1.
std::int32_t Target(const ExtensionSet& set, const char* name) {
  std::int32_t target = -1;
  for (std::uint16_t i = 0; i < set.count; ++i) {
    if (name && set.descriptions[i] && DescriptionName(*set.descriptions[i]) == name) target = i;
  }
  return target;
}

// What a get of `name` must answer from `set`, and the buffer it leaves.
void CheckGet(std::uint16_t code, const char* buffer, std::uint16_t size, const char* name,
              const ExtensionSet& set) {
  const std::int32_t target = Target(set, name);
  const RWCString found = target < 0 ? RWCString() : set.settings[target];
  const std::size_t length = found.Length();
  Check(code == (length == 0     ? kExtNoSettings
                 : length > size ? kExtBufferShort
                 : length < size ? kExtBufferLong
                                 : kExtOk));
  for (std::uint16_t i = 0; i < size; ++i)
    Check(buffer[i] == (length && i < length ? found[i] : '\xA5'));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<HostOSFactory> services(GOSFactory::Instance() ? nullptr
                                                                        : new HostOSFactory);
  static GDriverContext printer(nullptr, kPrinter, u"KV Test", u"X");
  platform::HANDLE handle = nullptr;
  if (platform::OpenPrinterW(kPrinter, &handle, nullptr) == 1)
    platform::ClosePrinter(handle);
  else
    platform::AddPrinter(kPrinter);

  Input in{data, data + size};
  GAttributeComposite tree(359);
  auto* descriptions = new GAttributeComposite(987);
  auto* values = new GAttributeComposite(997);
  for (int n = in.Byte() % 6; n > 0; --n)
    descriptions->AddChild(Entry(in, {988, 989, 990, 991, 992, 993, 994}));
  for (int n = in.Byte() % 6; n > 0; --n)
    values->AddChild(Entry(in, {998}));
  tree.AddChild(new GAttributeComposite(368)), tree.AddChild(new GAttributeComposite(367));
  FindComposite(&tree, 368)->AddChild(descriptions);
  FindComposite(&tree, 367)->AddChild(values);

  std::unique_ptr<GAttributeComposite> settings(ThroughRecord(printer, tree));
  GUIData host;
  host.driver_data = &printer;
  host.settings = settings.get();
  host.page_flags = 1;
  GExtensionUIManager ui;
  ui.Initialize(&host, 0);
  GExtensionManager& job = *printer.GetExtensionManager();
  job.LoadJobExtensions(settings.get());
  ExtensionSet shown, given;  // what the UI manager and the job context hold
  LoadExtensionEntries(settings.get(), shown);
  Expect(settings.get(), shown);
  LoadExtensionEntries(settings.get(), given);
  Check(ui.Count() == shown.count);

  int not_a_manager = 0;
  while (in.at < in.end) {
    const std::uint8_t step = in.Byte();
    const std::uint16_t name_at = in.Byte(), length = in.Byte();
    std::string name_text;
    if (name_at % 6 < shown.count && shown.descriptions[name_at % 6])
      name_text = DescriptionName(*shown.descriptions[name_at % 6]).Data();
    const char* name = name_at % 6 == 5 ? nullptr : name_text.c_str();
    std::unique_ptr<char[]> buffer(new char[length]);
    std::memset(buffer.get(), 0xA5, length);
    switch (step % 6) {
      case 0:
        CheckGet(KVDrv_UIGetExtSettings(buffer.get(), length, name, &ui), buffer.get(), length,
                 name, shown);
        break;
      case 1:
        CheckGet(KVDrv_GetExtSettings(buffer.get(), length, name, &job), buffer.get(), length, name,
                 given);
        break;
      case 2: {
        const std::string bytes = in.Bytes(length);
        std::memcpy(buffer.get(), bytes.data(), bytes.size());
        const std::int32_t target = Target(shown, name);
        bool entry = false;
        for (RWSize i = 0; i < values->Children().Count(); ++i)
          entry |= SignedValueOr(values->Children()[i].Get(), 995, -1) == target;
        const std::uint16_t code = KVDrv_UISetExtSettings(buffer.get(), length, name, &ui);
        Check(code == (length > 50            ? kExtSettingsTooLong
                       : target >= 0 && entry ? kExtOk
                                              : kExtFailed));
        if (code == kExtOk) shown.settings[target] = RWCString(buffer.get(), length);
        break;
      }
      case 3:  // the job context reads the settings the sheet changed
        job.LoadJobExtensions(settings.get());
        LoadExtensionEntries(settings.get(), given);
        break;
      case 4: {  // and so does the next sheet, through the record again
        std::unique_ptr<GAttributeComposite> again(ThroughRecord(printer, *settings));
        ExtensionSet reloaded;
        LoadExtensionEntries(again.get(), reloaded);
        for (std::uint16_t i = 0; i < kMaxExtensions; ++i)
          Check(reloaded.settings[i] == shown.settings[i]);
        break;
      }
      default:  // the job side stores nothing; no export takes another handle
        Check(KVDrv_SetExtSettings(buffer.get(), length, name, &job) == kExtNotSupported);
        Check(KVDrv_GetExtSettings(buffer.get(), length, name, &ui) == kExtFailed);
        Check(KVDrv_UIGetExtSettings(buffer.get(), length, name, &job) == kExtFailed);
        Check(KVDrv_UISetExtSettings(buffer.get(), length, name, &not_a_manager) == kExtFailed);
    }
  }
  ui.Destroy(&host);
  // A look-up at a new epoch frees this input's key indexes now: libFuzzer
  // stops checking for leaks after a thousand inputs that leave blocks.
  key_index::MoveEpoch();
  key_index::FindByKey(GCountedPtrVector(), 0);
  return 0;
}
