#include "driver/render/job_watermark.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <vector>

#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "filters/watermark_description.h"
#include "fonts/font.h"
#include "fonts/font_database.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "fonts/tt_tags.h"
#include "foundation/rw/support.h"
#include "lang/text/text_string.h"
#include "output/attributes/brush.h"
#include "output/color/paint.h"
#include "output/graphics/graphic_bundle.h"
#include "platform/host/files.h"
#include "platform/host/registry.h"

namespace {

// The font's codes: the wide character set, a code without a glyph drawn
// as the space.
constexpr std::uint32_t kUnicodeSelector = 16;
constexpr std::uint16_t kFirstCode = 0x20;
constexpr std::uint16_t kLastCode = 0xFFFF;
constexpr std::uint16_t kDefaultCode = 0x20;
// 'head': the em's units at byte 18, the box xMin, yMin, xMax, yMax from
// byte 36.
constexpr std::uint32_t kUnitsPerEmAt = 18;
constexpr std::uint32_t kBoxAt = 36;
// The longest file name read from the machine's font list, in characters.
constexpr platform::DWORD kMostFileNameCharacters = 260;
constexpr char16_t kTrueTypeSuffix[] = u" (TrueType)";

std::int16_t Big16(const std::uint8_t* at) {
  return static_cast<std::int16_t>(at[0] << 8 | at[1]);
}

// A plain file name: not empty, no separator, drive or stream, not "."
// or "..".
bool IsPlainFileName(const RWWString& name) {
  if (name.Length() == 0 || name == u"." || name == u"..") return false;
  for (RWSize i = 0; i < name.Length(); ++i)
    if (name[i] == u'\\' || name[i] == u'/' || name[i] == u':') return false;
  return true;
}

// The angle of `kind` on paper of `size`, in whole degrees (truncated).
int AngleOf(std::int32_t kind, std::int32_t custom, const GSize16& size) {
  const double diagonal =
      size.width > 0 ? std::atan2(double(size.height), double(size.width)) * 180 / std::numbers::pi
                     : 0;
  switch (kind) {
    case 1:
      return int(diagonal);
    case 2:
      return 90;
    case 3:
      return int(diagonal) == 0 ? 0 : 360 - int(diagonal);
    case 4:
      return custom;
    default:
      return 0;
  }
}

std::int16_t Clamp16(double value) {
  return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

}  // namespace

struct GJobWatermark::Kept {
  std::unique_ptr<GFont> font;
  std::int32_t pixels = 0;  // the em's height
  std::int32_t ascent = 0;  // the baseline below the em's top
  std::uint16_t units_per_em = 0;
  std::int32_t angle_kind = 0;
  std::int32_t custom_angle = 0;
};

GJobWatermark::GJobWatermark() = default;

GJobWatermark::~GJobWatermark() = default;

RWWString FindMachineFontFile(const RWWString& face) {
  if (face.Length() == 0) return RWWString();
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::kHkeyLocalMachine, kMachineFontsKey, 0, platform::kKeyRead,
                              &key) != 0) {
    return RWWString();
  }
  RWWString value_name = face;
  value_name += kTrueTypeSuffix;
  std::vector<char16_t> name(kMostFileNameCharacters + 1, 0);
  platform::DWORD type = 0;
  platform::DWORD size = kMostFileNameCharacters * 2;
  const bool read =
      platform::RegQueryValueExW(key, value_name.Data(), nullptr, &type,
                                 reinterpret_cast<platform::BYTE*>(name.data()), &size) == 0 &&
      type == platform::kRegSz;
  platform::RegCloseKey(key);
  if (!read) return RWWString();
  const RWWString file(name.data());
  if (!IsPlainFileName(file)) return RWWString();
  RWWString path(kFontsFolder);
  path += u"\\";
  path += file;
  if (!platform::IsFileInFolder(std::u16string_view(path.Data(), path.Length()), kFontsFolder))
    return RWWString();
  return path;
}

