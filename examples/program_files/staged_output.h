// The files a run puts in a user's folder: all of them or none. Each is
// written first in a staging folder of the run's own inside that folder
// (".<program>-XXXXXX", on the same file system); Commit then puts them in
// place together, and only then is an earlier file of the same name
// replaced, by a rename. A run that fails or is interrupted before leaves
// the folder as it was; one killed during the commit leaves each file
// whole, the earlier one or the new one. The folder is held open from
// Open on, so that the commit and the removal of the staging folder reach
// the folder the run used, whatever it is named by then; files go in place
// only while the user's name for it still reaches it. Messages name files
// as the user will see them, in the folder.
//
// The process's main thread, one at a time.
#pragma once

#include <string>
#include <vector>

namespace program_files {

class StagedOutput {
 public:
  // `program` (a literal) names the staging folder.
  explicit StagedOutput(const char* program) : program_(program) {}
  // Removes the staging folder and the folders Open made, unless committed.
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  // Makes `folder` when missing (with its parents), holds it open and
  // makes the staging folder in it. False with `error`; nothing made is
  // then left.
  bool Open(const std::string& folder, std::string& error);
  // The staging folder, as the user's name for the folder reaches it.
  const std::string& Staging() const { return staging_; }
  std::string StagedPath(const std::string& name) const { return staging_ + "/" + name; }
  std::string TargetPath(const std::string& name) const { return folder_ + "/" + name; }
  // `message` with each staged path written as its target.
  std::string WithTargetPaths(std::string message) const;
  // Whether the user's name for the folder still reaches the folder Open
  // holds; false with `error` saying why not (renamed or moved meanwhile).
  bool StillNamed(std::string& error) const;

  // REQUIRES: Open went well; `name` (no '/') written whole as
  // StagedPath(name).
  void Add(const std::string& name) { names_.push_back(name); }
  const std::vector<std::string>& Names() const { return names_; }

  // Flushes each file added to disk, then, the run held (run.h), puts each
  // in place, keeping the earlier file of its name (a hard link, else the
  // file renamed aside where the system refuses the link), flushes the
  // folder and removes the kept files and the staging folder. A step that
  // fails before the last file is in place and flushed puts every earlier
  // file back and takes the new ones out: false with `error` naming the
  // file and the reason. An earlier file that cannot go back (the rename
  // back fails, or another writer put a file of its own at the name: device
  // and inode tell) is never removed: it stays where it is kept, a hidden
  // name in the folder, which `error` gives. A folder that the user's name
  // no longer reaches (StillNamed), before the files go in or once they
  // are in and flushed, gets none of them: false with `error` saying so. A
  // kept file or the staging folder that cannot be removed once all is in
  // place leaves the new files there: false with `error` naming what
  // stayed.
  bool Commit(std::string& error);

 private:
  void Discard();
  // 0 while folder_ names the held folder; else errno's value, or -1 when
  // it names another folder or none.
  int Moved() const;

  const char* program_;
  std::string folder_;                // as the user named it
  int held_ = -1;                     // the folder itself, open (O_PATH) from Open on
  std::vector<std::string> created_;  // the folders Open made, top first
  std::string staging_name_;          // the staging folder's name in it; empty unless open
  std::string staging_;               // folder_ + "/" + staging_name_
  std::vector<std::string> names_;
};

// Test controls. `observer` is called, the run held, after each file a
// commit puts in place (null: none). The `nth` flush of a commit from now
// (1: the next; each file's, then the folder's) does its work and then
// answers EIO, as a file system that reports a lost write only at the
// flush would; 0 clears it.
void SetCommitObserver(void (*observer)(const std::string& target));
void SetFlushFailure(int nth);

}  // namespace program_files
