// The parts of the printer's paper-handling devices
// (paper_handling_device.h): GTray, one input tray of a paper source, and
// GBin, one output bin of an output device. The driver entry builds them
// from the printer's stored bin and tray maps (trays with kTrayKey, bins with
// kBinKey); the user interface and the filters read their ids, mapped values
// and media.
//
// Both carry a name, a 16-bit id (the paper-source or output-bin code that
// settings and filters use), values 1 and 2 (default 0), mapped values 1
// and 2 (signed, default -1) and a display string (display_string.h) held
// by value. A tray also owns one medium (media.h) or none: it deletes it
// when it is replaced and with the tray. A bin adds values 5 and 6
// (default 0). Mapped value 1 of a tray is what the printer reports for the
// tray's input slot (MatchTraysToDeviceValues below; the manual-duplex
// filter treats 1 specially); value 5 of a bin tells the manual-duplex
// filter a bin whose value is 1 from any other. Nothing gives the other
// values a meaning: they are stored, copied and compared.
//
// Class ids 1001 "GTray" and 1009 "GBin"; kind tests the own id, 753, 751.
// A tray's Execute hands it to GPeripheral::SetTray and passes the answer
// on (cut to 16 bits); a bin's answers 1. Content equality: the same
// object, or the same class id and key, names equal byte for byte, equal
// ids, values and display strings, and for trays both media absent or both
// present and equal in content.
//
// Stored form, after the GAttribute part (attribute.h):
//   version          u32  kPaperPartVersion (2)
//   name             string (u32 length, bytes)
//   id               u16
//   value 1, 2       u32 each
//   mapped 1, 2      i32 each
//   GTray:  medium flag  u32  1 when a medium follows, else 0
//           medium       when the flag is 1: a new object of class 1002 with
//                        its stored form (rwstore.h)
//   GBin:   value 5, 6   u32 each
//   display string   a new object of class 786 with its stored form
// A version above 2 reads nothing further and keeps every field. Any other
// lets the tray delete its medium and reads the fields in order; only a
// version-2 record holds the display string (an older one keeps it). The
// medium and the display string are read only from new objects of their
// own class, which nothing later may refer back to: the tray owns its
// medium outright, and drops one that could not be read whole. Stored sizes: the attribute part,
// the name's length and 30 (tray) or 34 (bin), the medium's token and size when present, and the
// display string's token (2) and size.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "config/attributes/attribute.h"
#include "config/attributes/display_string.h"
#include "config/paper/media.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

class MChildIterator;

inline constexpr RWClassID kGTrayId = 1001;
inline constexpr RWClassID kGBinId = 1009;
inline constexpr std::uint32_t kPaperPartVersion = 2;
// The keys the driver entry gives trays and bins.
inline constexpr std::int32_t kUnmappedValue = -1;

// What trays and bins share: the fields before and after their own, and
// the frame of their stored form. `Self` supplies OwnFieldsSize(),
// SameOwnFields(const Self&), and the templates WriteOwnFields(out),
// ReadOwnFields(in) (false when the data is bad) and ForgetOwnFields(),
// which runs before the fields are read.
template <class Self, RWClassID kId>
class GPaperPart : public MPersistentClass<Self, GAttribute, kId> {
  using Class = MPersistentClass<Self, GAttribute, kId>;

 public:
  // The id 0, values 0 and 0, mapped values -1 and -1, empty name and
  // display string, key 0.
  GPaperPart() = default;
  GPaperPart(const RWCString& name, std::uint16_t id, std::uint32_t value1, std::uint32_t value2,
             std::int32_t mapped1, std::int32_t mapped2, const std::uint32_t& key)
      : Class(key),
        name_(name),
        id_(id),
        value1_(value1),
        value2_(value2),
        mapped1_(mapped1),
        mapped2_(mapped2) {}
  GPaperPart(const GPaperPart& other) = default;
  GPaperPart& operator=(const GPaperPart& other) = default;

  // The name, through which it may also be changed.
  RWCString& GetName() { return name_; }
  const RWCString& GetName() const { return name_; }
  std::uint16_t GetId() const { return id_; }
  std::uint32_t GetValue1() const { return value1_; }
  std::uint32_t GetValue2() const { return value2_; }
  std::int32_t GetMappedValue1() const { return mapped1_; }
  std::int32_t GetMappedValue2() const { return mapped2_; }
  const GDisplayString& GetDisplayString() const { return display_string_; }

  void SetValue2(std::uint32_t value) { value2_ = value; }
  void SetMappedValue1(std::int32_t value) { mapped1_ = value; }
  // Assigns it (key and serial number of the display string included).
  void SetDisplayString(const GDisplayString& display_string) { display_string_ = display_string; }

  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

 protected:
  void SetValue1(std::uint32_t value) { value1_ = value; }
  void SetName(const RWCString& name) { name_ = name; }
  GDisplayString& DisplayString() { return display_string_; }

 private:
  friend Class;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  const Self& self() const { return static_cast<const Self&>(*this); }

  RWCString name_;
  std::uint16_t id_ = 0;
  std::uint32_t value1_ = 0;
  std::uint32_t value2_ = 0;
  std::int32_t mapped1_ = kUnmappedValue;
  std::int32_t mapped2_ = kUnmappedValue;
  GDisplayString display_string_;
};

