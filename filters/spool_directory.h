// GSpoolDirectory: the private place in which one filter keeps the page
// stores and font files of one job's document, under the job's temporary
// directory (GOSFactory::GetTempDirectory of the job's driver data), so
// that no two jobs, no two filters (the last-page and manual-duplex filters
// use the same file names) and no other user meet in it. It is one spool
// file "<prefix>-XXXXXX<page extension>" (store/spool_file.h),
// made like mkstemp: exclusively, never through a link, mode 0600, under a
// name no other file has; the page stores are named in the directory of the
// same name without the extension ("<prefix>-XXXXXX"), by the file names
// of the spool rule, and live in the spool file, so that a held page makes
// no file of its own. The directory itself is made (mode 0700, only where
// nothing of its name is) when the first font file is: a document whose
// fonts are never saved makes one file and no directory. Font files are
// made exclusively (O_EXCL, never through a link, mode 0600); the stored
// separator "\" of the spool's paths never reaches the file system: names
// are joined to the host directory with "/".
//
// The place is shared (std::shared_ptr) by the spool that made it and by
// every page stored in it (GSpooledPage, page_spool.h), so that it outlives
// a replay handed down the chain. When the last holder lets go, the spool
// file, every file in the directory (font files) and the directory are
// removed: no spool file remains after a job, whichever way it ended, nor
// when memory is short then (the removal allocates nothing).
//
// The file seam: a test may install a fault hook that fails any of the
// spool's file steps (SetFaultHook), to check how each failure is taken.
//
// Threads: the holders may be on any threads; the hook is process-wide.
#pragma once

#include <memory>
#include <string>

#include "foundation/rw/wstring.h"
#include "store/spool_file.h"

class GSpoolDirectory {
 public:
  // The spool's file steps, as the fault hook names them: the spool file
  // (with the directory's name), a page store at page start, and at page
  // end the font file (whether or not the page needs one) and the fonts'
  // save.
  enum class Step { kMakeDirectory, kCreatePageStore, kCreateFontFile, kSaveFonts };
  using FaultHook = bool (*)(Step step);

  // Makes the spool file "<parent>/<prefix>-XXXXXX<extension>" under the
  // host path of `parent` (a Windows path is mapped as every path from the
  // services is). Null when the parent has no host path or the file cannot
  // be made.
  static std::shared_ptr<GSpoolDirectory> Make(const RWWString& parent, const char* prefix,
                                               const std::string& extension);

  GSpoolDirectory(const GSpoolDirectory&) = delete;
  GSpoolDirectory& operator=(const GSpoolDirectory&) = delete;
  // Removes the spool file, every file in the directory, then the
  // directory.
  ~GSpoolDirectory();

  // The host path of the directory (which may not exist yet), and of a
  // file `name` in it.
  const std::string& Path() const { return path_; }
  std::string FilePath(const std::string& name) const { return path_ + "/" + name; }
  // Whether a page store named `name` is held in the spool file.
  bool Holds(const std::string& name) const;
  // Makes the empty file `name`, and the directory first when it is not
  // made yet: exclusively, never through a link, mode 0600. False when
  // something of the name is there or it cannot be made.
  bool CreateFile(const std::string& name);

  // Installs `hook` (null: none) and answers the one it replaces. Tests
  // only.
  static FaultHook SetFaultHook(FaultHook hook);
  // Whether the hook fails `step`.
  static bool Faults(Step step);

 private:
  explicit GSpoolDirectory(std::string path) : path_(std::move(path)) {}
  // Removes every file in the directory, allocating nothing.
  void RemoveFiles() const;

  std::string path_;                   // the directory's
  std::shared_ptr<GSpoolFile> pages_;  // the spool file
  bool made_directory_ = false;
};
