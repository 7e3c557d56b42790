// GDriverDataImp: the walks over media, trays and resource names, and the
// media and size queries built on them.
#include <algorithm>
#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "persist/resource_mapping.h"
#include "persist/string_conversion.h"

namespace {

// One walk's state under the shared callback contract (driver_data_imp.h).
class Walk {
 public:
  // Without a buffer or a callback the walk only counts.
  Walk(bool counting, std::uint32_t& index) : counting_(counting), index_(index) {}

  // Offers one item that passed the walk's skips: `call(index, out)` runs
  // the callback. False when the walk ends here.
  template <class Call>
  bool Offer(Call call) {
    if (counting_) {
      reported_ = true;
      ++index_;
      return true;
    }
    std::uint32_t out = 0;
    const int answer = call(index_, out);
    if (out != 0) reported_ = true;
    ++index_;
    return answer == 1;
  }

  int Result() const { return reported_ ? 1 : -1; }

 private:
  bool counting_;
  std::uint32_t& index_;
  bool reported_ = false;
};

template <class Size>
bool Within(const Size& size, const GSize16& minimum, const GSize16& maximum) {
  return static_cast<std::int64_t>(size.width) >= minimum.width &&
         static_cast<std::int64_t>(size.width) <= maximum.width &&
         static_cast<std::int64_t>(size.height) >= minimum.height &&
         static_cast<std::int64_t>(size.height) <= maximum.height;
}

std::int16_t Clamp16(std::int32_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(value, 0, kLargestMediaLength));
}

// A copy of `medium` whose margins are the larger of each pair of
// opposite margins (never below 0), and whose printable size is the paper
// less both (never below 0). Null when memory runs out.
GMedia* SymmetricCopy(const GMedia& medium) {
  const GSize16 paper = medium.GetPaperSize();
  const GSize16 printable = medium.GetPrintableSize();
  const GSize16 origin = medium.GetPrintableOrigin();
  const std::int32_t left = std::max<std::int32_t>(
      {origin.width, std::int32_t{paper.width} - printable.width - origin.width, 0});
  const std::int32_t top = std::max<std::int32_t>(
      {origin.height, std::int32_t{paper.height} - printable.height - origin.height, 0});
  return new (kRWNoThrow)
      GMedia(medium.GetName().Data(), paper,
             GSize16(Clamp16(paper.width - 2 * left), Clamp16(paper.height - 2 * top)),
             GSize16(Clamp16(left), Clamp16(top)), medium.GetOrientation(), medium.GetPaperSizeId(),
             medium.GetXResolution(), medium.GetYResolution(), medium.Key(), medium.GetAuxCode(),
             medium.GetAuxName().Data(), medium.GetMediaType().Data());
}

// The walk's search for the item whose mapping has a spooler number: it
// reports that item and ends the walk there.
struct NumberSearch {
  std::uint16_t number;
  bool found;
};

template <class Item>
int FindNumber(Item*, GResourceMapping* entry, std::uint32_t, void* buffer,
               std::uint32_t& reported) {
  auto* search = static_cast<NumberSearch*>(buffer);
  if (!entry || entry->SystemNumber() != search->number) return 1;
  search->found = true;
  reported = 1;
  return 0;
}

}  // namespace

GMediaPool* GDriverDataImp::GetSymmetricMediaPool() {
  if (SignedValueOr(default_settings_, kEmulateMarginsKey, 0) != 0)
    return FindOfClass<GMediaPool>(GetJobSettings(), kAlternativeMediaListKey);
  GMediaPool* media = GetMediaList();
  if (SignedValueOr(default_settings_, kSymmetricalMarginsKey, 0) == 0) return media;
  if (symmetric_pool_ || !media) return symmetric_pool_;
  auto* pool = new (kRWNoThrow) GMediaPool(0);
  if (!pool) return nullptr;
  std::unique_ptr<MChildIterator> walk(media->NewChildIterator());
  while (walk && walk->Next()) {
    if (auto* medium = dynamic_cast<GMedia*>(walk->Current())) {
      if (GMedia* copy = SymmetricCopy(*medium)) pool->AddChild(copy);
    }
  }
  symmetric_pool_ = pool;
  return pool;
}

void GDriverDataImp::CustomSizeLimits(std::uint32_t orientation, std::uint16_t x_resolution,
                                      std::uint16_t y_resolution, GSize16& minimum,
                                      GSize16& maximum) {
  GMediaPool* pool = GetSymmetricMediaPool();
  if (!pool) return;
  GMedia* smallest = nullptr;
  GMedia* largest = nullptr;
  pool->FindByPaperSizeIds(kSmallestCustomSizeId, kLargestCustomSizeId, orientation, x_resolution,
                           y_resolution, smallest, largest);
  if (smallest) minimum = smallest->GetPaperSize();
  if (largest) maximum = largest->GetPaperSize();
}

