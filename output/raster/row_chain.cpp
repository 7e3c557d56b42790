#include "output/raster/row_chain.h"

#include <algorithm>
#include <utility>

#include "foundation/rw/support.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/row_stages.h"
#include "output/raster/scaler.h"

namespace {

template <class T, class... Args>
std::unique_ptr<GRasterRowSource> MakeStage(Args&&... args) {
  return std::unique_ptr<GRasterRowSource>(RWNew<T>(std::forward<Args>(args)...));
}

std::int64_t Area(const GShortRect& r) {
  return std::int64_t{r.right - r.left} * (r.bottom - r.top);
}

}  // namespace

// ---------------------------------------------------------------------------
// GRasterRowChain

GRasterRowChain::GRasterRowChain(std::vector<std::unique_ptr<GRasterRowSource>> stages) {
  bool last_linked = false;
  for (std::unique_ptr<GRasterRowSource>& stage : stages) {
    last_linked = false;
    if (!stage) continue;
    if (!stages_.empty()) {
      stage->SetUpstream(stages_.back().get());
      if (!stage->Begin()) continue;  // deleted with `stages`
    }
    stages_.push_back(std::move(stage));
    last_linked = true;
  }
  // Without its last stage (the encoder) the rows would leave the chain in
  // some other stage's form: such a chain hands out nothing.
  upstream_ = last_linked ? stages_.back().get() : nullptr;
  ready_ = last_linked ? 1 : 0;
}

GRasterRowChain::~GRasterRowChain() {
  // Near end first, so that no stage outlives the one it pulls from.
  while (!stages_.empty())
    stages_.pop_back();
}

std::uint32_t GRasterRowChain::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                      std::uint32_t& length, std::uint8_t& repeat_count,
                                      std::uint8_t& rows_delivered) {
  return ForwardRow(row, row_index, length, repeat_count, rows_delivered);
}

void GRasterRowChain::SkipRows(std::uint16_t count) {
  if (upstream_) upstream_->SkipRows(count);
}

// ---------------------------------------------------------------------------
// GRasterSourceBuilder

std::unique_ptr<GRasterRowChain> GRasterSourceBuilder::Build(
    const GShortRect& target, GShortRect& source, const GClip* clip, const GBitmap& bitmap,
    std::unique_ptr<GRasterRowSource> encoder, const GRasterChainValues& values) {
  GBitmap shared(bitmap);
  shared.SetChainValue(values.chain_value);
  std::uint32_t bits = shared.GetBitsPerPixel();
  if (IsGrayReadMode(values.output_form)) bits = std::min(bits, 8u);

  GShortRect visible, visible_target;
  FitRectanglesToClip(source, target, clip, visible, visible_target);
  if (visible.IsEmpty()) return nullptr;

  const std::int64_t target_area = Area(target);
  bool resizes = false;
  switch (values.scaling_mode) {
    case 0:
      resizes = target_area > Area(visible) || values.resize_switch == 1;
      break;
    case 1:
      resizes = true;
      break;
    case 2:
      resizes = bits / 8 * target_area > Area(visible);
      break;
  }
  const bool same_width = source.right - source.left == target.right - target.left;
  const bool same_size = same_width && source.bottom - source.top == target.bottom - target.top;
  const bool passes = same_size && (values.scaling_mode != 0 || !clip);
  if (resizes && !passes && !same_width && bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    return nullptr;
  }

  std::vector<std::unique_ptr<GRasterRowSource>> stages;
  stages.push_back(
      MakeStage<GBitmapRowSource>(resizes ? source : visible, shared, values.output_form));
  if (!stages[0] || !stages[0]->Begin()) return nullptr;
  if (resizes) {
    stages.push_back(passes ? MakeStage<GRasterPassThrough>(target)
                            : MakeStage<GRasterScaler>(target));
  }
  if (values.scaling_mode == 1 || values.scaling_mode == 2) {
    auto* dither = RWNew<GDitherRowSource>(source, values.matrix, nullptr);
    if (dither) dither->SetPhaseOffset(values.x_phase, values.y_phase);
    stages.emplace_back(dither);
  }
  if (clip && resizes) stages.push_back(MakeStage<GClipRowSource>(clip));
  stages.push_back(std::move(encoder));
  source = visible;
  std::unique_ptr<GRasterRowChain> chain(RWNew<GRasterRowChain>(std::move(stages)));
  if (!chain || !chain->IsReady()) return nullptr;
  return chain;
}
