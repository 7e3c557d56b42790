// GDeviceValueReader: learns a printer's installed options (memory, disks,
// trays, output bins, duplex path, media types, accessories and their
// options) from the device values that the registry agent (plm_provider.h)
// writes into the printer's data, and sets them into a configuration model.
// The provider makes one per update (GPLMProvider::OpenEx); the driver
// data's UpdateFromDevice runs UpdateConfiguration on its job settings with
// match flag 1 and deletes it.
//
// The exchange, on the reader's own printer handle (opened with every right
// at construction, closed with the reader):
//   1. construction writes "RegistryAgentName" = "KVPLM" (REG_SZ) and
//      "KvrdbUpdateRequest" = 0 (REG_DWORD), and reads "MODEL_NAME";
//   2. the request pass writes every value name with its placeholder:
//      REG_DWORD 6400, REG_SZ " " (one space, stored without terminator),
//      or an empty REG_BINARY;
//   3. the agent is asked: "KvrdbUpdateRequest" = 1, then request codes 6
//      and 1 (a failure writes the request back as 0: result 602); the
//      provider disconnects afterwards in every case;
//   4. the read pass reads the values back; one that still holds its
//      placeholder is unknown and changes nothing.
// Indexed names ("PHD%d-MODEL" ...) run over a range attribute of the
// model: accessories kAccessoryRangeKey, trays kTrayRangeKey, output bins
// kBinRangeKey, disks kDiskRangeKey, media types kMediaTypeRangeKey. The
// model's printer composite (kPrinterModelKey) is handled child by child
// through a table of (key, class id, handler); see the .cpp.
//
// Results of UpdateConfiguration: 0 done; 1 no printer composite, or a
// value could not be read; 6 nothing handled; 8 the printer's model is not
// one of the supported names (match flag set); 602 the agent could not be
// asked. A composite's result is the last one other than 0 and 6, else 0
// when some child answered 0, else 6 (so an empty one answers 6).
//
// Agent values are outside data, read through one checked reader each:
//   - a value larger than kMostValueBytes is unreadable;
//   - a number is a REG_DWORD of exactly 4 bytes, or (where binaries are
//     taken) a REG_BINARY whose first four bytes, zero-filled when it is
//     shorter, are read big-endian up to the last non-zero byte;
//   - a text is REG_SZ, taken up to its first NUL or its last whole unit (a
//     trailing odd byte is dropped), then made 8-bit (UTF-8);
//   - an accessory's option count above kMostOptions is unknown, like 6400;
//   - the media-name mask has bits for indexes 1 to 32 only: a larger index
//     is never in it (unless the mask is still 6400, which asks for all).
//
// Readings taken: the keys that accessory options set, and the ranges,
// lists and names the handlers read, are looked up in the model given to
// UpdateConfiguration (the job settings), depth first; memory in kilobytes
// from "hrMemorySize" and "PAGE-FRAME-MEMORY-AVAILABLE" becomes megabytes,
// at most 32767; an unknown number of media names (6400) reads no names;
// the accessory options' second request answers 602 when it fails, like the
// first; an output-bin range from kLowBinRangeKey and kHighBinRangeKey runs
// from the value of kLowBinRangeKey to the value of kHighBinRangeKey.
//
// Ownership: the reader owns its printer handle; the provider and driver
// data it names outlive it. Threads: one caller at a time; no lock.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "persist/value_source.h"
#include "platform/host/types.h"

class GAttributeComposite;
struct GDeviceSlotEntry;
class GDriverData;
class GPLMProvider;
class MPersistentObject;

// Results of UpdateConfiguration.
inline constexpr std::uint32_t kDeviceValuesDone = 0;
inline constexpr std::uint32_t kDeviceValuesFailed = 1;
inline constexpr std::uint32_t kDeviceValuesNotHandled = 6;
inline constexpr std::uint32_t kDeviceValuesWrongModel = 8;
inline constexpr std::uint32_t kDeviceValuesNoAgent = 602;
// Placeholders.
inline constexpr std::uint32_t kDeviceValuePlaceholder = 6400;
inline constexpr char16_t kDeviceTextPlaceholder[] = u" ";
// Bounds on the agent's values.
inline constexpr std::uint32_t kMostValueBytes = 0x10000;
inline constexpr std::uint32_t kMostOptions = 64;
// Values of the exchange that others read too.
inline constexpr char16_t kUpdateRequestValue[] = u"KvrdbUpdateRequest";
inline constexpr char16_t kAgentNameValue[] = u"RegistryAgentName";
inline constexpr char16_t kAgentNameText[] = u"KVPLM";
inline constexpr char16_t kModelNameValue[] = u"MODEL_NAME";