int GDriverDataImp::EnumMedia(GMediaCallback callback, std::uint32_t orientation,
                              std::uint16_t x_resolution, std::uint16_t y_resolution, int check,
                              void* buffer, int mapped_only, std::uint32_t& index) {
  Walk walk(!buffer || !callback, index);
  GMediaPool* pool = GetSymmetricMediaPool();
  if (!pool) return walk.Result();
  GSize16 minimum(0, 0);
  GSize16 maximum(kLargestMediaLength, kLargestMediaLength);
  if (check) CustomSizeLimits(orientation, x_resolution, y_resolution, minimum, maximum);
  auto* mapping = dynamic_cast<GResourceMappingList*>(GetPaperSizeMapping());
  // The pool's filtering walk, over its children in place.
  const GCountedPtrVector& media = pool->Children();
  for (RWSize i = 0; i < media.Count(); ++i) {
    GMedia* medium = AsMedium(media[i].Get());
    if (!medium || !GMediaPoolIterator::Passes(*medium, orientation, x_resolution, y_resolution,
                                               minimum, maximum)) {
      continue;
    }
    GResourceMapping* entry = nullptr;
    if (mapped_only) {
      entry = mapping
                  ? mapping->FindBySecondNumber(static_cast<std::int16_t>(medium->GetPaperSizeId()))
                  : nullptr;
      if (!entry) continue;
    }
    if (!walk.Offer([&](std::uint32_t at, std::uint32_t& out) {
          return callback(medium, entry, at, buffer, out);
        })) {
      break;
    }
  }
  return walk.Result();
}

int GDriverDataImp::EnumTrays(GTrayCallback callback, void* buffer, int mapped_only,
                              std::uint32_t& index) {
  Walk walk(!buffer || !callback, index);
  GAttributeComposite* bin_pool = GetBinPool();
  if (!bin_pool) return walk.Result();
  auto* tray_map = dynamic_cast<GResourceMappingList*>(GetTrayMap());
  // One pass over the trays of the installed paper sources that `wanted`
  // accepts; false when the walk ended.
  auto pass = [&](auto wanted) {
    const GCountedPtrVector& devices = bin_pool->Children();
    for (RWSize d = 0; d < devices.Count(); ++d) {
      auto* device = dynamic_cast<GPaperHandlingDevice*>(devices[d].Get());
      if (!device || device->GetDeviceType() != kPaperSource || !device->IsInstalled()) continue;
      std::unique_ptr<MChildIterator> trays(device->NewChildIterator());
      while (trays && trays->Next()) {
        auto* tray = dynamic_cast<GTray*>(trays->Current());
        if (!tray || !wanted(*tray)) continue;
        GResourceMapping* entry = nullptr;
        if (mapped_only) {
          entry = tray_map ? tray_map->FindBySecondNumber(static_cast<std::int16_t>(tray->GetId()))
                           : nullptr;
          if (!entry) continue;
        }
        if (!walk.Offer([&](std::uint32_t at, std::uint32_t& out) {
              return callback(tray, entry, at, buffer, out);
            })) {
          return false;
        }
      }
    }
    return true;
  };
  if (GAttributeComposite* order = FindComposite(GetJobSettings(), kTrayOrderKey)) {
    const GCountedPtrVector& ids = order->Children();
    for (RWSize i = 0; i < ids.Count(); ++i) {
      auto* id = dynamic_cast<GValueAttribute*>(ids[i].Get());
      if (!id) continue;
      if (!pass([id](const GTray& tray) { return tray.GetId() == id->GetValue(); })) break;
    }
  } else {
    pass([](const GTray&) { return true; });
  }
  return walk.Result();
}

int GDriverDataImp::EnumResourceNames(GResourceNameCallback callback, void* buffer, int,
                                      std::uint32_t& index) {
  Walk walk(!buffer || !callback, index);
  auto offer = [&](GResourceMapping* mapping, const RWWString* name) {
    return walk.Offer([&](std::uint32_t at, std::uint32_t& out) {
      return callback(mapping, name, at, buffer, out);
    });
  };
  if (auto* mappings = dynamic_cast<GResourceMappingList*>(GetResourceMappings())) {
    const GCountedPtrVector& entries = mappings->Children();
    for (RWSize i = 0; i < entries.Count(); ++i) {
      auto* mapping = dynamic_cast<GResourceMapping*>(entries[i].Get());
      if (mapping && !offer(mapping, nullptr)) return walk.Result();
    }
  }
  GResourceMappingList fresh(0);
  GAttributeComposite* names = FillResourceMappings(fresh);
  const GCountedPtrVector& made = fresh.Children();
  for (RWSize i = 0; i < made.Count(); ++i) {
    auto* mapping = dynamic_cast<GResourceMapping*>(made[i].Get());
    if (!mapping) continue;
    RWWString name;
    if (names && i < names->Children().Count()) {
      if (auto* text = dynamic_cast<GStringAttribute*>(names->Children()[i].Get()))
        NarrowToWide(text->GetValue(), name);
    }
    if (!offer(mapping, &name)) break;
  }
  return walk.Result();
}

