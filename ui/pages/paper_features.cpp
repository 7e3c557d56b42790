#include "ui/pages/paper_features.h"

#include <algorithm>
#include <memory>

#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "ui/framework/ui_context.h"

bool GPaperSizeFeature::IsOutsideSizeLimits(std::uint16_t paper_id) {
  GUIContext* context = GetContext();
  if (paper_id == 0) paper_id = static_cast<std::uint16_t>(GetValue());
  const auto orientation = static_cast<std::uint32_t>(GetAttributeValue(kOrientationKey));
  const std::int32_t x = GetAttributeValue(kXResolutionKey);
  const std::int32_t y = GetAttributeValue(kYResolutionKey);
  const std::int32_t resolution = std::min(x, y);
  if (resolution <= 0) return false;
  const GAttributeView config = context->GetConfigView();
  const auto dpi = static_cast<std::uint16_t>(resolution);
  const std::unique_ptr<GMedia> paper = config.FindMediaSquare(paper_id, orientation, dpi);
  const std::unique_ptr<GMedia> least =
      config.FindMediaSquare(kSmallestLimitMedium, orientation, dpi);
  const std::unique_ptr<GMedia> most =
      config.FindMediaSquare(kLargestLimitMedium, orientation, dpi);
  if (!paper || !least || !most) return false;
  const GSize16& size = paper->GetPaperSize();
  return size.width < least->GetPaperSize().width || size.height < least->GetPaperSize().height ||
         size.width > most->GetPaperSize().width || size.height > most->GetPaperSize().height;
}
