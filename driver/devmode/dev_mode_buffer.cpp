#include "driver/devmode/dev_mode_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context_base.h"
#include "driver/model_lookup.h"
#include "foundation/rw/error.h"
#include "foundation/rw/memorystream.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "persist/codec/lzw_compressor.h"
#include "persist/codec/zlib_compressor.h"
#include "persist/persistent_stream.h"

GDevModeBuffer::GDevModeBuffer(GDriverDataImp* driver_data) : driver_data_(driver_data) {
  StoreU16(record_, kDmTotalSize, kDmRecordSize);
  StoreU16(record_, kDmHeaderSize, kDmPrivateHeaderSize);
  StoreU16(record_, kDmFormatVersion, kDmFormatVersionValue);
  StoreU16(record_, kDmFormatWord, kDmFormatWordValue);
}

GDevModeBuffer::~GDevModeBuffer() = default;

int GDevModeBuffer::AttachDriverData(GDriverDataImp* driver_data) {
  driver_data_ = driver_data;
  std::uint8_t narrowed[kDmRecordSize] = {};
  StoreDriverName(narrowed, driver_data_->GetDriverName());
  if (!SameDriverName(narrowed, record_)) StoreDriverName(record_, driver_data_->GetDriverName());
  return 1;
}

int GDevModeBuffer::CopyDevModeTo(platform::DevModeW* out) {
  if (!out) return 0;
  std::uint8_t* bytes = DevModeBytes(out);
  std::memcpy(bytes, record_, kDmPublicSize);
  if (driver_data_->GetAppFlags() & kPublicDevModeFlags) {
    StoreU16(bytes, kDmSize, kDmPublicSize);
    StoreU16(bytes, kDmDriverExtra, 0);
    return 1;
  }
  std::memcpy(bytes + kDmTotalSize, record_ + kDmTotalSize, kDmPrivatePrefix);
  bytes[kDmDriverName + kDmDriverNameBytes - 1] = 0;
  const std::size_t capacity =
      std::min<std::size_t>(LoadU16(record_, kDmDataCapacity), kDmDataCapacityValue);
  return CopyPrivateData(bytes + kDmData, record_ + kDmData, capacity);
}

int GDevModeBuffer::CopyDevModeTo(platform::DevModeW* out, std::uint32_t out_size) {
  const bool whole = !(driver_data_->GetAppFlags() & kPublicDevModeFlags);
  if (out_size >= (whole ? kDmRecordSize : kDmPublicSize)) return CopyDevModeTo(out);
  if (!out || out_size < kDmPublicSize) return 0;
  std::memcpy(out, record_, kDmPublicSize);
  StoreU16(DevModeBytes(out), kDmDriverExtra, 0);
  return 1;
}

RWWString GDevModeBuffer::GetDeviceName() const {
  return GDevModeView(record_).Name(kDmDeviceName);
}

RWCString GDevModeBuffer::GetDriverName() const {
  return GDevModeView(record_).DriverName();
}

platform::DevModeW* GDevModeBuffer::GetDevMode() {
  return reinterpret_cast<platform::DevModeW*>(record_);
}

std::uint16_t GDevModeBuffer::GetXResolution() {
  GValueAttribute* value = FindValueAttribute(settings_.get(), kXResolutionKey);
  return value ? value->GetValue() : 0;
}

std::uint16_t GDevModeBuffer::GetYResolution() {
  GValueAttribute* value = FindValueAttribute(settings_.get(), kYResolutionKey);
  return value ? value->GetValue() : 0;
}

int GDevModeBuffer::CopyPrivateData(std::uint8_t* destination, const std::uint8_t* source,
                                    std::size_t count) {
  if (count) std::memmove(destination, source, count);
  return 1;
}

int GDevModeBuffer::GetPublicPart(platform::DevModeW* out) const {
  std::memcpy(DevModeBytes(out), record_, kDmPublicSize);
  return 1;
}

int GDevModeBuffer::SetPublicPart(const platform::DevModeW* in) {
  if (!GDevModeView(in).HasPublic(0, kDmPublicSize)) return 0;
  std::memcpy(record_, DevModeBytes(in), kDmPublicSize);
  return 1;
}

std::int16_t GDevModeBuffer::Encoding() {
  if (encoding_ == -1) encoding_ = static_cast<std::int16_t>(ReadStoredEncoding(driver_data_));
  return encoding_;
}

