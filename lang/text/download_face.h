// GDownloadFace: the command that asks a generator to download a font face
// ahead of the text that uses it. It carries the font (fonts/font.h) and a
// request word; a 16-bit word, a name (up to kFaceNameLength characters)
// and a 32-bit word are the generators' own, written only by their set
// operations, neither copied nor stored. Executed on a device it calls the
// device's DownloadFace handler with itself.
//   MakeSelfContained (the preparation): with a font, asks it for its
//   glyphs: GFont::RequestGlyphs(mode, request word), mode 1 when the
//   font's kind is 1, else 2. Saving makes the same request first; a
//   command without a font makes none and is saved with the nil object.
// The character-set class and lead-byte test that the generators use
// beside the command are the text's (GetCodeSetWidthClass and IsLeadByte,
// text_string.h).
//
// Class id 806, registered as "GDownloadFace"; kind test 806, 601, 751.
// Stored form, after the GCommand part (RWFile items little-endian; a
// virtual stream writes the same items):
//   version       u32  kDownloadFaceVersion
//   font          object reference (the nil object for none)
//   request word  i32
// A restore of another version keeps the command as it was; the font read
// must be a GFont that nothing else in the graph holds, else the restore
// fails. Stored size: the GCommand part + 8 + the font's reference as the
// graph writes it (6 for the nil object).
//
// Equality: the same object; or the same class, equal request words, and
// fonts that are the same or both present and equal.
//
// Ownership: the command owns its font outright (held alone, through a
// counted pointer). Threads: one command is used by one thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/command.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

class GFont;

inline constexpr RWClassID kGDownloadFaceId = 806;
inline constexpr std::uint32_t kDownloadFaceVersion = 1;
inline constexpr std::uint32_t kFaceNameLength = 128;

class GDownloadFace final : public MPersistentClass<GDownloadFace, GCommand, kGDownloadFaceId> {
 public:
  // No font; every word 0 and an empty name.
  GDownloadFace() = default;
  // Takes `font` (null: none).
  GDownloadFace(GFont* font, std::uint32_t request);
  // The command part copied, a copy of the font, the request word; the
  // generators' words and name start empty.
  GDownloadFace(const GDownloadFace& other);
  GDownloadFace& operator=(const GDownloadFace&) = delete;

  GFont* GetFont() const;
  // Each lets go of the font held (freed unless someone else holds it)
  // and takes `font`; AttachFont answers 1.
  void SetFont(GFont* font);
  std::uint32_t AttachFont(GFont* font);
  std::uint32_t GetRequest() const { return request_; }
  std::uint16_t GetWord16() const { return word16_; }
  std::uint32_t SetWord16(std::uint16_t word);
  std::uint32_t GetWord32() const { return word32_; }
  std::uint32_t SetWord32(std::uint32_t word);
  // Copies at most kFaceNameLength characters of `text` (null: none);
  // answers 1.
  std::uint32_t SetName(const char* text);
  const char* GetName() const { return name_; }

  void MakeSelfContained() override;
  // device.DownloadFace(*this).
  std::uint16_t Execute(GPeripheral& device) override;

  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  void RequestGlyphs() const;

  GCountedPtr font_;  // the GFont, or none
  std::uint32_t request_ = 0;
  std::uint16_t word16_ = 0;
  char name_[kFaceNameLength + 1] = {};
  std::uint32_t word32_ = 0;
};

extern template class MPersistentClass<GDownloadFace, GCommand, kGDownloadFaceId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DownloadFaceClasses();
