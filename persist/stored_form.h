// What every model class's save and restore share: the items of stored
// forms, read and written alike on a virtual stream and on an RWFile, and
// the error scope in which each restore runs.
//
// Items: u32 goes through PutULong/GetULong on a stream and WriteULong/
// ReadULong on a file, i32 through the Long forms, u16 and i16 through the
// UShort and Short forms (so that portable text writes an i16 item of a
// 16-bit value of 32768 or more as a negative number), 32-bit floats
// through the Float forms (portable text writes them as decimal numbers
// that read back exactly; it cannot write a NaN or an infinity that reads
// back), 8-bit and wide
// strings in the string class's own stored form, runs of single bytes in
// character form (PutUChar/GetUChar) on a stream, object references through the graph
// writers and readers of rwstore.h. So one template of a class's items
// serves both its stream and its file operations.
//
// Restores: a class's restore opens an MRestoreScope for its whole read.
// An error raised inside (a bad token, an unknown class id, a bad back
// reference, a bad stream header) is recorded in the scope instead of
// reaching the process-wide handler; when the scope closes, a recorded
// error, or an end of file met by a read, sets the stream's fail state or
// marks the file's error, so that every enclosing reader stops and the
// caller sees the failure. Scopes nest: a base part's restore and every
// child's restore open their own inside their owner's. What a restore read
// and refused is freed when the outermost scope on its source ends, unless
// the graph holds it elsewhere; nothing a read created is left unheld.
//
// Not synchronised: a stream or file belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/collect.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/storetable.h"
#include "foundation/rw/wstring.h"

class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

class MRestoreScope {
 public:
  explicit MRestoreScope(RWVirtualInputStream& stream) : stream_(&stream), keeper_(&stream) {}
  explicit MRestoreScope(RWFile& file) : file_(&file), keeper_(&file) {}
  ~MRestoreScope();
  MRestoreScope(const MRestoreScope&) = delete;
  MRestoreScope& operator=(const MRestoreScope&) = delete;

  // True while the source reads on without fault and nothing was raised.
  bool Ok() const;
  // Marks the source failed now (bad data that raised no error).
  void Fail();

 private:
  RWErrorScope scope_;
  RWVirtualInputStream* stream_ = nullptr;
  RWFile* file_ = nullptr;
  // What the restore reads stays refusable until it ends (RefuseRestored).
  RWReadTableKeeper keeper_;
};

// Hands an object that the restore read and will not keep (of the wrong
// class, naming an object still being restored) back to the read that made
// it: freed when the restore ends, unless the graph holds it elsewhere
// (RWRefuseRestored, rwstore.h).
void RefuseRestored(RWVirtualInputStream& stream, RWCollectable* object);
void RefuseRestored(RWFile& file, RWCollectable* object);

// Each answers true when the item was read and the source reads on; a
// failed read leaves `value` unchanged.
bool GetItem(RWVirtualInputStream& stream, std::uint32_t& value);
bool GetItem(RWFile& file, std::uint32_t& value);
bool GetItem(RWVirtualInputStream& stream, std::int32_t& value);
bool GetItem(RWFile& file, std::int32_t& value);
bool GetItem(RWVirtualInputStream& stream, std::uint16_t& value);
bool GetItem(RWFile& file, std::uint16_t& value);
bool GetItem(RWVirtualInputStream& stream, std::int16_t& value);
bool GetItem(RWFile& file, std::int16_t& value);
bool GetItem(RWVirtualInputStream& stream, float& value);
bool GetItem(RWFile& file, float& value);
// False when the string could not be read whole.
bool GetItem(RWVirtualInputStream& stream, RWCString& value);
bool GetItem(RWFile& file, RWCString& value);
bool GetItem(RWVirtualInputStream& stream, RWWString& value);
bool GetItem(RWFile& file, RWWString& value);