std::uint16_t GDevModeBuffer::StoreSettings(GAttributeComposite* model,
                                            platform::DevModeW* record) {
  if (!model || !record) return 0;
  // Serial numbers only tell live objects apart. Stored, they would make
  // the same settings give other bytes on every save (a deep copy's
  // composites and a decoded model's leaves take new ones), so a merged
  // or converted record would not come back as it went in.
  model->ClearSerialNumbers();
  const bool flat = Encoding() == 1;
  // The work block and the packed bytes live on the stack: a merge stores
  // once or twice, and blocks from the heap cost more than packing them.
  char block[kDmWorkBlock];
  GPersistentOutputStream out(
      block, kDmWorkBlock, flat ? GOSFactory::kBinaryEncoding : GOSFactory::kPortableTextEncoding);
  RWVirtualOutputStream* stream = out.VirtualStream();
  if (!stream) return 0;
  {
    // A model larger than the block fails the stream: the store's failure,
    // not the process's.
    RWErrorScope scope;
    if (flat) {
      codec_.Encode(model, stream, &out, kFlatShortNumbers);
    } else {
      WriteCollectablePointerToStream(*stream, model);
    }
    stream->Flush();
  }
  const std::int64_t written = out.Tell();
  if (!stream->Good() || written <= 0) return 0;
  // Packed apart first: a store that fails leaves the record's data alone.
  std::uint8_t packed[kDmDataCapacityValue];
  const std::size_t length =
      GZlibCompressor().Compress(block, static_cast<std::size_t>(written), packed, sizeof packed);
  if (length == 0) return 0;
  std::uint8_t* data = DevModeBytes(record) + kDmData;
  std::memcpy(data, packed, length);
  // Behind the data, zeros: a record holds nothing of what was stored before.
  std::memset(data + length, 0, kDmDataCapacityValue - length);
  return static_cast<std::uint16_t>(length);
}

GAttributeComposite* GDevModeBuffer::LoadSettings(const platform::DevModeW* record,
                                                  std::uint32_t flags) {
  const bool flat = Encoding() == 1 && !(flags & kDmLoadObjectGraph);
  const std::span<const std::uint8_t> data = GDevModeView(record).StoredData();
  if (data.empty()) return nullptr;
  char block[kDmWorkBlock];
  std::size_t length = 0;
  if (flags & kDmLoadLzw) {
    RWMemoryInputStream input(data.data(), data.size());
    RWMemoryOutputStream expanded(block, kDmWorkBlock);
    if (GLZWCompressor().Expand(input, expanded))
      length = static_cast<std::size_t>(std::max<std::streamoff>(expanded.tellp(), 0));
  } else {
    length = GZlibCompressor().Expand(data.data(), data.size(), block, kDmWorkBlock);
  }
  // Mended (docs/mended-behaviour.md): only the bytes the expansion wrote.
  return length ? Decode(block, length, flat) : nullptr;
}

GAttributeComposite* GDevModeBuffer::Decode(const char* block, std::size_t length, bool flat) {
  if (length == 0) return nullptr;
  GPersistentInputStream input(
      block, length, flat ? GOSFactory::kBinaryEncoding : GOSFactory::kPortableTextEncoding);
  RWVirtualInputStream* stream = input.VirtualStream();
  if (!stream || !stream->Good()) return nullptr;
  if (flat) {
    std::unique_ptr<MPersistentObject> root(
        codec_.Decode(stream, &input, driver_data_, kFlatShortNumbers));
    // Mended (docs/mended-behaviour.md): a root of another class is freed.
    auto* model = dynamic_cast<GAttributeComposite*>(root.get());
    if (model) root.release();
    return model;
  }
  RWErrorScope scope;
  GAttributeComposite* model = nullptr;
  ReadTypedPointerFromStream(*stream, model);
  if (scope.Failed()) {
    delete model;
    return nullptr;
  }
  return model;
}

GAttributeComposite* GDevModeBuffer::Migrate(GAttributeComposite* loaded) {
  std::unique_ptr<GAttributeComposite> old(loaded);
  if (!old) return nullptr;
  std::unique_ptr<MPersistentObject> copy(old->DeepCopy());
  std::unique_ptr<char[]> block(new (kRWNoThrow) char[kDmWorkBlock]);
  if (!copy || !block) return nullptr;
  std::int64_t length = 0;
  {
    GPersistentOutputStream out(block.get(), kDmWorkBlock, GOSFactory::kBinaryEncoding);
    RWVirtualOutputStream* stream = out.VirtualStream();
    if (!stream) return nullptr;
    RWErrorScope scope;
    codec_.Encode(old.get(), stream, &out, kFlatShortNumbers);
    stream->Flush();
    if (!stream->Good()) return nullptr;
    length = out.Tell();
  }
  GAttributeComposite* rebuilt =
      Decode(block.get(), static_cast<std::size_t>(std::max<std::int64_t>(length, 0)), true);
  if (rebuilt)
    driver_data_->CopyMappedValues(dynamic_cast<GAttributeComposite*>(copy.get()), rebuilt);
  return rebuilt;
}

GAttributeComposite* GDevModeBuffer::LoadAnyForm(const platform::DevModeW* record) {
  if (GAttributeComposite* model = LoadSettings(record, kDmLoadCurrent)) return model;
  GAttributeComposite* older = LoadSettings(record, kDmLoadOlder);
  if (!older) older = LoadSettings(record, kDmLoadOldest);
  return older ? Migrate(older) : nullptr;
}
