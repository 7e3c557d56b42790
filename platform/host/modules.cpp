#include "platform/host/modules.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "platform/host/files.h"
#include "platform/host/host_state.h"
#include "platform/text.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Lock;
using host_internal::Mutex;

// A table entry or a shared-object mapping: what a name resolves to.
struct Source {
  std::u16string name;    // the entry's name, or the mapped base name
  std::u16string folded;  // ModuleKey of the name
  bool bare = false;      // an entry named without a path
  bool shared_object = false;
  std::string host_path;  // shared objects only
  // Found by the name's view, so that a look-up needs no memory.
  std::map<std::string, FARPROC, std::less<>> exports;
  std::map<UINT, std::u16string> strings;
  std::map<UINT, DialogTemplate> dialogs;
  std::map<UINT, BitmapResource> bitmaps;
  std::map<UINT, CursorResource> cursors;
  FileVersionData version;
  std::set<std::string, std::less<>> hidden;
  ModuleCounters counters;
  std::uintptr_t live = 0;  // handle id while loaded, else 0
};

// One loaded module.
struct Instance {
  Source* source = nullptr;
  void* dl = nullptr;         // shared objects only
  std::u16string first_name;  // shared objects: the name first loaded
};

struct ModuleState {
  std::vector<std::unique_ptr<Source>> sources;
  std::map<std::uintptr_t, Instance> instances;
  // The node of the instance unloaded last, for the next load: a library
  // loaded and freed per query allocates no node each time.
  std::map<std::uintptr_t, Instance>::node_type spare_instance;
  std::set<std::u16string> failing;  // base-name keys
  host_internal::BoundedLog<ModuleEvent> log;
  std::u16string host_program;
  Source* own = nullptr;
  // Moves on whenever what a name resolves to may change: the sources or
  // their names, and the failing names.
  std::uint64_t names_changed = 0;
  // The last name LoadLibraryW resolved, as given, and its answer (null: no
  // source, or a failing name), good while names_changed stays. A driver
  // loads the same library by the same path query after query.
  struct {
    std::uint64_t names_changed = 0;
    bool held = false;
    std::u16string requested;
    Source* source = nullptr;
  } last_load;
};

void StartFresh(ModuleState& state);

ModuleState& State() {
  // Never destroyed: exit code of other statics may still free modules.
  static ModuleState* state = [] {
    auto* fresh = new ModuleState;
    StartFresh(*fresh);
    return fresh;
  }();
  return *state;
}

// Case-folded, with "/" read as "\".
std::u16string ModuleKey(std::u16string_view name) {
  std::u16string key = host_internal::Fold(name);
  std::replace(key.begin(), key.end(), u'/', u'\\');
  return key;
}

// The base name part of a ModuleKey.
std::u16string_view BaseOfKey(std::u16string_view key) {
  std::size_t cut = key.find_last_of(u"\\:");
  return cut == std::u16string_view::npos ? key : key.substr(cut + 1);
}

std::u16string BaseKey(std::u16string_view name) {
  return std::u16string(BaseOfKey(ModuleKey(name)));
}

// Resolve with the name's ModuleKey and its base part made already.
Source* ResolveKeys(std::u16string_view key, std::u16string_view base) {
  ModuleState& state = State();
  for (auto& source : state.sources) {
    if (!source->shared_object && source->folded == key) return source.get();
  }
  for (auto& source : state.sources) {
    if (!source->shared_object && source->bare && source->folded == base) return source.get();
  }
  for (auto& source : state.sources) {
    if (source->shared_object && source->folded == base) return source.get();
  }
  return nullptr;
}

Source* Resolve(std::u16string_view name) {
  const std::u16string key = ModuleKey(name);
  return ResolveKeys(key, BaseOfKey(key));
}

