// GDynamicLibrary: a persistable handle on a loadable module named by a
// wide file name. It loads the module on first use (through the platform
// layer's LoadLibraryW: a module of the in-process table or one of our own
// shared objects), looks exports up by name and calls them, and frees the
// module when it is unloaded or destroyed. Only the name is stored; a
// restored handle starts unloaded.
//
// Calls to exports take explicit arguments, pointer-sized so that a pointer
// passes as well as a number:
//   CallExport      the export is an ExportEntry: it receives the caller's
//                   argument array and its length, and answers 32 bits;
//   CallExportPair  the export is a PairEntry: it receives two arguments,
//                   and the low 16 bits of its answer are returned.
//
// Copies share the loaded module: the copy and its source hold one share
// of it, and the module is freed once, when the last holder of the share
// unloads or goes. Unloading one copy leaves the others loaded.
//
// Class id 780, registered as "GDynamicLibrary".
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kDynamicLibraryVersion
//   name     the wide string form (u32 count, 16-bit units)
// A restore of version 1 unloads the handle and reads the name; another
// version reads nothing further and leaves the handle as it was.
//
// Threads: one handle is used by one thread at a time; copies of one
// handle may be used and destroyed on different threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "persist/model_class.h"
#include "platform/host/types.h"

inline constexpr RWClassID kGDynamicLibraryId = 780;
inline constexpr std::uint32_t kDynamicLibraryVersion = 1;

class GDynamicLibrary final
    : public MPersistentClass<GDynamicLibrary, MPersistentObject, kGDynamicLibraryId> {
 public:
  // The two kinds of export that the handle calls.
  using ExportEntry = std::uint32_t (*)(const std::uintptr_t* arguments, std::uint32_t count);
  using PairEntry = std::uint32_t (*)(std::uintptr_t first, std::uintptr_t second);

  // Empty name, not loaded.
  GDynamicLibrary() = default;
  // That name, not loaded.
  explicit GDynamicLibrary(const RWWString& name) : name_(name) {}
  // The base part, the name, the loaded flag and the module, shared.
  GDynamicLibrary(const GDynamicLibrary& other);
  // Unloads, then takes the same as the copy constructor (nothing for
  // itself).
  GDynamicLibrary& operator=(const GDynamicLibrary& other);
  // Unloads.
  ~GDynamicLibrary() override;

  // Loads the module unless it is loaded; answers the loaded flag. A failed
  // load leaves the handle unloaded, and the next call tries again.
  bool Load();
  // Lets go of the module when loaded (freeing it when this was its last
  // holder); not loaded afterwards.
  void Unload();
  bool IsLoaded() const { return loaded_ != 0; }

  // Load, then the export `name`: its answer to (arguments, their count),
  // or 0 when the module does not load or lacks the export (the module
  // stays loaded then).
  // REQUIRES: `name` is NUL-terminated; the export is an ExportEntry.
  std::uint32_t CallExport(const char* name, std::span<const std::uintptr_t> arguments);
  // Load, then the export `name`: the low 16 bits of its answer to (first,
  // second), or 0 as above.
  // REQUIRES: `name` is NUL-terminated; the export is a PairEntry.
  std::uint16_t CallExportPair(const char* name, std::uintptr_t first, std::uintptr_t second);

  const RWWString& Name() const { return name_; }
  // The module, null while not loaded.
  platform::HMODULE Handle() const;

  // The base part, 8 and 2 x the name's length.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, the same name, the same
  // loaded flag and the same module.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The extraction operations (see MPersistentObject::ReadPointerFromStream).
  static void ReadPointerFromStream(RWVirtualInputStream& stream, GDynamicLibrary*& object);
  static void ReadPointerFromFile(RWFile& file, GDynamicLibrary*& object);

 private:
  friend class MPersistentClass;

  // One loaded module and the number of handles that hold it.
  struct ModuleShare {
    // A constructor of its own: clang 14 does not make aggregates from
    // parentheses.
    ModuleShare(platform::HMODULE loaded, std::uint32_t count) : module(loaded), holders(count) {}
    platform::HMODULE module;
    std::atomic<std::uint32_t> holders;
  };

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  // The export `name` of the loaded module, loading it first; null when
  // either is missing.
  platform::FARPROC FindExport(const char* name);

  RWWString name_;
  std::uint32_t loaded_ = 0;      // 1 loaded, 0 not
  ModuleShare* share_ = nullptr;  // null while not loaded
};

extern template class MPersistentClass<GDynamicLibrary, MPersistentObject, kGDynamicLibraryId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DynamicLibraryClasses();
