// GJobFontDatabase: the font database of one job's owner (the render-time
// driver data, services/render_driver_data.h, whose abstract
// GFontDatabase it derives from). It keeps the job's font objects by their
// 32-bit database key in a keyed pool (keyed_pool.h), counts their users,
// and writes them, together with the TrueType readers that the owner marked
// in the font pool (tt_font_pool.h), to a database file beside each spooled
// page; a page read back loads the file again by path. Restored text finds
// its font objects in it by key and serial.
//
// GFontDatabaseEntry is what the database needs of a font object: the save
// mark (set to 1 by the object when it is to be written), its serial (raised
// as it changes), its database key (drawn from NextSerial when it is made),
// its use count (its handles), content equality and a merge. Font objects
// derive from it; it stores nothing of its own.
//
// Database file (an RWFile, little-endian):
//   reader count  u32, then per reader: font key u32, the reader as an
//                 object reference (tt_font_pool.h)
//   object count  u32, then per object: key u32, the object as an object
//                 reference
// Readers in ascending key order, only those marked for the owner; objects
// in ascending key order, only those whose save mark is 1 (the save clears
// it). A load restores both parts over the live database; readers must be
// font readers and objects font objects, and any bad data fails the load,
// which then leaves the current path empty.
//
// Database policy (keyed pool events; new object, existing object):
//   1  release pass: an object only the database uses (use count 1) is
//      deleted
//   3  restored under a new key: use count 1
//   5  restored under a present key: when the present one has a lower
//      serial, it is replaced when only the database uses it, else it
//      absorbs the restored one (MergeFont) and takes its serial
//   6  the existing object's equality with the new one
//
// Ownership: the database owns its keyed pool and the objects in it (one
// use each); the owner is not owned. Files named in the saved paths are
// deleted by ReleaseAll and the destructor. Threads: the owner's thread;
// NextSerial, under the process-wide database lock, may be called from any.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "fonts/keyed_pool.h"
#include "persist/persistent_object.h"
#include "services/render_driver_data.h"

class GRenderDriverData;
class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

class GFontDatabaseEntry : public MPersistentObject {
 public:
  GFontDatabaseEntry() = default;
  GFontDatabaseEntry(const GFontDatabaseEntry& other) = default;
  GFontDatabaseEntry& operator=(const GFontDatabaseEntry&) = delete;

  std::uint32_t SaveMark() const { return save_mark_; }
  void SetSaveMark(std::uint32_t mark) { save_mark_ = mark; }
  std::uint32_t FontSerial() const { return font_serial_; }
  void SetFontSerial(std::uint32_t serial) { font_serial_ = serial; }
  std::uint32_t DatabaseKey() const { return database_key_; }
  void SetDatabaseKey(std::uint32_t key) { database_key_ = key; }
  std::int16_t UseCount() const { return use_count_; }
  void SetUseCount(std::int16_t count) { use_count_ = count; }

  // Takes what `other`, a newer copy of the same font, knows that this one
  // lacks; nothing here.
  virtual void MergeFont(GFontDatabaseEntry& other);

 protected:
  std::uint32_t save_mark_ = 0;     // 1: to be written by the next save
  std::uint32_t font_serial_ = 0;   // raised as the font changes
  std::uint32_t database_key_ = 0;  // the key in the database
  std::int16_t use_count_ = 0;      // the handles on the font
};

class GJobFontDatabase : public GFontDatabase {
 public:
  // Keeps the owner (which may be null: no owner id); an empty current
  // path, no saved paths.
  explicit GJobFontDatabase(GRenderDriverData* owner);
  // ReleaseAll.
  ~GJobFontDatabase() override;

  // Narrows the path, opens it for writing and, when it opened, saves to it
  // (SaveToFile), keeps the path among the saved ones whatever the result
  // and closes it. The save's result; 0 when the file does not open or the
  // flush before closing fails.
  std::uint32_t SaveToPath(const RWWString& path) override;
  // The font pool's readers marked for the owner (a result other than 1 is
  // answered at once), then the objects in use; then ReleaseHolds. 1.
  std::uint32_t SaveToFile(RWFile& file);
  // The same two parts, without ReleaseHolds; the keyed pool's result.
  std::uint32_t SaveToStream(RWVirtualOutputStream& stream);
  // 1 at once for the current path; else opens the path for reading (0
  // when it does not open, the current path kept) and restores from it;
  // the current path becomes `path` on success, empty otherwise.
  // REQUIRES (of the models' callers): Lock() held.
  int LoadFromPath(const RWWString& path) override;
  // ReleaseHolds, then the readers (into the font pool), then the
  // objects: 1, or 0 when either part fails.
  std::uint32_t RestoreFromFile(RWFile& file);
  std::uint32_t RestoreFromStream(RWVirtualInputStream& stream);
  // The keyed pool's release pass, then the font pool's for the owner id.
  void ReleaseHolds();
  // Takes every object out (each use count - 1, deleted at 0), ends the
  // font pool's holds for the owner id, deletes every saved file and
  // forgets the paths.
  void ReleaseAll();
  // The render-time driver data's reset: ReleaseAll.
  void Reset() override;

  // Enters `object` under its database key; its use count + 1 when it was
  // not there. Answers 1. REQUIRES: `object` not null.
  std::uint32_t CountReference(GFontDatabaseEntry* object);
  // The object under `key` with a serial of at least `minimum`, its use
  // count + 1; null otherwise.
  GFontDatabaseEntry* Acquire(std::uint32_t key, std::uint32_t minimum);
  // The object under `key`, taken out (not deleted), or null.
  GFontDatabaseEntry* Remove(std::uint32_t key);
  // 0 when absent; else takes it out, lowers its use count, deletes it at
  // 0 or below, and answers 1.
  std::uint32_t Release(std::uint32_t key);
  std::uint32_t Contains(std::uint32_t key) const;
  std::uint32_t Count() const;

  const RWWString& CurrentPath() const { return current_path_; }
  const std::vector<RWWString>& SavedPaths() const { return saved_paths_; }

  // The process-wide counter's value, then + 1 (0 first).
  static std::uint32_t NextSerial();
  // Sets the counter (tests).
  static void SetSerialCounter(std::uint32_t value);
  // Make (with or without driver services, fonts/font_lock.h) and delete
  // the process-wide database lock.
  static void CreateLock();
  static void DestroyLock();

  // Whether a restored entry is a font object.
  static bool IsFontObject(const MPersistentObject* entry);
  // The save filter: phases 0 and 1 answer whether the save mark is 1,
  // phase 2 clears it.
  static std::uint32_t IsInUse(MPersistentObject* entry, std::uint32_t phase, void* datum);

 private:
  std::uint32_t OwnerId() const;
  template <class In>
  std::uint32_t Restore(In& in);

  GRenderDriverData* owner_;
  RWWString current_path_;
  std::vector<RWWString> saved_paths_;
  // Their host files, made as they are saved: ReleaseAll (the destructor's)
  // removes them without building a name.
  std::vector<std::string> saved_files_;
  std::unique_ptr<GKeyedPool> objects_;
};