class GTray final : public GPaperPart<GTray, kGTrayId> {
 public:
  // Key 0, no medium.
  GTray() = default;
  // Values 0, 0, -1, -1, no medium.
  GTray(const RWCString& name, std::uint16_t id, const std::uint32_t& key)
      : GPaperPart(name, id, 0, 0, kUnmappedValue, kUnmappedValue, key) {}
  // The tray takes `medium` over (null: none).
  GTray(const RWCString& name, std::uint16_t id, std::uint32_t value1, std::uint32_t value2,
        std::int32_t mapped1, std::int32_t mapped2, GMedia* medium, const std::uint32_t& key);
  // With the display string (`display_id`, `display_text`,
  // `display_module`); a null text or module is empty.
  GTray(std::uint16_t display_id, const RWCString& name, std::uint16_t id, std::uint32_t value1,
        std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2, GMedia* medium,
        const char* display_text, const char* display_module, const std::uint32_t& key);
  // The same without a display module.
  GTray(std::uint16_t display_id, const RWCString& name, std::uint16_t id, std::uint32_t value1,
        std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2, GMedia* medium,
        const char* display_text, const std::uint32_t& key)
      : GTray(display_id, name, id, value1, value2, mapped1, mapped2, medium, display_text, nullptr,
              key) {}
  // Every field; the medium into a new one of the tray's own.
  GTray(const GTray& other);
  // The same (the old medium deleted first); nothing for itself.
  GTray& operator=(const GTray& other);

  using GPaperPart::SetValue1;

  // Deletes the medium held and takes `medium` over (null allowed).
  void SetMedium(GMedia* medium) { medium_.reset(medium); }
  // The medium held, now the caller's; the tray holds none afterwards.
  GMedia* TakeMedium() { return medium_.release(); }
  GMedia* GetMedium() const { return medium_.get(); }

  // GPeripheral::SetTray with this tray; its answer, cut to 16 bits.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GPaperPart;

  RWSize OwnFieldsSize() const;
  bool SameOwnFields(const GTray& other) const;
  template <class Out>
  void WriteOwnFields(Out& out) const;
  template <class In>
  bool ReadOwnFields(In& in);
  void ForgetOwnFields() { medium_.reset(); }

  std::unique_ptr<GMedia> medium_;
};

class GBin final : public GPaperPart<GBin, kGBinId> {
 public:
  // Key 0, values 0, 0, -1, -1, 0, 0.
  GBin() = default;
  GBin(const RWCString& name, std::uint16_t id, const std::uint32_t& key)
      : GPaperPart(name, id, 0, 0, kUnmappedValue, kUnmappedValue, key) {}
  // With the display string (`display_id`, `display_text`,
  // `display_module`); a null text or module is empty.
  GBin(std::uint16_t display_id, const RWCString& name, std::uint16_t id, std::uint32_t value1,
       std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2, std::uint32_t value5,
       std::uint32_t value6, const char* display_text, const char* display_module,
       const std::uint32_t& key);
  // The same without a display module.
  GBin(std::uint16_t display_id, const RWCString& name, std::uint16_t id, std::uint32_t value1,
       std::uint32_t value2, std::int32_t mapped1, std::int32_t mapped2, std::uint32_t value5,
       std::uint32_t value6, const char* display_text, const std::uint32_t& key)
      : GBin(display_id, name, id, value1, value2, mapped1, mapped2, value5, value6, display_text,
             nullptr, key) {}
  GBin(const GBin& other) = default;
  GBin& operator=(const GBin& other) = default;

  using GPaperPart::SetName;

  std::uint32_t GetValue5() const { return value5_; }
  std::uint32_t GetValue6() const { return value6_; }
  void SetValue5(std::uint32_t value) { value5_ = value; }
  void SetValue6(std::uint32_t value) { value6_ = value; }

  // No device operation: answers 1.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GPaperPart;

  RWSize OwnFieldsSize() const { return 8; }
  bool SameOwnFields(const GBin& other) const {
    return value5_ == other.value5_ && value6_ == other.value6_;
  }
  template <class Out>
  void WriteOwnFields(Out& out) const;
  template <class In>
  bool ReadOwnFields(In& in);
  void ForgetOwnFields() {}

  std::uint32_t value5_ = 0;
  std::uint32_t value6_ = 0;
};

// One entry of the table of a paper source's input slots that the device
// values give (12 bytes): the input-slot index, the value the printer
// reports for that slot, and a third word that matching does not read.
struct GDeviceSlotEntry {
  std::uint32_t slot;
  std::uint32_t value;
  std::uint32_t extra;
};
static_assert(sizeof(GDeviceSlotEntry) == 12);

// Whether every tray that `trays` walks (the children of a paper source:
// GPaperHandlingDevice::NewChildIterator) agrees with the first of the
// `count` entries of `table` that has the tray's input slot: its mapped
// value 1 must equal the entry's value. A tray's id gives the slot: 1 and
// 2 give 2, 3 gives 3, 4 and 13 give 5, 5 gives 4, 6 gives 1, 20 and 28
// give 6, 21 to 26 the id minus 13, 29 gives 7; any other id answers 0. A
// slot the table lacks leaves the tray unchecked; children that are no
// trays are passed over. 1 when all agree, 0 otherwise, and 0 when the walk
// meets no tray (or is null).
std::uint32_t MatchTraysToDeviceValues(MChildIterator* trays, const GDeviceSlotEntry* table,
                                       std::uint16_t count);

extern template class MPersistentClass<GTray, GAttribute, kGTrayId>;
extern template class MPersistentClass<GBin, GAttribute, kGBinId>;
extern template class GPaperPart<GTray, kGTrayId>;
extern template class GPaperPart<GBin, kGBinId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PaperPartClasses();
