#include "tests/support/test_extensions.h"

#include <cstring>

#include "platform/host/modules.h"

namespace testing_support {
namespace {

TestExtension extensions[kTestExtensionSlots];

template <int S>
struct Slot {
  static TestExtension& E() { return extensions[S]; }
  static std::uint16_t Describe(ExtensionDescription* description, std::uint16_t) {
    E().log.push_back("describe");
    std::memcpy(description, &E().description, sizeof *description);
    return E().describe_result;
  }
  template <int M>
  static std::uint16_t Map(const void** records, std::uint16_t* count, std::uint16_t) {
    E().log.push_back(M == 0 ? "tray map" : "bin map");
    *records = E().map_records[M].empty() ? nullptr : E().map_records[M].data();
    *count = E().map_count[M];
    return E().map_result[M];
  }
  template <int N>
  static std::uint16_t Notify() {
    E().log.push_back(N ? "removed" : "installed");
    return 0;
  }
  static std::uint16_t Defaults(const char** data, std::uint16_t* count) {
    E().log.push_back("defaults");
    *data = E().null_defaults ? nullptr : E().defaults.data();
    *count = E().defaults_count;
    return E().defaults_result;
  }
  static std::uint16_t Pages(std::uint16_t* count, ExtensionPageDescriptor* pages,
                             ExtQueryInterfaceFn, void*) {
    E().log.push_back(pages ? "pages fill" : "pages count");
    if (E().pages_result != 0) return E().pages_result;
    const std::uint16_t reply = pages ? E().fill_reply : E().count_reply;
    for (std::uint16_t j = 0; pages && j < reply && j < *count; ++j)
      pages[j] = {0x80u + j, 0, reinterpret_cast<const void*>(std::uintptr_t{200u + j}),
                  E().page_procedure};
    *count = reply;
    return 0;
  }
  static std::uint16_t Release(void*) {
    E().log.push_back("release");
    return E().release_result;
  }
  static std::uint16_t Start(ExtQueryInterfaceFn, std::uint32_t* mask, void*) {
    return E().job_log += "start ", *mask = E().start_mask, E().start_result;
  }
  static std::uint16_t End(void*) { return E().job_log += "end ", 0; }
  static std::uint16_t Free(const std::uint8_t*, void*) { return E().job_log += "free ", 0; }
  static std::uint16_t Get(std::uint32_t code, const std::uint8_t** data, std::uint16_t* count,
                           void*) {
    E().job_log += "get " + std::to_string(code) + " ";
    if (!E().job_data.count(code)) return 1;
    *data = reinterpret_cast<const std::uint8_t*>(E().job_data[code].data());
    *count = static_cast<std::uint16_t>(E().job_data[code].size());
    return 0;
  }
  static std::uint16_t Query(std::uint16_t version, void* table) {
    E().log.push_back("query " + std::to_string(version));
    if (version == kExtDriverTableVersion) {
      *static_cast<ExtensionDriverTable*>(table) = {
          E().describes ? &Describe : nullptr,   &Map<0>, &Map<1>, &Notify<0>, &Notify<1>,
          E().has_defaults ? &Defaults : nullptr};
    } else if (version == kExtUITableVersion) {
      *static_cast<ExtensionUITable*>(table) = {E().has_pages ? &Pages : nullptr,
                                                E().has_release ? &Release : nullptr};
    } else if (version == kExtJobTableVersion) {
      *static_cast<ExtensionJobTable*>(table) = {&Start, &End, &Get, &Free};
    }
    return E().query_result;
  }
};

constexpr ExtQueryInterfaceFn kSlotQueries[] = {&Slot<0>::Query, &Slot<1>::Query, &Slot<2>::Query,
                                                &Slot<3>::Query, &Slot<4>::Query};

}  // namespace

TestExtension& InstallTestExtension(int slot, const std::u16string& module, const char* identity,
                                    const char* name, std::uint32_t flags, const char* ui_module,
                                    const std::string& defaults) {
  TestExtension& e = extensions[slot];
  e = TestExtension{};
  for (const ExtensionTextField& field : kExtensionTextFields)
    SetDescriptionText(e.description, field, "x");
  SetDescriptionText(e.description, kExtensionTextFields[0], identity);
  SetDescriptionText(e.description, kExtensionTextFields[1], name);
  SetDescriptionText(e.description, kExtensionTextFields[3], ui_module);
  SetDescriptionFlags(e.description, flags);
  e.defaults = defaults;
  e.defaults_count = static_cast<std::uint16_t>(defaults.size());
  platform::AddModule(
      {module,
       {{kExtQueryInterfaceName, reinterpret_cast<platform::FARPROC>(kSlotQueries[slot])}},
       {}});
  platform::AddModuleExport(module, kExtQueryInterfaceName,
                            reinterpret_cast<platform::FARPROC>(kSlotQueries[slot]));
  return e;
}

TestExtension& TestExtensionAt(int slot) {
  return extensions[slot];
}

}  // namespace testing_support
