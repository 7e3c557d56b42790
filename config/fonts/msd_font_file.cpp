#include "config/fonts/msd_font_file.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "config/fonts/device_font_description.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file_format.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "platform/host/files.h"

namespace {

// The symbol-set codes of the descriptions for the files' raw codes; any
// other raw code gives 0.
struct RawCode {
  std::uint16_t raw;
  std::uint32_t code;
};
constexpr RawCode kRawCodes[] = {
    {5, 3},    {6, 53},   {7, 55},   {8, 54},   {51, 9},   {52, 9},   {53, 9},   {54, 9},
    {58, 9},   {214, 9},  {55, 7},   {153, 7},  {211, 7},  {56, 12},  {215, 12}, {57, 8},
    {213, 8},  {101, 4},  {102, 4},  {106, 4},  {107, 4},  {210, 4},  {103, 5},  {208, 5},
    {105, 6},  {152, 6},  {212, 6},  {108, 14}, {151, 14}, {209, 14}, {201, 15}, {202, 17},
    {203, 18}, {204, 19}, {205, 21}, {206, 23}, {207, 16}, {216, 22}, {217, 20},
};

// The default symbol set, and the code appended when the second code does
// not make the first the default.
constexpr std::uint32_t kDefaultSymbolSet = 16;
// The mapped second code that makes the first code the default.
constexpr std::uint32_t kSecondCodeKeepsFirst = 3;
// The raw code whose presence keeps kDefaultSymbolSet from being appended.
constexpr std::uint16_t kRawDefaultCode = 207;

constexpr const char kBoldSuffix[] = " -Bd";
constexpr const char kItalicSuffix[] = " -It";

std::uint32_t MapRawCode(std::uint16_t raw) {
  for (const RawCode& entry : kRawCodes) {
    if (entry.raw == raw) return entry.code;
  }
  return 0;
}

// The description's font type of a record's raw type (bits 0-6 of byte 21);
// false for a type that marks the font scalable.
bool MapFontType(std::uint8_t raw, std::uint32_t& type) {
  switch (raw) {
    case 2:
      type = 1;
      return true;
    case 3:
      type = 2;
      return true;
    case 4:
      type = 5;
      return true;
    default:
      type = 0;
      return false;
  }
}

// Whether `length` bytes at `at` lie inside a file of `size` bytes.
bool Inside(std::uint64_t size, std::uint64_t at, std::uint64_t length) {
  return at <= size && size - at >= length;
}

// Reads a text of a record: `length` bytes at `at`, taken up to a NUL.
bool ReadText(RWFile& file, std::uint64_t size, std::uint64_t at, std::uint16_t length,
              RWCString& text) {
  if (!Inside(size, at, length)) return false;
  text = RWCString();
  if (length == 0) return true;
  std::unique_ptr<char[]> bytes = RWNewArray<char>(length);
  if (!bytes || !file.SeekTo(static_cast<std::int64_t>(at)) || !file.ReadChar(bytes.get(), length))
    return false;
  text = RWCString(bytes.get(), strnlen(bytes.get(), length));
  return true;
}

// What the walk takes from one record.
struct Record {
  std::uint8_t fixed[kMsdRecordSize];
  bool used;  // false: skipped
  RWCString face;
  RWCString selection;
  GSymbolSetList symbol_sets;
  std::uint32_t default_symbol_set = kDefaultSymbolSet;
};

// The symbol sets of `count` raw codes and the default set.
void MapSymbolSets(const std::uint16_t* raw, std::uint16_t count, Record& record) {
  bool has_raw_default = false;
  for (std::uint16_t i = 0; i < count; ++i) {
    record.symbol_sets.Append(MapRawCode(raw[i]));
    has_raw_default = has_raw_default || raw[i] == kRawDefaultCode;
  }
  if (count == 1) {
    record.default_symbol_set = record.symbol_sets[0];
  } else if (record.symbol_sets[1] == kSecondCodeKeepsFirst) {
    record.default_symbol_set = record.symbol_sets[0];
  } else if (!has_raw_default) {
    record.symbol_sets.Append(kDefaultSymbolSet);
  }
}

// Reads the record at `at`; false when it does not lie inside the file or
// a read fails, which ends the walk. Runs in an error scope of its own.
bool ReadRecord(RWFile& file, std::uint64_t size, std::uint64_t at, bool skip_hidden,
                Record& record) {
  RWErrorScope scope;
  if (!Inside(size, at, kMsdRecordSize) || !file.SeekTo(static_cast<std::int64_t>(at)) ||
      !file.ReadUChar(record.fixed, kMsdRecordSize)) {
    return false;
  }
  const std::uint8_t* fixed = record.fixed;
  std::uint16_t count = MsdU16(fixed + kMsdCodeCountAt);
  record.used = count > 0 && !(skip_hidden && (fixed[kMsdTypeAt] & kMsdHiddenBit));
  if (!record.used) return true;
  if (!Inside(size, at + kMsdFirstCodeAt, std::uint64_t{2} * count)) return false;
  std::unique_ptr<std::uint16_t[]> raw = RWNewArray<std::uint16_t>(count);
  if (!raw) return false;
  raw[0] = MsdU16(fixed + kMsdFirstCodeAt);
  if (count > 1 && !file.ReadUShort(raw.get() + 1, count - 1u)) return false;
  MapSymbolSets(raw.get(), count, record);
  return ReadText(file, size, at + MsdU32(fixed + kMsdFaceOffsetAt),
                  MsdU16(fixed + kMsdFaceLengthAt), record.face) &&
         ReadText(file, size, at + MsdU32(fixed + kMsdSelectionOffsetAt),
                  MsdU16(fixed + kMsdSelectionLengthAt), record.selection) &&
         !scope.Failed();
}

}  // namespace

