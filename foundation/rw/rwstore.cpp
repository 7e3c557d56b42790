#include "foundation/rw/rwstore.h"

#include <memory>

#include "foundation/rw/error.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/file.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/storetable.h"
#include "foundation/rw/vstream.h"

namespace {

// The key of the tables that GraphStoreSize fills: sizing never shares a
// table with a real save.
const char kSizingKey = 0;

void RaiseBadReference() {
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::Ref())));
}

void RaiseNoCreate(RWClassID id) {
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::NoCreate(), id, id)));
}

// An embedded part's token names another class (or a class by name).
bool ExpectedClass(std::uint16_t tag, RWClassID expected) {
  if (expected == kRWNoClassId || tag == expected) return true;
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::Id(), tag, expected)));
  return false;
}

// The class token of a new object: its id, or for user classes the name
// (new in this save) or the name's number.
struct ClassToken {
  std::uint16_t tag;     // the class id, kRWNewStringId or kRWKnownStringId
  RWStringID name;       // for kRWNewStringId
  std::uint32_t number;  // for kRWKnownStringId
};

ClassToken MakeClassToken(RWStoreTable& table, RWClassID id) {
  if (!IsUserClassId(id)) return {id, RWStringID(), 0};
  RWStringID name = ClassIdToStringId(id);
  std::uint32_t number;
  if (table.AddString(name, number)) return {kRWNewStringId, name, number};
  return {kRWKnownStringId, RWStringID(), number};
}

// The steps both token readers share. Each answers false after raising
// the error that names the fault; the caller then marks its stream or file.

// A back reference: an object entry of the table, the given object when
// one is being restored into, the nil object as null. An embedded part's
// entry (null) may not be named.
bool ResolveBackReference(RWReadTable& table, std::int64_t number, const RWCollectable* existing,
                          RWCollectable*& result) {
  RWCollectable* object;
  if (!table.ObjectAt(number, object) || !object || (existing && object != existing)) {
    RaiseBadReference();
    return false;
  }
  table.NoteHandedOut(static_cast<std::uint32_t>(number));
  result = object == RWNilCollectable() ? nullptr : object;
  return true;
}

// A class-name reference: a class-name entry of the table.
bool ResolveKnownName(const RWReadTable& table, std::int64_t number, RWClassID& id) {
  if (table.ClassIdAt(number, id)) return true;
  RaiseBadReference();
  return false;
}

// The object of a new-object token: the given one, or a new one made by
// the factory, entered into the table (with its class id after a new name).
// An embedded part (`expected` given) takes its number as an entry that
// back references cannot name.
// `number` receives the object's number.
RWCollectable* AdoptNewObject(RWReadTable& table, std::uint16_t tag, RWClassID id,
                              const RWStringID& name, RWCollectable* existing, RWClassID expected,
                              std::uint32_t& number) {
  if (!ExpectedClass(tag, expected)) return nullptr;
  RWCollectable* object = existing;
  if (!object) object = tag == kRWNewStringId ? CreateByStringId(name) : CreateByClassId(id);
  if (!object) {
    RaiseNoCreate(id);
    return nullptr;
  }
  // Freed should the table have no room for it (std::bad_alloc); the
  // table's from there on, marked as being restored from the start, so
  // that a table with no room for its class name frees it too.
  std::unique_ptr<RWCollectable> made(existing ? nullptr : object);
  number = table.AddObject(expected == kRWNoClassId ? object : nullptr, existing == nullptr,
                           tag == kRWNewStringId ? kRWNoClassId : id);
  made.release();
  table.BeginRestore(number);
  if (tag == kRWNewStringId) table.AddClassId(object->ClassId());
  return object;
}

// Bounds the nesting of restores for one scope.
class Nesting {
 public:
  explicit Nesting(RWReadTable& table) : table_(table), entered_(table.Enter()) {}
  ~Nesting() {
    if (entered_) table_.Leave();
  }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;
  bool Entered() const { return entered_; }

