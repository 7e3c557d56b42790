// GGraphicBundle: a graphic's graphic state, the attribute set that a
// graphic (or a null command that sets the state of those after it)
// carries under the bundle key kGraphicBundleKey: its brush (kBrushKey), pen
// (kPenKey), clip (kClipKey), raster operation (kRasterOperationKey), transform
// and fill mode, and the attributes under keys kBundleFirstKey,
// kBundleSecondKey and kBundleThirdKey, which the bundle carries as they are.
// As a GState (state.h), it replaces a present attribute of the same kind and
// key when one is added.
//
// Per key it finds (the first attribute with the key, depth first, left in
// place), takes out (removes the first one and hands it over: the
// attribute itself, or a copy while others still hold it; the caller owns
// the answer) and sets: Set takes out and lets go of whatever the key
// holds, then gives the new attribute the key and adds it, so that the key
// holds that one attribute even when the old one was of another kind (a
// GNoPen in place of a GPen). The typed forms answer null when the key
// holds an attribute of another kind, which they leave in place.
//
// Class id 101, registered as "GGraphicBundle"; kind test 101, 758, 757,
// 753, 751; TypeId 101. Every constructor gives kGraphicBundleKey (the one that
// takes a 32-bit argument ignores it). Content equality: the attribute
// composite's.
//
// Stored form: the GState part (state.h, the attribute composite's form),
// then
//   version  u32  kGraphicBundleVersion
// A restore reads the word and does not act on it.
//
// Ownership and threads: as GAttributeComposite.
#pragma once

#include <cstdint>
#include <span>

#include "config/keys/settings_keys.h"
#include "foundation/rw/registration.h"
#include "output/attributes/brush.h"
#include "output/attributes/clip.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/core/state.h"
#include "output/graphics/graphic.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGGraphicBundleId = 101;
inline constexpr std::uint32_t kGraphicBundleVersion = 1;

class GGraphicBundle final : public MPersistentClass<GGraphicBundle, GState, kGGraphicBundleId> {
 public:
  // Empty; kGraphicBundleKey.
  GGraphicBundle() : MPersistentClass(kGraphicBundleKey) {}
  explicit GGraphicBundle(std::uint32_t) : GGraphicBundle() {}
  GGraphicBundle(const GGraphicBundle& other) = default;

  // The GState part and 4.
  RWSize StoredSize() const override;

  GAttribute* Find(std::uint32_t key);
  // The caller owns the answer; null when the key holds nothing.
  GAttribute* Take(std::uint32_t key);
  // `attribute` (none when null) becomes the key's one attribute; the
  // bundle takes it as AddChild does.
  void Set(std::uint32_t key, GAttribute* attribute);

  GBrush* FindBrush() { return FindAs<GBrush>(kBrushKey); }
  GPen* FindPen() { return FindAs<GPen>(kPenKey); }
  GClip* FindClip() { return FindAs<GClip>(kClipKey); }
  GRasterOperation* FindRasterOperation() { return FindAs<GRasterOperation>(kRasterOperationKey); }
  GBrush* TakeBrush() { return TakeAs<GBrush>(kBrushKey); }
  GPen* TakePen() { return TakeAs<GPen>(kPenKey); }
  GClip* TakeClip() { return TakeAs<GClip>(kClipKey); }
  GRasterOperation* TakeRasterOperation() { return TakeAs<GRasterOperation>(kRasterOperationKey); }
  void SetBrush(GBrush* brush) { Set(kBrushKey, brush); }
  void SetPen(GPen* pen) { Set(kPenKey, pen); }
  void SetClip(GClip* clip) { Set(kClipKey, clip); }
  void SetRasterOperation(GRasterOperation* operation) { Set(kRasterOperationKey, operation); }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  template <class T>
  T* FindAs(std::uint32_t key) {
    return dynamic_cast<T*>(Find(key));
  }
  template <class T>
  T* TakeAs(std::uint32_t key) {
    T* found = FindAs<T>(key);
    return found ? static_cast<T*>(RemoveChild(found)) : nullptr;
  }
};

extern template class MPersistentClass<GGraphicBundle, GState, kGGraphicBundleId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> GraphicBundleClasses();
