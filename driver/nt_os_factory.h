// GNTOSFactory: the platform services of the driver, derived from the
// abstract GOSFactory (services/os_factory.h), over the platform
// layer (platform/host/): persistence streams, the time with the services'
// time bias, the module directory, printer data through the spooler, named
// objects, and string values and keys of the registry. The driver's own
// services class derives from it and supplies the printer handle of a
// driver data's context (and the rest of the services).
//
// Printer data. Every operation is given the driver data of the printer
// (services/driver_data.h), which names it; a null driver data names
// no printer. The handle used is the one the driver data's context holds
// (GetPrinterHandle). When it holds none, the operations that say "opens"
// open the printer by its name with all access and close it again before
// returning; the others then fail (or answer the default). Chunked values
// and named objects: driver/chunked_value.h.
//
// Failures are answered, never reported: 0, null or the caller's default.
// Stored counts and sizes from printer data are checked before they size
// anything.
//
// Printer data and the registry are read and written through the stored
// state's door (stored_state.h): a call's writes are staged and committed
// whole at its end, and a call's reads see its own writes.
//
// Threads: every operation may be called from any thread; the services keep
// no state of their own but the time bias and the module directory's cache.
// A chunked value (and so a named object) is many values, so every read of
// one takes the commits' lock (NamedValueLock) for all of its values: a
// reader meets the value as one commit left it whole, never a count of one
// write over the chunks of another. A read-modify-write needs no lock: its
// commit finds what it read changed, and stores nothing over it. The lock
// is re-entrant, and is never held while the platform's own lock is.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "driver/chunked_value.h"
#include "platform/host/types.h"
#include "services/os_factory.h"

class GNTOSFactory : public GOSFactory {
 public:
  // The first buffer a named object is read into; a larger value is read
  // again into a buffer of the size the first read reported.
  static constexpr std::uint32_t kNamedObjectFirstRead = 1024;
  // A named object's first buffer holds its stored size and half again; each
  // of the further attempts doubles it.
  static constexpr int kNamedObjectAttempts = 3;
  // The named object that is never a flat settings record.
  static constexpr char16_t kBinPoolName[] = u"VROBinPool";
  // Units of the module file name read for the module directory.
  static constexpr platform::DWORD kModuleNameUnits = 260;

  // Makes the services' own lock (CreateLock).
  GNTOSFactory();