std::uint32_t GJobWatermark::CreateFont(const GWatermarkDescription* description,
                                        GRenderDriverData& job, GJobFontDatabase* database,
                                        std::int32_t* font_value) {
  if (font_value) *font_value = 0;
  if (!description || !database || description->text.Length() == 0) return 0;
  const std::int32_t pixels = std::abs(description->height);
  if (pixels == 0 || pixels > kTTMaxPixelHeight) return 0;
  const RWWString path = FindMachineFontFile(description->face_name);
  if (path.Length() == 0) return 0;
  GTTFontPool* pool = GTTFontPool::Instance();
  auto reader =
      std::unique_ptr<GTTFileReader>(new (kRWNoThrow) GTTFileReader(pool ? pool->NextId() : 0));
  if (!reader || !reader->Open(path)) return 0;
  GFontDescriptionRecord record;
  record.selector = kUnicodeSelector;
  record.height = static_cast<std::int16_t>(pixels);
  record.words2[2] = kFirstCode;
  record.words2[3] = kLastCode;
  record.words2[4] = kDefaultCode;
  record.face_name = description->face_name.ToMultiByte();
  // The face holds the reader from here on.
  auto* face = new (kRWNoThrow) GTTFontImp(0, record, {}, pool, reader.release());
  if (!face) return 0;
  face->SetDatabaseKey(GJobFontDatabase::NextSerial());
  database->CountReference(face);
  auto kept = std::unique_ptr<Kept>(new (kRWNoThrow) Kept);
  if (!kept) return 0;
  kept->font.reset(new (kRWNoThrow) GFont(face, &job));
  if (!kept->font) return 0;
  kept->pixels = pixels;
  kept->angle_kind = description->angle_kind;
  kept->custom_angle = description->custom_angle;
  // The em's units and the box's height above the baseline, from 'head'.
  std::uint8_t head[8] = {};
  GTTFontFile& file = face->FontFile();
  if (file.ReadTablePart(0, kTagHead, kUnitsPerEmAt, 1, head, 2) == 2)
    kept->units_per_em = static_cast<std::uint16_t>(Big16(head));
  std::int32_t low = 0, high = 0;
  if (file.ReadTablePart(0, kTagHead, kBoxAt, 1, head, 8) == 8)
    low = Big16(head + 2), high = Big16(head + 6);
  kept->ascent = high > 0 && low <= 0 ? pixels * high / (high - low) : pixels;
  const std::uint32_t handle = next_handle_++;
  kept_[handle] = std::move(kept);
  return handle;
}

void GJobWatermark::ReleaseFont(std::uint32_t* font) {
  if (!font) return;
  kept_.erase(*font);
  *font = 0;
}

GCommand* GJobWatermark::MakeCommand(const RWWString& text, std::uint32_t font,
                                     const GRGBColor* color, const GMedia* medium) {
  const auto found = kept_.find(font);
  if (found == kept_.end() || !medium || text.Length() == 0) return nullptr;
  const Kept& kept = *found->second;
  auto* face = dynamic_cast<GTTFontImp*>(kept.font->GetImplementation());
  if (!face) return nullptr;
  // The advances in pixels, by the font's horizontal metrics.
  const std::uint32_t count = std::min<std::uint32_t>(text.Length(), 0xFFFF);
  auto codes = std::unique_ptr<std::uint16_t[]>(new (kRWNoThrow) std::uint16_t[count]);
  if (!codes) return nullptr;
  std::vector<double> offsets(count + 1, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    codes[i] = text[i];
    std::uint16_t advance = 0;
    std::int16_t bearing = 0;
    const std::uint16_t glyph = face->FontFile().MapCharToGlyph(0, 0, codes[i], kUnicodeSelector);
    if (kept.units_per_em == 0 ||
        face->FontFile().GetHorizontalMetrics(0, glyph, advance, bearing) == 0)
      advance = 0;
    offsets[i + 1] =
        offsets[i] + (kept.units_per_em ? double(advance) * kept.pixels / kept.units_per_em : 0);
  }
  // Each character's em box (its advance by the font's height) upright,
  // its middle on the text's middle line turned about the paper's middle;
  // its pen on the baseline, `ascent` below the box's top (y grows
  // downwards, the angle turns counter-clockwise).
  const GSize16 paper = medium->GetPaperSize();
  const double angle = AngleOf(kept.angle_kind, kept.custom_angle, paper) * std::numbers::pi / 180;
  const double s = std::sin(angle), c = std::cos(angle);
  const double half = offsets[count] / 2, baseline = kept.ascent - kept.pixels / 2.0;
  std::vector<GShortPoint> positions(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const double advance = offsets[i + 1] - offsets[i];
    const double along = offsets[i] + advance / 2 - half;
    positions[i] = GShortPoint{Clamp16(paper.width / 2.0 + along * c - advance / 2),
                               Clamp16(paper.height / 2.0 - along * s + baseline)};
  }
  auto* bundle = new GGraphicBundle;
  const GRGBColor ink = color ? *color : GRGBColor(0, 0, 0, 255);
  bundle->SetBrush(new GBrush(new GColorPaint(new GRGBColor(ink)), kBrushKey));
  return new GTextStringGraphic(new GFont(*kept.font), GCodeBuffer::Adopt(std::move(codes), count),
                                kWideCodeSet, positions, 0, bundle);
}

void GJobWatermark::Clear() {
  kept_.clear();
}
