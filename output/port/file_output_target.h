// GFileOutputTarget: an output port that writes a host file, the last
// stop of a generator that prints to a file. Its name is the Windows path
// it writes, and it reaches a host file only through a declared path
// mapping (platform/host/files.h, MapPathPrefix): a host path, a relative
// path, a drive-relative one, one holding a NUL or one no mapping serves
// opens no file, and the port is then not ready (IsReady false). Nor does
// a path that, resolved (links followed, ".." refused), leaves the host
// directory of its mapping, names a folder, or would be one of the
// driver's or the spool's own files: below the driver directory, below the
// job's temporary directory (where its spools live), or the job's driver
// data file (by name or as the same file: a hard link to it is refused
// too).
//
// The constructor makes a new file beside what the path names (links
// followed), under a name of its own ("~prn", twenty random hex digits,
// ".tmp", created only where nothing is, a new random name tried when one
// is taken: no leftover and no other process can block the port), so that
// the readiness test a generator asks before Open can tell; the port
// writes there. The target keeps what it held until the document's end:
// only a Close of an opened port that took every write (the job driver's
// at a document end that went through, or a generator's own at its
// document end) puts the file in place. It flushes the file to disk,
// closes it, renames it over the target in one step and flushes the
// folder, so that after a crash the target holds either the old bytes or
// the new, whole.
//
// What each ending leaves behind:
//  - a document end (the Close above): the new output at the target, no
//    other file;
//  - a failed write (WriteRaw's error; the file goes at the Close, Abort,
//    Finish or destructor that follows), Abort, a port never opened, a
//    Finish while the port is still open (no document end closed it) and
//    the destructor of a port so let go (a job released midway): the new
//    file removed, the target as it was;
//  - a flush or a close of the new file that fails at the document end (a
//    file system that reports a lost write only then): the same, and
//    Close answers the platform's error (kErrorDiskFull or
//    kErrorWriteFault);
//  - a rename that fails (a folder made meanwhile at the target's name):
//    the same, and Close answers the platform's error;
//  - a flush of the folder that fails after the rename: Close answers
//    kErrorWriteFault, though the target already holds the new output
//    whole (a rename is not undone);
//  - a job killed midway (nothing runs after SIGKILL): the target as it
//    was, and the new file beside it under its "~prn" name, for the user
//    to delete; it blocks no later job.
// Nothing is ever written through a name that was there: another hard
// link to the target's old file keeps it as it was, so a target that is a
// hard link of a spool file gets a new file of its own, and the spool
// file keeps its bytes.
//
// WriteRaw, while the port is open or in a job, appends the bytes; the
// count is the bytes written so far (it wraps past 4 GiB, as the
// generators' polling expects of a 32-bit count). A write that the file
// cannot take whole (a full disk, the process's file-size limit) answers
// the platform's error (kErrorDiskFull, else kErrorWriteFault) after
// counting what went; in any other state WriteRaw answers 1. The
// destructor finishes the port itself, since the base's destructor cannot
// reach this class's part. A process with a file-size limit must have
// SIGXFSZ ignored, or a write past the limit ends it.
//
// GFilePortHandler: the port handler (persist/port_handler.h) that opens
// destinations "FILE:<path>" ("FILE:" in any case) as a GFileOutputTarget
// for the job context the registry passes (a GRenderDriverData*, or null),
// handed out as a GOutputTarget* in the void* the registry answers; any
// other destination it leaves to other handlers. Its flags are
// kFilePortFlags (first list, opened through Open). Not registered with
// the factory; its class id is the port handlers' kind id.
// RegisterFilePortHandler puts the process-wide one into the process-wide
// registry under "FILE"; UnregisterFilePortHandler takes it out.
//
// Ownership: a port the handler opens is the caller's. Threads: one port
// is driven by one thread at a time; the registry's rules for the handler.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/rw/wstring.h"
#include "output/core/output_target.h"
#include "persist/port_handler.h"
#include "platform/host/types.h"

class GRenderDriverData;

inline constexpr std::uint32_t kFilePortFlags = 0x1;

class GFileOutputTarget final : public GOutputTarget {
 public:
  // Makes the new file beside the host file of `path` when a mapping
  // serves it and it is none of the driver's or the spool's files (of
  // `job`'s printer, when given; `job` is not kept).
  explicit GFileOutputTarget(const RWWString& path, GRenderDriverData* job = nullptr);
  // Finish.
  ~GFileOutputTarget() override;

  // The base's Open; the port has then been opened.
  std::uint16_t Open(const RWWString& document_name) override;
  std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                         std::uint32_t& written) override;
  // The base's Close; then the file of an opened port that took every
  // write is put in place of the target (see the file comment): call it
  // only at a document end that went through.
  std::uint16_t Close() override;
  // The base's Finish; a port still open then is cut short (its close
  // puts nothing in place), and a file not put in place is removed.
  std::uint16_t Finish() override;
  // The file is dropped; then Finish.
  std::uint16_t Abort() override;
  // Whether the file was made and is still open.
  bool IsReady() override;

 private:
  // Flushes and closes the file, renames it over the target and flushes
  // the folder; the platform's error when a step fails (the file then
  // removed, unless only the folder's flush failed).
  std::uint16_t PutInPlace();
  // Closes the file and removes it, when there is one.
  void Drop();

  std::u16string target_;    // the target's host path, NUL-terminated; empty when none
  std::u16string made_;      // the file written, beside it; empty once renamed or removed
  platform::HANDLE file_;    // kInvalidHandleValue when none
  bool opened_ = false;      // Open succeeded at least once
  bool incomplete_ = false;  // a write failed, or the job was aborted
};

class GFilePortHandler final : public GPortHandler {
 public:
  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override { return kGPortHandlerId; }
  std::uint32_t Flags() const override { return kFilePortFlags; }
  // A new GFileOutputTarget (as GOutputTarget*) for "FILE:<path>", whether
  // or not its file could be made; else null.
  void* Open(const RWWString& destination, const RWCString& name, std::uint32_t flags,
             void* extra) override;
};

// The process-wide file port handler in the process-wide registry, under
// "FILE"; Register answers the registry's answer (0, or 1 when the name is
// taken).
std::int32_t RegisterFilePortHandler();
void UnregisterFilePortHandler();
