// GCommandCompositeOnDisk: a command that holds a list of commands in a
// record-store file instead of in memory. The page-holding filters make
// one per held page or stretch of pages, put the commands that pass
// through them into it, and later replay or take them back; with the
// delete flag 1 (the filters' choice) the file goes when the list does.
//
// The list embeds an MPersistentCompositeOnDisk handle, which owns the link
// to the shared file; every record operation goes to it. Only commands
// (kind 601) are put. One distinguished command is kept under the fixed key
// kKeyedCommandKey (PutKeyed, TakeKeyed).
//
// Replay: the list's child iterator first restores the job's font database
// when the attribute set names one (string attributes kFontFilePathKey, the
// font database's file, and kJobCookieKey, the job's cookie in base 16: the
// render-time driver data of that cookie, found through the driver server,
// loads its font database from the file under the spool lock and then the
// database's own lock, spool_lock.h), then reopens the handle and walks its
// records; deleting the iterator closes the handle. The iterator's Failed
// answers whether the store's file failed meanwhile (a file gone since the
// list was closed is not made anew, persistent_composite_on_disk.h) or the
// font database did not load from the file named (gone or damaged): then
// it hands out no record, so that no text replays without its font.
//
// The list's file is a spooled one, written and read back by one job: its
// handle is checksummed (store_format.h), so that a page changed on disk
// fails instead of replaying changed graphics.
//
// Class id 606, registered as "GCommandCompositeOnDisk"; kind test 606,
// 601 and 751.
//
// Stored form, after the GCommand part (output/core/command.h):
//   version  u32  kCommandCompositeOnDiskVersion
//   handle   the embedded MPersistentCompositeOnDisk as one object (its
//            token and stored form, persistent_composite_on_disk.h)
// A restore of version 1 restores the handle in place, which opens its file
// only as the handle's restore allows.
//
// Ownership and threads: as GCommand; the store's operations run under its
// process-wide lock.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "output/core/command.h"
#include "persist/record_iterator.h"
#include "store/persistent_composite_on_disk.h"

inline constexpr RWClassID kGCommandCompositeOnDiskId = 606;
inline constexpr std::uint32_t kCommandCompositeOnDiskVersion = 1;

class GCommandCompositeOnDisk : public GCommand {
 public:
  // Key 0; the handle without a file, delete flag 0.
  GCommandCompositeOnDisk();
  // On the file `name`, opened at once; the handle gets the flag and key.
  GCommandCompositeOnDisk(const RWWString& name, const std::uint32_t& delete_flag,
                          const std::uint32_t& key);
  // The same, holding `attributes` as the command's attribute set.
  GCommandCompositeOnDisk(const RWWString& name, GAttributeComposite* attributes,
                          const std::uint32_t& delete_flag, const std::uint32_t& key);
  // The GCommand copy and a copy of the handle, which shares the file.
  GCommandCompositeOnDisk(const GCommandCompositeOnDisk& other);
  // The handle goes first (closing it, and deleting the file when its flag
  // is 1), then the command part.
  ~GCommandCompositeOnDisk() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The GCommand part, 4 and the handle as an object.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // 606, 601 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same object; or the same class id, equal command parts and equal
  // handles.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // Stores the object only when it is a command; anything else is ignored.
  void PutRecord(const GCountedPtr& record) override;
  GCountedPtr TakeRecordEqual(const MPersistentObject* object) override;
  GCountedPtr TakeRecordByKey(const std::uint32_t& key) override;
  GCountedPtr TakeRecordByClassId(const RWClassID& id) override;
  bool ReplaceRecordByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceRecordByClassId(const RWClassID& id, MPersistentObject* object) override;
  GCountedPtr FindPtrByKey(const std::uint32_t& key) override;
  GCountedPtr FindPtrByClassId(const RWClassID& id) override;
  GCountedPtr FindPtrEqual(const MPersistentObject* object) override;
  // The embedded handle, not the list.
  MPersistentObject* AsComposite() override;
  std::uint32_t EntryCount() const override;
  std::uint32_t NodeCount() const override;
  // The replay iterator (above); the caller deletes it. Null when the
  // handle has no implementation.
  MRecordIterator* NewChildIterator() override;
  // No device handles the list itself: 0.
  std::uint16_t Execute(GPeripheral& device) override;

  // Takes and drops the command stored under kKeyedCommandKey, gives
  // `command` that key and puts it (a null pointer puts nothing).
  virtual void PutKeyed(const GCountedPtr& command);
  // Takes the command stored under kKeyedCommandKey; empty when none.
  virtual GCountedPtr TakeKeyed();
  // The handle's ReplaceRecordEqual.
  virtual bool ReplaceRecordEqual(const MPersistentObject* object, MPersistentObject* new_object);

  // Closes the handle (the index is written, the shared file let go).
  void Close();
  // The handle's Status: non-zero once the store's file failed.
  std::uint32_t Status();
  bool IsInError() { return Status() != 0; }

  MPersistentCompositeOnDisk& Handle() { return handle_; }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Loads the job's font database named by the attribute set, if any;
  // false when the load failed.
  bool LoadFontDatabase();

  MPersistentCompositeOnDisk handle_;
};

// The command list's class, for registration.
std::span<const RWClassRegistration> CommandCompositeOnDiskClasses();
