#include "filters/reducing_filter.h"

#include <algorithm>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/attributes/brush.h"
#include "output/attributes/clip.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/result_commands.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"
#include "persist/find_of_class.h"

namespace {

constexpr RWClassRegistration kReducingFilterClasses[] = {
    {&RWCreate<GReducingFilter>, kGReducingFilterId, "GReducingFilter"},
};

// Paints of this kind never qualify (no class of ours has it).
constexpr RWClassID kExcludedPaintKind = 153;
constexpr std::uint16_t kCopyLowByte = 0xF0;

struct Box {
  std::int32_t left, top, right, bottom;
};

Box Ordered(Box b) {
  if (b.left > b.right) std::swap(b.left, b.right);
  if (b.top > b.bottom) std::swap(b.top, b.bottom);
  return b;
}

Box BoxOf(const GRectangleRecord& r) {
  return {r.left, r.top, r.right, r.bottom};
}
Box ClipOf(const GRectangleRecord& r) {
  return {r.clip_left, r.clip_top, r.clip_right, r.clip_bottom};
}
void SetBox(GRectangleRecord& r, const Box& b) {
  r.left = b.left, r.top = b.top, r.right = b.right, r.bottom = b.bottom;
}

// More than touching, or sharing a strip one unit wide, on both axes.
bool Overlaps(const Box& a, const Box& b) {
  return a.left < b.right - 1 && b.left < a.right - 1 && a.top < b.bottom - 1 &&
         b.top < a.bottom - 1;
}

Box Intersection(const Box& a, const Box& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

// `outer` outside `inner` (which lies inside it): left, right, top, bottom
// strips, those that are not empty.
int Difference(const Box& outer, const Box& inner, Box (&strips)[4]) {
  int n = 0;
  if (inner.left > outer.left) strips[n++] = {outer.left, inner.top, inner.left, outer.bottom};
  if (outer.right > inner.right) strips[n++] = {inner.right, inner.top, outer.right, outer.bottom};
  if (inner.top > outer.top) strips[n++] = {outer.left, outer.top, outer.right, inner.top};
  if (outer.bottom > inner.bottom)
    strips[n++] = {inner.left, inner.bottom, inner.right, outer.bottom};
  return n;
}

// The 24-bit colour of a record's brush; false unless its paint is a
// colour paint with a colour.
bool BrushColour(const GRectangleRecord& r, std::uint32_t& colour) {
  auto* brush = dynamic_cast<GBrush*>(r.brush.Get());
  auto* paint = brush ? dynamic_cast<GColorPaint*>(brush->GetPaint()) : nullptr;
  GRGBColor* rgb = paint ? paint->GetColor() : nullptr;
  if (!rgb) return false;
  colour =
      (std::uint32_t{rgb->GetRed()} << 16) | (std::uint32_t{rgb->GetGreen()} << 8) | rgb->GetBlue();
  return true;
}

enum class Kind { kNone, kCovers, kCancels, kBlackens };

Kind Classify(const GRectangleRecord& x, const GRectangleRecord& h) {
  std::uint32_t x_colour = 0, h_colour = 0;
  if (!BrushColour(x, x_colour) || !BrushColour(h, h_colour)) return Kind::kNone;
  if (h.binary_rop == kBinaryCopy) return Kind::kCovers;
  if (h.binary_rop != kBinaryXor) return Kind::kNone;
  if (x.binary_rop == kBinaryXor && x_colour == h_colour) return Kind::kCancels;
  if (x.binary_rop == kBinaryCopy && x_colour == 0) return Kind::kBlackens;
  return Kind::kNone;
}

GRectangleRecord Blackened(GRectangleRecord r) {
  r.binary_rop = kBinaryCopy;
  r.rop = static_cast<std::uint16_t>((r.rop & 0xFF00) | kCopyLowByte);
  return r;
}

GRectangleRecord WithBox(GRectangleRecord r, const Box& b) {
  SetBox(r, b);
  return r;
}

// A copy of the attribute, for a rebuilt bundle (records may share one).
MPersistentObject* CopyOf(const GCountedPtr& attribute) {
  return attribute ? static_cast<MPersistentObject*>(attribute->CreateCopy()) : nullptr;
}

// Whether a rectangle graphic takes part in the merge (see the header).
bool Qualifies(GCommand& command) {
  if (command.ClassId() != kGRectangleGraphicId) return false;
  GAttributeComposite* set = command.GetAttributes();
  if (!set) return false;
  MPersistentObject* pen = set->FindByKey(kPenKey);
  auto* brush = FindOfClass<GBrush>(set, kBrushKey);
  MPersistentObject* clip = set->FindByKey(kClipKey);
  if (!pen || !pen->IsKindOf(kGNoPenId) || !brush || !brush->GetPaint() ||
      brush->GetPaint()->IsKindOf(kExcludedPaintKind)) {
    return false;
  }
  if (!clip || clip->IsKindOf(kGClipToPageId)) return true;
  auto* single = dynamic_cast<GClipToSingleRectangle*>(clip);
  if (!single) return false;
  // One that misses its clip paints nothing: passed on, not merged.
  const GShortRect& c = single->GetRectangle();
  const GShortRect& b = static_cast<GRectangleGraphic&>(command).GetBounds();
  return Overlaps(Ordered({b.left, b.top, b.right, b.bottom}),
                  Ordered({c.left, c.top, c.right, c.bottom}));
}

}  // namespace

template class MPersistentClass<GReducingFilter, GPeripheral, kGReducingFilterId>;

std::span<const RWClassRegistration> ReducingFilterClasses() {
  return kReducingFilterClasses;
}

GCountedPtr GReducingFilter::Transform(const GCountedPtr& command) {
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  if (!in_hand) return command;
  if (in_hand->ClassId() == kGDocumentStartId) {
    Enable();
    Clear();
    return command;
  }
  GRectangleRecord record;
  bool made = false;
  if (Qualifies(*in_hand) && count_ < kMaxHeldRecords) {
    made = MakeRecord(static_cast<GRectangleGraphic&>(*in_hand), record);
    if (made && TakeIn(std::move(record))) return Held(RWNew<GNoCommand>(0u));
  }
  GCountedPtr composite = Flush();
  if (!composite) return command;
  // A record made is among the flushed rectangles already.
  if (!made) {
    in_hand->MakeSelfContained();
    composite->AddChild(in_hand);
  }
  return composite;
}

bool GReducingFilter::MakeRecord(GRectangleGraphic& rectangle, GRectangleRecord& record) {
  GAttributeComposite* set = rectangle.GetAttributes();
  auto* rop = FindOfClass<GRasterOperation>(set, kRasterOperationKey);
  if (!rop || !FindOfClass<GBrush>(set, kBrushKey)) return false;
  record = GRectangleRecord();
  const std::uint16_t code = rop->GetRop();
  record.binary_rop = static_cast<std::uint16_t>((((code & 0x30) >> 2) | (code & 3)) + 1);
  record.rop = code;
  record.rop_value = rop->GetValue();
  const GShortRect& bounds = rectangle.GetBounds();
  SetBox(record, {bounds.left, bounds.top, bounds.right, bounds.bottom});
  if (auto* clip = FindOfClass<GClipToSingleRectangle>(set, kClipKey)) {
    const GShortRect& c = clip->GetRectangle();
    record.clip_kind = 0;
    record.clip_left = c.left, record.clip_top = c.top;
    record.clip_right = c.right, record.clip_bottom = c.bottom;
    record.clip_values[0] = clip->GetFirstValue();
    record.clip_values[1] = clip->GetSecondValue();
  }
  record.brush = Held(set->RemoveByKey(kBrushKey));
  record.pen = Held(set->RemoveByKey(kPenKey));
  record.attribute182 = Held(set->RemoveByKey(kBundleThirdKey));
  record.attribute172 = Held(set->RemoveByKey(kBundleSecondKey));
  record.attribute166 = Held(set->RemoveByKey(kBundleFirstKey));
  return true;
}

void GReducingFilter::AddToRun(GRectangleRecord record) {
  SetBox(record, Ordered(BoxOf(record)));
  run_.push_back(std::move(record));
  ++count_;
}

bool GReducingFilter::TakeIn(GRectangleRecord record) {
  if (record.clip_kind == 0) {
    const Box clip = Ordered(ClipOf(record)), box = Ordered(BoxOf(record));
    if (Overlaps(box, clip)) SetBox(record, Intersection(box, clip));
  }
  if (run_.empty()) {
    AddToRun(std::move(record));
    return true;
  }
  SetBox(record, Ordered(BoxOf(record)));
  Pieces pending;
  pending.push_back(std::move(record));
  for (HeldRecord h = run_.begin(); h != run_.end();) {
    // Most held records meet no piece: the pending list then stands as it
    // is.
    if (std::none_of(pending.begin(), pending.end(), [&](const GRectangleRecord& piece) {
          return Overlaps(BoxOf(piece), BoxOf(*h));
        })) {
      ++h;
      continue;
    }
    Pieces next;
    bool removed = false;
    for (auto piece = pending.begin(); piece != pending.end(); ++piece) {
      if (removed || !Overlaps(BoxOf(*piece), BoxOf(*h))) {
        next.push_back(std::move(*piece));
        continue;
      }
      const Outcome outcome = Resolve(*piece, h, next);
      if (outcome == Outcome::kFailed) {
        for (GRectangleRecord& rest : next)
          AddToRun(std::move(rest));
        for (; piece != pending.end(); ++piece)
          AddToRun(std::move(*piece));
        return false;
      }
      removed = outcome == Outcome::kRemoved;
    }
    pending = std::move(next);
    if (removed) {
      h = run_.erase(h);
      --count_;
    } else {
      ++h;
    }
  }
  for (GRectangleRecord& piece : pending)
    AddToRun(std::move(piece));
  return true;
}

GReducingFilter::Outcome GReducingFilter::Resolve(const GRectangleRecord& x, HeldRecord h,
                                                  Pieces& next) {
  const Kind kind = Classify(x, *h);
  if (kind == Kind::kNone) return Outcome::kFailed;
  const Box x_box = BoxOf(x), h_box = BoxOf(*h);
  const Box overlap = Intersection(x_box, h_box);
  Box new_pieces[4], held_pieces[4];
  const int new_count = Difference(x_box, overlap, new_pieces);
  const int held_count = Difference(h_box, overlap, held_pieces);
  if (new_count == 0) {
    if (kind == Kind::kCovers) AddToRun(x);
    if (kind == Kind::kBlackens) AddToRun(Blackened(x));
  } else {
    if (kind == Kind::kCovers) next.push_back(x);
    if (kind == Kind::kBlackens) AddToRun(Blackened(WithBox(x, overlap)));
    if (kind != Kind::kCovers) {
      for (int i = 0; i < new_count; ++i)
        next.push_back(WithBox(x, new_pieces[i]));
    }
  }
  if (held_count == 0) return Outcome::kRemoved;
  SetBox(*h, held_pieces[0]);
  for (int i = 1; i < held_count; ++i)
    AddToRun(WithBox(*h, held_pieces[i]));
  return Outcome::kKept;
}

GCountedPtr GReducingFilter::Flush() {
  if (count_ < 1) return GCountedPtr();
  GCountedPtr composite = Held(RWNew<GCommandComposite>());
  if (composite) {
    for (const GRectangleRecord& record : run_) {
      GCountedPtr rectangle = MakeRectangle(record);
      composite->AddChild(rectangle.Get());
    }
  }
  Clear();
  return composite;
}

GCountedPtr GReducingFilter::MakeRectangle(const GRectangleRecord& record) {
  auto* bundle = RWNew<GGraphicBundle>();
  GCountedPtr hold_bundle = Held(bundle);
  if (!bundle) return GCountedPtr();
  if (record.clip_kind == 1) {
    bundle->AddChild(RWNew<GClipToPage>(kClipKey));
  } else {
    const Box c = Ordered(ClipOf(record));
    const GShortRect clip{static_cast<std::int16_t>(c.left), static_cast<std::int16_t>(c.top),
                          static_cast<std::int16_t>(c.right), static_cast<std::int16_t>(c.bottom)};
    bundle->AddChild(RWNew<GClipToSingleRectangle>(clip, record.clip_values[0],
                                                   record.clip_values[1], kClipKey));
  }
  for (const GCountedPtr* attribute : {&record.pen, &record.brush, &record.attribute182,
                                       &record.attribute172, &record.attribute166}) {
    bundle->AddChild(CopyOf(*attribute));
  }
  bundle->AddChild(RWNew<GRasterOperation>(record.rop, record.rop_value, 0u));
  const Box b = Ordered(BoxOf(record));
  const GShortRect box{static_cast<std::int16_t>(b.left), static_cast<std::int16_t>(b.top),
                       static_cast<std::int16_t>(b.right), static_cast<std::int16_t>(b.bottom)};
  return Held(RWNew<GRectangleGraphic>(box, bundle, 0u));
}

void GReducingFilter::Clear() {
  run_.clear();
  count_ = 0;
}

template <class In>
void GReducingFilter::RestoreOwnFields(In&, MRestoreScope&, std::uint32_t version) {
  if (version == kFilterVersion) Clear();
}
