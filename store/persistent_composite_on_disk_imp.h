// MPersistentCompositeOnDiskImp: the open record-store file behind every
// handle (MPersistentCompositeOnDisk) opened on one file name. It owns the
// file (a file-space manager), the disk B-tree over it that maps record
// keys to the stored objects' blocks, and the record index, a
// GRecordComposite of the top-level records in the order they were stored.
// The file's layout is in store_format.h.
//
// A checksummed store has no heap: it reads its image whole when it opens
// and holds its blocks in memory (store_image.h) until it closes, when it
// writes the image whole if anything changed. The image is its own file,
// or a stretch of its directory's spool file when that directory has one
// (spool_file.h); then no file of the store's name is made, and deleting
// the store forgets its stretch.
//
// Storing writes an object once; taking reads it back and frees its space;
// reading (the Find operations) leaves it stored. A composite is stored as
// its children's records and a shell (a copy without its children) and
// comes back with its children in order; an on-disk composite is stored as
// its stored form and its record keeps a copy of it (a proxy).
//
// Errors: every operation runs inside an error scope of its own. A failure
// of the file (a read, write or seek error, a full disk), damage found in
// it (a bad header, free list, node, record or index; an index missing or
// disagreeing with the tree; a record whose object is not the one named),
// and an object put under a serial number that is stored already set the
// error flag. From then on nothing is stored, taken or read, the index is
// not written at close, and ErrorState reports it; the error stays with
// this file until RemoveAll empties it. A reopened file without its index
// (never closed, or damaged) is reported, never taken for an empty store.
// Errors raised inside are not passed on to a caller's scope: the store's
// state reports them.
//
// Class id 782, registered as "MPersistentCompositeOnDiskImp"; kind test
// 782 and 751. Stored form: the base part of MPersistentObject and
// kImpVersion (u32); the records live in the file. IsEqualContent: the
// same class id and key, and equal records in the same order.
//
// Concurrency: every operation of every implementation, the handles' list
// of open files, the nesting depth of stores and the class stored last run
// under one process-wide re-enterable lock (StoreLock()).
//
// Ownership: shared by the handles on its file through counted pointers
// (and by their iterators); the last holder destroys it, which closes the
// file. CloseFile closes it earlier, when the last handle on the name
// closes: the object then stays, empty and without a file.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "foundation/rw/cstring.h"
#include "foundation/rw/diskbtree.h"
#include "foundation/rw/filespace.h"
#include "foundation/rw/registration.h"
#include "persist/persistent_object.h"
#include "persist/record_iterator.h"
#include "store/record.h"
#include "store/spool_file.h"
#include "store/store_image.h"

inline constexpr RWClassID kMPersistentCompositeOnDiskImpId = 782;
inline constexpr std::uint32_t kImpVersion = 1;

class MPersistentCompositeOnDiskImpIterator;

// The record store's process-wide lock.
std::recursive_mutex& StoreLock();

// Sets the number of top-level records beyond which a put is refused
// (record_store::kTopLevelLimit until then), and answers the previous
// one: a seam for tests, which cannot store a billion records.
std::uint32_t SetTopLevelLimit(std::uint32_t limit);

class MPersistentCompositeOnDiskImp : public MPersistentObject {
 public:
  // No file: the error state is 0 and no record operation does anything.
  MPersistentCompositeOnDiskImp();
  // On `name` (a host path, or a Windows path mapped by the platform),
  // held as the checksummed image of store_format.h when `checksummed`;
  // OpenFile opens it.
  explicit MPersistentCompositeOnDiskImp(const RWCString& name, bool checksummed = false);
  // Key and serial number; no file.
  MPersistentCompositeOnDiskImp(const MPersistentCompositeOnDiskImp& other);
  MPersistentCompositeOnDiskImp& operator=(const MPersistentCompositeOnDiskImp&) = delete;
  // CloseFile.
  ~MPersistentCompositeOnDiskImp() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The base part and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  bool IsKindOf(const RWClassID& id) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  // Stores the object (nothing for an empty pointer).
  void PutRecord(const GCountedPtr& record) override;
  void UpdateRecord(const GCountedPtr& record) override;
  // Each takes the object whose record matches (the first, depth first),
  // or answers an empty pointer.
  GCountedPtr TakeRecordEqual(const MPersistentObject* object) override;
  GCountedPtr TakeRecordByKey(const std::uint32_t& key) override;
  GCountedPtr TakeRecordByClassId(const RWClassID& id) override;
  // Each puts `object` (which stays the caller's) in place of the stored
  // object whose record matches; true when one matched.
  bool ReplaceRecordByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceRecordByClassId(const RWClassID& id, MPersistentObject* object) override;
  // Empties the store: a new, empty file under the same name.
  void RemoveAll() override;
  // Each reads the object whose record matches, leaving it stored.
  GCountedPtr FindPtrByKey(const std::uint32_t& key) override;
  GCountedPtr FindPtrByClassId(const RWClassID& id) override;
  GCountedPtr FindPtrEqual(const MPersistentObject* object) override;
  MPersistentObject* AsComposite() override;
  // The plain records (proxies included, composites by their children).
  std::uint32_t EntryCount() const override;
  std::uint32_t NodeCount() const override;
  // A new MPersistentCompositeOnDiskImpIterator; the caller deletes it.
  MRecordIterator* NewChildIterator() override;
  // As ReplaceRecordByKey, matching the object's serial number.
  virtual bool ReplaceRecordEqual(const MPersistentObject* object, MPersistentObject* new_object);

