#include "store/persistent_composite_on_disk_imp.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string_view>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "platform/host/files.h"
#include "store/store_format.h"

using namespace record_store;

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kImpClasses[] = {
    {&RWCreate<MPersistentCompositeOnDiskImp>, kMPersistentCompositeOnDiskImpId,
     "MPersistentCompositeOnDiskImp"},
};

// Shared by every store, changed under StoreLock(): how deep the storing
// procedure is inside composites, and the class of the object stored last.
std::uint32_t g_nesting = 0;
RWClassID g_class_stored_last = kNoClassStored;
// The top-level limit in force (a test may lower it).
std::atomic<std::uint32_t> g_top_level_limit{kTopLevelLimit};

// The directory of the store whose file this thread is reading records
// from; handles restored meanwhile may open files there only.
thread_local const std::string* t_reading_directory = nullptr;
// Stores being opened on this thread, one inside another's index.
thread_local std::uint32_t t_opening = 0;
constexpr std::uint32_t kMaxNestedOpens = 16;

class ReadingFrom {
 public:
  explicit ReadingFrom(const std::string& directory) : previous_(t_reading_directory) {
    t_reading_directory = &directory;
  }
  ~ReadingFrom() { t_reading_directory = previous_; }
  ReadingFrom(const ReadingFrom&) = delete;
  ReadingFrom& operator=(const ReadingFrom&) = delete;

 private:
  const std::string* previous_;
};

class Opening {
 public:
  Opening() { ++t_opening; }
  ~Opening() { --t_opening; }
  Opening(const Opening&) = delete;
  Opening& operator=(const Opening&) = delete;
  bool TooDeep() const { return t_opening > kMaxNestedOpens; }
};

class Nesting {
 public:
  Nesting() { ++g_nesting; }
  ~Nesting() { --g_nesting; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;
};

int CompareKeys(const char* a, const char* b, std::size_t k) {
  return std::strncmp(a, b, std::min<std::size_t>(k, kKeyLength));
}

// The host file of a store name; none for a name without one or with a NUL.
std::optional<std::string> HostPath(const RWCString& name) {
  std::string_view text(name.Data(), name.Length());
  if (text.empty() || text.find('\0') != std::string_view::npos) return std::nullopt;
  std::optional<std::string> host = platform::ToHostPath(text);
  if (host && host->empty()) return std::nullopt;
  return host;
}

std::string DirectoryOf(const std::string& host) {
  std::size_t slash = host.rfind('/');
  return slash == std::string::npos ? std::string() : host.substr(0, slash);
}

// Up to `size` bytes at `offset` in a new buffer, and in `got` how many
// there are: fewer where the file ends first (a block's padding after its
// object is never written). One positioned read for a block of up to
// kFirstRead bytes; a longer one is read in pieces, each at most doubling
// the buffer, so that a damaged length word allocates no more than twice
// what the file holds. Null when the file fails.
std::unique_ptr<std::uint8_t[]> ReadImage(RWFile& file, std::uint32_t offset, std::uint32_t size,
                                          std::uint32_t& got) {
  constexpr std::uint32_t kFirstRead = 1 << 16;
  got = 0;
  std::uint32_t room = std::min(size, kFirstRead);
  std::unique_ptr<std::uint8_t[]> image = RWNewArrayForOverwrite<std::uint8_t>(room);
  while (image) {
    if (!file.ReadAt(std::uint64_t{offset} + got, image.get() + got, room - got)) {
      const std::int64_t end = file.CurrentOffset();
      if (file.Error() || end < std::int64_t{offset} + got) return nullptr;
      got = static_cast<std::uint32_t>(end - offset);
      return image;
    }
    got = room;
    if (got == size) return image;
    room = size - got > got ? 2 * got : size;
    std::unique_ptr<std::uint8_t[]> bigger = RWNewArrayForOverwrite<std::uint8_t>(room);
    if (bigger) std::memcpy(bigger.get(), image.get(), got);
    image = std::move(bigger);
  }
  return nullptr;
}

// The serial numbers of every record below `records`, into `out` from
// `at`; answers the next free position.
std::uint32_t CollectSerials(const GRecordComposite& records, std::uint32_t* out,
                             std::uint32_t at) {
  for (GRecordNode* node = records.First(); node; node = records.After(node)) {
    out[at++] = node->record->Serial();
    if (GRecordComposite* children = node->record->ChildRecords()) {
      at = CollectSerials(*children, out, at);
    }
  }
  return at;
}

struct TreeKeys {
  std::uint32_t* serials;
  std::uint32_t capacity;
  std::uint32_t count = 0;
  bool bad = false;
};

void CollectTreeKey(const char* key, std::uint32_t, void* datum) {
  auto* keys = static_cast<TreeKeys*>(datum);
  std::uint32_t serial;
  if (!SerialOfKey(key, serial) || keys->count == keys->capacity) {
    keys->bad = true;
    return;
  }
  keys->serials[keys->count++] = serial;
}

}  // namespace

