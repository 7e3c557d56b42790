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
// The virtual operations come in the services' slot order; the driver adds
// its own between them where the comments say, by extending this class in
// place. Where the driver names an operation differently from the models
// that call it, the models' name is a non-virtual member below that
// forwards to the virtual one.
//
// Threads: Instance() and SetInstance() may be used from any thread; so may
// the module handle and the module directory. The other operations are as
// thread-safe as the installed services say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

class GDriverData;
class GLock;
class GPersistentInputStream;
class GPersistentOutputStream;
class GPrinterDataStore;
class RWCollectable;
class GUnicodeConverter;

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

// The operating system as the services detect it: its kind, its version
// (major << 16 | minor) and its build (low 16 bits); all 0 when detection
// fails.
struct GOSVersion {
  std::uint32_t kind = 0;
  std::uint32_t version = 0;
  std::uint32_t build = 0;

  std::uint32_t Major() const { return version >> 16; }
};

class GOSFactory {
 public:
  // Stream encodings that the stream operations pass through unchanged.
  static constexpr std::int32_t kPortableTextEncoding = 0;
  static constexpr std::int32_t kBinaryEncoding = 1;
  static constexpr std::int32_t kHeaderedBinaryEncoding = 2;

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

  // (four operations of the driver: contexts, render data, a cast, a
  // placeholder)

  // The local time into `local`, and the same time moved by the services'
  // own offset in minutes (the time bias) into `shifted`, the offset into
  // `bias`. Answers 1, or 0 when the time cannot be read (both records then
  // stay zeroed).
  virtual int GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) = 0;
  // Sets the time bias in minutes; these services ignore it.
  virtual void SetTimeBias(std::int16_t minutes);

  // (three operations of the driver)

  // The operating system's version; these services detect none and leave
  // the record zeroed.
  virtual void GetOSVersion(GOSVersion& version);
  // A new code-page converter (unicode_converter.h) for the caller, or null;
  // these services make none.
  virtual GUnicodeConverter* CreateUnicodeConverter();

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

  // A new lock object (lock.h) that the caller owns: a GSemaphore here;
  // null when no memory is left.
  virtual GLock* CreateLock();

  // The library's own module, given by the library's attach; null until
  // then.
  virtual void SetModuleHandle(platform::HMODULE module);
  virtual platform::HMODULE GetModuleHandle();

  // (three operations of the driver: the data file, locale values, the
  // temporary directory)

  // The directory of the library's own module file, without its trailing
  // separator; computed once and kept (see ForgetModuleDirectory).
  virtual RWWString GetModuleDirectory() = 0;

  // (six operations of the driver: mini-installer, unique file names,
  // random numbers, files)

  // The path separator of stored paths: '\' (92).
  virtual char16_t GetPathSeparator() const;

  // (four operations of the driver: file pattern, memory, a placeholder)

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

  // (two operations of the driver: strings under the printer's key)

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
  // (two operations of the driver: machine numbers)
  virtual int MachineKeyExists(const RWWString& key) = 0;
  virtual RWWString ReadUserString(const RWWString& key, const RWWString& name,
                                   const RWWString& fallback) = 0;
  // (one operation of the driver: user numbers)
  virtual int UserKeyExists(const RWWString& key) = 0;

  // (three operations of the driver: a user number, two placeholders; and
  // after the destructor, lock objects)

  // Fills `slot` with a new lock (CreateLock) when it is still null; slots
  // filled at once from several threads get one lock.
  void EnsureLock(GLock*& slot);
  // The converter of CreateUnicodeConverter, asked for once and kept (and
  // deleted) by these services; null when they make none.
  GUnicodeConverter* UnicodeConverter();

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

 protected:
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
  std::mutex lock_mutex_;  // guards lazy lock slots and the converter below
  GUnicodeConverter* converter_ = nullptr;
  bool converter_asked_ = false;
  std::mutex module_mutex_;     // guards the two fields below
  RWWString module_directory_;  // empty until first asked
  platform::HMODULE module_ = nullptr;
};
