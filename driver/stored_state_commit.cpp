// The commit of a stored-state transaction (stored_state.h): what each
// changed thing holds read first, checked again under the lock, the changes
// made in order, and taken back when the system refuses one.
#include <cstring>
#include <new>

#include "driver/stored_state.h"
#include "driver/stored_state_internal.h"
#include "platform/host/boundary.h"
#include "platform/host/registry.h"

using platform::BOOL;
using platform::BYTE;
using platform::DWORD;
using platform::HANDLE;
using platform::HKEY;
using platform::LONG;
using stored_state_internal::Kind;
using Change = GStoreTransaction::Change;

namespace {

// A before-image the system would not read: the commit is refused with
// its error, before anything was written.
struct Refusal {};

// Rounds of reading the before-images without the lock before they are
// read under it: another writer that keeps changing them must not keep a
// commit waiting.
constexpr int kUnlockedRounds = 8;
// The first room a before-image is read into.
constexpr DWORD kFirstRoom = 256;

// What a thing held before the commit's first change of it.
struct Image {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  // A stored default's level 2 record as read, its device mode pointing
  // into it: the record the commit sets its device mode in.
  std::vector<BYTE> record;
  DWORD room = 0;         // the bytes a read of it took, its record's included
  bool touched = false;   // a change of it was made
  bool held_now = false;  // whether it is there now (forms)
};

enum class Read { kHeld, kMissing, kTooSmall, kFailed };

struct Fetched {
  Read read = Read::kFailed;
  DWORD type = 0;
  const BYTE* bytes = nullptr;
  std::size_t size = 0;
  DWORD needed = 0;  // kTooSmall: the room it takes
  DWORD error = 0;   // kFailed
};

// Reads registry value `name` of key `path` below `root` into `buffer`.
Fetched FetchRegistry(HKEY root, const char16_t* path, const char16_t* name, BYTE* buffer,
                      DWORD size) {
  Fetched got;
  HKEY key = nullptr;
  LONG result = platform::RegOpenKeyExW(root, path, 0, platform::kKeyQueryValue, &key);
  if (result == LONG(platform::kErrorFileNotFound)) {
    got.read = Read::kMissing;
    return got;
  }
  if (result != 0) {
    got.error = DWORD(result);
    return got;
  }
  DWORD length = size;
  result = platform::RegQueryValueExW(key, name, nullptr, &got.type, buffer, &length);
  platform::RegCloseKey(key);
  if (result == 0) {
    got.read = Read::kHeld;
    got.bytes = buffer;
    got.size = length;
  } else if (result == LONG(platform::kErrorFileNotFound)) {
    got.read = Read::kMissing;
  } else if (result == LONG(platform::kErrorMoreData)) {
    got.read = Read::kTooSmall;
    got.needed = length;
  } else {
    got.error = DWORD(result);
  }
  return got;
}

// Sets (making the key when `make_key`) or deletes registry value `name`.
DWORD WriteRegistry(HKEY root, const char16_t* path, const char16_t* name, bool present,
                    bool make_key, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  LONG result = present && make_key
                    ? platform::RegCreateKeyExW(root, path, 0, u"", 0, platform::kKeySetValue,
                                                nullptr, &key, nullptr)
                    : platform::RegOpenKeyExW(root, path, 0, platform::kKeySetValue, &key);
  if (result == LONG(platform::kErrorFileNotFound) && !present) return 0;
  if (result != 0) return DWORD(result);
  result = present ? platform::RegSetValueExW(key, name, 0, type, bytes.data(), DWORD(bytes.size()))
                   : platform::RegDeleteValueW(key, name);
  platform::RegCloseKey(key);
  return result == LONG(platform::kErrorFileNotFound) && !present ? 0 : DWORD(result);
}

// Reads what the thing of `change` holds now into `buffer`, allocating
// nothing of the process's own.
Fetched Fetch(const Change& change, HANDLE admin, BYTE* buffer, DWORD size) {
  Fetched got;
  switch (change.kind) {
    case Kind::kPrinterValue: {
      // A value deleted through the registry is read there too.
      if (!admin)
        return FetchRegistry(platform::kHkeyLocalMachine, change.path.c_str(), change.given.c_str(),
                             buffer, size);
      DWORD needed = 0;
      const DWORD result =
          platform::GetPrinterDataW(admin, change.given.c_str(), &got.type, buffer, size, &needed);
      if (result == platform::kErrorSuccess) {
        got.read = Read::kHeld;
        got.bytes = buffer;
        got.size = needed;
      } else if (result == platform::kErrorFileNotFound) {
        got.read = Read::kMissing;
      } else if (result == platform::kErrorMoreData) {
        got.read = Read::kTooSmall;
        got.needed = needed;
      } else {
        got.error = result;
      }
      return got;
    }
    case Kind::kRegistryValue:
      return FetchRegistry(change.root, change.path.c_str(), change.given.c_str(), buffer, size);
    case Kind::kStoredDefault: {
      DWORD needed = 0;
      if (platform::GetPrinterW(admin, 2, buffer, size, &needed) != 1) {
        const DWORD error = platform::GetLastError();
        if (error == platform::kErrorInsufficientBuffer) {
          got.read = Read::kTooSmall;
          got.needed = needed;
        } else {
          got.error = error;
        }
        return got;
      }
      const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(buffer);
      const auto* mode = static_cast<const BYTE*>(info->dev_mode);
      const BYTE* end = buffer + needed;
      got.read = Read::kMissing;
      if (mode && mode >= buffer && end - mode > 71) {
        got.read = Read::kHeld;
        got.bytes = mode;
        got.size = std::min<std::size_t>(stored_state_internal::DevModeLength(mode), end - mode);
      }
      got.needed = needed;
      return got;
    }
    case Kind::kForm: {
      DWORD needed = 0;
      if (platform::GetFormW(admin, change.given.c_str(), 1, buffer, size, &needed) != 1) {
        const DWORD error = platform::GetLastError();
        if (error == platform::kErrorInvalidFormName) {
          got.read = Read::kMissing;
        } else if (error == platform::kErrorInsufficientBuffer) {
          got.read = Read::kTooSmall;
          got.needed = needed;
        } else {
          got.error = error;
        }
        return got;
      }
      const auto* form = reinterpret_cast<const platform::FormInfo1W*>(buffer);
      got.read = Read::kHeld;
      got.type = form->flags;
      got.bytes = reinterpret_cast<const BYTE*>(&form->size);
      got.size = sizeof(stored_state_internal::FormShape);
      return got;
    }
  }
  return got;
}

// Reads the image of `change`'s thing (memory allowed); false with the
// system's error.
bool Capture(const Change& change, HANDLE admin, Image& image, DWORD& error) {
  image.record.assign(std::max<std::size_t>(kFirstRoom, change.bytes.size() + 1), 0);
  for (int tries = 0; tries < 4; ++tries) {
    const Fetched got = Fetch(change, admin, image.record.data(), DWORD(image.record.size()));
    if (got.read == Read::kTooSmall) {
      image.record.assign(std::size_t(got.needed) + 1, 0);
      continue;
    }
    if (got.read == Read::kFailed) {
      error = got.error;
      return false;
    }
    image.present = got.read == Read::kHeld;
    image.held_now = image.present;
    image.type = got.type;
    image.bytes.assign(got.bytes, got.bytes + (image.present ? got.size : 0));
    image.room = change.kind == Kind::kStoredDefault ? got.needed : DWORD(got.size);
    if (change.kind != Kind::kStoredDefault) image.record.clear();
    return true;
  }
  error = platform::kErrorInvalidData;  // a thing that keeps growing
  return false;
}

// Whether the thing still holds `image`, read into `scratch`.
bool Holds(const Change& change, HANDLE admin, const Image& image, std::vector<BYTE>& scratch) {
  const Fetched got = Fetch(change, admin, scratch.data(), DWORD(scratch.size()));
  if (got.read == Read::kMissing) return !image.present;
  if (got.read != Read::kHeld || !image.present) return false;
  return got.type == image.type && got.size == image.bytes.size() &&
         (got.size == 0 || std::memcmp(got.bytes, image.bytes.data(), got.size) == 0);
}

// The keys of `change`'s path that are missing now, outermost first (a
// value's write makes them): the ones the commit takes away again when it
// takes the write back.
std::vector<std::u16string> MissingKeys(const Change& change) {
  std::vector<std::u16string> missing;
  for (std::size_t cut = 0; cut != std::u16string::npos;) {
    cut = change.path.find(u'\\', cut + 1);
    std::u16string prefix = change.path.substr(0, cut);
    HKEY key = nullptr;
    if (platform::RegOpenKeyExW(change.root, prefix.c_str(), 0, platform::kKeyQueryValue, &key) ==
        0) {
      platform::RegCloseKey(key);
      if (!missing.empty()) return {};  // made by someone since: none of them ours
    } else {
      missing.push_back(std::move(prefix));
    }
  }
  return missing;
}

// Whether the outermost of `missing` is still missing.
bool StillMissing(const Change& change, const std::vector<std::u16string>& missing) {
  if (missing.empty()) return true;
  HKEY key = nullptr;
  if (platform::RegOpenKeyExW(change.root, missing.front().c_str(), 0, platform::kKeyQueryValue,
                              &key) != 0)
    return true;
  platform::RegCloseKey(key);
  return false;
}

std::uint64_t HashOf(const Change& change, const Image& image) {
  return stored_state_internal::ValueHash(image.present,
                                          change.kind == Kind::kStoredDefault ? 0 : image.type,
                                          image.bytes.data(), image.bytes.size());
}

// Makes the thing of `change` hold `present`, `type` and `bytes`; the
// system's error, 0 when made.
DWORD Write(const Change& change, HANDLE admin, Image& image, bool present, DWORD type,
            const std::vector<BYTE>& bytes) {
  switch (change.kind) {
    case Kind::kPrinterValue: {
      if (present && admin)
        return platform::SetPrinterDataW(admin, change.given.c_str(), type, bytes.data(),
                                         DWORD(bytes.size()));
      // Deleted, and a deleted value put back, through the data key.
      return WriteRegistry(platform::kHkeyLocalMachine, change.path.c_str(), change.given.c_str(),
                           present, false, type, bytes);
    }
    case Kind::kRegistryValue:
      return WriteRegistry(change.root, change.path.c_str(), change.given.c_str(), present,
                           change.make_key, type, bytes);
    case Kind::kStoredDefault: {
      // The system keeps no way to take a stored default away.
      if (!present) return 0;
      auto* info = reinterpret_cast<platform::PrinterInfo2W*>(image.record.data());
      info->dev_mode = const_cast<BYTE*>(bytes.data());
      info->security_descriptor = nullptr;
      return platform::SetPrinterW(admin, 2, image.record.data(), 0) == 1
                 ? 0
                 : platform::GetLastError();
    }
    case Kind::kForm: {
      stored_state_internal::FormShape shape{};
      if (!bytes.empty()) std::memcpy(&shape, bytes.data(), std::min(sizeof shape, bytes.size()));
      const platform::FormInfo1W form{type, const_cast<char16_t*>(change.given.c_str()), shape.size,
                                      shape.area};
      const auto* record = reinterpret_cast<const BYTE*>(&form);
      BOOL done = 1;
      if (present) {
        done = image.held_now ? platform::SetFormW(admin, change.given.c_str(), 1, record)
                              : platform::AddFormW(admin, 1, record);
      } else if (image.held_now) {
        done = platform::DeleteFormW(admin, change.given.c_str());
      }
      if (done != 1) return platform::GetLastError();
      image.held_now = present;
      return 0;
    }
  }
  return platform::kErrorInvalidParameter;
}

}  // namespace