 private:
  RWReadTable& table_;
  bool entered_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Sizes

RWSize RWCollectable::GraphStoreSize() const {
  RWSaveTableGuard guard(&kSizingKey);
  RWSize size = guard.CreatedByMe() ? 4 : 0;
  std::uint32_t number;
  if (!guard.Table().AddObject(this, number)) return size + 6;
  ClassToken token = MakeClassToken(guard.Table(), ClassId());
  if (token.tag == kRWNewStringId) {
    size += 4 + token.name.Length();
  } else if (token.tag == kRWKnownStringId) {
    size += 4;
  }
  return size + 2 + StoredSize();
}

RWSize GraphStoreSizeOf(const RWCollectable* object) {
  return (object ? object : RWNilCollectable())->GraphStoreSize();
}

// ---------------------------------------------------------------------------
// Files

void RWCollectable::SaveGraphToFile(RWFile& file) const {
  RWSaveTableGuard guard(&file);
  if (guard.CreatedByMe()) file.WriteULong(kRWFileMagic);
  std::uint32_t number;
  if (!guard.Table().AddObject(this, number)) {
    file.WriteUShort(kRWFileBackReference);
    file.WriteULong(number);
    return;
  }
  ClassToken token = MakeClassToken(guard.Table(), ClassId());
  file.WriteUShort(token.tag);
  if (token.tag == kRWNewStringId) {
    token.name.SaveToFile(file);
  } else if (token.tag == kRWKnownStringId) {
    file.WriteULong(token.number);
  }
  SaveToFile(file);
}

void WriteCollectablePointerToFile(RWFile& file, const RWCollectable* object) {
  (object ? object : RWNilCollectable())->SaveGraphToFile(file);
}

namespace {

bool FileOk(RWFile& file) {
  return !file.Eof() && !file.Error();
}

// Reads one token from a file. Answers false when nothing usable was read
// (the file's error is then marked unless it simply ended); `result` is the
// object, null for the nil object.
bool ReadFileToken(RWFile& file, RWCollectable* existing, RWCollectable*& result,
                   RWClassID expected = kRWNoClassId) {
  RWReadScope scope(file);
  RWReadTableGuard guard(&file);
  RWReadTable& table = guard.Table();
  if (guard.CreatedByMe()) {
    std::uint32_t magic;
    if (!file.ReadULong(magic)) return false;
    if (magic != kRWFileMagic) {
      RaiseEnvironmentError(RWEnvironmentError(RWMessageText(
          rwtools::Magic(), static_cast<long>(magic), static_cast<long>(kRWFileMagic))));
      file.MarkError();
      return false;
    }
  }
  Nesting nesting(table);
  if (!nesting.Entered()) {
    file.MarkError();
    return false;
  }

  std::uint16_t tag;
  if (!file.ReadUShort(tag) || !FileOk(file)) return false;
  if (tag == kRWFileBackReference) {
    std::uint32_t number;
    if (!file.ReadULong(number) || !FileOk(file)) return false;
    if (ResolveBackReference(table, number, existing, result)) return true;
    file.MarkError();
    return false;
  }

  RWClassID id = tag;
  RWStringID name;  // read only for a new name
  if (tag == kRWNewStringId) {
    if (!name.RestoreFromFile(file) || !FileOk(file)) return false;
  } else if (tag == kRWKnownStringId) {
    std::uint32_t number;
    if (!file.ReadULong(number) || !FileOk(file)) return false;
    if (!ResolveKnownName(table, number, id)) {
      file.MarkError();
      return false;
    }
  }
  std::uint32_t number = 0;
  RWCollectable* object = AdoptNewObject(table, tag, id, name, existing, expected, number);
  if (!object) {
    file.MarkError();
    return false;
  }
  object->RestoreFromFile(file);
  table.SetLastHandedOut(number);
  // A created object always goes to the caller, even when its data was bad,
  // so that whoever holds the partial graph can free it.
  result = object;
  return true;
}

}  // namespace

void ReadCollectablePointerFromFile(RWFile& file, RWCollectable*& object) {
  RWCollectable* result;
  if (ReadFileToken(file, nullptr, result)) object = result;
}

RWCollectable* RestoreCollectableFromFile(RWFile& file, RWCollectable* existing) {
  RWCollectable* result = nullptr;
  return ReadFileToken(file, existing, result) ? result : nullptr;
}

RWCollectable* RestoreCollectableFromFile(RWFile& file, RWCollectable* existing,
                                          RWClassID expected) {
  RWCollectable* result = nullptr;
  return ReadFileToken(file, existing, result, expected) ? result : nullptr;
}

// ---------------------------------------------------------------------------
// Virtual streams

void RWCollectable::SaveGraphToStream(RWVirtualOutputStream& stream) const {
  RWSaveTableGuard guard(&stream);
  std::uint32_t number;
  if (!guard.Table().AddObject(this, number)) {
    stream.PutChar(kRWStreamBackReference);
    stream.PutInt(static_cast<std::int32_t>(number));
    return;
  }
  ClassToken token = MakeClassToken(guard.Table(), ClassId());
  stream.PutChar(kRWStreamNewObject);
  stream.PutUShort(token.tag);
  if (token.tag == kRWNewStringId) {
    token.name.SaveToStream(stream);
  } else if (token.tag == kRWKnownStringId) {
    stream.PutInt(static_cast<std::int32_t>(token.number));
  }
  stream.PutChar(kRWStreamOpenData);
  SaveToStream(stream);
  stream.PutChar(kRWStreamCloseData);
}

void WriteCollectablePointerToStream(RWVirtualOutputStream& stream, const RWCollectable* object) {
  (object ? object : RWNilCollectable())->SaveGraphToStream(stream);
}

namespace {

void SetFail(RWVirtualInputStream& stream) {
  stream.SetState(stream.State() | RWStreamState::kFail);
}

// Reads one token from a stream; the counterpart of ReadFileToken.
bool ReadStreamToken(RWVirtualInputStream& stream, RWCollectable* existing, RWCollectable*& result,
                     RWClassID expected = kRWNoClassId) {
  if (!stream.Good()) return false;
  RWReadScope scope(stream);
  RWReadTableGuard guard(&stream);
  RWReadTable& table = guard.Table();
  Nesting nesting(table);
  if (!nesting.Entered()) {
    SetFail(stream);
    return false;
  }

  char token = 0;
  stream.GetChar(token);
  if (stream.Eof()) return false;  // the data simply ended
  if (!stream.Good()) {
    SetFail(stream);
    return false;
  }
  if (token == kRWStreamBackReference) {
    std::int32_t number = -1;
    stream.GetInt(number);
    if (stream.Good() && ResolveBackReference(table, number, existing, result)) return true;
    SetFail(stream);
    return false;
  }
  if (token != kRWStreamNewObject) {
    SetFail(stream);
    return false;
  }

  std::uint16_t tag = 0;
  stream.GetUShort(tag);
  RWClassID id = tag;
  RWStringID name;  // read only for a new name
  if (stream.Good() && tag == kRWNewStringId) {
    name.RestoreFromStream(stream);
  } else if (stream.Good() && tag == kRWKnownStringId) {
    std::int32_t number = -1;
    stream.GetInt(number);
    if (stream.Good() && !ResolveKnownName(table, number, id)) {
      SetFail(stream);
      return false;
    }
  }
  char open = 0;
  if (stream.Good()) stream.GetChar(open);
  if (!stream.Good() || open != kRWStreamOpenData) {
    SetFail(stream);
    return false;
  }
  std::uint32_t number = 0;
  RWCollectable* object = AdoptNewObject(table, tag, id, name, existing, expected, number);
  if (!object) {
    SetFail(stream);
    return false;
  }
  object->RestoreFromStream(stream);
  table.SetLastHandedOut(number);
  char close = 0;
  stream.GetChar(close);  // the closing brace; its value is not tested
  // A created object always goes to the caller (see ReadFileToken).
  result = object;
  return true;
}

}  // namespace

void ReadCollectablePointerFromStream(RWVirtualInputStream& stream, RWCollectable*& object) {
  RWCollectable* result;
  if (ReadStreamToken(stream, nullptr, result)) object = result;
}

RWCollectable* RestoreCollectableFromStream(RWVirtualInputStream& stream, RWCollectable* existing) {
  RWCollectable* result = nullptr;
  return ReadStreamToken(stream, existing, result) ? result : nullptr;
}

RWCollectable* RestoreCollectableFromStream(RWVirtualInputStream& stream, RWCollectable* existing,
                                            RWClassID expected) {
  RWCollectable* result = nullptr;
  return ReadStreamToken(stream, existing, result, expected) ? result : nullptr;
}

// ---------------------------------------------------------------------------
// Refusals and typed readers

bool RWRefuseRestored(RWVirtualInputStream& stream, RWCollectable* object) {
  return RWReadTableGuard::Refuse(&stream, object);
}

bool RWRefuseRestored(RWFile& file, RWCollectable* object) {
  return RWReadTableGuard::Refuse(&file, object);
}

namespace {

// One reference read, kept only when `accepts` takes it; what it refuses
// goes back to the read, which frees it (and what only it held) when it
// ends, unless something else in the graph took it.
template <class Source, class Read, class Failed>
RWCollectable* ReadChecked(Source& source, RWAcceptCollectable accepts, Read read, Failed failed) {
  RWErrorScope scope;
  RWReadTableKeeper keeper(&source);
  RWCollectable* object = nullptr;
  read(source, object);
  if (!object || accepts(object)) return object;
  RWRefuseRestored(source, object);
  failed(source);
  return nullptr;
}

}  // namespace

RWCollectable* ReadCheckedPointerFromStream(RWVirtualInputStream& stream,
                                            RWAcceptCollectable accepts) {
  return ReadChecked(stream, accepts, ReadCollectablePointerFromStream, SetFail);
}

RWCollectable* ReadCheckedPointerFromFile(RWFile& file, RWAcceptCollectable accepts) {
  return ReadChecked(file, accepts, ReadCollectablePointerFromFile,
                     [](RWFile& f) { f.MarkError(); });
}
