// GDevModeBuffer: the abstract base of the device-mode settings (a
// device-mode record bound to one printer's driver data and the settings
// model decoded from it). It holds the 1172-byte record (layout in
// dev_mode_record.h), the settings model and the flat settings codec, and
// does the copying, the public- and private-part copies, and the store and
// load of the model in the private part. GDriverSettings
// (driver_settings.h) adds the field mapping and the checks,
// GDevModeSettings (dev_mode_settings.h) the printer binding.
//
// The private part's data is the model, written into a 4096-byte block and
// compressed with zlib into the 902 data bytes:
//   encoding 1      the flat settings record, 16-bit numbers (binary
//                   stream)
//   other encodings the object-graph form of the model (portable text)
// The encoding is the job settings' kDefaultSettingsKey -> kKeyLocksKey ->
// kStoredEncodingKey, read once when first needed. The model is stored with its
// serial numbers cleared: the object-graph form writes them, and a model
// decoded and stored again (a merge, a conversion) must give the same bytes.
// Reading taken: the clearing belongs to the store itself, not only to the
// context's save before SetSettings, whose deep copy would give the composites
// new numbers and whose merge path does not clear at all. Two older forms are
// still read: flag 1, the object-graph form in portable text packed with
// zlib; flag 5, the same packed with LZW. A model read from them is
// rebuilt in the current form (flat-encoded, decoded on the codec's
// template) and the driver data's value migration (CopyMappedValues)
// carries its old values over.
//
// Every record read goes through the checked view (GDevModeView): only the
// data length's bytes of a private part that is ours are expanded, only the
// bytes the expansion wrote are decoded, and a stored root that is not an
// attribute composite (kind 757) is freed and counts as nothing.
//
// Ownership: the object owns its record and model; the driver data is the
// caller's and outlives the object. What GetSettings answers stays the
// object's. Threads: one caller at a time (its context's).
#pragma once

#include <cstdint>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "driver/dev_mode_settings_interface.h"
#include "driver/devmode/dev_mode_record.h"
#include "flat_settings/flat_settings_codec.h"

class GDriverDataImp;

// Flags of LoadSettings.
inline constexpr std::uint32_t kDmLoadCurrent = 0;
inline constexpr std::uint32_t kDmLoadObjectGraph = 1;  // the object-graph form
inline constexpr std::uint32_t kDmLoadLzw = 4;          // packed with LZW
inline constexpr std::uint32_t kDmLoadOlder = kDmLoadObjectGraph;
inline constexpr std::uint32_t kDmLoadOldest = kDmLoadObjectGraph | kDmLoadLzw;

// The record of a device-mode pointer, as bytes.
inline const std::uint8_t* DevModeBytes(const platform::DevModeW* record) {
  return reinterpret_cast<const std::uint8_t*>(record);
}
inline std::uint8_t* DevModeBytes(platform::DevModeW* record) {
  return reinterpret_cast<std::uint8_t*>(record);
}

class GDevModeBuffer : public GDevModeSettingsInterface {
 public:
  ~GDevModeBuffer() override;

  // The virtual operations below are in slot order.
  // Takes `driver_data` (not null) and rewrites the driver name when it
  // differs from the driver data's; 1.
  virtual int AttachDriverData(GDriverDataImp* driver_data);
  // Exports the record into `out`: with an application flag of 0x40100
  // only the 220 public bytes (dmSize 220, dmDriverExtra 0 in the copy),
  // else the public part, the private header (the driver name's last byte
  // 0 in the copy) and the data area's capacity bytes. 0 for null, else 1.
  // REQUIRES: `out` holds 1172 bytes (220 under those flags).
  virtual int CopyDevModeTo(platform::DevModeW* out);
  // The same into a caller's buffer of `out_size` bytes, never written
  // past: a record that does not fit goes out as its public part alone
  // (dmDriverExtra 0), and less than the public part gets nothing (0).
  int CopyDevModeTo(platform::DevModeW* out, std::uint32_t out_size);