GStoreTransaction::Outcome GStoreTransaction::Commit() noexcept {
  if (changes_.empty()) {
    Discard();
    return Outcome::kNothing;
  }
  return mode_ == Mode::kCall ? CommitParts(this, nullptr).calls
                              : CommitParts(nullptr, this).confirmed;
}

GStoreTransaction::Outcomes GStoreTransaction::CommitParts(GStoreTransaction* calls,
                                                           GStoreTransaction* confirmed) noexcept {
  Outcomes outcomes;
  GStoreTransaction* const parts[] = {calls, confirmed};
  try {
    // One step a change: values first, the calls' before the OK's, each in
    // the order staged; then forms; the stored defaults last, the last of
    // each printer's only: a stored default cannot be taken away again, so
    // nothing after it may be refused.
    struct Step {
      const Change* change;
      bool confirmed;
    };
    std::vector<Step> order;
    const auto rank = [](const Change& change) {
      return change.kind == Kind::kRegistryValue ? Kind::kPrinterValue : change.kind;
    };
    for (Kind kind : {Kind::kPrinterValue, Kind::kForm, Kind::kStoredDefault}) {
      for (int part = 0; part < 2; ++part) {
        if (!parts[part]) continue;
        const std::vector<Change>& changes = parts[part]->changes_;
        for (std::size_t i = 0; i < changes.size(); ++i) {
          if (rank(changes[i]) != kind) continue;
          order.push_back(Step{&changes[i], part == 1});
        }
      }
    }
    // A printer's stored defaults: its last only.
    std::vector<Step> kept;
    kept.reserve(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
      bool later = false;
      for (std::size_t j = k + 1; j < order.size() && !later; ++j) {
        later = order[k].change->kind == Kind::kStoredDefault &&
                order[j].change->kind == Kind::kStoredDefault &&
                order[j].change->where == order[k].change->where;
      }
      if (!later) kept.push_back(order[k]);
    }
    order.swap(kept);
    if (order.empty()) {
      if (calls) calls->Discard();
      if (confirmed) confirmed->Discard();
      return outcomes;
    }
    // Each step's thing's first step, its image, and the handle it is
    // made through.
    std::vector<std::size_t> first(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
      const Change& change = *order[k].change;
      first[k] = k;
      for (std::size_t j = 0; j < k; ++j) {
        const Change& earlier = *order[j].change;
        if (earlier.item == change.item && earlier.kind == change.kind &&
            earlier.root == change.root && earlier.where == change.where &&
            earlier.name == change.name) {
          first[k] = first[j];
          break;
        }
      }
    }
    std::vector<Image> images(order.size());
    // The keys a registry value's write makes, on the first step that
    // writes under them.
    std::vector<std::vector<std::u16string>> made(order.size());
    std::vector<char> maker(order.size(), 0);
    for (std::size_t k = 0; k < order.size(); ++k) {
      const Change& change = *order[k].change;
      if (change.kind != Kind::kRegistryValue || !change.make_key || !change.present) continue;
      bool earlier = false;
      for (std::size_t j = 0; j < k && !earlier; ++j) {
        earlier = maker[j] && order[j].change->root == change.root &&
                  order[j].change->where == change.where;
      }
      maker[k] = !earlier;
    }
    std::vector<char> written(order.size(), 0);
    std::vector<BYTE> scratch;
    std::unique_lock<std::recursive_mutex> lock(StoredStateLock(), std::defer_lock);
    for (int round = 0;; ++round) {
      // Under the lock from the last round on: then nothing changes between
      // the images and the writes.
      if (round == kUnlockedRounds) lock.lock();
      DWORD room = 0;
      for (std::size_t k = 0; k < order.size(); ++k) {
        if (first[k] != k) continue;
        images[k] = Image{};
        DWORD error = 0;
        if (!Capture(*order[k].change, order[k].change->via, images[k], error)) {
          if (calls) calls->error_ = error;
          if (confirmed) confirmed->error_ = error;
          throw Refusal{};
        }
        room =
            std::max<DWORD>(room, std::max<DWORD>(images[k].room, DWORD(images[k].bytes.size())));
      }
      for (std::size_t k = 0; k < order.size(); ++k) {
        if (maker[k]) made[k] = MissingKeys(*order[k].change);
      }
      if (round == kUnlockedRounds) break;
      scratch.assign(std::size_t(room) + 1, 0);
      lock.lock();
      bool held = true;
      for (std::size_t k = 0; k < order.size() && held; ++k) {
        if (first[k] == k) held = Holds(*order[k].change, order[k].change->via, images[k], scratch);
        if (held && maker[k]) held = StillMissing(*order[k].change, made[k]);
      }
      if (held) break;
      lock.unlock();
    }
    // What the calls read before they changed it must still be there;
    // else their part is dropped, and the later writer's value stays. A
    // user's OK is stored whatever was read.
    bool calls_apply = calls != nullptr;
    for (std::size_t k = 0; k < order.size() && calls_apply; ++k) {
      if (order[k].confirmed) continue;
      const Change& change = *order[k].change;
      const Image& image = images[first[k]];
      const std::uint64_t* read = calls->ReadOf(change.item);
      if (read && *read != HashOf(change, image)) calls_apply = false;
      if (!read && change.kind == Kind::kForm && image.present &&
          calls->ReadOf(stored_state_internal::ItemHash(Kind::kForm, nullptr, change.where,
                                                        stored_state_internal::kFormListName)))
        calls_apply = false;
    }
    if (calls && !calls_apply) outcomes.calls = Outcome::kConflict;
    // The writes: the calls' part and the OK's; when the OK's is refused,
    // all is taken back and the calls' part made alone, as a cancelled OK
    // would have left it.
    for (bool with_ok : {true, false}) {
      if (!with_ok && (!calls_apply || outcomes.confirmed != Outcome::kRefused)) break;
      DWORD refused = 0;
      bool refused_in_ok = false;
      for (std::size_t k = 0; k < order.size(); ++k) {
        if (order[k].confirmed ? !with_ok : !calls_apply) continue;
        const Change& change = *order[k].change;
        Image& image = images[first[k]];
        // A rewrite puts back what it finds: refused, it is refused before
        // anything of the thing changed.
        const DWORD error =
            !change.rewrite
                ? Write(change, change.via, image, change.present, change.type, change.bytes)
            : image.present ? Write(change, change.via, image, true, image.type, image.bytes)
                            : 0;
        if (error == 0) {
          image.touched = true;
          written[k] = 1;
          continue;
        }
        // Refused: what was made goes back, newest first, and the keys made
        // for it once their values are gone.
        refused = error;
        refused_in_ok = order[k].confirmed;
        for (std::size_t j = k + 1; j-- > 0;) {
          if (first[j] == j && images[j].touched) {
            Write(*order[j].change, order[j].change->via, images[j], images[j].present,
                  images[j].type, images[j].bytes);
            images[j].touched = false;
          }
          if (!written[j] && j != k) continue;
          written[j] = 0;
          for (std::size_t m = made[j].size(); m-- > 0;)
            platform::RegDeleteKeyW(order[j].change->root, made[j][m].c_str());
        }
        break;
      }
      if (refused == 0) {
        if (calls && calls_apply) outcomes.calls = Outcome::kStored;
        if (confirmed && with_ok) outcomes.confirmed = Outcome::kStored;
        break;
      }
      if (refused_in_ok) {
        confirmed->error_ = refused;
        outcomes.confirmed = Outcome::kRefused;
      } else {
        // The calls' part refused: the OK falls with it.
        calls->error_ = refused;
        outcomes.calls = Outcome::kRefused;
        if (confirmed) {
          confirmed->error_ = refused;
          outcomes.confirmed = Outcome::kRefused;
        }
        break;
      }
    }
  } catch (const Refusal&) {
    if (calls) outcomes.calls = Outcome::kRefused;
    if (confirmed) outcomes.confirmed = Outcome::kRefused;
  } catch (const std::bad_alloc&) {
    // Only the reads before the first write allocate: nothing was written.
    platform::NoteShortage();
    for (GStoreTransaction* part : parts) {
      if (part) part->error_ = platform::kErrorNotEnoughMemory;
    }
    if (calls) outcomes.calls = Outcome::kRefused;
    if (confirmed) outcomes.confirmed = Outcome::kRefused;
  }
  // Nothing staged in a part is no commit of it.
  if (calls && calls->changes_.empty()) outcomes.calls = Outcome::kNothing;
  if (confirmed && confirmed->changes_.empty()) outcomes.confirmed = Outcome::kNothing;
  if (calls) calls->Discard();
  if (confirmed) confirmed->Discard();
  return outcomes;
}
