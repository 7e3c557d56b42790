#include "persist/stored_form.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"

namespace {

bool FileReadsOn(const RWFile& file) {
  return !file.Error() && !file.Eof();
}

// Bytes read before the block first grows, and at most per read.
constexpr std::uint32_t kByteChunk = 4096;

bool GetByteRun(RWVirtualInputStream& stream, std::uint8_t* bytes, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n && stream.Good(); ++i)
    stream.GetUChar(bytes[i]);
  return stream.Good();
}

bool GetByteRun(RWFile& file, std::uint8_t* bytes, std::uint32_t n) {
  return FileReadsOn(file) && file.ReadUChar(bytes, n);
}

template <class In>
bool GetByteBlock(In& in, std::uint32_t n, std::unique_ptr<std::uint8_t[]>& block) {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::uint32_t capacity = 0;
  std::uint32_t have = 0;
  while (have < n) {
    std::uint32_t take = std::min(n - have, kByteChunk);
    if (have + take > capacity) {
      // Doubling keeps the copies linear; never beyond the stored count.
      std::uint32_t grown = std::max(have + take, capacity > n / 2 ? n : capacity * 2);
      std::unique_ptr<std::uint8_t[]> larger = RWNewArray<std::uint8_t>(grown);
      if (!larger) return false;
      if (have) std::memcpy(larger.get(), bytes.get(), have);
      bytes = std::move(larger);
      capacity = grown;
    }
    if (!GetByteRun(in, bytes.get() + have, take)) return false;
    have += take;
  }
  block = std::move(bytes);
  return true;
}

}  // namespace

MRestoreScope::~MRestoreScope() {
  if (!Ok()) Fail();
}

bool MRestoreScope::Ok() const {
  if (scope_.Failed()) return false;
  return stream_ ? stream_->Good() : FileReadsOn(*file_);
}

void MRestoreScope::Fail() {
  if (stream_) {
    stream_->SetState(stream_->State() | RWStreamState::kFail);
  } else {
    file_->MarkError();
  }
}

bool GetItem(RWVirtualInputStream& stream, std::uint32_t& value) {
  if (!stream.Good()) return false;
  stream.GetULong(value);
  return stream.Good();
}

bool GetItem(RWFile& file, std::uint32_t& value) {
  return FileReadsOn(file) && file.ReadULong(value);
}

bool GetItem(RWVirtualInputStream& stream, std::int32_t& value) {
  if (!stream.Good()) return false;
  stream.GetLong(value);
  return stream.Good();
}

bool GetItem(RWFile& file, std::int32_t& value) {
  return FileReadsOn(file) && file.ReadLong(value);
}

bool GetItem(RWVirtualInputStream& stream, std::uint16_t& value) {
  if (!stream.Good()) return false;
  stream.GetUShort(value);
  return stream.Good();
}

bool GetItem(RWFile& file, std::uint16_t& value) {
  return FileReadsOn(file) && file.ReadUShort(value);
}

bool GetItem(RWVirtualInputStream& stream, std::int16_t& value) {
  if (!stream.Good()) return false;
  stream.GetShort(value);
  return stream.Good();
}

bool GetItem(RWFile& file, std::int16_t& value) {
  return FileReadsOn(file) && file.ReadShort(value);
}

bool GetItem(RWVirtualInputStream& stream, float& value) {
  if (!stream.Good()) return false;
  stream.GetFloat(value);
  return stream.Good();
}

bool GetItem(RWFile& file, float& value) {
  return FileReadsOn(file) && file.ReadFloat(value);
}

bool GetItem(RWVirtualInputStream& stream, RWCString& value) {
  if (!stream.Good()) return false;
  value.RestoreFromStream(stream);
  return stream.Good();
}

bool GetItem(RWFile& file, RWCString& value) {
  return FileReadsOn(file) && value.RestoreFromFile(file);
}

bool GetItem(RWVirtualInputStream& stream, RWWString& value) {
  if (!stream.Good()) return false;
  value.RestoreFromStream(stream);
  return stream.Good();
}

bool GetItem(RWFile& file, RWWString& value) {
  return FileReadsOn(file) && value.RestoreFromFile(file);
}