// Resolve for LoadLibraryW: null also for a failing base name.
Source* ResolveToLoad(std::u16string_view name) {
  ModuleState& state = State();
  auto& last = state.last_load;
  if (last.held && last.names_changed == state.names_changed && last.requested == name)
    return last.source;
  const std::u16string key = ModuleKey(name);
  const std::u16string_view base = BaseOfKey(key);
  Source* source = nullptr;
  if (state.failing.find(std::u16string(base)) == state.failing.end())
    source = ResolveKeys(key, base);
  last.requested.assign(name);
  last.source = source;
  last.names_changed = state.names_changed;
  last.held = true;
  return source;
}

Instance* FindInstance(HMODULE module) {
  auto& instances = State().instances;
  auto it = instances.find(host_internal::IdFromHandle(module));
  return it == instances.end() ? nullptr : &it->second;
}

HMODULE HandleOf(const Source& source) {
  return host_internal::HandleFromId<HMODULE>(source.live);
}

void Log(ModuleCall call, std::u16string_view module, std::string_view export_name, bool ok) {
  State().log.AddMade([&] {
    return ModuleEvent{call, std::u16string(module), std::string(export_name), ok};
  });
}

// Makes the loaded instance of `source`; false when its shared object does
// not open.
bool Instantiate(ModuleState& state, Source& source, std::u16string_view requested) {
  Instance instance;
  instance.source = &source;
  if (source.shared_object) {
    instance.dl = ::dlopen(source.host_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (instance.dl == nullptr) return false;
    instance.first_name = requested;
  }
  source.live = host_internal::NewHandleId();
  if (state.spare_instance.empty()) {
    state.instances.emplace(source.live, std::move(instance));
  } else {
    state.spare_instance.key() = source.live;
    state.spare_instance.mapped() = std::move(instance);
    state.instances.insert(std::move(state.spare_instance));
  }
  return true;
}

void Unload(ModuleState& state, Source& source) {
  host_internal::ReleaseModuleUiObjectsLocked(source.live);
  auto it = state.instances.find(source.live);
  if (it != state.instances.end()) {
    if (it->second.dl != nullptr) ::dlclose(it->second.dl);
    state.spare_instance = state.instances.extract(it);
    state.spare_instance.mapped() = Instance{};
  }
  source.live = 0;
  source.counters.references = 0;
}

// The symbol of a shared object itself, not of a library it depends on
// (dlsym searches those too; an export lookup must not).
void* OwnSymbol(void* dl, const char* name) {
  void* symbol = ::dlsym(dl, name);
  if (symbol == nullptr) return nullptr;
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr(symbol, &info) == 0 || ::dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      info.dli_fname == nullptr || map->l_name == nullptr ||
      std::strcmp(info.dli_fname, map->l_name) != 0) {
    return nullptr;
  }
  return symbol;
}

// The module's file name, or null for a handle that names none. REQUIRES:
// the lock held; the name is good while it is.
const std::u16string* FileNameOf(HMODULE module) {
  if (module == nullptr) return &State().host_program;
  Instance* instance = FindInstance(module);
  if (instance == nullptr) return nullptr;
  return instance->source->shared_object ? &instance->first_name : &instance->source->name;
}

std::unique_ptr<Source> NewEntry(std::u16string_view name) {
  auto source = std::make_unique<Source>();
  source->name = name;
  source->folded = ModuleKey(name);
  source->bare = source->folded.find_first_of(u"\\:") == std::u16string::npos;
  return source;
}

// Empties `state` but for our own module, loaded once by the host.
void StartFresh(ModuleState& state) {
  for (auto& source : state.sources)
    Unload(state, *source);
  state.sources.clear();
  state.failing.clear();
  ++state.names_changed;
  state.log.Clear();
  state.host_program = u"C:\\Windows\\System32\\spoolsv.exe";
  state.sources.push_back(NewEntry(kDefaultOwnModulePath));
  state.own = state.sources.back().get();
  Instantiate(state, *state.own, state.own->name);
  state.own->counters.references = 1;
}

}  // namespace