void PutItem(RWVirtualOutputStream& stream, std::uint32_t value);
void PutItem(RWFile& file, std::uint32_t value);
void PutItem(RWVirtualOutputStream& stream, std::int32_t value);
void PutItem(RWFile& file, std::int32_t value);
void PutItem(RWVirtualOutputStream& stream, std::uint16_t value);
void PutItem(RWFile& file, std::uint16_t value);
void PutItem(RWVirtualOutputStream& stream, std::int16_t value);
void PutItem(RWFile& file, std::int16_t value);
void PutItem(RWVirtualOutputStream& stream, float value);
void PutItem(RWFile& file, float value);
void PutItem(RWVirtualOutputStream& stream, const RWCString& value);
void PutItem(RWFile& file, const RWCString& value);
void PutItem(RWVirtualOutputStream& stream, const RWWString& value);
void PutItem(RWFile& file, const RWWString& value);

// A run of single bytes.
void PutBytes(RWVirtualOutputStream& stream, const std::uint8_t* bytes, std::uint32_t n);
void PutBytes(RWFile& file, const std::uint8_t* bytes, std::uint32_t n);

// Reads a stored count of single bytes into a new block (null for 0). The
// block grows with the bytes that actually arrive, so a damaged count
// costs a short read, never an allocation of its own size; a file whose
// rest cannot hold the count fails at once. Answers true when every byte
// was read; on failure `block` is untouched and the source is marked
// failed (a block that cannot be had raises [NOMEM] first).
bool GetBytes(RWVirtualInputStream& stream, std::uint32_t n,
              std::unique_ptr<std::uint8_t[]>& block);
bool GetBytes(RWFile& file, std::uint32_t n, std::unique_ptr<std::uint8_t[]>& block);

// One object reference (null as the nil object).
void PutReference(RWVirtualOutputStream& stream, const RWCollectable* object);
void PutReference(RWFile& file, const RWCollectable* object);

// Reads one object reference into `object` (null for the nil object, and
// null when nothing could be read). An object that the reader made is
// handed out even when its own data was bad, so that its new holder can
// free it. Answers true when the read succeeded and the source reads on.
bool GetReference(RWVirtualInputStream& stream, RWCollectable*& object);
bool GetReference(RWFile& file, RWCollectable*& object);

// Reads an object held by value inside another (an embedded part) back
// into `part` itself: only a new-object token of the part's own class is
// taken, and nothing later may refer back to it (rwstore.h). Answers true
// when the part was read; otherwise the source is failed or marked.
bool GetEmbedded(RWVirtualInputStream& stream, RWCollectable& part);
bool GetEmbedded(RWFile& file, RWCollectable& part);

// Whether the rest of the source can hold `count` items of at least
// `min_bytes` each. A file tells what remains (when it cannot tell, the
// answer is yes); a stream cannot, and its readers rely on reading items
// one by one without allocating from a stored count.
bool RemainingMayHold(RWFile& file, std::uint32_t count, std::uint32_t min_bytes);
bool RemainingMayHold(RWVirtualInputStream& stream, std::uint32_t count, std::uint32_t min_bytes);

// Reads a class's version word after its base part: true when the restore
// has gone well so far and the word is `known`, so that the class's own
// fields follow. Any other version is no error: the class keeps its values.
template <class In>
bool ReadsVersion(const MRestoreScope& scope, In& in, std::uint32_t known) {
  std::uint32_t version = 0;
  return scope.Ok() && GetItem(in, version) && version == known;
}

// The base part of a class's stored form, through the base's own
// operations: SaveBase<Base>(*this, out) inside a template over the source.
template <class Base>
void SaveBase(const Base& self, RWVirtualOutputStream& stream) {
  self.Base::SaveToStream(stream);
}
template <class Base>
void SaveBase(const Base& self, RWFile& file) {
  self.Base::SaveToFile(file);
}
template <class Base>
void RestoreBase(Base& self, RWVirtualInputStream& stream) {
  self.Base::RestoreFromStream(stream);
}
template <class Base>
void RestoreBase(Base& self, RWFile& file) {
  self.Base::RestoreFromFile(file);
}