  // The device name, and the driver name as 8-bit text.
  RWWString GetDeviceName() const;
  RWCString GetDriverName() const;
  // The record (the object's own, 1172 bytes) and the model.
  platform::DevModeW* GetDevMode() override;
  GAttributeComposite* GetSettings() override { return settings_.get(); }
  // The sizes.
  std::uint32_t GetDevModeSize() const { return kDmRecordSize; }
  std::uint32_t GetPublicSize() const { return kDmPublicSize; }
  std::uint32_t GetPrivateHeaderSize() const { return kDmPrivateHeaderSize; }
  std::uint32_t GetPrivateDataSize() const { return kDmPrivateDataSize; }
  std::uint32_t GetTotalSize() const { return GetDevModeSize(); }
  // 1 once the printer's own record was accepted.
  int IsFromPrinter() override { return from_printer_; }
  // The model's kXResolutionKey and kYResolutionKey (0 without).
  std::uint16_t GetXResolution() override;
  std::uint16_t GetYResolution() override;
  // Copies `count` bytes; 1.
  // REQUIRES: both hold `count` bytes.
  static int CopyPrivateData(std::uint8_t* destination, const std::uint8_t* source,
                             std::size_t count);
  // Clears the serial numbers of `model` and writes it into the data
  // area of `record` (see the file comment), zeros behind it: the number of
  // compressed bytes, or 0 when the stream fails or the packed model does
  // not fit the 902 bytes (the area then holds what the packing reached).
  // The caller writes the data length.
  // REQUIRES: `record` is a whole record (1172 bytes).
  virtual std::uint16_t StoreSettings(GAttributeComposite* model, platform::DevModeW* record);
  // A new model (the caller's) read from `record`'s private part in the
  // form `flags` names; null when there is none or it does not read.
  virtual GAttributeComposite* LoadSettings(const platform::DevModeW* record, std::uint32_t flags);
  // The 220 public bytes out of / into the record; 1. SetPublicPart
  // answers 0, copying nothing, when `in` has no 220-byte public part.
  int GetPublicPart(platform::DevModeW* out) const;
  int SetPublicPart(const platform::DevModeW* in);

  // The context value (u32 at 256) and word (u16 at 260).
  std::uint32_t GetContextValue() const { return LoadU32(record_, kDmContextValue); }
  void SetContextValue(std::uint32_t value) { StoreU32(record_, kDmContextValue, value); }
  std::uint16_t GetContextWord() override { return LoadU16(record_, kDmContextWord); }
  void SetContextWord(std::uint16_t word) { StoreU16(record_, kDmContextWord, word); }

  GDriverDataImp* GetDriverData() const { return driver_data_; }
  // The encoding of the stored model (read when first needed).
  std::int16_t Encoding();

 protected:
  // Zeroes the record and writes the private header: total size, header
  // size, format version and word; data length 0.
  // REQUIRES: `driver_data` is not null.
  explicit GDevModeBuffer(GDriverDataImp* driver_data);

  // The current form, or an older one rebuilt: LoadSettings(`record`, 0),
  // else the older forms (1, then 5) rebuilt by Migrate. Null when none
  // reads.
  GAttributeComposite* LoadAnyForm(const platform::DevModeW* record);
  // Rebuilds `loaded` (taken) in the current form and carries its old
  // values over; null when it cannot be rebuilt.
  GAttributeComposite* Migrate(GAttributeComposite* loaded);
  // Keeps `model` (taken; null: none) as the model, freeing the old one;
  // `as_read`: it is as reading the stored form gives it back.
  void ReplaceSettings(GAttributeComposite* model, bool as_read = false) {
    settings_.reset(model);
    model_as_read_ = as_read;
  }
  // Gives the model up to the caller (null without one).
  GAttributeComposite* ReleaseSettings() { return settings_.release(); }
  // Whether the model is as read back from the stored form; a child added
  // to it ends that (MarkModelGrown).
  bool IsModelAsRead() const { return model_as_read_; }
  void MarkModelGrown() { model_as_read_ = false; }

  std::uint8_t* Record() { return record_; }
  const std::uint8_t* Record() const { return record_; }

  std::uint32_t from_printer_ = 0;
  std::uint32_t emf_data_type_ = 0;

 private:
  // Decodes the first `length` bytes of `block`: the flat record when
  // `flat`, else one object of the object-graph form in portable text.
  GAttributeComposite* Decode(const char* block, std::size_t length, bool flat);

  GDriverDataImp* driver_data_;  // not owned
  std::uint8_t record_[kDmRecordSize] = {};
  std::int16_t encoding_ = -1;  // -1 until read
  GFlatSettingsCodec codec_;
  std::unique_ptr<GAttributeComposite> settings_;
  bool model_as_read_ = false;
};