HMODULE LoadLibraryW(const char16_t* name) {
  if (name == nullptr || *name == u'\0') return Fail<HMODULE>(kErrorInvalidParameter, nullptr);
  Lock lock(Mutex());
  std::u16string_view requested(name);
  Source* source = ResolveToLoad(requested);
  bool ok = source != nullptr && (source->live != 0 || Instantiate(State(), *source, requested));
  Log(ModuleCall::kLoad, requested, {}, ok);
  if (!ok) return Fail<HMODULE>(kErrorModNotFound, nullptr);
  ++source->counters.loads;
  ++source->counters.references;
  return HandleOf(*source);
}

HMODULE LoadLibraryA(const char* name) {
  if (name == nullptr) return Fail<HMODULE>(kErrorInvalidParameter, nullptr);
  std::u16string wide;
  if (!MultiByteToWide(name, std::strlen(name), wide)) {
    return Fail<HMODULE>(kErrorModNotFound, nullptr);
  }
  return LoadLibraryW(wide.c_str());
}

BOOL FreeLibrary(HMODULE module) {
  Lock lock(Mutex());
  Instance* instance = FindInstance(module);
  if (instance == nullptr) {
    Log(ModuleCall::kFree, {}, {}, false);
    return Fail<BOOL>(kErrorModNotFound, 0);
  }
  Source& source = *instance->source;
  Log(ModuleCall::kFree, source.name, {}, true);
  ++source.counters.frees;
  if (--source.counters.references == 0) Unload(State(), source);
  return 1;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  // A look-up allocates nothing of the process's: its log is the system's.
  host_internal::SystemMemoryScope system;
  Lock lock(Mutex());
  Instance* instance = FindInstance(module);
  std::string_view export_name = name != nullptr ? name : "";
  if (instance == nullptr) {
    Log(ModuleCall::kGetProcAddress, {}, export_name, false);
    return Fail<FARPROC>(kErrorModNotFound, nullptr);
  }
  Source& source = *instance->source;
  FARPROC found = nullptr;
  if (name != nullptr && !source.hidden.contains(export_name)) {
    if (source.shared_object) {
      found = reinterpret_cast<FARPROC>(OwnSymbol(instance->dl, name));
    } else {
      auto it = source.exports.find(export_name);
      if (it != source.exports.end()) found = it->second;
    }
  }
  Log(ModuleCall::kGetProcAddress, source.name, export_name, found != nullptr);
  if (found == nullptr) return Fail<FARPROC>(kErrorProcNotFound, nullptr);
  return found;
}

DWORD GetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD size) {
  Lock lock(Mutex());
  const std::u16string* found = FileNameOf(module);
  if (found == nullptr) return Fail<DWORD>(kErrorModNotFound, 0);
  const std::u16string& name = *found;
  if (buffer == nullptr || size == 0) return Fail<DWORD>(kErrorInsufficientBuffer, 0);
  std::size_t copied = std::min<std::size_t>(name.size(), size - 1);
  std::copy_n(name.data(), copied, buffer);
  buffer[copied] = u'\0';
  if (copied < name.size()) return Fail<DWORD>(kErrorInsufficientBuffer, size);
  return static_cast<DWORD>(copied);
}

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  std::u16string wide;
  {
    Lock lock(Mutex());
    const std::u16string* found = FileNameOf(module);
    if (found == nullptr) return Fail<DWORD>(kErrorModNotFound, 0);
    wide = *found;
  }
  std::string name;
  if (!WideToMultiByte(wide.data(), wide.size(), name)) return Fail<DWORD>(kErrorInvalidData, 0);
  if (buffer == nullptr || size == 0) return Fail<DWORD>(kErrorInsufficientBuffer, 0);
  std::size_t copied = 0;
  while (copied < name.size()) {
    int length = MultiByteCharLength(name.data() + copied, name.size() - copied);
    if (length <= 0 || copied + static_cast<std::size_t>(length) > size - 1) break;
    copied += static_cast<std::size_t>(length);
  }
  std::copy_n(name.data(), copied, buffer);
  buffer[copied] = '\0';
  if (copied < name.size()) return Fail<DWORD>(kErrorInsufficientBuffer, size);
  return static_cast<DWORD>(copied);
}

