// GMsdFontFile: the font-storage data file of one font source
// (font_sources.h, layout in msd_font_file_format.h), found through the
// source's file name in the printer's data. GMsdFontList reads it: it
// builds the source's GDeviceFontList, or walks its fonts with their
// display names for the font dialogs.
//
// Use: construct for a source index and printer, Open, then
// BuildDeviceFontList or EnumerateFonts (which load the header block when
// nothing is loaded).
//
// Bad files: a file that cannot be opened, is shorter than 36 bytes or has
// a bad header (L beyond the file or below its record table) loads nothing:
// BuildDeviceFontList answers null and EnumerateFonts 0. A record, name or
// symbol-set run that does not lie inside the file, and any read or seek
// error, ends the walk: the list built so far is answered with the file's
// stamp. Everything is read inside an error scope, so nothing a file holds
// reaches the error handler.
//
// Ownership: the object owns its open file and its header block; the
// printer is the caller's and must outlive it; a built list is the
// caller's. Threads: one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/wstring.h"

class GDeviceFontList;
class GDriverData;
class RWFile;

class GMsdFontFile {
 public:
  // Keeps both and reads the file's path (ReadMsdFileName); no file open,
  // nothing loaded.
  GMsdFontFile(std::uint32_t index, GDriverData* printer);
  GMsdFontFile(const GMsdFontFile&) = delete;
  GMsdFontFile& operator=(const GMsdFontFile&) = delete;
  // Closes the file and frees the block.
  virtual ~GMsdFontFile();

  // Sets `list_key` to the source's list key (0 for a bad index), closes a
  // file that is open, and opens the path for binary reading; answers the
  // file, or null when the path is empty or does not open.
  virtual RWFile* Open(std::uint32_t& list_key);
  // Frees a loaded block and sets `list_key` to 0; then, when a file is open
  // and holds a valid header, reads the header block, sets `list_key` to the
  // source's list key and answers the block (null otherwise).
  virtual const std::uint8_t* Load(std::uint32_t& list_key);
  // Closes the open file.
  virtual void Close();
  // The stamp of the loaded block, 0 when nothing is loaded.
  virtual std::uint32_t GetStamp() const;

  std::uint32_t Index() const { return index_; }
  GDriverData* Printer() const { return printer_; }
  const RWWString& Path() const { return path_; }

 protected:
  RWFile* File() const { return file_.get(); }
  const std::uint8_t* Block() const { return block_.get(); }
  std::uint32_t BlockLength() const { return block_length_; }
  std::uint64_t FileSize() const { return file_size_; }

 private:
  std::uint32_t index_;
  GDriverData* printer_;  // not owned
  RWWString path_;
  std::unique_ptr<RWFile> file_;
  std::uint64_t file_size_ = 0;  // of the open file
  std::unique_ptr<std::uint8_t[]> block_;
  std::uint32_t block_length_ = 0;  // L
};

class GMsdFontList : public GMsdFontFile {
 public:
  // Called for each font in enumerate mode with its display name (the face
  // name, then " -Bd" for weight 700 or more and " -It" for a non-zero
  // italic word), its selection string, the record's fixed part
  // (kMsdRecordSize bytes) and the caller's argument; the answers are
  // summed.
  using Callback = int (*)(const char* display_name, const char* selection,
                           const std::uint8_t* record, void* argument);

  GMsdFontList(std::uint32_t index, GDriverData* printer) : GMsdFontFile(index, printer) {}

  // Loads when a file is open and nothing is loaded; when a file is open and
  // loaded, walks the file in build mode (hidden records left out) and
  // answers a new list keyed with the source's list key, stamped with the
  // file's stamp; the caller owns it. Null otherwise.
  virtual GDeviceFontList* BuildDeviceFontList();
  // Sets the sum to 0 and loads when needed; when a file is open and
  // loaded, walks every record with symbol sets, hidden ones included,
  // calling `callback`. Answers the sum.
  virtual std::int32_t EnumerateFonts(Callback callback, void* argument);

 private:
  enum class Mode { kBuild, kEnumerate };

  bool EnsureLoaded();
  // Walks the records; in build mode into `list` (which may be null).
  void Walk(Mode mode, GDeviceFontList* list);

  Callback callback_ = nullptr;
  void* argument_ = nullptr;
  std::int32_t sum_ = 0;
};
