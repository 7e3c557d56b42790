// Object-graph persistence: saving an object writes a token naming its class
// (or referring back to an object already written in the same save), then
// the object's own data, which may save further objects. Restoring reads the
// token, creates the object through the factory or finds the earlier one,
// and lets it restore its data, so shared and cyclic references come back
// with the same sharing.
//
// Tokens on a virtual stream (items through the stream's typed operations):
//   back reference      '@' (char), number (i32)
//   new object          ':' (char), class id (u16), '{', data, '}'
//   user class, new id  ':' , 0x888F (u16), the class-name string, '{', data, '}'
//   user class, old id  ':' , 0x888E (u16), number (i32), '{', data, '}'
// Tokens on an RWFile (little-endian, no braces):
//   outermost save      0x8888 (u32), once, before the first token
//   back reference      0xFFFF (u16), number (u32)
//   new object          class id (u16), data
//   user class, new id  0x888F (u16), the class-name string (u32 count, bytes), data
//   user class, old id  0x888E (u16), number (u32), data
// Objects and class-name strings share one numbering per outermost save; the
// nil object (a null pointer) is number 0, the first real object 1.
//
// Tables: each outermost save or restore on a given stream or file owns its
// table; nested calls on the same stream or file (an object saving what it
// points to) share it. Tables are per thread, so threads are independent;
// one stream or file must not be used by two threads at once.
//
// Bad data (bad magic, unknown class ids, bad back references, truncation)
// raises the library error that names it inside the reader's error scope
// (readscope.h), so it never reaches the handler: a caller that wants the
// text opens its own RWErrorScope around the read. The reader sets the
// stream's fail state or the file's error, also after an error raised by an
// object's own restore, and answers null or the partial object. Every
// object a restore creates is handed to its caller, so a partial graph can
// be freed by whoever holds it; what a caller refuses is freed by the read
// (RWRefuseRestored below).
#pragma once

#include <cstdint>

#include "foundation/rw/collect.h"

class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

// Stored token values.
inline constexpr std::uint32_t kRWFileMagic = 0x8888;
inline constexpr std::uint16_t kRWFileBackReference = 0xFFFF;
inline constexpr std::uint16_t kRWNewStringId = 0x888F;
inline constexpr std::uint16_t kRWKnownStringId = 0x888E;
inline constexpr char kRWStreamBackReference = '@';
inline constexpr char kRWStreamNewObject = ':';
inline constexpr char kRWStreamOpenData = '{';
inline constexpr char kRWStreamCloseData = '}';

// Writers; a null pointer is written as the nil object.
void WriteCollectablePointerToStream(RWVirtualOutputStream& stream, const RWCollectable* object);
void WriteCollectablePointerToFile(RWFile& file, const RWCollectable* object);

// GraphStoreSize of a pointer that may be null (the nil object's size then).
RWSize GraphStoreSizeOf(const RWCollectable* object);

// Readers: one token into `object` (null for the nil object). On failure
// the pointer keeps its value (null for a pointer that was null).
void ReadCollectablePointerFromStream(RWVirtualInputStream& stream, RWCollectable*& object);
void ReadCollectablePointerFromFile(RWFile& file, RWCollectable*& object);

// Restores one token into an existing object (no creation): a new-object
// token fills `existing`, a back reference must name it. With a null
// `existing` this reads like the pointer readers. Answers the object, or
// null for the nil object and on failure.
RWCollectable* RestoreCollectableFromStream(RWVirtualInputStream& stream, RWCollectable* existing);
RWCollectable* RestoreCollectableFromFile(RWFile& file, RWCollectable* existing);

// The same for an object held by value inside another (an embedded part):
// only a new-object token of class `expected` is taken, any other token
// raises [ID] or [REF] and fails the read. The part is numbered like any
// object, but a later back reference to its number is bad data ([REF]):
// nothing outside its owner may come to hold it.
// REQUIRES: `existing` is not null and is of class `expected`.
RWCollectable* RestoreCollectableFromStream(RWVirtualInputStream& stream, RWCollectable* existing,
                                            RWClassID expected);
RWCollectable* RestoreCollectableFromFile(RWFile& file, RWCollectable* existing,
                                          RWClassID expected);

// Refusals. A reader that will not keep an object it has just read (of
// the wrong class, a member its collection refuses) hands it back here
// instead of dropping it. The read that created it counts how often it
// handed it out and how often it was refused; when the outermost read on
// the stream or file ends (RWReadTableKeeper, storetable.h, extends that to
// the reader's own end), an object that every one of its readers refused
// is held by nobody: it is freed, once, and so are the members of a refused
// collection or association that nothing else took. An object that some
// other part of the graph kept is never freed. Answers false when no read
// on the source created the object (it is then left alone).
bool RWRefuseRestored(RWVirtualInputStream& stream, RWCollectable* object);
bool RWRefuseRestored(RWFile& file, RWCollectable* object);

// Typed readers, beneath the extraction operators (collection.h): one
// object reference, answered only when `accepts` takes the object read
// (null for the nil object and on failure). They run in an error scope of
// their own. An object of another class is never handed out: the stream's
// fail state (the file's error) is set, and the object is refused
// (RWRefuseRestored), so freed unless the larger graph holds it.
using RWAcceptCollectable = bool (*)(const RWCollectable* object);
RWCollectable* ReadCheckedPointerFromStream(RWVirtualInputStream& stream,
                                            RWAcceptCollectable accepts);
RWCollectable* ReadCheckedPointerFromFile(RWFile& file, RWAcceptCollectable accepts);

// `object` is null first, then receives the object read when it is a T.
template <class T>
void ReadTypedPointerFromStream(RWVirtualInputStream& stream, T*& object) {
  object = nullptr;
  object = dynamic_cast<T*>(ReadCheckedPointerFromStream(
      stream, [](const RWCollectable* c) { return dynamic_cast<const T*>(c) != nullptr; }));
}

template <class T>
void ReadTypedPointerFromFile(RWFile& file, T*& object) {
  object = nullptr;
  object = dynamic_cast<T*>(ReadCheckedPointerFromFile(
      file, [](const RWCollectable* c) { return dynamic_cast<const T*>(c) != nullptr; }));
}