// ---------------------------------------------------------------------------
// GMsdFontFile

GMsdFontFile::GMsdFontFile(std::uint32_t index, GDriverData* printer)
    : index_(index), printer_(printer), path_(ReadMsdFileName(printer, index)) {}

GMsdFontFile::~GMsdFontFile() = default;

RWFile* GMsdFontFile::Open(std::uint32_t& list_key) {
  list_key = index_ < kFontSourceCount ? kFontSources[index_].list_key : 0;
  Close();
  std::u16string_view path(path_.Data(), path_.Length());
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return nullptr;
  std::optional<std::string> host = platform::ToHostPath(path);
  if (!host) return nullptr;
  std::unique_ptr<RWFile> file(RWNew<RWFile>(host->c_str(), "rb"));
  if (!file || !file->IsValid()) return nullptr;
  std::int64_t end = file->SeekToEnd() ? file->CurrentOffset() : 0;
  file_size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  file_ = std::move(file);
  return file_.get();
}

const std::uint8_t* GMsdFontFile::Load(std::uint32_t& list_key) {
  block_.reset();
  block_length_ = 0;
  list_key = 0;
  if (!file_ || file_size_ < kMsdMinimumFileSize) return nullptr;
  RWErrorScope scope;
  std::uint8_t head[kMsdHeaderLengthAt + 4];
  if (!file_->SeekTo(0) || !file_->ReadUChar(head, sizeof head)) return nullptr;
  std::uint32_t length = MsdU32(head + kMsdHeaderLengthAt);
  if (length < kMsdRecordTableAt || length > file_size_) return nullptr;
  std::unique_ptr<std::uint8_t[]> block = RWNewArray<std::uint8_t>(length);
  if (!block || !file_->SeekTo(0) || !file_->ReadUChar(block.get(), length)) return nullptr;
  std::uint64_t records = MsdU32(block.get() + kMsdRecordCountAt);
  if (kMsdRecordTableAt + 4 * records > length || scope.Failed()) return nullptr;
  block_ = std::move(block);
  block_length_ = length;
  list_key = kFontSources[index_].list_key;
  return block_.get();
}

void GMsdFontFile::Close() {
  file_.reset();
  file_size_ = 0;
}

std::uint32_t GMsdFontFile::GetStamp() const {
  return block_ ? MsdU32(block_.get() + kMsdStampAt) : 0;
}

// ---------------------------------------------------------------------------
// GMsdFontList

bool GMsdFontList::EnsureLoaded() {
  std::uint32_t key;
  return Block() || Load(key);
}

GDeviceFontList* GMsdFontList::BuildDeviceFontList() {
  if (!File() || !EnsureLoaded()) return nullptr;
  GDeviceFontList* list = RWNew<GDeviceFontList>(kFontSources[Index()].list_key);
  Walk(Mode::kBuild, list);
  if (list) list->SetSourceStamp(GetStamp());
  return list;
}

std::int32_t GMsdFontList::EnumerateFonts(Callback callback, void* argument) {
  sum_ = 0;
  if (!File() || !EnsureLoaded()) return 0;
  callback_ = callback;
  argument_ = argument;
  Walk(Mode::kEnumerate, nullptr);
  callback_ = nullptr;
  argument_ = nullptr;
  return sum_;
}

void GMsdFontList::Walk(Mode mode, GDeviceFontList* list) {
  RWFile& file = *File();
  const std::uint8_t* block = Block();
  if (!file.SeekTo(0) || !file.SeekTo(BlockLength())) return;
  const GFontSource& source = kFontSources[Index()];
  std::uint32_t records = MsdU32(block + kMsdRecordCountAt);
  for (std::uint32_t i = 0; i < records; ++i) {
    Record record;
    std::uint64_t at = MsdU32(block + kMsdRecordTableAt + 4 * std::uint64_t{i});
    if (!ReadRecord(file, FileSize(), at, mode == Mode::kBuild, record)) return;
    if (!record.used) continue;

    const std::uint8_t* fixed = record.fixed;
    std::uint16_t weight = MsdU16(fixed + kMsdWeightAt);
    std::uint16_t italic = MsdU16(fixed + kMsdItalicAt);
    std::uint8_t flags = fixed[kMsdFlagsAt];
    std::uint32_t font_type;
    bool typed = MapFontType(fixed[kMsdTypeAt] & kMsdFontTypeMask, font_type);
    std::uint32_t scalable = (flags & kMsdScalableBit) || !typed ? 1 : 0;
    std::uint32_t pitch_class = flags & kMsdPitchClassMask;
    if (pitch_class < kMsdPitchClassLow || pitch_class > kMsdPitchClassHigh) pitch_class = 0;
    std::uint32_t kind = source.kind;
    if (Index() >= kFirstModuleSource && (flags & kMsdModuleKindBit)) kind = kModuleKindMarked;

    if (mode == Mode::kEnumerate) {
      RWCString display = record.face;
      if (weight >= kMsdBoldWeight) display += kBoldSuffix;
      if (italic != 0) display += kItalicSuffix;
      if (callback_) {
        // Summed modulo 2^32, as the answers come.
        sum_ = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(sum_) +
            static_cast<std::uint32_t>(
                callback_(display.Data(), record.selection.Data(), fixed, argument_)));
      }
    } else if (list) {
      // Weight, italic word, pitch class and font type go to the style,
      // typeface and the two metrics, which the generators compare.
      list->AddDescription(GDeviceFontDescription(
          record.face, record.selection, record.default_symbol_set, record.symbol_sets, weight,
          italic, pitch_class, font_type, scalable, MsdU16(fixed + kMsdHeightAt), 0, kind));
    }
  }
}
