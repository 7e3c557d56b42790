// MPersistentCompositeOnDisk: the handle through which a user keeps model
// objects in a record-store file instead of in memory (a filter holds a
// whole job's pages this way). All handles open on one file name share one
// MPersistentCompositeOnDiskImp, which owns the open file and does the
// work; a handle forwards every record operation to it, opening itself
// first when it is closed.
//
// Sharing: a process-wide list holds one entry {name, implementation} per
// open handle (names compared exactly). Opening a handle on a name that the
// list holds shares that implementation; otherwise a new one opens the
// file. Closing removes one entry; when none with the name is left, the
// file is closed (the index written) there and then, and the handle lets
// go of the implementation.
//
// The delete flag (1) deletes the file when the handle is destroyed, but
// only when no other handle has the file open.
//
// A checksummed handle (the command list on disk's) keeps its store as the
// checksummed image of store_format.h, in its own file or in its
// directory's spool file (spool_file.h): an image whose checksum differs
// when it is opened is damaged (Status 1). The choice is the handle's own
// and is not stored: the class that embeds the handle makes it.
//
// A new file is made only by a handle's first open (mode 0600, never over
// a link): once a handle had its file open, a reopen that finds the file
// gone fails (Status 1) instead of starting an empty store, so that a
// spooled page deleted before its replay is reported, not replayed empty.
//
// Restoring from stored data never opens or deletes a file outside the
// directory of the store being read: a handle restored while a store reads
// its records or index opens its file when it lies directly in that
// store's directory; any other restored name (and every one restored
// outside a store) is kept but refused: the handle stays closed, its
// delete flag is cleared and Status answers 1. An empty name names no file
// and leaves the restored handle closed.
//
// Class id 781, registered as "MPersistentCompositeOnDisk"; kind test 781
// and 751.
//
// Stored form, after the base part of MPersistentObject (RWFile items
// little-endian; a virtual stream carries the same items in order):
//   version      u32  kOnDiskCompositeVersion
//   state        u32  kOpen or kClosed
//   file name    8-bit string (a file: u32 length, then the bytes)
//   delete flag  u32
// A restore of version 1 closes the handle, keeps the name and the flag and
// opens the handle on the name (as above); the state read is not used.
//
// Threads: the open, close and record operations run under the store's
// process-wide lock; one handle is used by one thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "persist/record_iterator.h"

inline constexpr RWClassID kMPersistentCompositeOnDiskId = 781;
inline constexpr std::uint32_t kOnDiskCompositeVersion = 1;

class MPersistentCompositeOnDiskImp;

class MPersistentCompositeOnDisk : public MPersistentObject {
 public:
  static constexpr std::uint32_t kOpen = 1;
  static constexpr std::uint32_t kClosed = 2;

  // On the file `name` (converted with WideToNarrow), with the key; opened
  // at once, checksummed or not.
  MPersistentCompositeOnDisk(const RWWString& name, const std::uint32_t& delete_flag,
                             const std::uint32_t& key, bool checksummed = false);
  // No file; closed.
  explicit MPersistentCompositeOnDisk(const std::uint32_t& delete_flag = 0);
  // The same file, name, flag and key; the copy is open (sharing the file)
  // with an entry of its own.
  MPersistentCompositeOnDisk(const MPersistentCompositeOnDisk& other);
  // Nothing for the same object or implementation; otherwise closes this
  // handle, copies key, serial number, flag, name and implementation, and
  // opens it when `other` is open.
  MPersistentCompositeOnDisk& operator=(const MPersistentCompositeOnDisk& other);
  // Closes; deletes the file when the flag is 1 and no other handle has it
  // open.
  ~MPersistentCompositeOnDisk() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The base part, 16 and the name's length.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // 781 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same class id, file name, state, implementation and delete flag.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The record operations of MPersistentCompositeOnDiskImp, forwarded.
  void PutRecord(const GCountedPtr& record) override;
  void UpdateRecord(const GCountedPtr& record) override;
  GCountedPtr TakeRecordEqual(const MPersistentObject* object) override;
  GCountedPtr TakeRecordByKey(const std::uint32_t& key) override;
  GCountedPtr TakeRecordByClassId(const RWClassID& id) override;
  bool ReplaceRecordByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceRecordByClassId(const RWClassID& id, MPersistentObject* object) override;
  void RemoveAll() override;
  GCountedPtr FindPtrByKey(const std::uint32_t& key) override;
  GCountedPtr FindPtrByClassId(const RWClassID& id) override;
  GCountedPtr FindPtrEqual(const MPersistentObject* object) override;
  // This handle.
  MPersistentObject* AsComposite() override;
  std::uint32_t EntryCount() const override;
  std::uint32_t NodeCount() const override;
  // The implementation's iterator over the top-level records (null when
  // the handle has no implementation); the caller deletes it.
  MRecordIterator* NewChildIterator() override;
  // Replaces the object whose record has `object`'s serial number.
  virtual bool ReplaceRecordEqual(const MPersistentObject* object, MPersistentObject* new_object);

  // Under the lock; nothing when open (or refused, which sets the status).
  void Open();
  // Under the lock; nothing when closed.
  void Close();
  // While open, reads the implementation's error state (1 once the file
  // failed) and keeps it; answers the kept value. Close keeps the state the
  // file was closed with.
  std::uint32_t Status();
  // The implementation's file name (the handle's own without one).
  RWCString FileName() const;

  // Whether the file is checksummed; a change takes effect at the next
  // open that makes the file's implementation.
  bool IsChecksummed() const { return checksummed_; }
  void SetChecksummed(bool checksummed) { checksummed_ = checksummed; }
  std::uint32_t State() const { return state_; }
  std::uint32_t DeleteFlag() const { return delete_flag_; }
  void SetDeleteFlag(std::uint32_t flag) { delete_flag_ = flag; }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // The implementation, the handle opened first; null when there is none.
  MPersistentCompositeOnDiskImp* OpenImp();
  MPersistentCompositeOnDiskImp* Imp() const;

  RWCString name_;
  std::uint32_t state_ = kClosed;
  GCountedPtr imp_;  // the shared MPersistentCompositeOnDiskImp, or empty
  std::uint32_t delete_flag_ = 0;
  std::uint32_t status_ = 0;
  bool refused_ = false;      // a restored name outside the store's directory
  bool had_file_ = false;     // opened its file once: a reopen never makes one
  bool checksummed_ = false;  // the file ends in its checksum while closed
};

// The handle's class, for registration.
std::span<const RWClassRegistration> PersistentCompositeOnDiskClasses();
