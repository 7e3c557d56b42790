// GQCFLibrary: the binding to the configuration helper library of the
// driver family ("KVSOLA32.dll" in this library's own directory), which
// keeps the printer's feature-key store: installed options in the context
// "physical", document defaults in "printing", and their factory twins.
// The binding registers the library, loads it, resolves its 23 entries
// (qcf_entry_points.h) and forwards one operation to each. A forwarding
// operation whose entry is not resolved answers 0 and calls nothing, which
// every caller reads as a missing key or an empty read; so an import over
// a missing or incomplete library changes nothing.
//
// It also keeps the optional QCFHELPER entry of a second helper library
// (bound by the importer) with the request block it passes to it.
//
// Ownership: the binding holds the module (freed when it goes) and the
// request block. One binding is made per import or export (the importer
// owns it) and handed to every converter, which does not own it. Threads:
// one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "config/import/qcf_entry_points.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

// The library's file name, appended to the module directory.
inline constexpr char16_t kQCFLibraryFileName[] = u"KVSOLA32.dll";
// The command that registers it, followed by the quoted path.
inline constexpr char kQCFRegisterCommand[] = "regsvr32 /s ";

class GQCFLibrary {
 public:
  // Builds the path from the driver services' module directory; runs the
  // registration command (WinExec, show state 5), whose failure (a result
  // below 32) only lowers the usable flag; loads the library; resolves the
  // 23 entries in the helper's own order (not slot order). Usable when
  // every entry resolved; load attempted once the library loaded.
  GQCFLibrary();
  GQCFLibrary(const GQCFLibrary&) = delete;
  GQCFLibrary& operator=(const GQCFLibrary&) = delete;
  // Frees the library when held, and the request block.
  ~GQCFLibrary();

  // 1 only when the library loaded and all 23 entries resolved.
  std::uint32_t Usable() const { return usable_; }
  std::uint32_t LoadAttempted() const { return load_attempted_; }
  platform::HMODULE Module() const { return module_; }
  const RWWString& Path() const { return path_; }

  // --- Forwarding operations, in slot order: the entry's answer, or 0.

  // Opens a configuration run; nonzero = open.
  std::uint32_t StartConfig(const char16_t* printer, std::uint32_t mode, const char16_t* context,
                            std::uint32_t word);
  // Opens an export run; nonzero = open. Looks "QCFStartExport" up again on
  // every call and keeps what it finds in its slot.
  std::uint32_t StartExport(const char16_t* printer, const char16_t* context, std::uint32_t flag);
  std::uint32_t SetListSeparator(QCFWord word);
  std::uint32_t SetContextRelative(QCFWord word);
  // Makes the full key path (such as "printing/Folding") current; nonzero
  // when the key exists.
  std::uint32_t SetContext(const char16_t* key);
  // Writes an option word to a key; nonzero when the store took it.
  std::uint32_t SetExport(const char16_t* key, const char16_t* word);
  std::uint32_t GetOptionAttributes(QCFWord first, QCFWord second);
  std::uint32_t GetNamedOptionAttribute(QCFWord first, QCFWord second, QCFWord third);
  // The named attribute (such as "lock") of a key into `buffer`; 1 = found.
  std::uint32_t GetNamedFeatureAttribute(const char16_t* key, const char16_t* name,
                                         char16_t* buffer, std::uint32_t capacity);
  std::uint32_t GetListSeparator(QCFWord word);
  std::uint32_t GetFeatureAttributes(QCFWord first, QCFWord second);
  std::uint32_t GetContext(QCFWord word);
  // The option word of `key` (null: the current key) into `buffer`,
  // terminated; nonzero when delivered.
  std::uint32_t Get(const char16_t* key, char16_t* buffer, std::uint32_t capacity);
  std::uint32_t GetPRV(QCFWord first, QCFWord second);
  std::uint32_t EnumOptions(QCFWord first, QCFWord second);
  std::uint32_t EnumOptionAttributes(QCFWord first, QCFWord second);
  // Moves the next short feature name of `list` into `token`; nonzero while
  // one was delivered.
  std::uint32_t EnumListToken(char16_t* token, char16_t* list, std::uint32_t token_capacity);
  // The context's feature names into `list`; 1 = success.
  std::uint32_t EnumFeatures(const char16_t* context, char16_t* list, std::uint32_t capacity);
  std::uint32_t EnumFeatureAttributes(QCFWord first, QCFWord second);
  // 8-bit model text into a wide buffer, and a wide option word into an
  // 8-bit buffer (capacity in bytes); nonzero when it fit.
  std::uint32_t CharToWide(char16_t* buffer, const char* text, std::uint32_t capacity);
  std::uint32_t WideToChar(char* buffer, const char16_t* text, std::uint32_t capacity);
  std::uint32_t EndConfig();
  std::uint32_t EndExport();

  // --- The QCFHELPER entry.

  // Keeps `entry` (null allowed) and makes a fresh request block: code 0,
  // context `importer`, the other words 0.
  void SetHelper(QCFHelperEntry entry, void* importer);
  // 0 when no entry or no block is there; else fills the block (code,
  // third, fourth, pointer), calls the entry and answers its 16-bit result
  // widened with its sign. Nonzero means the helper handled the feature.
  std::int32_t CallHelper(std::uint32_t code, void* pointer, std::uint32_t third,
                          std::uint32_t fourth);
  GQCFRequestBlock* RequestBlock() const { return request_block_.get(); }

 private:
  void Resolve(QCFSlot slot);
  template <class Entry, class... Args>
  std::uint32_t Forward(QCFSlot slot, Args... args) const;

  std::uint32_t usable_ = 0;
  platform::HMODULE module_ = nullptr;
  std::uint32_t load_attempted_ = 0;
  RWWString path_;
  std::unique_ptr<GQCFRequestBlock> request_block_;
  platform::FARPROC entries_[kQCFEntryCount] = {};  // by slot
  QCFHelperEntry helper_ = nullptr;
};

// Exact, case-sensitive comparison of two terminated wide strings (null is
// the empty string): 1 when both are empty, the length in characters when
// they are equal, else 0. Callers take it as a truth value.
std::uint32_t WideStringsEqual(const char16_t* a, const char16_t* b);

// Copies `source` (null: empty) with its terminator into `destination` of
// `capacity` units and answers `destination`; when it does not fit, leaves
// `destination` empty (capacity 0: untouched) and answers null.
char16_t* WideStringCopy(char16_t* destination, std::size_t capacity, const char16_t* source);
