// GPaperHandlingDevice: one unit of the printer's paper path: a paper source
// (device type 0, whose parts hold input trays) or an output device (type
// 1, whose parts hold output bins). The devices are the children of the
// paper-handling composite of the job settings (kPaperHandlingKey, the "bin
// pool"); the driver entry builds them from the printer's stored maps and
// matches them against the device values, the user interface and the filters
// read them.
//
// Parts. A device keeps its parts by a 16-bit part id, each through a
// counted pointer, and one of them is current. A part is normally an
// attribute composite of trays or bins (paper_parts.h), one variant of the
// unit's equipment; the trays of a paper source (the bins of an output
// device) are the children of its current part, which NewChildIterator
// walks. Id 0 is a part like any other: the current part is the part under
// the current id, when there is one. The first part stored becomes current
// (the current id starts at 0); SetCurrentPartId moves to present ids only;
// removing the current part makes the first remaining part current, or
// leaves 0.
//
// The part dictionary has exactly 16 buckets: a part goes to bucket id mod
// 16, at the end of that bucket's list. Every walk over the parts (saving,
// GetPartIds, picking a new current part, copying) goes bucket 0 to 15,
// each bucket in list order: parts 17, 1 and 2 stored in that order are
// walked 17, 1, 2. Storing under a present id lets go of the old part and
// puts the new one at the end of its bucket.
//
// Other fields: a name; optional (1: an accessory that may or may not be
// installed); installed (always 1 while optional is 0); a match mode and a
// selectable flag that the device-value matching of the driver entry reads;
// a display string held by value.
//
// Class id 1010, registered as "GPaperHandlingDevice"; kind test 1010,
// 753, 751. Execute answers 1. The device is a leaf of the settings tree:
// searches do not descend into its parts.
//
// Copies (the copy constructor, CreateCopy, DeepCopy) hold deep copies of
// the parts, so that a copied bin pool never shares trays or bins with its
// source. Content equality compares the parts too, id by id (each by its
// IsEqualContent), besides the class id, the key, the name byte for byte,
// type, optional, installed, current id, match mode, selectable and the
// display string.
//
// Stored form, after the GAttribute part (attribute.h):
//   version          u32  kPaperHandlingDeviceVersion (2)
//   name             string (u32 length, bytes)
//   device type      u32
//   optional         u32
//   installed        u32
//   current part id  u16
//   part count       u32
//   parts            count times: part id u16, the part (object reference)
//   match mode       u32   (version 2 only)
//   selectable       u32   (version 2 only)
//   display string   a new object of class 786 with its stored form
//                    (version 2 only)
// A version above 2 reads nothing further and keeps every field. Any other
// lets go of every part and reads the fields in order; the stored current
// id is kept as it is. A nil part is passed over; a part that is not an
// attribute (or a back reference to an enclosing object being read) fails
// the restore and is freed unless the graph holds it elsewhere; nothing is
// allocated from the stored count (a file that cannot hold it fails at
// once). An older record sets match mode 1, and selectable 1 when two or
// more parts were read, else 0, and keeps the display string. Stored size:
// the attribute part, the name's length, 26, 2 and the graph size of each
// part, 8, and the display string's token (2) and size.
//
// Ownership: the device holds its parts through counted pointers (under
// this file's lock record); a part dies with its last holder. Parts handed
// out by RemovePart are the caller's. Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "config/attributes/display_string.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPaperHandlingDeviceId = 1010;
inline constexpr std::uint32_t kPaperHandlingDeviceVersion = 2;
inline constexpr std::uint32_t kPaperSource = 0;
inline constexpr std::uint32_t kOutputDevice = 1;

