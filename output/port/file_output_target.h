// GFileOutputTarget: the file port, the last stop of a generator that
// prints to a file. Its name is a rooted Windows path that a declared
// mapping serves (platform/host/files.h). It is not ready (IsReady false)
// for any other name, nor for one that, resolved (links followed, ".."
// refused), leaves its mapping's host directory, names a folder, or is the
// driver's or the spool's own (below the driver directory or the job's
// temporary directory, or the job's driver data file, even by a hard link).
//
// The constructor makes the port's file beside the target: "~prn", 80 bits
// of the system's entropy in hex, ".tmp", created only where nothing is
// (another name when one is taken), so that no leftover can block it and no
// other process foresee it. Nothing is written through a name that was
// there: another writer's file, or another name of the target's (a hard
// link), keeps its bytes. What a job leaves:
//  - Close of an opened port that took every write (a document end that
//    went through): the file flushed, closed, renamed over the target and
//    the folder flushed, so the target holds the old bytes or the new,
//    whole. A step that fails answers the platform's error and leaves the
//    target as it was, unless only the folder's flush failed;
//  - a failed write, Abort, a port never opened, a Finish or destructor of
//    a port still open (a job let go midway): the file removed, the target
//    as it was;
//  - a job killed midway: the target as it was and the "~prn" file beside
//    it, for the user to delete.
//
// WriteRaw appends while the port is open or in a job (1 in any other
// state); the count is the bytes written, wrapping past 4 GiB. A write the
// file cannot take whole answers kErrorDiskFull (no space, or the
// file-size limit: a process with one ignores SIGXFSZ) or
// kErrorWriteFault. GetFailure keeps the platform's error of the first
// failure: the system's, or for a refused name kErrorBadPathname (not
// rooted), kErrorAccessDenied (not the port's to write),
// kErrorDirectoryNotSupported (a folder) or kErrorNoUnicodeTranslation (a
// host path that is not UTF-8).
//
// GFilePortHandler: the port handler (persist/port_handler.h) that opens
// "FILE:<path>" ("FILE:" in any case) as a GFileOutputTarget for the job
// context the registry passes (a GRenderDriverData*, or null), as a
// GOutputTarget* in the void*; other destinations it leaves to others.
// Flags kFilePortFlags (opened through Open); not registered with the
// factory; its class id is the port handlers' kind id.
//
// Ownership: a port the handler opens is the caller's. Threads: one port
// is driven by one thread at a time; the registry's rules for the handler.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/rw/wstring.h"
#include "output/core/output_target.h"
#include "persist/port_handler.h"
#include "platform/host/files.h"

class GRenderDriverData;

inline constexpr std::uint32_t kFilePortFlags = 0x1;

class GFileOutputTarget final : public GOutputTarget {
 public:
  // Makes the file when `path` may be written (`job`'s printer's files
  // refused, when given; `job` is not kept).
  explicit GFileOutputTarget(const RWWString& path, GRenderDriverData* job = nullptr);
  // Finish.
  ~GFileOutputTarget() override;

  std::uint16_t Open(const RWWString& document_name) override;
  std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                         std::uint32_t& written) override;
  // Puts the file in place (see above): only at a document end that went
  // through.
  std::uint16_t Close() override;
  std::uint16_t Finish() override;
  std::uint16_t Abort() override;
  // Whether the file was made and is still open.
  bool IsReady() override;
  std::uint32_t GetFailure() const override { return failure_; }

 private:
  // The platform's error, kept when it is the first.
  std::uint16_t Failed(std::uint32_t error);
  // Makes the file for `path`, setting target_ and made_; its handle, or
  // kInvalidHandleValue with the failure kept.
  platform::HANDLE Make(const RWWString& path, GRenderDriverData* job);
  std::uint16_t PutInPlace();
  // Closes the file and removes it, when there is one.
  void Drop();

  std::u16string target_;  // the target's host path, NUL-terminated; empty when none
  std::u16string made_;    // the port's file; empty once renamed or removed
  platform::HANDLE file_ = platform::kInvalidHandleValue;
  std::uint32_t failure_ = 0;
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