class GDeviceValueReader : public GNamedValueSource {
 public:
  // Keeps `narrow_name`, takes the printer name from `driver_data`, opens
  // the printer with every right (none when that fails) and runs the
  // construction step. REQUIRES: `provider` (may be null: the agent is then
  // never reached) and `driver_data` outlive the reader.
  GDeviceValueReader(GPLMProvider* provider, const RWCString& narrow_name, GDriverData* driver_data,
                     const RWWString& wide_name);
  ~GDeviceValueReader() override;

  // The virtual operations below are in slot order.
  // 1 when "MODEL_NAME" was read at construction (non-empty).
  std::int32_t IsAvailable() const override;
  // The exchange on `model`'s printer composite (kPrinterModelKey); see above.
  std::uint32_t UpdateConfiguration(MPersistentObject* model, std::uint32_t match) override;

  // Value access on the reader's handle; each answers 1 on success.
  int ReadDword(const RWWString& name, std::uint32_t& value);
  int ReadDwordOrBinary(const RWWString& name, std::uint32_t& value);
  int ReadText(const RWWString& name, RWCString& text);
  int ReadBinary(const RWWString& name, RWCString& bytes);
  int WriteDword(const RWWString& name, std::uint32_t value);
  int WriteText(const RWWString& name, const RWWString& text);
  int WriteBinary(const RWWString& name, const RWCString& bytes);
  int WriteUpdateRequest(std::uint32_t value);

  const RWCString& GetModelName() const { return model_name_; }
  platform::HANDLE GetPrinterHandle() const { return printer_; }

 private:
  struct Accessory {
    RWCString model;   // "PHD%d-MODEL"
    RWCString memory;  // "PHD%d-DEVICE-MEMORY", empty when unreadable
  };

  // The handler of `child` by the table (key and class id): its answer, or
  // kDeviceValuesNotHandled without a row. Mode 0 is the request pass, 1
  // the read pass.
  std::uint32_t Dispatch(MPersistentObject* child, int mode);
  // Every child of a composite by the table; the composite's result.
  std::uint32_t HandleChildren(MPersistentObject* composite, int mode);
  std::uint32_t HandlePrinterModel(MPersistentObject* child, int mode);
  std::uint32_t HandleAvailableMemory(MPersistentObject* child, int mode);
  std::uint32_t HandleMediaPath(MPersistentObject* child, int mode);
  std::uint32_t HandleMemorySize(MPersistentObject* child, int mode);
  std::uint32_t HandlePageFrameMemory(MPersistentObject* child, int mode);
  std::uint32_t HandleMopyMode(MPersistentObject* child, int mode);
  std::uint32_t HandleTray1Capacity(MPersistentObject* child, int mode);
  std::uint32_t HandleAccessories(MPersistentObject* child, int mode);
  std::uint32_t HandleMediaNames(MPersistentObject* child, int mode);
  std::uint32_t HandleDisks(MPersistentObject* child, int mode);
  std::uint32_t HandleHeldJobs(MPersistentObject* child, int mode);
  std::uint32_t HandleScanner(MPersistentObject* child, int mode);
  std::uint32_t HandleAccessoryOptions(MPersistentObject* child, int mode);

  // A value in megabytes, and a flag set by `set` from the value.
  std::uint32_t Megabytes(const char16_t* name, MPersistentObject* child, int mode);
  std::uint32_t Flag(const char16_t* name, MPersistentObject* child, int mode,
                     bool (*set)(std::uint32_t value));

  // The raw value: its type and bytes; false when it cannot be read or
  // passes kMostValueBytes.
  bool Query(const RWWString& name, platform::DWORD& type, std::vector<platform::BYTE>& bytes);
  // Asks the agent (step 3); kDeviceValuesDone or kDeviceValuesNoAgent.
  std::uint32_t AskAgent();
  // The minimum and maximum of the model's range attribute `key`; false
  // (an empty walk) without one.
  bool IndexRange(std::uint32_t key, int& first, int& last);
  // A 32-bit value in mode 0 (its placeholder; answers 0) or 1 (the read
  // value into `value`: false when unreadable).
  bool ScalarPass(const char16_t* name, int mode, std::uint32_t& value);
  void MatchAccessories(GAttributeComposite& devices, const std::vector<Accessory>& accessories,
                        const std::vector<GDeviceSlotEntry>& slots);
  void NameOutputBins(GAttributeComposite& devices, const std::vector<RWCString>& names);

  RWCString model_name_;
  platform::HANDLE printer_ = nullptr;  // owned
  RWWString printer_name_;
  RWCString narrow_name_;
  MPersistentObject* model_ = nullptr;  // during an update only
  std::uint32_t match_ = 0;
};