void PutItem(RWVirtualOutputStream& stream, std::uint32_t value) {
  stream.PutULong(value);
}

void PutItem(RWFile& file, std::uint32_t value) {
  file.WriteULong(value);
}

void PutItem(RWVirtualOutputStream& stream, std::int32_t value) {
  stream.PutLong(value);
}

void PutItem(RWFile& file, std::int32_t value) {
  file.WriteLong(value);
}

void PutItem(RWVirtualOutputStream& stream, std::uint16_t value) {
  stream.PutUShort(value);
}

void PutItem(RWFile& file, std::uint16_t value) {
  file.WriteUShort(value);
}

void PutItem(RWVirtualOutputStream& stream, std::int16_t value) {
  stream.PutShort(value);
}

void PutItem(RWFile& file, std::int16_t value) {
  file.WriteShort(value);
}

void PutItem(RWVirtualOutputStream& stream, float value) {
  stream.PutFloat(value);
}

void PutItem(RWFile& file, float value) {
  file.WriteFloat(value);
}

void PutItem(RWVirtualOutputStream& stream, const RWCString& value) {
  value.SaveToStream(stream);
}

void PutItem(RWFile& file, const RWCString& value) {
  value.SaveToFile(file);
}

void PutItem(RWVirtualOutputStream& stream, const RWWString& value) {
  value.SaveToStream(stream);
}

void PutItem(RWFile& file, const RWWString& value) {
  value.SaveToFile(file);
}

void PutBytes(RWVirtualOutputStream& stream, const std::uint8_t* bytes, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n && stream.Good(); ++i)
    stream.PutUChar(bytes[i]);
}

void PutBytes(RWFile& file, const std::uint8_t* bytes, std::uint32_t n) {
  file.WriteUChar(bytes, n);
}

bool GetBytes(RWVirtualInputStream& stream, std::uint32_t n,
              std::unique_ptr<std::uint8_t[]>& block) {
  if (GetByteBlock(stream, n, block)) return true;
  stream.SetState(stream.State() | RWStreamState::kFail);
  return false;
}

bool GetBytes(RWFile& file, std::uint32_t n, std::unique_ptr<std::uint8_t[]>& block) {
  if (RemainingMayHold(file, n, 1) && GetByteBlock(file, n, block)) return true;
  file.MarkError();
  return false;
}

void PutReference(RWVirtualOutputStream& stream, const RWCollectable* object) {
  WriteCollectablePointerToStream(stream, object);
}

void PutReference(RWFile& file, const RWCollectable* object) {
  WriteCollectablePointerToFile(file, object);
}

bool GetReference(RWVirtualInputStream& stream, RWCollectable*& object) {
  object = nullptr;
  if (!stream.Good()) return false;
  ReadCollectablePointerFromStream(stream, object);
  return stream.Good();
}

bool GetReference(RWFile& file, RWCollectable*& object) {
  object = nullptr;
  if (!FileReadsOn(file)) return false;
  ReadCollectablePointerFromFile(file, object);
  return FileReadsOn(file);
}

void RefuseRestored(RWVirtualInputStream& stream, RWCollectable* object) {
  RWRefuseRestored(stream, object);
}

void RefuseRestored(RWFile& file, RWCollectable* object) {
  RWRefuseRestored(file, object);
}

bool GetEmbedded(RWVirtualInputStream& stream, RWCollectable& part) {
  if (!stream.Good()) return false;
  if (RestoreCollectableFromStream(stream, &part, part.ClassId()) && stream.Good()) return true;
  stream.SetState(stream.State() | RWStreamState::kFail);
  return false;
}

bool GetEmbedded(RWFile& file, RWCollectable& part) {
  if (!FileReadsOn(file)) return false;
  if (RestoreCollectableFromFile(file, &part, part.ClassId()) && FileReadsOn(file)) return true;
  file.MarkError();
  return false;
}

bool RemainingMayHold(RWFile& file, std::uint32_t count, std::uint32_t min_bytes) {
  std::uint64_t remaining = file.BytesRemaining();
  return remaining == 0 || std::uint64_t{count} * min_bytes <= remaining;
}

bool RemainingMayHold(RWVirtualInputStream&, std::uint32_t, std::uint32_t) {
  return true;
}