std::uint32_t SetTopLevelLimit(std::uint32_t limit) {
  return g_top_level_limit.exchange(limit);
}

std::recursive_mutex& StoreLock() {
  static std::recursive_mutex lock;
  return lock;
}

std::span<const RWClassRegistration> PersistentCompositeOnDiskImpClasses() {
  return kImpClasses;
}

bool MayOpenFromStoredData(const RWCString& name) {
  if (!t_reading_directory) return false;
  std::optional<std::string> host = HostPath(name);
  if (!host) return false;
  std::size_t slash = host->rfind('/');
  std::string_view base = slash == std::string::npos ? std::string_view(*host)
                                                     : std::string_view(*host).substr(slash + 1);
  if (base.empty() || base == "." || base == "..") return false;
  return DirectoryOf(*host) == *t_reading_directory;
}

// One operation on the store: the process-wide lock, and an error scope
// whose errors become the store's error flag and go no further.
class MPersistentCompositeOnDiskImp::Operation {
 public:
  explicit Operation(MPersistentCompositeOnDiskImp& imp) : lock_(StoreLock()), imp_(imp) {}
  ~Operation() {
    if (scope_.Failed() || (imp_.file_ && imp_.file_->Error())) imp_.Fail();
    scope_.Clear();
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  std::lock_guard<std::recursive_mutex> lock_;
  MPersistentCompositeOnDiskImp& imp_;
  RWErrorScope scope_;
};

// Marks the index as being searched while the guard lives: a store reached
// again through a proxy of itself answers nothing.
class MPersistentCompositeOnDiskImp::Searching {
 public:
  explicit Searching(bool& flag) : flag_(flag) { flag_ = true; }
  ~Searching() { flag_ = false; }
  Searching(const Searching&) = delete;
  Searching& operator=(const Searching&) = delete;

