// GSpoolFile: one file that holds the images (store_format.h) of the
// checksummed stores named in one directory, so that holding a page makes
// no file of its own. The page spool makes one for each document it holds
// (filters/spool_directory.h); from then on a checksummed store whose file
// would lie in that directory lives in the spool file instead, under its
// file's path, whether or not the directory exists: its image is written at
// the file's end with one positioned write when the store closes changed,
// and read back with one positioned read when it opens
// (persistent_composite_on_disk_imp.h). A store that is written again gets
// a new stretch; the old one, like a deleted store's, is not used again: the
// file lives for one document.
//
// The file is made by its maker (exclusively, never through a link, mode
// 0600) and kept open. A read finds the file as it is on disk: one gone
// (deleted, or replaced by another) or ending before a stretch fails.
//
// Ownership: shared by whoever made it (the spool directory) and by the
// stores open in it; the spool files are found by their stores' directory
// (Of) until Retire. Threads: every call takes the record store's lock
// (StoreLock()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>

class GSpoolFile {
 public:
  // Takes `fd`, open on the file `path` that the caller made, and enters it
  // as the spool file of the stores named in the host directory
  // `directory`; null (`fd` closed, the file left to the caller) when
  // memory runs out.
  static std::shared_ptr<GSpoolFile> Make(int fd, const std::string& path,
                                          const std::string& directory);
  // The spool file entered for the host directory `directory`, or null.
  static std::shared_ptr<GSpoolFile> Of(const std::string& directory);

  GSpoolFile(const GSpoolFile&) = delete;
  GSpoolFile& operator=(const GSpoolFile&) = delete;
  // Closes the file (it stays on disk: its maker removes it).
  ~GSpoolFile();

  // Leaves the directory's entry: no store opens in it any more (those
  // open still close into it).
  void Retire();
  const std::string& Path() const { return path_; }

  // Whether the store of the host path `store` has an image here.
  bool Holds(const std::string& store) const;
  // The image of `store`, and in `size` its length; null when there is
  // none or the file fails, is gone from its directory or ends before it.
  std::unique_ptr<std::uint8_t[]> Read(const std::string& store, std::size_t& size);
  // Writes `image` as `store`'s image at the file's end; false when the
  // whole of it was not written (the store keeps its image before).
  bool Write(const std::string& store, std::span<const std::uint8_t> image);
  // The store has no image any more.
  void Forget(const std::string& store);
  // The store's image is damaged: it is held, but fails every read.
  void Spoil(const std::string& store);

 private:
  struct Stretch {
    std::uint64_t at;
    std::size_t size;
  };

  GSpoolFile(int fd, std::string directory, std::string path)
      : fd_(fd), directory_(std::move(directory)), path_(std::move(path)) {}

  int fd_;
  std::string directory_;
  std::string path_;
  std::uint64_t end_ = 0;  // where the next image goes
  std::unordered_map<std::string, Stretch> stores_;
};
