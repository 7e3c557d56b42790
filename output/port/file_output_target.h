// GFileOutputTarget: an output port that writes a host file, the last
// stop of a generator that prints to a file. Its name is the Windows path
// it writes, and it reaches a host file only through a declared path
// mapping (platform/host/files.h, MapPathPrefix): a host path, a relative
// path, a drive-relative one, one holding a NUL or one no mapping serves
// opens no file, and the port is then not ready (IsReady false). Nor does
// a path that, resolved (links followed, ".." refused), leaves the host
// directory of its mapping or would be one of the driver's or the spool's
// own files: below the driver directory, below the job's temporary
// directory (where its spools live), or the job's driver data file (by
// name or as the same file: a hard link to it is refused too). The
// constructor makes the file, so that the readiness test a generator asks
// before Open can tell: a new file beside what the path names (links
// followed), put in its place at once. A file that was there gives way as
// create-always would empty it, but nothing is ever written through a name
// that was there: another hard link to that file keeps it as it was.
//
// A job that fails leaves no file that looks like output: once a write
// could not go whole, or after Abort, finishing the port removes its file.
//
// WriteRaw, while the port is open or in a job, appends the bytes; the
// count is the bytes written so far (it wraps past 4 GiB, as the
// generators' polling expects of a 32-bit count). A write that the file
// cannot take whole (a full disk, the process's file-size limit) answers
// the platform's error (kErrorDiskFull, else kErrorWriteFault) after
// counting what went; in any other state WriteRaw answers 1. Finish ends
// the job and closes the port as the base does, then closes the file; the
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
  // Creates the host file of `path` when a mapping serves it and it is
  // none of the driver's or the spool's files (of `job`'s printer, when
  // given; `job` is not kept).
  explicit GFileOutputTarget(const RWWString& path, GRenderDriverData* job = nullptr);
  // Finish.
  ~GFileOutputTarget() override;

  std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                         std::uint32_t& written) override;
  // The base's Finish, then the file closed; removed when incomplete.
  std::uint16_t Finish() override;
  // The file is incomplete; then Finish.
  std::uint16_t Abort() override;
  // Whether the file was created and is still open.
  bool IsReady() override;

 private:
  std::u16string path_;      // the file's host path, NUL-terminated; empty when none
  platform::HANDLE file_;    // kInvalidHandleValue when none
  bool made_ = false;        // the file was created and is still there
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