class GPaperHandlingDevice final
    : public MPersistentClass<GPaperHandlingDevice, GAttribute, kGPaperHandlingDeviceId> {
 public:
  static constexpr std::uint16_t kBuckets = 16;

  // Key 0, empty name, type 0, optional 1, installed 0, no parts, current
  // id 0, match mode 0, selectable 0, empty display string.
  GPaperHandlingDevice() = default;
  // Installed becomes 1 when `optional` is 0.
  GPaperHandlingDevice(const RWCString& name, std::uint32_t device_type, std::uint32_t optional,
                       std::uint32_t installed, std::uint32_t match_mode, std::uint32_t selectable,
                       const std::uint32_t& key);
  // The same, with the display string (`display_id`, `display_text`,
  // `display_module`; a null text or module is empty).
  GPaperHandlingDevice(std::uint16_t display_id, const RWCString& name, std::uint32_t device_type,
                       std::uint32_t optional, std::uint32_t installed, std::uint32_t match_mode,
                       std::uint32_t selectable, const char* display_text,
                       const char* display_module, const std::uint32_t& key);
  // Every field, with deep copies of the parts under the same ids in the
  // same order; nobody holds the copy.
  GPaperHandlingDevice(const GPaperHandlingDevice& other);
  GPaperHandlingDevice& operator=(const GPaperHandlingDevice&) = delete;
  // Lets go of every part.
  ~GPaperHandlingDevice() override;

  // Lets go of the part under `id` (if any) and holds `part` there, at the
  // end of its bucket; `id` becomes current when the current id is 0. A
  // null part changes nothing. Taken, the part is held; when memory runs
  // out it is refused (destroyed when nobody else holds it), as an
  // attribute composite refuses.
  void SetPart(std::uint16_t id, GAttribute* part);
  // Takes the part under `id` out and answers it, now the caller's: the
  // part itself when the device held its last reference, else a copy;
  // null when there is none. When it was current, the first remaining part
  // in walking order becomes current (none: 0).
  GAttribute* RemovePart(std::uint16_t id);
  GAttribute* GetPart(std::uint16_t id);
  const GAttribute* GetPart(std::uint16_t id) const;
  bool HasPart(std::uint16_t id) const { return GetPart(id) != nullptr; }
  // 1 and `id` current when the device has that part; else 0, unchanged.
  std::uint32_t SetCurrentPartId(std::uint16_t id);
  std::uint16_t GetCurrentPartId() const { return current_part_id_; }
  // Appends every part id, in walking order.
  void GetPartIds(RWShortVector& ids) const;
  std::uint32_t GetPartCount() const { return part_count_; }
  // Over all parts' EntryCount: the least non-zero one (0 when none is),
  // and the largest (0 without parts).
  std::uint32_t GetMinPartEntries() const;
  std::uint32_t GetMaxPartEntries() const;

  // Optional = `optional`; installed becomes 1 when it is 0.
  void SetOptional(std::uint32_t optional);
  // Only for an optional device: installed = `installed` and 1; else 0,
  // unchanged.
  std::uint32_t SetInstalled(std::uint32_t installed);
  // Each stores the value and answers the previous one.
  std::uint32_t SetMatchMode(std::uint32_t match_mode);
  std::uint32_t SetSelectable(std::uint32_t selectable);

  // Copies the name into `name` and answers it.
  RWCString& GetName(RWCString& name) const;
  std::uint32_t GetDeviceType() const { return device_type_; }
  std::uint32_t IsOptional() const { return optional_; }
  std::uint32_t IsInstalled() const { return installed_; }
  std::uint32_t GetMatchMode() const { return match_mode_; }
  std::uint32_t IsSelectable() const { return selectable_; }
  const GDisplayString& GetDisplayString() const { return display_string_; }
  // Assigns it (key and serial number of the display string included).
  void SetDisplayString(const GDisplayString& display_string) { display_string_ = display_string; }

  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // The current part's child iterator; the empty iterator when there is no
  // current part. Null when memory runs out.
  MChildIterator* NewChildIterator() override;
  // No device operation: answers 1.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  struct PartNode {
    std::uint16_t id;
    GCountedPtr part;
    PartNode* next = nullptr;
  };

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class In>
  bool RestoreParts(In& in);

  // Holds `part` under `id` at the end of its bucket, letting go of a part
  // under the same id; false (nothing changed) when memory runs out.
  bool StorePart(std::uint16_t id, GAttribute* part);
  // Takes the node of `id` out of its bucket; null when there is none.
  PartNode* UnlinkPart(std::uint16_t id);
  const PartNode* FindNode(std::uint16_t id) const;
  // Lets go of every part.
  void ClearParts();
  // Calls `visit(node)` on every node in walking order.
  template <class Visit>
  void ForEachPart(Visit visit) const;

  RWCString name_;
  std::uint32_t device_type_ = kPaperSource;
  std::uint32_t optional_ = 1;
  std::uint32_t installed_ = 0;
  std::uint16_t current_part_id_ = 0;
  PartNode* buckets_[kBuckets] = {};  // owned lists, in insertion order
  std::uint32_t part_count_ = 0;
  std::uint32_t match_mode_ = 0;
  std::uint32_t selectable_ = 0;
  GDisplayString display_string_;
};

extern template class MPersistentClass<GPaperHandlingDevice, GAttribute, kGPaperHandlingDeviceId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PaperHandlingDeviceClasses();