int LoadStringW(HINSTANCE module, UINT id, char16_t* buffer, int buffer_max) {
  if (buffer == nullptr || buffer_max < 1) return Fail<int>(kErrorInvalidParameter, 0);
  buffer[0] = u'\0';
  Lock lock(Mutex());
  Instance* instance = FindInstance(module);
  if (instance == nullptr) return Fail<int>(kErrorModNotFound, 0);
  const auto& strings = instance->source->strings;
  auto it = strings.find(id);
  if (it == strings.end() || it->second.empty()) return Fail<int>(kErrorResourceNameNotFound, 0);
  std::size_t copied =
      std::min<std::size_t>(it->second.size(), static_cast<std::size_t>(buffer_max) - 1);
  std::copy_n(it->second.data(), copied, buffer);
  buffer[copied] = u'\0';
  return static_cast<int>(copied);
}

int OpenFile(const char* name, UINT style) {
  if (name == nullptr || style != kOfExist) return Fail<int>(kErrorInvalidParameter, kHFileError);
  std::u16string wide;
  if (!MultiByteToWide(name, std::strlen(name), wide))
    return Fail<int>(kErrorFileNotFound, kHFileError);
  {
    Lock lock(Mutex());
    Source* source = Resolve(wide);
    if (source != nullptr && !State().failing.count(BaseKey(wide))) return 1;
  }
  std::optional<std::string> host = ToHostPath(wide);
  struct stat facts;
  if (host && ::stat(host->c_str(), &facts) == 0 && S_ISREG(facts.st_mode)) return 1;
  return Fail<int>(kErrorFileNotFound, kHFileError);
}

bool AddModule(const ModuleSpec& module) {
  if (module.name.empty()) return false;
  Lock lock(Mutex());
  auto source = NewEntry(module.name);
  for (const auto& existing : State().sources) {
    if (!existing->shared_object && existing->folded == source->folded) return false;
  }
  for (const auto& [name, function] : module.exports)
    source->exports[name] = function;
  for (const auto& [id, text] : module.strings)
    source->strings[id] = text;
  State().sources.push_back(std::move(source));
  ++State().names_changed;
  return true;
}

bool AddModuleExport(std::u16string_view module, std::string_view name, FARPROC function) {
  Lock lock(Mutex());
  Source* source = Resolve(module);
  if (source == nullptr || source->shared_object) return false;
  source->exports[std::string(name)] = function;
  return true;
}

bool AddModuleString(std::u16string_view module, UINT id, std::u16string_view text) {
  Lock lock(Mutex());
  Source* source = Resolve(module);
  if (source == nullptr) return false;
  source->strings[id] = text;
  return true;
}

bool AddModuleResources(std::u16string_view module, const ModuleResources& resources) {
  for (const BitmapResource& bitmap : resources.bitmaps) {
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != std::size_t(bitmap.width) * std::size_t(bitmap.height)) {
      return false;
    }
  }
  Lock lock(Mutex());
  Source* source = Resolve(module);
  if (source == nullptr) return false;
  bool other_kinds =
      !resources.dialogs.empty() || !resources.bitmaps.empty() || !resources.cursors.empty();
  if (source->shared_object && other_kinds) return false;
  for (const auto& [id, text] : resources.strings)
    source->strings[id] = text;
  for (const DialogTemplate& dialog : resources.dialogs)
    source->dialogs[dialog.id] = dialog;
  for (const BitmapResource& bitmap : resources.bitmaps)
    source->bitmaps[bitmap.id] = bitmap;
  for (const CursorResource& cursor : resources.cursors)
    source->cursors[cursor.id] = cursor;
  if (!resources.version.empty()) source->version = resources.version;
  return true;
}

