#include "fonts/tt_file_reader.h"

#include <optional>
#include <string>
#include <string_view>

#include "fonts/font_items.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"
#include "platform/host/files.h"

namespace {

constexpr RWClassRegistration kTTFileReaderClasses[] = {
    {&RWCreate<GTTFileReader>, kGTTFileReaderId, "GTTFileReader"},
};

}  // namespace

std::span<const RWClassRegistration> TTFileReaderClasses() {
  return kTTFileReaderClasses;
}

GTTFileReader::GTTFileReader(const GTTFileReader& other) : MPersistentClass(other) {}

GTTFileReader::~GTTFileReader() = default;

void GTTFileReader::Close() {
  file_.reset();
  entries_.clear();
}

bool GTTFileReader::Open(const RWWString& path) {
  Close();
  std::u16string_view text(path.Data(), path.Length());
  if (text.empty() || text.find(u'\0') != std::u16string_view::npos) return false;
  std::optional<std::string> host = platform::ToHostPath(text);
  return host && OpenHost(host->c_str());
}

bool GTTFileReader::OpenHost(const char* host_path) {
  Close();
  RWErrorScope scope;
  std::unique_ptr<RWFile> file(RWNew<RWFile>(host_path, "rb"));
  if (!file || !file->IsValid() || !file->SeekToEnd()) return false;
  const std::int64_t end = file->CurrentOffset();
  if (end < kTTDirectoryHeaderSize) return false;
  const std::uint64_t size = static_cast<std::uint64_t>(end);
  std::uint8_t header[kTTDirectoryHeaderSize];
  if (!file->ReadAt(0, header, sizeof header)) return false;
  const std::uint32_t version = BigEndian32(header, 0);
  const std::uint32_t count = BigEndian16(header, 4);
  if (version != kTTVersionTrueType && version != kTTVersionApple) return false;
  const std::uint64_t directory = std::uint64_t{count} * kTTDirectoryRecordSize;
  if (directory > size - kTTDirectoryHeaderSize) return false;
  std::unique_ptr<std::uint8_t[]> records = RWNewArrayForOverwrite<std::uint8_t>(directory);
  if (count > 0 && (!records || !file->ReadAt(kTTDirectoryHeaderSize, records.get(), directory)))
    return false;
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* record = records.get() + std::size_t{i} * kTTDirectoryRecordSize;
    Entry entry{BigEndian32(record, 0), BigEndian32(record, 8), BigEndian32(record, 12)};
    // A table outside the file is no table.
    if (entry.offset > size || entry.length > size - entry.offset) continue;
    bool seen = false;
    for (const Entry& earlier : entries)
      seen = seen || earlier.tag == entry.tag;
    if (!seen) entries.push_back(entry);
  }
  if (scope.Failed()) return false;
  file_ = std::move(file);
  entries_ = std::move(entries);
  return true;
}

const GTTFileReader::Entry* GTTFileReader::Find(std::uint32_t tag) const {
  for (const Entry& entry : entries_) {
    if (entry.tag == tag) return &entry;
  }
  return nullptr;
}

std::uint32_t GTTFileReader::QueryTableLength(std::uint32_t, std::uint32_t tag) {
  const Entry* entry = Find(tag);
  return entry && file_ ? entry->length : 0;
}

std::uint32_t GTTFileReader::ReadWholeTable(std::uint32_t, std::uint32_t tag, GByteBuffer*& out,
                                            std::uint32_t length) {
  out = nullptr;
  const Entry* entry = Find(tag);
  if (!entry || !file_ || length == 0 || length > entry->length) return 0;
  RWErrorScope scope;
  std::unique_ptr<std::uint8_t[]> block = RWNewArrayForOverwrite<std::uint8_t>(length);
  if (!block || !file_->ReadAt(entry->offset, block.get(), length)) return 0;
  out = RWNew<GByteBuffer>(block.get(), length, true);
  if (!out) return 0;
  block.release();
  return length;
}

std::uint32_t GTTFileReader::ReadTableRange(std::uint32_t, std::uint32_t tag, std::uint32_t offset,
                                            std::uint8_t* destination, std::uint32_t length) {
  const Entry* entry = Find(tag);
  if (!entry || !file_ || length == 0 || offset > entry->length || length > entry->length - offset)
    return 0;
  RWErrorScope scope;
  return file_->ReadAt(std::uint64_t{entry->offset} + offset, destination, length) ? length : 0;
}

std::uint32_t GTTFileReader::ConvertGlyph(std::uint32_t source, std::uint32_t may_cache,
                                          std::uint16_t glyph, std::uint32_t, GByteBuffer*& out,
                                          std::uint32_t, std::uint32_t,
                                          const GFontDescriptionRecord&) {
  out = nullptr;
  GByteBuffer* raw = nullptr;
  std::uint32_t length = GetGlyphData(source, may_cache, glyph, raw);
  std::unique_ptr<GByteBuffer> data(raw);
  if (!data) return 0;
  out = GByteBuffer::NewCopy(data->GetData(), length);
  return out ? 1 : 0;
}

RWSize GTTFileReader::StoredSize() const {
  return GTTFontReader::StoredSize() + 4;
}

template <class Out>
void GTTFileReader::SaveItems(Out& out) const {
  SaveBase<GTTFontReader>(*this, out);
  PutItem(out, kTTFileReaderVersion);
}

template <class In>
void GTTFileReader::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GTTFontReader>(*this, in);
  ReadsVersion(scope, in, kTTFileReaderVersion);
}

template class MPersistentClass<GTTFileReader, GTTFontReader, kGTTFileReaderId>;
