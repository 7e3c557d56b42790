// The files a program's run puts in a user's folder, all or none: each is
// written first in a staging folder of the run's own inside that folder
// (".<program>-XXXXXX", on the same file system) and they go in place
// together only when the whole run went through (Commit). A run that fails
// or is interrupted leaves the folder as it was; one killed midway leaves
// every file whole (the earlier one or the new one) and at worst its
// staging folder, under its hidden name. An earlier file is never written
// through nor removed unless the run succeeded: it is replaced by a rename.
//
// Commit flushes each file to disk; then, with interrupts held
// (interrupt_cleanup.h), it renames each over its target in the order
// added, a hard link of the earlier file kept in the staging folder first,
// so that a rename that fails (a folder in the way) puts every earlier file
// back and takes out the new ones already in; then it flushes the folder
// and removes the staging folder. Until then an interrupt removes the
// staging folder, and the output folder when the run made it.
//
// Messages name files as the user will see them, in the folder (Shown).
// The process's main thread only, one at a time (the interrupt's names).
#pragma once

#include <string>
#include <vector>

namespace program_files {

class StagedOutput {
 public:
  // `program` (a literal) names the staging folder.
  explicit StagedOutput(const char* program) : program_(program) {}
  // Discard, unless committed.
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  // Makes `folder` when missing (with its parents: MakeFolders) and the
  // staging folder in it. False with `error` naming the folder and the
  // reason; nothing made is then left.
  bool Open(const std::string& folder, std::string& error);
  bool IsOpen() const { return !staging_.empty(); }
  // The staging folder, where the run writes.
  const std::string& Staging() const { return staging_; }
  std::string StagedPath(const std::string& name) const { return staging_ + "/" + name; }
  // `name` as the user will see it: in the output folder.
  std::string TargetPath(const std::string& name) const { return folder_ + "/" + name; }
  // `message` with the staging folder's paths shown as the folder's.
  std::string Shown(std::string message) const;

  // REQUIRES: IsOpen(); `name` (no '/') written whole as StagedPath(name).
  // One of the run's files, put in place by Commit.
  void Add(const std::string& name) { names_.push_back(name); }
  const std::vector<std::string>& Names() const { return names_; }

  // Puts every file added in place (see the file comment). False with
  // `error` naming the file and the reason; the folder is then as it was.
  bool Commit(std::string& error);
  // Removes the staging folder, and the output folder when Open made it.
  void Discard();

 private:
  const char* program_;
  std::string folder_;   // as the user named it
  std::string made_;     // the topmost folder Open made; empty when none
  std::string staging_;  // empty until opened and once committed or discarded
  std::vector<std::string> names_;
};

}  // namespace program_files
