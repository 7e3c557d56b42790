// GOSFactory: the driver services, the one process-wide object through which
// the models reach the operating system: object streams over memory and
// files, printer data and named objects, the registry, the time and the
// library's own directory.
//
// This target sits low in the graph (it links only the foundation and the
// platform layer) so that the persistent and configuration models can call
// the services without linking the driver. It holds the abstract class and
// the singleton; the driver library derives the concrete services from it
// (GNTOSFactory, then the class the library instantiates) and installs one
// instance at library attach. Types of the layers above (persistence streams,
// the printer-data store) are only declared here; the driver data that names
// a printer is driver_data.h of this target.
//
// The virtual operations come in the services' slot order. Where the
// driver names an operation differently from the models that call it, the
// models' name is a non-virtual member below that forwards to the virtual
// one. The six placeholders only answer as their comments say.
//
// Locks: the services keep a lock of their own (made by the derived
// services through CreateLock) that guards the lazy creation of every other
// lock (EnsureLock).
//
// Threads: Instance() and SetInstance() may be used from any thread; so may
// the module handle, the module directory and EnsureLock. The other
// operations are as thread-safe as the installed services say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "foundation/rw/cstring.h"
#include "foundation/rw/vstream.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

class GDriverData;
class GFontAccess;
class GLocaleInfo;
class GLock;
class GMiniInstaller;
class GPrinterKey;
class GUnicodeConverter;
struct GOSVersion;
class GPersistentInputStream;
class GPersistentOutputStream;
class GPrinterDataStore;
class RWCollectable;

// A moment as the services report it: eight 16-bit fields in this order.
struct GTimeRecord {
  std::uint16_t year = 0;         // four digits
  std::uint16_t month = 0;        // 1-12
  std::uint16_t day = 0;          // 1-31
  std::uint16_t hour = 0;         // 0-23
  std::uint16_t minute = 0;       // 0-59
  std::uint16_t second = 0;       // 0-59
  std::uint16_t unused = 0;       // always 0
  std::uint16_t day_of_week = 0;  // 0-6, Sunday 0
};

class GOSFactory {
 public:
  // Stream encodings that the stream operations pass through unchanged.
  static constexpr std::int32_t kPortableTextEncoding = kRWPortableTextEncoding;
  static constexpr std::int32_t kBinaryEncoding = kRWBinaryEncoding;
  static constexpr std::int32_t kHeaderedBinaryEncoding = kRWHeaderedBinaryEncoding;

  // The installed services; null before the library's attach installs them
  // and after its detach.
  static GOSFactory* Instance();
  // Installs `services` (null uninstalls) and answers the previous one. The
  // services are not owned: the caller keeps them alive while installed.
  static GOSFactory* SetInstance(GOSFactory* services);

  GOSFactory() = default;
  GOSFactory(const GOSFactory&) = delete;
  GOSFactory& operator=(const GOSFactory&) = delete;
  virtual ~GOSFactory();

  // A new context for the printer of `key` (the context's GDriverData
  // part, which the caller owns), or null.
  virtual GDriverData* CreateContext(const GPrinterKey& key) = 0;
  // New render-time driver data for the printer of `key`, or null.
  virtual GDriverData* CreateRenderData(const GPrinterKey& key) = 0;
  // Answers `data`.
  virtual GDriverData* CastDriverData(GDriverData* data);
  // Answers 0.
  virtual std::int32_t Placeholder1(std::uintptr_t argument) = 0;