bool MapSharedObject(std::u16string_view base_name, std::string_view host_path) {
  std::u16string key = BaseKey(base_name);
  if (key.empty() || host_path.empty()) return false;
  Lock lock(Mutex());
  auto& sources = State().sources;
  auto it = std::find_if(sources.begin(), sources.end(), [&](const auto& source) {
    return source->shared_object && source->folded == key;
  });
  if (it == sources.end()) {
    auto source = std::make_unique<Source>();
    source->shared_object = true;
    source->folded = key;
    it = sources.insert(sources.end(), std::move(source));
  } else if ((*it)->live != 0) {
    return false;
  }
  std::u16string_view name = base_name.substr(base_name.size() - key.size());
  (*it)->name = name;
  (*it)->host_path = host_path;
  ++State().names_changed;
  return true;
}

void SetModuleLoadFailure(std::u16string_view base_name, bool fail) {
  Lock lock(Mutex());
  if (fail) {
    State().failing.insert(BaseKey(base_name));
  } else {
    State().failing.erase(BaseKey(base_name));
  }
  ++State().names_changed;
}

bool SetExportHidden(std::u16string_view module, std::string_view name, bool hidden) {
  Lock lock(Mutex());
  Source* source = Resolve(module);
  if (source == nullptr) return false;
  if (hidden) {
    source->hidden.insert(std::string(name));
  } else {
    source->hidden.erase(std::string(name));
  }
  return true;
}

HMODULE OwnModule() {
  Lock lock(Mutex());
  return HandleOf(*State().own);
}

bool SetOwnModulePath(std::u16string_view path) {
  Lock lock(Mutex());
  auto renamed = NewEntry(path);
  for (const auto& source : State().sources) {
    if (source.get() != State().own && !source->shared_object &&
        source->folded == renamed->folded) {
      return false;
    }
  }
  if (path.empty()) return false;
  State().own->name = renamed->name;
  State().own->folded = renamed->folded;
  State().own->bare = renamed->bare;
  ++State().names_changed;
  return true;
}

void SetHostProgramPath(std::u16string_view path) {
  Lock lock(Mutex());
  State().host_program = path;
}

ModuleCounters GetModuleCounters(std::u16string_view name) {
  Lock lock(Mutex());
  Source* source = Resolve(name);
  return source != nullptr ? source->counters : ModuleCounters{};
}

std::vector<ModuleEvent> ModuleLog() {
  Lock lock(Mutex());
  return State().log.Entries();
}

void ClearModuleLog() {
  Lock lock(Mutex());
  State().log.Clear();
}

namespace host_internal {

void ResetModulesLocked() {
  StartFresh(State());
}

const FileVersionData* FindModuleVersionLocked(std::u16string_view path) {
  const Source* source = Resolve(path);
  return source == nullptr || source->version.empty() ? nullptr : &source->version;
}

namespace {

template <typename Resource>
const Resource* FindResourceLocked(HMODULE module, const std::map<UINT, Resource> Source::*kind,
                                   UINT id) {
  Instance* instance = FindInstance(module);
  if (instance == nullptr) return nullptr;
  const auto& table = instance->source->*kind;
  auto it = table.find(id);
  return it == table.end() ? nullptr : &it->second;
}

}  // namespace

const DialogTemplate* FindDialogTemplateLocked(HMODULE module, UINT id) {
  return FindResourceLocked(module, &Source::dialogs, id);
}

const BitmapResource* FindBitmapLocked(HMODULE module, UINT id) {
  return FindResourceLocked(module, &Source::bitmaps, id);
}

const CursorResource* FindCursorLocked(HMODULE module, UINT id) {
  return FindResourceLocked(module, &Source::cursors, id);
}

}  // namespace host_internal
}  // namespace platform
