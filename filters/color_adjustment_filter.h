// GTintvectorFilter: carries the document's Tintvector colour adjustment
// (the attribute under kColorAdjustmentKey of the document start) to the
// generator.
// The mode word says how:
//   1     every graphic (603, 607, 651-663, 702), raster (604) and text
//         (801, 804) gets a GHalftone and a GColorMap (key 0) with that
//         kind's choices, each unless its set already holds one of that
//         class id (790, 791);
//   3, 4  every page start gets one GTintvectorEnhancedAttribute (8 bytes)
//         or GTintvectorEnhancedAttributeVer2 (10 bytes) under
//         kColorAdjustmentKey;
//   0     the first document start disables the filter.
// The choices are read once per document (ReadSettings), and only when
// the job's setting kColorDeviceKey (GRenderDriverData::GetCachedValue) is 0 or
// 1; with kColorDeviceKey = 2 a document keeps the previous document's choices.
// Document end, job abort and a pass break (718) let the next document start
// read again (ForgetSettings); the chain's Reset (a new job) also clears the
// choices. A choice that cannot be read is 65535, held as -1; an
// attribute byte gets its low byte, 255.
//
// GHalftone shares class id 790 with GHalftoneEnhanced, which the factory
// makes for 790: a halftone added here that is spooled and read back
// reaches the generator as a GHalftoneEnhanced with the same value.
//
// Class id 1107, registered as "GTintvectorFilter". Stored form (version
// word 3): the GPeripheral part, u32 3, the mode as i16; a restore of
// another version keeps the mode. A copy keeps only the GPeripheral part
// (mode 0). GetFlags answers 0.
//
// Ownership: the job context is not owned. Threads: one job's thread.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "filters/filter_class.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGTintvectorFilterId = 1107;
inline constexpr std::uint32_t kTintvectorFilterVersion = 3;

class GRenderDriverData;

class GTintvectorFilter final
    : public GFilterClass<GTintvectorFilter, kGTintvectorFilterId, true, kTintvectorFilterVersion> {
 public:
  GTintvectorFilter() = default;
  explicit GTintvectorFilter(const std::uint32_t& key) : GFilterClass(key) {}
  // The GPeripheral values 0, 6 and 2.
  GTintvectorFilter(const RWCString& name, GAttributeComposite* attributes,
                    MPersistentObject* configuration, const std::uint32_t& key, std::int32_t mode);
  // The GPeripheral part only; own fields as constructed by default.
  GTintvectorFilter(const GTintvectorFilter& other) : GFilterClass(other) {}

  GCountedPtr Transform(const GCountedPtr& command) override;
  void Reset() override;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t DocumentEnd(GDocumentEnd& command) override;
  std::uint16_t OnPassBreak(GCommand& command) override;
  std::uint16_t JobAbort(GJobAbort& command) override;

  // The choices of `set`'s key-295 attribute, once per document; nothing
  // without a job context or a set.
  virtual void ReadSettings(GAttributeComposite* set);
  // The next document start reads again. Answers 0.
  virtual std::uint16_t ForgetSettings();

  std::int32_t Mode() const { return mode_; }

 private:
  friend GFilterClass;

  RWSize OwnFieldsSize() const { return 2; }
  bool SameOwnFields(const GTintvectorFilter& other) const { return mode_ == other.mode_; }
  template <class Out>
  void SaveOwnFields(Out& out) const {
    PutItem(out, static_cast<std::int16_t>(mode_));
  }
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version) {
    std::int16_t mode = 0;
    if (version != kTintvectorFilterVersion) return;
    if (!GetItem(in, mode)) {
      scope.Fail();
      return;
    }
    mode_ = mode;
  }

  // The page start's enhanced attribute (modes 3 and 4).
  void AddEnhanced(GAttributeComposite* set) const;

  GRenderDriverData* job_ = nullptr;
  std::int32_t mode_ = 0;
  std::uint32_t settings_read_ = 0;
  // Mode 1: halftone and colour map of text, graphics, images.
  std::array<std::int32_t, 3> halftone_{};
  std::array<std::int32_t, 3> color_map_{};
  // Modes 3, 4: setting 1 of objects 0-2, setting 0 of objects 0-2,
  // setting 2 of object 3, then setting 3 of object 3 (mode 3) or of
  // objects 0-2 (mode 4).
  std::array<std::int32_t, 11> enhanced_{};
};

extern template class MPersistentClass<GTintvectorFilter, GPeripheral, kGTintvectorFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TintvectorFilterClasses();