  // The local time into `local`, and the same time moved by the services'
  // own offset in minutes (the time bias) into `shifted`, the offset into
  // `bias`. Answers 1, or 0 when the time cannot be read (both records then
  // stay zeroed).
  virtual int GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) = 0;
  // Sets the time bias in minutes; these services ignore it.
  virtual void SetTimeBias(std::int16_t minutes);

  // Answers 0.
  virtual std::int32_t Placeholder2(std::uintptr_t first, std::uintptr_t second,
                                    std::uintptr_t third) = 0;
  // The operating-system version (services/os_version.h); all three
  // words 0 when it cannot be told.
  virtual void GetOSVersion(GOSVersion& version);
  // Answers 0.
  virtual std::int32_t Placeholder3() = 0;
  // The font-access object for a new font implementation (fonts/font.h),
  // which the caller owns; none here, and none in this library's services.
  virtual GFontAccess* MakeFontAccess();
  // A new code-page converter that the caller owns, or null.
  virtual GUnicodeConverter* CreateUnicodeConverter() = 0;

  // Persistence streams (persist/persistent_stream.h) over a caller's block
  // or a file, in `encoding` (0 portable text, 1 binary, 2 binary with
  // header; any other value gives a stream without an encoding). Each answers
  // a new stream that the caller deletes, or null when the allocation fails.
  // REQUIRES: `bytes` outlives the stream.
  virtual GPersistentInputStream* NewMemoryInputStream(const void* bytes, std::size_t size,
                                                       std::int32_t encoding) = 0;
  virtual GPersistentInputStream* NewFileInputStream(const RWWString& path,
                                                     std::int32_t encoding) = 0;
  // REQUIRES: `bytes` outlives the stream.
  virtual GPersistentOutputStream* NewMemoryOutputStream(void* bytes, std::size_t size,
                                                         std::int32_t encoding) = 0;
  virtual GPersistentOutputStream* NewFileOutputStream(const RWWString& path,
                                                       std::int32_t encoding) = 0;

  // Fills `*slot` with a new lock (CreateLock) when it holds none, under the
  // services' lock, so that two threads never make two; a slot that holds a
  // lock is left alone without taking any. Without a services lock the slot
  // is filled unguarded. The lock belongs to the slot's owner.
  void EnsureLock(GLock** slot);

  // The library's own module, given by the library's attach; null until
  // then.
  virtual void SetModuleHandle(platform::HMODULE module);
  virtual platform::HMODULE GetModuleHandle();

  // The path of the driver data file of the printer that `printer` names,
  // empty when it cannot be told.
  virtual RWWString GetDriverDataFile(GDriverData* printer) = 0;
  // A new record of the user's international settings that the caller
  // owns, or null when memory is exhausted.
  virtual GLocaleInfo* GetLocaleInfo() = 0;
  // The directory for the printer's temporary files.
  virtual RWWString GetTempDirectory(GDriverData* printer) = 0;

  // The directory of the library's own module file, without its trailing
  // separator; computed once and kept (see ForgetModuleDirectory).
  virtual RWWString GetModuleDirectory() = 0;

  // A new mini-installer for the printer that the caller owns; none here.
  virtual GMiniInstaller* NewMiniInstaller(const RWWString& printer_name, platform::HANDLE printer,
                                           std::uintptr_t unused);
  // A path in `directory` (joined with the path separator unless empty or
  // ending in it) whose file name is `pattern` (at most 260 units; empty:
  // GetDefaultFilePattern) with every "&" replaced by a random character of
  // 0-9 and A-Z, and no file by that path exists. When `create` is
  // non-zero the file is created empty. After kUniqueNameAttempts names
  // that exist or cannot be created the answer is the empty string.
  virtual RWWString MakeUniqueFileName(const RWWString& directory, const RWWString& pattern,
                                       int create);
  // The runtime's random generator: seeded with the current time; numbers
  // 0 to 32767.
  virtual void SeedRandom() = 0;
  virtual std::int32_t Random() = 0;
  // Whether the file opens; whether it could be created (or emptied).
  virtual int FileExists(const RWWString& path) = 0;
  virtual int CreateEmptyFile(const RWWString& path) = 0;

  // The path separator of stored paths: '\' (92).
  virtual char16_t GetPathSeparator() const;

  // "&&&&&&&&.&&&": eight random characters, a dot and three more.
  virtual RWWString GetDefaultFilePattern() const;
  // The global allocator: null when memory is exhausted; Free takes null.
  virtual void* Allocate(std::size_t size);
  virtual void Free(void* block);
  // Does nothing.
  virtual void Placeholder5(std::uintptr_t argument);

  // A new printer-data store bound to `printer` (output/core/
  // printer_data_store.h; the configuration model's adapter implements it),
  // or null when memory is exhausted; the caller deletes it.
  virtual GPrinterDataStore* NewValueAdapter(GDriverData* printer) = 0;

  // Printer data of the printer that `printer` names. The setters answer 1
  // on success, 0 on failure.
  virtual int SetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                  std::uint32_t value) = 0;
  virtual int SetPrinterDataString(GDriverData* printer, const RWWString& name,
                                   const RWWString& value) = 0;
  // A binary value of any length, stored in chunks.
  virtual int WriteChunkedValue(GDriverData* printer, const RWWString& name, const void* data,
                                std::uint32_t length) = 0;
  // Saves `object` as the named object `name`; non-zero on success.
  virtual int StoreNamedObject(GDriverData* printer, const RWWString& name,
                               const RWCollectable* object) = 0;
  // The value when it is a 32-bit number, else `fallback`.
  virtual std::uint32_t GetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                            std::uint32_t fallback) = 0;
  // The value when it is a non-empty string, else `fallback`.
  virtual RWWString GetPrinterDataString(GDriverData* printer, const RWWString& name,
                                         const RWWString& fallback) = 0;
  // Reads a value written by WriteChunkedValue into `buffer`. With no buffer
  // or size 0 answers 1 and the most bytes the value can take in `got`; a
  // buffer too small answers 0 with that size in `got`; a missing value
  // answers 0 and leaves `got` alone.
  virtual int ReadChunkedValue(GDriverData* printer, const RWWString& name, void* buffer,
                               std::uint32_t size, std::uint32_t& got) = 0;

  // String values under the printer's own registry key (the machine's
  // kPrintersKeyPath + "\" + printer name + "\" + `key`). Writing creates
  // the key; an empty value writes nothing and succeeds (1).
  virtual int WritePrinterKeyString(GDriverData* printer, const RWWString& key,
                                    const RWWString& name, const RWWString& value) = 0;
  virtual RWWString ReadPrinterKeyString(GDriverData* printer, const RWWString& key,
                                         const RWWString& name, const RWWString& fallback) = 0;

  // Deletes the printer-data value `name`; 1 on success, 0 on failure.
  virtual int DeletePrinterDataValue(GDriverData* printer, const RWWString& name) = 0;
  // Restores the object stored as `name` (from portable text when `text`
  // is non-zero); the caller owns it. Null when there is none.
  virtual RWCollectable* LoadNamedObject(GDriverData* printer, const RWWString& name, int text) = 0;

  // The local machine's and the current user's registry: string values
  // (`fallback` when absent or not a string) and whether a key opens for
  // reading (1) or not (0).
  virtual RWWString ReadMachineString(const RWWString& key, const RWWString& name,
                                      const RWWString& fallback) = 0;
  // A REG_DWORD value of 4 bytes, else `fallback`.
  virtual std::uint32_t ReadMachineDword(const RWWString& key, const RWWString& name,
                                         std::uint32_t fallback) = 0;
  // Writes `value` as REG_DWORD into the existing key unless the value
  // exists; answers the registry's result code (0 success).
  virtual std::int32_t EnsureMachineDword(const RWWString& key, const RWWString& name,
                                          std::uint32_t value) = 0;
  virtual int MachineKeyExists(const RWWString& key) = 0;
  virtual RWWString ReadUserString(const RWWString& key, const RWWString& name,
                                   const RWWString& fallback) = 0;
  virtual std::uint32_t ReadUserDword(const RWWString& key, const RWWString& name,
                                      std::uint32_t fallback) = 0;
  virtual int UserKeyExists(const RWWString& key) = 0;
  // Answers 0.
  virtual std::int32_t Placeholder6();
  // Creates the user's key when missing and writes the REG_DWORD; 1 or 0.
  virtual int WriteUserDword(const RWWString& key, const RWWString& name, std::uint32_t value) = 0;
  // Answers -1.
  virtual std::int32_t Placeholder7();
  // Whether the generators must not poll their output port as their output
  // grows; 0 (they poll) in these services.
  virtual int IsOutputPollingOff();

  // A new lock object that the caller owns.
  virtual GLock* CreateLock() = 0;

  // Empties the module directory's cache, so that the next
  // GetModuleDirectory reads the module's file name again (for a module
  // that moved, and for tests).
  void ForgetModuleDirectory();

  // --- The same services under the names the models call them by.

  int GetCurrentDate(GTimeRecord& first, GTimeRecord& second, std::int16_t& offset) {
    return GetTimes(first, second, offset);
  }
  RWWString& GetDriverDirectory(RWWString& out) {
    out = GetModuleDirectory();
    return out;
  }
  int SetPrinterDataBinary(GDriverData* printer, const RWWString& name, const void* data,
                           std::uint32_t length) {
    return WriteChunkedValue(printer, name, data, length);
  }
  // The 8-bit name is taken as text of the code page.
  int StoreNamedObject(GDriverData* printer, const RWCString& name, const RWCollectable* object) {
    return StoreNamedObject(printer, RWWString::FromMultiByte(name), object);
  }
  RWWString& GetPrinterDataString(RWWString& out, GDriverData* printer, const RWWString& name,
                                  const RWWString& fallback) {
    out = GetPrinterDataString(printer, name, fallback);
    return out;
  }
  int GetPrinterDataBinary(GDriverData* printer, const RWWString& name, void* buffer,
                           std::uint32_t size, std::uint32_t& got) {
    return ReadChunkedValue(printer, name, buffer, size, got);
  }
  // Answers 1 and the object in `object` (the caller owns it), or 0 and null.
  int LoadNamedObject(GDriverData* printer, const RWWString& name, RWCollectable*& object) {
    object = LoadNamedObject(printer, name, 0);
    return object != nullptr;
  }
  RWWString& ReadMachineString(RWWString& out, const RWWString& key, const RWWString& name,
                               const RWWString& fallback) {
    out = ReadMachineString(key, name, fallback);
    return out;
  }
  RWWString& ReadUserString(RWWString& out, const RWWString& key, const RWWString& name,
                            const RWWString& fallback) {
    out = ReadUserString(key, name, fallback);
    return out;
  }
  GPrinterDataStore* CreatePrinterDataStore(GDriverData* printer) {
    return NewValueAdapter(printer);
  }

  // The most names MakeUniqueFileName tries.
  static constexpr int kUniqueNameAttempts = 1000;

 protected:
  // Keeps `lock` as the services' own lock, owned from now on. Called by the
  // derived services' constructor.
  void SetServicesLock(GLock* lock);

  // The module directory's cache, filled by the derived services'
  // GetModuleDirectory: `compute` (module handle) runs under the cache's
  // lock only while the cache is empty, and its result is kept.
  template <class Compute>
  RWWString CachedModuleDirectory(Compute compute) {
    std::lock_guard<std::mutex> lock(module_mutex_);
    if (module_directory_.IsNull()) module_directory_ = compute(module_);
    return module_directory_;
  }

 private:
  std::mutex module_mutex_;     // guards the two fields below
  RWWString module_directory_;  // empty until first asked
  platform::HMODULE module_ = nullptr;
  GLock* services_lock_ = nullptr;  // guards lazy lock creation
};