 private:
  bool& flag_;
};

// ---------------------------------------------------------------------------
// Construction and the file

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp() = default;

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(const RWCString& name,
                                                             bool checksummed)
    : name_(name), checksummed_(checksummed) {}

MPersistentCompositeOnDiskImp::MPersistentCompositeOnDiskImp(
    const MPersistentCompositeOnDiskImp& other)
    : MPersistentObject(other) {}

MPersistentCompositeOnDiskImp::~MPersistentCompositeOnDiskImp() {
  CloseFile();
}

// Mended (docs/mended-behaviour.md): damage is reported; a store in error writes no more.
void MPersistentCompositeOnDiskImp::Fail() {
  error_ = 1;
  if (file_) file_->MarkError();
}

bool MPersistentCompositeOnDiskImp::Usable() const {
  if (image_) return error_ == 0;
  return file_ && tree_ && error_ == 0 && !file_->Error();
}

std::uint32_t MPersistentCompositeOnDiskImp::ErrorState() const {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  return error_ != 0 || (file_ && file_->Error()) ? 1 : 0;
}

void MPersistentCompositeOnDiskImp::OpenFile(bool may_create) {
  Operation operation(*this);
  Opening opening;
  error_ = 0;
  std::optional<std::string> host = HostPath(name_);
  if (!host || opening.TooDeep()) {
    Fail();
    return;
  }
  host_ = *host;
  directory_ = DirectoryOf(*host);
  if (checksummed_) return OpenImage(may_create);
  // An existing empty file would be made a new heap before its missing
  // index could be told: it is refused untouched (see below). A link is
  // never followed, and a new file is made here, private to the user and
  // only if none is there by then.
  struct stat status;
  const bool existing = ::lstat(host->c_str(), &status) == 0;
  if (existing ? !S_ISREG(status.st_mode) || status.st_size == 0 : !may_create) {
    Fail();
    return;
  }
  if (!existing) {
    const int made =
        ::open(host->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (made < 0) {
      Fail();
      return;
    }
    ::close(made);
  }
  file_.reset(RWNew<RWFileSpaceManager>(host->c_str()));
  if (!file_ || !file_->IsValid()) {
    file_.reset();
    Fail();
    return;
  }
  if (!file_->IsUsable()) {
    Fail();
    return;
  }
  tree_.reset(RWNew<RWDiskBTree>(file_.get(), kCacheNodes, false, kKeyLength, false,
                                 RWDiskBTree::kNoOffset, false, kOrder, kMinFill));
  // A store's tree is always made in the new form: an old-form header is a
  // damaged one.
  if (!tree_ || !tree_->IsValid() || tree_->IsOldForm()) {
    Fail();
    return;
  }
  tree_->SetCompareFunction(&CompareKeys);
  // An existing file without its index was never closed, or is damaged:
  // its records cannot be told, and are not taken for none.
  if (existing && !LoadIndex()) {
    Fail();
    return;
  }
  // The index's key leaves the file now, not at some later write: a file
  // left unclosed from here on shows it.
  if (!file_->Flush()) Fail();
}

bool MPersistentCompositeOnDiskImp::LoadIndex() {
  RWCString found;
  std::uint32_t offset;
  std::uint32_t length;
  if (!tree_->Remove(kIndexKey, found, offset) || !PlausibleBlock(offset, length) ||
      !file_->SeekTo(offset)) {
    return false;
  }
  GRecordComposite* read = nullptr;
  {
    ReadingFrom reading(directory_);
    ReadTypedPointerFromFile(*file_, read);
  }
  std::int64_t end = file_->CurrentOffset();
  bool ok = read && !file_->Error() && end >= offset && end - offset <= length - 4;
  if (read && ok) index_.TakeChildrenFrom(*read);
  delete read;  // a partial index holds what it read, and frees it
  if (!ok) return false;
  file_->Deallocate(offset);
  return !file_->Error() && IndexMatchesTree();
}

bool MPersistentCompositeOnDiskImp::IndexMatchesTree() {
  const std::uint32_t n = index_.AllRecords();
  if ((image_ ? image_->Count() : tree_->Count()) != n) return false;
  if (n == 0) return true;
  std::unique_ptr<std::uint32_t[]> serials = RWNewArray<std::uint32_t>(n);
  if (!serials) return false;
  CollectSerials(index_, serials.get(), 0);
  if (image_) {
    // As many blocks as records, serial numbers distinct: one block each.
    std::sort(serials.get(), serials.get() + n);
    return std::adjacent_find(serials.get(), serials.get() + n) == serials.get() + n &&
           std::all_of(serials.get(), serials.get() + n,
                       [&](std::uint32_t serial) { return image_->Has(serial); });
  }
  std::unique_ptr<std::uint32_t[]> keys = RWNewArray<std::uint32_t>(n);
  if (!keys) return false;
  TreeKeys tree_keys{keys.get(), n};
  tree_->ForEach(&CollectTreeKey, &tree_keys);
  if (tree_keys.bad || tree_keys.count != n || file_->Error()) return false;
  std::sort(serials.get(), serials.get() + n);
  std::sort(keys.get(), keys.get() + n);
  return std::adjacent_find(serials.get(), serials.get() + n) == serials.get() + n &&
         std::equal(serials.get(), serials.get() + n, keys.get());
}

void MPersistentCompositeOnDiskImp::OpenImage(bool may_create) {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  bool existing = false;
  spool_ = GSpoolFile::Of(directory_);
  if (spool_) {
    existing = spool_->Holds(host_);
    if (existing) bytes = spool_->Read(host_, size);
  } else {
    // Never through a link; an existing file must be a regular one with an
    // image in it (an empty one would be a store never closed).
    own_file_ = ::open(host_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    existing = own_file_ >= 0 || errno != ENOENT;
    struct stat status;
    if (own_file_ >= 0 && ::fstat(own_file_, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > 0 && static_cast<std::uint64_t>(status.st_size) <= kRWMaxAllocation) {
      own_size_ = static_cast<std::uint64_t>(status.st_size);
      bytes = RWNewArrayForOverwrite<std::uint8_t>(own_size_);
      if (bytes && ::pread(own_file_, bytes.get(), own_size_, 0) == static_cast<ssize_t>(own_size_))
        size = own_size_;
    } else if (!existing && may_create) {
      own_file_ = ::open(host_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      own_size_ = 0;
    }
  }
  image_.reset(RWNew<GStoreImage>());
  bool ok =
      image_ && (existing ? size != 0 && image_->Load(std::move(bytes), size) && LoadImageIndex()
                          : may_create && (spool_ || own_file_ >= 0));
  if (!ok) {
    DropImage();
    Fail();
  }
}

bool MPersistentCompositeOnDiskImp::LoadImageIndex() {
  std::span<std::uint8_t> bytes = image_->Index();
  GImageStream* stream = image_->Stream();
  if (bytes.empty() || !stream) return false;
  RWVirtualInputStream& in = stream->ReadFrom(bytes.data(), bytes.size());
  GRecordComposite* read = nullptr;
  {
    ReadingFrom reading(directory_);
    ReadTypedPointerFromStream(in, read);
  }
  const bool ok = read && !in.Fail() && stream->Read() == bytes.size();
  if (read && ok) index_.TakeChildrenFrom(*read);
  delete read;  // a partial index holds what it read, and frees it
  return ok && IndexMatchesTree();
}

void MPersistentCompositeOnDiskImp::DropImage() {
  image_.reset();
  spool_.reset();
  if (own_file_ >= 0) ::close(own_file_);
  own_file_ = -1;
}

void MPersistentCompositeOnDiskImp::CloseImage() {
  {
    Operation operation(*this);
    if (Usable() && image_->Changed()) {
      // A close runs in destructors too: memory that runs out for the
      // index fails the store, as a write that fails does, and goes no
      // further.
      std::span<const std::uint8_t> whole;
      try {
        whole = image_->Finish(index_);
      } catch (const std::bad_alloc&) {
      }
      if (whole.empty()) {
        Fail();
      } else if (spool_) {
        if (!spool_->Write(host_, whole)) Fail();
      } else if (::pwrite(own_file_, whole.data(), whole.size(), 0) !=
                     static_cast<ssize_t>(whole.size()) ||
                 (whole.size() < own_size_ &&
                  ::ftruncate(own_file_, static_cast<off_t>(whole.size())) != 0)) {
        Fail();
      }
    }
    // A store closed in error must not open again as if it were whole.
    if (error_ != 0) {
      if (spool_) {
        spool_->Spoil(host_);
      } else if (own_file_ >= 0) {
        (void)::ftruncate(own_file_, 0);
      }
    }
    image_.reset();
    if (own_file_ >= 0 && ::close(own_file_) != 0) Fail();
    own_file_ = -1;
    spool_.reset();
  }
}

bool MPersistentCompositeOnDiskImp::HasBlock(std::uint32_t serial) {
  if (image_) return image_->Has(serial);
  char key[kKeyLength + 1];
  SerialKey(serial, key);
  RWCString found;
  std::uint32_t offset;
  return tree_->Find(key, found, offset);
}

void MPersistentCompositeOnDiskImp::CloseFile() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (image_) {
    CloseImage();
  } else if (file_) {
    Operation operation(*this);
    if (Usable()) {
      const RWSize size = index_.GraphStoreSize();
      const std::uint32_t offset = file_->Allocate(size);
      if (offset == RWFileSpaceManager::kNoOffset || !file_->SeekTo(offset)) {
        Fail();
      } else {
        // As the image's close: memory that runs out fails the store.
        try {
          WriteCollectablePointerToFile(*file_, &index_);
          if (file_->Error() || file_->CurrentOffset() != std::int64_t{offset} + size ||
              !tree_->Insert(kIndexKey, offset) || !file_->Flush()) {
            Fail();
          }
        } catch (const std::bad_alloc&) {
          Fail();
        }
      }
    }
    // The tree writes its header back as it goes; a failure of that last
    // write or of the final flush is the store's too.
    tree_.reset();
    if (!file_->Error() && !file_->Flush()) Fail();
    if (file_->Error()) Fail();
    file_.reset();
  } else {
    return;
  }
  for (RWDoubleLink* link = iterators_.First(); link != iterators_.Tail(); link = link->Next())
    static_cast<MPersistentCompositeOnDiskImpIterator*>(link)->current_ = nullptr;
  // Proxies let go of the stores they keep.
  index_.RemoveAllRecords();
}

// ---------------------------------------------------------------------------
// Blocks and records

bool MPersistentCompositeOnDiskImp::PlausibleBlock(std::uint32_t offset, std::uint32_t& length) {
  const std::uint64_t first = std::uint64_t{file_->FirstBlockOffset()} + 4;
  const std::uint64_t end = file_->EndOfSpace();
  if (offset % 4 != 0 || offset < first || offset >= end) return false;
  if (!file_->ReadWordAt(offset - 4, length)) return false;
  return length >= 8 && length % 4 == 0 && std::uint64_t{offset} - 4 + length <= end;
}

bool MPersistentCompositeOnDiskImp::WriteObject(const MPersistentObject& object,
                                                const GRecord& record) {
  if (image_) return image_->Put(record.Serial(), object);
  char key[kKeyLength + 1];
  SerialKey(record.Serial(), key);
  const RWSize size = object.GraphStoreSize();
  const std::uint32_t offset = file_->Allocate(size);
  if (offset == RWFileSpaceManager::kNoOffset) return false;
  // The object is saved into memory and written with one positioned write.
  // A save longer than its stored size, which would have run into the next
  // block, fails the image (room for the runtime's NUL after it).
  std::unique_ptr<std::uint8_t[]> image =
      RWNewArrayForOverwrite<std::uint8_t>(std::uint64_t{size} + 1);
  if (!image) return false;
  std::unique_ptr<RWFile> memory = RWFile::OverMemory(image.get(), std::size_t{size} + 1, "wb");
  if (!memory) return false;
  WriteCollectablePointerToFile(*memory, &object);
  if (!memory->Flush() || memory->Error() || memory->CurrentOffset() != std::int64_t{size}) {
    return false;
  }
  return file_->WriteAt(offset, image.get(), size) && tree_->Insert(key, offset);
}

MPersistentObject* MPersistentCompositeOnDiskImp::ReadBlock(std::uint32_t offset) {
  std::uint32_t length;
  if (!PlausibleBlock(offset, length)) {
    Fail();
    return nullptr;
  }
  std::uint32_t size = 0;
  std::unique_ptr<std::uint8_t[]> image = ReadImage(*file_, offset, length - 4, size);
  if (!image) {
    Fail();
    return nullptr;
  }
  return ReadSaved(image.get(), size);
}

MPersistentObject* MPersistentCompositeOnDiskImp::ReadImaged(std::span<std::uint8_t> saved) {
  GImageStream* stream = image_->Stream();
  if (!stream) {
    Fail();
    return nullptr;
  }
  RWVirtualInputStream& in = stream->ReadFrom(saved.data(), saved.size());
  MPersistentObject* object = nullptr;
  {
    ReadingFrom reading(directory_);
    MPersistentObject::ReadPointerFromStream(in, object);
  }
  // The whole block, and no more, is the object.
  if (!object || in.Fail() || stream->Read() != saved.size()) {
    DestroyIfUnheld(object);
    Fail();
    return nullptr;
  }
  return object;
}

MPersistentObject* MPersistentCompositeOnDiskImp::ReadSaved(std::uint8_t* bytes,
                                                            std::uint32_t size) {
  // The object is restored from its bytes in memory, where a length inside
  // it that the block cannot hold fails.
  std::unique_ptr<RWFile> memory;
  if (!bytes || !(memory = RWFile::OverMemory(bytes, size, "rb"))) {
    Fail();
    return nullptr;
  }
  MPersistentObject* object = nullptr;
  {
    ReadingFrom reading(directory_);
    MPersistentObject::ReadPointerFromFile(*memory, object);
  }
  const std::int64_t read = memory->CurrentOffset();
  if (!object || memory->Error() || read < 0 || read > std::int64_t{size} ||
      read != std::int64_t{object->GraphStoreSize()}) {
    DestroyIfUnheld(object);
    Fail();
    return nullptr;
  }
  return object;
}

MPersistentObject* MPersistentCompositeOnDiskImp::ReadObject(const GRecord& record, bool take) {
  char key[kKeyLength + 1];
  SerialKey(record.Serial(), key);
  RWCString found;
  std::uint32_t offset = 0;
  std::span<std::uint8_t> saved;
  bool present = image_ ? !(saved = image_->Get(record.Serial())).empty()
                 : take ? tree_->Remove(key, found, offset)
                        : tree_->Find(key, found, offset);
  if (!present) {  // a record without its object
    Fail();
    return nullptr;
  }
  MPersistentObject* object = image_ ? ReadImaged(saved) : ReadBlock(offset);
  if (!object) return nullptr;
  // The object must be the one the record names: anything else is a mixed
  // record. (An object stored with serial number 0 gets a new one when
  // read, as every restore of serial 0 does.)
  if (object->ClassId() != record.StoredClassId() || object->Key() != record.Key() ||
      (record.Serial() != 0 && object->SerialNumber() != record.Serial())) {
    DestroyIfUnheld(object);
    Fail();
    return nullptr;
  }
  if (take) image_ ? image_->Drop(record.Serial()) : file_->Deallocate(offset);
  if (!Usable()) {
    DestroyIfUnheld(object);
    return nullptr;
  }
  return object;
}

MPersistentObject* MPersistentCompositeOnDiskImp::ReadRecord(const GRecord& record, bool take) {
  MPersistentObject* object = ReadObject(record, take);
  if (!object) return nullptr;
  GRecordComposite* children = const_cast<GRecord&>(record).ChildRecords();
  if (!children) return object;
  for (GRecordNode* node = children->First(); node; node = children->After(node)) {
    MPersistentObject* child = ReadRecord(*node->record, take);
    if (!child) {
      DestroyIfUnheld(object);
      return nullptr;
    }
    const RWClassID id = child->ClassId();
    if (id == kOnDiskCompositeId || id == kCommandCompositeOnDiskId) {
      object->PutRecord(GCountedPtr(child, g_file_lock));
    } else {
      object->AddChild(child);
    }
  }
  return object;
}

GRecordRef MPersistentCompositeOnDiskImp::Unlist(GRecordComposite* parent, GRecordNode* node) {
  if (parent == &index_) {
    for (RWDoubleLink* link = iterators_.First(); link != iterators_.Tail(); link = link->Next()) {
      auto* iterator = static_cast<MPersistentCompositeOnDiskImpIterator*>(link);
      if (iterator->current_ == node) iterator->current_ = index_.Before(node);
    }
  }
  return parent->Unlink(node);
}

// ---------------------------------------------------------------------------
// Storing

namespace {

// Mended (docs/mended-behaviour.md): a stored composite keeps its own fields.
// A composite's shell: a copy without its children, so that the
// composite's own fields are kept while its children live in records of
// their own.
MPersistentObject* MakeShell(const MPersistentObject& composite) {
  auto* shell = dynamic_cast<MPersistentObject*>(composite.CreateCopy());
  if (!shell) return nullptr;
  shell->RemoveAll();
  shell->SetKey(composite.Key());
  shell->SetSerialNumber(composite.SerialNumber());
  return shell;
}

bool LimitRefuses(RWClassID id, std::uint32_t top_level) {
  if (top_level <= g_top_level_limit.load(std::memory_order_relaxed) || id == kPageEndId) {
    return false;
  }
  return !(id == kLimitFollowerId &&
           (g_class_stored_last == kLimitLeaderId1 || g_class_stored_last == kLimitLeaderId2));
}

}  // namespace

GRecordRef MPersistentCompositeOnDiskImp::Store(MPersistentObject* object, bool replacing,
                                                bool append) {
  if (!Usable()) return {};
  const RWClassID id = object->ClassId();
  if (!replacing && LimitRefuses(id, index_.DirectCount())) return {};
  g_class_stored_last = id;

  // Copies share serial numbers, and a record is found by its serial: a
  // second object under a stored serial would hide the first.
  if (HasBlock(object->SerialNumber()) || !Usable()) {
    Fail();
    return {};
  }

  GRecordRef record;
  const MPersistentObject* stored = object;
  std::unique_ptr<MPersistentObject> shell;
  if (id == kOnDiskCompositeId || id == kCommandCompositeOnDiskId) {
    record = GRecordRef(RWNew<GRecordProxy>(*object));
  } else if (!object->AsComposite()) {
    record = GRecordRef(RWNew<GRecord>(*object));
  } else {
    auto* composite = RWNew<GRecordComposite>(*object);
    record = GRecordRef(composite);
    if (!composite) return {};
    {
      Nesting nesting;
      std::unique_ptr<MChildIterator> children(object->NewChildIterator());
      if (!children) {
        Fail();
        return {};
      }
      while (children->Next()) {
        MPersistentObject* child = children->Current();
        if (!child) continue;
        GRecordRef child_record = Store(child, replacing, true);
        if (!child_record) {
          Fail();
          return {};
        }
        composite->AddChildRecord(child_record.Get());
      }
    }
    shell.reset(MakeShell(*object));
    if (!shell) {
      RWRaiseNoMemory(sizeof(MPersistentObject));
      Fail();
      return {};
    }
    stored = shell.get();
  }
  if (!record) return {};
  if (!WriteObject(*stored, *record)) {
    Fail();
    return {};
  }
  if (g_nesting == 0 && append) index_.AddChildRecord(record.Get());
  return record;
}

void MPersistentCompositeOnDiskImp::PutRecord(const GCountedPtr& record) {
  if (!record) return;
  Operation operation(*this);
  Store(record.Get(), false, true);
}

void MPersistentCompositeOnDiskImp::UpdateRecord(const GCountedPtr& record) {
  PutRecord(record);
}

// ---------------------------------------------------------------------------
// Taking, reading, replacing

GCountedPtr MPersistentCompositeOnDiskImp::TakeAt(GRecordComposite* parent, GRecordNode* node) {
  GRecordRef record = node->record;
  MPersistentObject* object = ReadRecord(*record, true);
  if (!object) return {};
  Unlist(parent, node);
  return GCountedPtr(object, g_file_lock);
}

bool MPersistentCompositeOnDiskImp::ReplaceAt(GRecordComposite* parent, GRecordNode* node,
                                              MPersistentObject* object) {
  GRecordRef old = node->record;
  if (object->SerialNumber() != old->Serial() && HasBlock(object->SerialNumber())) {
    Fail();
    return false;
  }
  if (HasBlock(old->Serial())) {
    MPersistentObject* gone = ReadRecord(*old, true);
    if (!gone) return false;
    DestroyIfUnheld(gone);
  }
  GRecordRef fresh = Store(object, true, false);
  if (!fresh) {
    Unlist(parent, node);  // its object is gone
    return false;
  }
  parent->ReplaceAt(node, fresh.Get());
  return true;
}

GCountedPtr MPersistentCompositeOnDiskImp::Take(GRecordQuery& query) {
  Operation operation(*this);
  if (!Usable() || searching_) return {};
  query.action = GRecordQuery::Action::kTake;
  {
    Searching searching(searching_);
    if (!index_.SearchChildren(query)) return {};
  }
  if (query.nested) return std::move(query.nested_object);
  return TakeAt(query.parent, query.node);
}

GCountedPtr MPersistentCompositeOnDiskImp::Find(GRecordQuery& query) {
  Operation operation(*this);
  if (!Usable() || searching_) return {};
  query.action = GRecordQuery::Action::kRead;
  {
    Searching searching(searching_);
    if (!index_.SearchChildren(query)) return {};
  }
  if (query.nested) return std::move(query.nested_object);
  GRecordRef record(query.record);
  return GCountedPtr(ReadRecord(*record, false), g_file_lock);
}

bool MPersistentCompositeOnDiskImp::Replace(GRecordQuery& query, MPersistentObject* object) {
  Operation operation(*this);
  if (!object || !Usable() || searching_) return false;
  query.action = GRecordQuery::Action::kReplace;
  query.replacement = object;
  {
    Searching searching(searching_);
    if (!index_.SearchChildren(query)) return false;
  }
  if (query.nested) return query.nested_replaced;
  return ReplaceAt(query.parent, query.node, object);
}

GCountedPtr MPersistentCompositeOnDiskImp::TakeRecordEqual(const MPersistentObject* object) {
  if (!object) return {};
  GRecordQuery query = GRecordQuery::BySerial(*object);
  return Take(query);
}

GCountedPtr MPersistentCompositeOnDiskImp::TakeRecordByKey(const std::uint32_t& key) {
  GRecordQuery query = GRecordQuery::ByKey(key);
  return Take(query);
}

GCountedPtr MPersistentCompositeOnDiskImp::TakeRecordByClassId(const RWClassID& id) {
  GRecordQuery query = GRecordQuery::ByClassId(id);
  return Take(query);
}

bool MPersistentCompositeOnDiskImp::ReplaceRecordByKey(const std::uint32_t& key,
                                                       MPersistentObject* object) {
  GRecordQuery query = GRecordQuery::ByKey(key);
  return Replace(query, object);
}

bool MPersistentCompositeOnDiskImp::ReplaceRecordByClassId(const RWClassID& id,
                                                           MPersistentObject* object) {
  GRecordQuery query = GRecordQuery::ByClassId(id);
  return Replace(query, object);
}

bool MPersistentCompositeOnDiskImp::ReplaceRecordEqual(const MPersistentObject* object,
                                                       MPersistentObject* new_object) {
  if (!object) return false;
  GRecordQuery query = GRecordQuery::BySerial(*object);
  return Replace(query, new_object);
}

GCountedPtr MPersistentCompositeOnDiskImp::FindPtrByKey(const std::uint32_t& key) {
  GRecordQuery query = GRecordQuery::ByKey(key);
  return Find(query);
}

GCountedPtr MPersistentCompositeOnDiskImp::FindPtrByClassId(const RWClassID& id) {
  GRecordQuery query = GRecordQuery::ByClassId(id);
  return Find(query);
}

GCountedPtr MPersistentCompositeOnDiskImp::FindPtrEqual(const MPersistentObject* object) {
  if (!object) return {};
  GRecordQuery query = GRecordQuery::BySerial(*object);
  return Find(query);
}

void MPersistentCompositeOnDiskImp::RemoveAll() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (name_.Length() == 0) return;  // never had a file
  {
    Operation operation(*this);
    tree_.reset();
    file_.reset();
    DropImage();
  }
  for (RWDoubleLink* link = iterators_.First(); link != iterators_.Tail(); link = link->Next())
    static_cast<MPersistentCompositeOnDiskImpIterator*>(link)->current_ = nullptr;
  index_.RemoveAllRecords();
  // A new file under the name: the old one goes entirely, so that the new
  // one is made, not opened.
  if (std::optional<std::string> host = HostPath(name_)) {
    std::shared_ptr<GSpoolFile> spool = checksummed_ ? GSpoolFile::Of(DirectoryOf(*host)) : nullptr;
    spool ? spool->Forget(*host) : void(std::remove(host->c_str()));
  }
  OpenFile();
}

MPersistentObject* MPersistentCompositeOnDiskImp::AsComposite() {
  return this;
}

std::uint32_t MPersistentCompositeOnDiskImp::EntryCount() const {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  return index_.RecordCount();
}

std::uint32_t MPersistentCompositeOnDiskImp::NodeCount() const {
  return EntryCount();
}

MRecordIterator* MPersistentCompositeOnDiskImp::NewChildIterator() {
  return RWNew<MPersistentCompositeOnDiskImpIterator>(this);
}

// ---------------------------------------------------------------------------
// Collectable and model slots

RWCollectable* MPersistentCompositeOnDiskImp::CreateDefault() const {
  return new (kRWNoThrow) MPersistentCompositeOnDiskImp;
}

RWCollectable* MPersistentCompositeOnDiskImp::CreateCopy() const {
  return new (kRWNoThrow) MPersistentCompositeOnDiskImp(*this);
}

RWClassID MPersistentCompositeOnDiskImp::ClassId() const {
  return kMPersistentCompositeOnDiskImpId;
}

RWSize MPersistentCompositeOnDiskImp::StoredSize() const {
  return MPersistentObject::StoredSize() + 4;
}

namespace {

template <class In>
void RestoreImp(MPersistentCompositeOnDiskImp& imp, In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(imp, in);
  std::uint32_t version = 0;
  if (scope.Ok()) GetItem(in, version);
}

template <class Out>
void SaveImp(const MPersistentCompositeOnDiskImp& imp, Out& out) {
  SaveBase<MPersistentObject>(imp, out);
  PutItem(out, kImpVersion);
}

}  // namespace

void MPersistentCompositeOnDiskImp::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreImp(*this, stream);
}

void MPersistentCompositeOnDiskImp::RestoreFromFile(RWFile& file) {
  RestoreImp(*this, file);
}

void MPersistentCompositeOnDiskImp::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveImp(*this, stream);
}

void MPersistentCompositeOnDiskImp::SaveToFile(RWFile& file) const {
  SaveImp(*this, file);
}

bool MPersistentCompositeOnDiskImp::IsKindOf(const RWClassID& id) const {
  return id == kMPersistentCompositeOnDiskImpId || MPersistentObject::IsKindOf(id);
}

bool MPersistentCompositeOnDiskImp::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* imp = dynamic_cast<const MPersistentCompositeOnDiskImp*>(other);
  if (!imp || ClassId() != other->ClassId() || Key() != other->Key()) return false;
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (index_.DirectCount() != imp->index_.DirectCount()) return false;
  for (GRecordNode *mine = index_.First(), *theirs = imp->index_.First(); mine;
       mine = index_.After(mine), theirs = imp->index_.After(theirs)) {
    if (!mine->record->IsEqual(theirs->record.Get())) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The iterator

MPersistentCompositeOnDiskImpIterator::MPersistentCompositeOnDiskImpIterator(
    MPersistentCompositeOnDiskImp* imp)
    : imp_(imp, g_file_lock) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  imp->iterators_.InsertAfter(imp->iterators_.Last(), this);
}

MPersistentCompositeOnDiskImpIterator::~MPersistentCompositeOnDiskImpIterator() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  Imp()->iterators_.Remove(this);
}