GAttributeComposite* GDriverDataImp::FillResourceMappings(GResourceMappingList& list) {
  GAttributeComposite* names = FindComposite(EnsureDefaultSettings(), kUserMediaTypesKey);
  if (!names) return nullptr;
  // The numbers stop where the second number would leave 16 bits.
  constexpr std::int32_t kMostAppended = INT16_MAX - kFirstResourceSecondNumber;
  std::int32_t appended = 0;
  std::unique_ptr<MChildIterator> walk(names->NewChildIterator());
  while (walk && walk->Next() && appended <= kMostAppended) {
    std::unique_ptr<GResourceMapping> mapping(new (kRWNoThrow) GResourceMapping(
        0, static_cast<std::uint16_t>(kFirstResourceSystemNumber + appended),
        static_cast<std::int16_t>(kFirstResourceSecondNumber + appended), 0));
    if (!mapping) break;
    if (list.AddMapping(mapping.get())) {
      mapping.release();
      ++appended;
    }
  }
  return names;
}

int GDriverDataImp::HasResourceMapping(std::uint16_t number) {
  auto* mappings = dynamic_cast<GResourceMappingList*>(GetResourceMappings());
  if (mappings && mappings->FindBySystemNumber(number)) return 1;
  GResourceMappingList fresh(0);
  FillResourceMappings(fresh);
  return fresh.FindBySystemNumber(number) ? 1 : 0;
}

int GDriverDataImp::HasTrayMapping(std::uint16_t number) {
  NumberSearch search{number, false};
  std::uint32_t index = 0;
  EnumTrays(&FindNumber<GTray>, &search, 1, index);
  return search.found ? 1 : 0;
}

int GDriverDataImp::IsFormUsable(std::uint32_t orientation, std::uint16_t x_resolution,
                                 std::uint16_t y_resolution, int check,
                                 std::uint16_t paper_number) {
  NumberSearch search{paper_number, false};
  std::uint32_t index = 0;
  EnumMedia(&FindNumber<GMedia>, orientation, x_resolution, y_resolution, check, &search, 1, index);
  if (search.found) return 1;

  GAttributeComposite* sizes = FindComposite(default_settings_, kCustomSizesKey);
  if (!sizes) return 0;
  GSize16 minimum(0, 0);
  GSize16 maximum(kLargestMediaLength, kLargestMediaLength);
  if (check) CustomSizeLimits(orientation, x_resolution, y_resolution, minimum, maximum);
  const GCountedPtrVector& entries = sizes->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(entries[i].Get());
    std::uint16_t number = 0;
    if (!size || !PaperIdToFormIndex(size->GetId(), number) || number != paper_number) continue;
    if (Within(size->GetSizeInDots(x_resolution, y_resolution), minimum, maximum)) return 1;
  }
  return 0;
}

int GDriverDataImp::IsMediaSizeInRange(GAttributeComposite* settings, std::uint16_t id) {
  GAttributeComposite* model = settings ? settings : EnsureDefaultSettings();
  GAttributeComposite* sizes = FindComposite(model, kCustomSizesKey);
  if (!sizes) return 0;
  GCustomMediaSize* custom = nullptr;
  const GCountedPtrVector& entries = sizes->Children();
  for (RWSize i = 0; i < entries.Count() && !custom; ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(entries[i].Get());
    if (size && size->GetId() == id) custom = size;
  }
  GMediaPool* media = GetMediaList();
  if (!custom || !media) return 0;
  std::unique_ptr<GMedia> medium(MakeCustomMediaFromModel(*custom, model, GetJobSettings()));
  if (!medium) return 0;
  const std::uint32_t orientation = medium->GetOrientation();
  const std::uint16_t x = medium->GetXResolution();
  const std::uint16_t y = medium->GetYResolution();
  GMedia* lower = media->FindByPaperSizeId(kLowerSizeLimitId, orientation, x, y);
  GMedia* upper = media->FindByPaperSizeId(kUpperSizeLimitId, orientation, x, y);
  if (!lower || !upper) return 0;
  return Within(medium->GetPaperSize(), lower->GetPaperSize(), upper->GetPaperSize()) ? 1 : 0;
}