  // The local time and the same time moved by the time bias: the bias's
  // hours (truncated) and remaining minutes are added, carrying into hours,
  // days, months and years (February has 29 days in leap years); the day of
  // the week is not changed.
  int GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) override;
  // Keeps `minutes` as the time bias (0 until set).
  void SetTimeBias(std::int16_t minutes) override;

  GPersistentInputStream* NewMemoryInputStream(const void* bytes, std::size_t size,
                                               std::int32_t encoding) override;
  GPersistentInputStream* NewFileInputStream(const RWWString& path, std::int32_t encoding) override;
  GPersistentOutputStream* NewMemoryOutputStream(void* bytes, std::size_t size,
                                                 std::int32_t encoding) override;
  GPersistentOutputStream* NewFileOutputStream(const RWWString& path,
                                               std::int32_t encoding) override;

  // The file name of the module handle (GetModuleHandle; null is the host
  // program), at most 259 units, cut at its last path separator (which goes
  // too); a name without a separator gives the empty string, which is not
  // kept.
  RWWString GetModuleDirectory() override;

  // Opens. A 32-bit number value (REG_DWORD, 4 bytes).
  int SetPrinterDataDword(GDriverData* printer, const RWWString& name,
                          std::uint32_t value) override;
  // A string value of the characters only (REG_SZ, 2 bytes a character, no
  // terminator).
  int SetPrinterDataString(GDriverData* printer, const RWWString& name,
                           const RWWString& value) override;
  // The lock every chunked value's read and every commit takes (see
  // Threads). It is the process's, not the services object's: printer data
  // is.
  static std::recursive_mutex& NamedValueLock();

  // Opens. Stages the value as chunked_value.h's writer says, as one run
  // of the thread's transaction (stored_state.h), or as a transaction of
  // its own without one: a refused or failed step stages none of it. 1
  // only when every step was staged (and, on its own, committed).
  // REQUIRES: `data` holds `length` bytes (may be null when length is 0).
  int WriteChunkedValue(GDriverData* printer, const RWWString& name, const void* data,
                        std::uint32_t length) override;
  // Saves `object` into a memory stream in the binary encoding and writes
  // the bytes as a chunked value; a buffer too small for them is doubled,
  // in three attempts at most. The bytes are the flat settings record with
  // 32-bit numbers (flat_settings/flat_settings_codec.h) when the named-
  // object encoding is 1 and the name is not "VROBinPool", else an object
  // reference (class, then its stored form). A null object, and in the flat
  // record an object that is no model object or a tree the record cannot
  // hold whole (a string of 65,535 characters or more, a class without a
  // node type), store nothing and answer 0: what was stored stays.
  int StoreNamedObject(GDriverData* printer, const RWWString& name,
                       const RWCollectable* object) override;
  // Opens. The value when it reads as REG_DWORD of 4 bytes, else `fallback`.
  std::uint32_t GetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                    std::uint32_t fallback) override;
  // A REG_SZ value of non-zero size, up to its first NUL; else `fallback`.
  RWWString GetPrinterDataString(GDriverData* printer, const RWWString& name,
                                 const RWWString& fallback) override;
  // Opens. Reads the count: absent, not 4 bytes, 0, or a count whose 248*K
  // bytes exceed kMaxChunkedValueBytes answer 0 with `got` untouched. Then
  // as GOSFactory says; a chunk that is missing, not REG_BINARY or larger
  // than the room left answers 0 with `got` untouched.
  int ReadChunkedValue(GDriverData* printer, const RWWString& name, void* buffer,
                       std::uint32_t size, std::uint32_t& got) override;
  // Deletes the value from the printer's data key in the machine's registry
  // (it needs no printer handle).
  int DeletePrinterDataValue(GDriverData* printer, const RWWString& name) override;
  // Reads the chunked value into 1024 bytes, or, when it reports more, into
  // exactly that many, both reads under NamedValueLock (a value stored in
  // between is not met half). When the named-object encoding is 1, `text` is 0
  // and the name is not "VROBinPool", decodes the bytes as a flat settings
  // record (32-bit numbers) against a template built from `printer`: a
  // damaged record answers what was read and the template's missing
  // children, or null when not even its top node reads. Otherwise restores
  // one object reference from the bytes (in the portable text encoding
  // when `text` is non-zero, else binary): damaged bytes answer null;
  // nothing is kept of a partial graph.
  RWCollectable* LoadNamedObject(GDriverData* printer, const RWWString& name, int text) override;

  // The named-object encoding: the 16-bit value at the key path
  // kDefaultSettingsKey, kKeyLocksKey, kStoredEncodingKey of `printer`'s job
  // settings (0 when a step is missing), read from the first driver data that
  // asks and kept from then on.
  std::uint16_t NamedObjectEncoding(GDriverData* printer);

  // A key opened for reading (0x20019) and a REG_SZ value of non-zero size,
  // up to its first NUL; else `fallback`.
  RWWString ReadMachineString(const RWWString& key, const RWWString& name,
                              const RWWString& fallback) override;
  int MachineKeyExists(const RWWString& key) override;
  RWWString ReadUserString(const RWWString& key, const RWWString& name,
                           const RWWString& fallback) override;
  int UserKeyExists(const RWWString& key) override;

  // The configuration model's adapter (config/printer_data_store_adapter.h)
  // bound to `printer`, over these services; null after [NOMEM].
  GPrinterDataStore* NewValueAdapter(GDriverData* printer) override;

  // --- Contexts, the system, files and locks (nt_os_factory_system.cpp).

  // None here: the library's own services make contexts.
  GDriverData* CreateContext(const GPrinterKey& key) override;
  GDriverData* CreateRenderData(const GPrinterKey& key) override;
  std::int32_t Placeholder1(std::uintptr_t argument) override;
  std::int32_t Placeholder2(std::uintptr_t first, std::uintptr_t second,
                            std::uintptr_t third) override;
  std::int32_t Placeholder3() override;
  GUnicodeConverter* CreateUnicodeConverter() override;
  // The current user's "Control Panel\International" values, each read as
  // text of at most 127 bytes (a REG_SZ); numbers are read as decimal
  // numbers (the locale id, kept as hexadecimal digits, reads 00000409 as
  // 409). A missing key or value keeps the record's default.
  GLocaleInfo* GetLocaleInfo() override;
  // The printer-data string "TempDirectoryLocation", else the environment's
  // "TMP", else "TEMP", else "\SystemRoot\System32\Spool\Printers".
  RWWString GetTempDirectory(GDriverData* printer) override;
  // The runtime's generator (platform/host/system.h), seeded with the
  // runtime's clock.
  void SeedRandom() override;
  std::int32_t Random() override;
  // The file opens (OPEN_EXISTING, no access); the file is created or
  // emptied (CREATE_ALWAYS). The handle is closed.
  int FileExists(const RWWString& path) override;
  int CreateEmptyFile(const RWWString& path) override;
  // A new GSemaphore.
  GLock* CreateLock() override;

  // --- Pseudo names, registry numbers, the printer's key
  // (nt_os_factory_registry.cpp).
  //
  // A pseudo name ("???\" root "\" key path "\" value name, with root the
  // decimal text of a predefined root, 2147483649 or -2147483647 for the
  // current user, 2147483650 or -2147483646 for the machine) sends a chunked
  // value, and so a named object, to that registry value instead of
  // printer data. The chunked forms are those of chunked_value.h.

  // Whether `name` has at least 3 units and begins with "???".
  static int IsPseudoName(const RWWString& name);
  // The registry root, key path and value name of a pseudo name; 1, or 0
  // (`root` null) for a name without root, key path and value name or a
  // root that is no predefined root. Nothing is made: the key of a value
  // written is made by the commit of its write.
  static int ParsePseudoName(const RWWString& name, platform::HKEY& root, RWWString& path,
                             RWWString& value_name);
  // The chunked value of a pseudo name, as WriteChunkedValue and
  // ReadChunkedValue say.
  int WritePseudoChunkedValue(const RWWString& name, const void* data, std::uint32_t length);
  // ReadChunkedValue, and each chunk's size into `sizes` when given.
  int ReadStoredChunks(GDriverData* printer, const RWWString& name, void* buffer,
                       std::uint32_t size, std::uint32_t& got, std::uint32_t* sizes);
  int ReadPseudoChunkedValue(const RWWString& name, void* buffer, std::uint32_t size,
                             std::uint32_t& got, std::uint32_t* sizes);

  int WritePrinterKeyString(GDriverData* printer, const RWWString& key, const RWWString& name,
                            const RWWString& value) override;
  RWWString ReadPrinterKeyString(GDriverData* printer, const RWWString& key, const RWWString& name,
                                 const RWWString& fallback) override;
  std::uint32_t ReadMachineDword(const RWWString& key, const RWWString& name,
                                 std::uint32_t fallback) override;
  // Opens the existing key for writing; when the value is missing writes
  // it. Answers the first failure's code (opening, writing, closing), else
  // 0.
  std::int32_t EnsureMachineDword(const RWWString& key, const RWWString& name,
                                  std::uint32_t value) override;
  std::uint32_t ReadUserDword(const RWWString& key, const RWWString& name,
                              std::uint32_t fallback) override;
  int WriteUserDword(const RWWString& key, const RWWString& name, std::uint32_t value) override;

  // The printer handle that `printer`'s context uses now, or null when it
  // has none (or `printer` is null). The handle stays the context's.
  virtual platform::HANDLE GetPrinterHandle(GDriverData* printer) = 0;

  // The models' names of the services, hidden by the overrides above.
  using GOSFactory::GetPrinterDataString;
  using GOSFactory::LoadNamedObject;
  using GOSFactory::ReadMachineString;
  using GOSFactory::ReadUserString;
  using GOSFactory::StoreNamedObject;

 private:
  // Whether `name`'s bytes are a flat settings record (see above).
  bool UsesFlatRecord(GDriverData* printer, const RWWString& name);

  std::atomic<std::int16_t> time_bias_{0};
  std::atomic<std::int32_t> named_object_encoding_{-1};  // -1: not read yet
};