  // Opens the file of the name: an existing one for update (a checksummed
  // store's image read whole and its checksum checked), its index read
  // back, else, with `may_create`, a new one (mode 0600, made only when no
  // file or link of the name is there; for a store in a spool file, none
  // is made). A link, an existing empty file, a checksum that differs and
  // any failure set the error flag.
  void OpenFile(bool may_create = true);
  // Writes the index into the file (a checksummed store: its image, when
  // changed), closes it and lets go of the records; nothing when no file
  // is open. The error state stays readable; a checksummed store closed in
  // error leaves an image that fails its next open.
  void CloseFile();
  // 1 once an operation on the file failed or it could not be opened.
  std::uint32_t ErrorState() const;
  const RWCString& FileName() const { return name_; }
  bool HasFile() const { return file_ != nullptr || image_ != nullptr; }
  // The top-level records.
  std::uint32_t TopLevelCount() const { return index_.DirectCount(); }

 private:
  friend class MPersistentCompositeOnDiskImpIterator;
  class Operation;
  class Searching;

  // False once the store cannot be used (no file, or the error flag).
  bool Usable() const;
  // Sets the error flag and marks the file, so that nothing more is
  // written into it (the tree's header included).
  void Fail();
  bool LoadIndex();
  bool IndexMatchesTree();
  // The checksummed store's OpenFile, CloseFile and index read.
  void OpenImage(bool may_create);
  void CloseImage();
  bool LoadImageIndex();
  // Leaves the image and the own file without writing either.
  void DropImage();
  // Whether an object block of `serial` is stored.
  bool HasBlock(std::uint32_t serial);

  GCountedPtr Take(GRecordQuery& query);
  GCountedPtr Find(GRecordQuery& query);
  bool Replace(GRecordQuery& query, MPersistentObject* object);
  // Replaces the record at `node` of `parent` (a match) by a new object.
  bool ReplaceAt(GRecordComposite* parent, GRecordNode* node, MPersistentObject* object);
  // Takes the record at `node` of `parent` out of the store.
  GCountedPtr TakeAt(GRecordComposite* parent, GRecordNode* node);

  // The storing procedure; answers the record made (empty when nothing
  // was stored). With `append`, a top-level record goes to the index.
  GRecordRef Store(MPersistentObject* object, bool replacing, bool append);
  bool WriteObject(const MPersistentObject& object, const GRecord& record);
  // Reads the object of `record` (and its children's, recursively); with
  // `take` their keys leave the tree and their blocks are given back.
  MPersistentObject* ReadRecord(const GRecord& record, bool take);
  MPersistentObject* ReadObject(const GRecord& record, bool take);
  // The object in the block at `offset`; null (after Fail) when the block
  // or the object is bad.
  MPersistentObject* ReadBlock(std::uint32_t offset);
  // The object saved in the `size` bytes at `bytes`, the same way.
  MPersistentObject* ReadSaved(std::uint8_t* bytes, std::uint32_t size);
  // The object of an image's block (`saved`), the same way.
  MPersistentObject* ReadImaged(std::span<std::uint8_t> saved);
  bool PlausibleBlock(std::uint32_t offset, std::uint32_t& length);
  // A record's entry leaves a list: iterators on it step back.
  GRecordRef Unlist(GRecordComposite* parent, GRecordNode* node);

  std::unique_ptr<RWFileSpaceManager> file_;
  std::unique_ptr<RWDiskBTree> tree_;
  std::unique_ptr<GStoreImage> image_;  // a checksummed store's, while open
  std::shared_ptr<GSpoolFile> spool_;   // the spool file holding its image
  int own_file_ = -1;                   // else its own file, while open
  std::uint64_t own_size_ = 0;          //   and that file's size
  GRecordComposite index_;
  RWCString name_;
  std::string host_;       // the host path of the file
  std::string directory_;  // the host directory of the file
  std::uint32_t error_ = 0;
  bool searching_ = false;      // inside a search of the index
  bool checksummed_ = false;    // held in memory as an image while open
  RWDoubleLinkList iterators_;  // the live iterators, for their positions
};

// The store's iterator (persist/record_iterator.h).
class MPersistentCompositeOnDiskImpIterator : public MRecordIterator, public RWDoubleLink {
 public:
  explicit MPersistentCompositeOnDiskImpIterator(MPersistentCompositeOnDiskImp* imp);
  ~MPersistentCompositeOnDiskImpIterator() override;

  // Null: the objects are in the file.
  MPersistentObject* Current() override;
  // Holds `object` for the call: it replaces the current record's object,
  // and is destroyed afterwards unless someone else holds it.
  void ReplaceCurrent(MPersistentObject* object) override;
  bool Next() override;
  void Reset() override;
  GCountedPtr CurrentObject() override;
  GCountedPtr TakeCurrent() override;
  bool ReplaceCurrentObject(MPersistentObject* object) override;
  bool Previous() override;

 private:
  friend class MPersistentCompositeOnDiskImp;

  MPersistentCompositeOnDiskImp* Imp() const {
    return static_cast<MPersistentCompositeOnDiskImp*>(imp_.Get());
  }

  GCountedPtr imp_;
  GRecordNode* current_ = nullptr;  // null: before the first record
};

// Whether a handle being restored from stored data may open (and later
// delete) the file `name`: only while a store reads its own records or
// index on this thread, and only a file directly in that store's
// directory.
bool MayOpenFromStoredData(const RWCString& name);

// The implementation's class, for registration.
std::span<const RWClassRegistration> PersistentCompositeOnDiskImpClasses();