MPersistentObject* MPersistentCompositeOnDiskImpIterator::Current() {
  return nullptr;
}

void MPersistentCompositeOnDiskImpIterator::ReplaceCurrent(MPersistentObject* object) {
  GCountedPtr held(object, g_file_lock);
  ReplaceCurrentObject(object);
}

bool MPersistentCompositeOnDiskImpIterator::Next() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  GRecordComposite& index = Imp()->index_;
  current_ = current_ ? index.After(current_) : index.First();
  return current_ != nullptr;
}

void MPersistentCompositeOnDiskImpIterator::Reset() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  current_ = nullptr;
}

bool MPersistentCompositeOnDiskImpIterator::Previous() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (!current_) return false;
  current_ = Imp()->index_.Before(current_);
  return current_ != nullptr;
}

GCountedPtr MPersistentCompositeOnDiskImpIterator::CurrentObject() {
  MPersistentCompositeOnDiskImp& imp = *Imp();
  MPersistentCompositeOnDiskImp::Operation operation(imp);
  if (!current_ || !imp.Usable()) return {};
  GRecordRef record = current_->record;
  return GCountedPtr(imp.ReadRecord(*record, false), g_file_lock);
}

GCountedPtr MPersistentCompositeOnDiskImpIterator::TakeCurrent() {
  MPersistentCompositeOnDiskImp& imp = *Imp();
  MPersistentCompositeOnDiskImp::Operation operation(imp);
  if (!current_ || !imp.Usable()) return {};
  return imp.TakeAt(&imp.index_, current_);
}

bool MPersistentCompositeOnDiskImpIterator::ReplaceCurrentObject(MPersistentObject* object) {
  MPersistentCompositeOnDiskImp& imp = *Imp();
  MPersistentCompositeOnDiskImp::Operation operation(imp);
  if (!current_ || !object || !imp.Usable()) return false;
  return imp.ReplaceAt(&imp.index_, current_, object);
}
