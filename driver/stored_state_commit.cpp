// The commit of a stored-state transaction (stored_state.h): what each
// changed thing holds read first, checked again under the lock, the changes
// made in order, and taken back when the system refuses one
// (stored_state_takeback.cpp).
#include <algorithm>
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
using stored_state_internal::TakeBack;
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

enum class Read { kHeld, kMissing, kTooSmall, kFailed };

struct Fetched {
  Read read = Read::kFailed;
  DWORD type = 0;
  const BYTE* bytes = nullptr;
  std::size_t size = 0;
  DWORD needed = 0;  // kTooSmall: the room it takes
  DWORD error = 0;   // kFailed
};

// A read answered with a code (the printer data's size protocol), or a
// BOOL read's last error: kTooSmall, kMissing (`missing`) or the error.
Fetched Unread(DWORD error, DWORD needed, DWORD missing, DWORD too_small) {
  Fetched got;
  if (error == missing) {
    got.read = Read::kMissing;
  } else if (error == too_small) {
    got.read = Read::kTooSmall;
    got.needed = needed;
  } else {
    got.error = error;
  }
  return got;
}

// Reads registry value `name` of key `path` below `root` into `buffer`.
Fetched FetchRegistry(HKEY root, const char16_t* path, const char16_t* name, BYTE* buffer,
                      DWORD size) {
  HKEY key = nullptr;
  LONG result = platform::RegOpenKeyExW(root, path, 0, platform::kKeyQueryValue, &key);
  if (result != 0) return Unread(DWORD(result), 0, platform::kErrorFileNotFound, ~DWORD{0});
  DWORD type = 0, length = size;
  result = platform::RegQueryValueExW(key, name, nullptr, &type, buffer, &length);
  platform::RegCloseKey(key);
  if (result != 0)
    return Unread(DWORD(result), length, platform::kErrorFileNotFound, platform::kErrorMoreData);
  return Fetched{Read::kHeld, type, buffer, length};
}

Fetched FetchPrinterValue(const Change& change, HANDLE admin, BYTE* buffer, DWORD size) {
  // A value deleted through the registry is read there too.
  if (!admin)
    return FetchRegistry(platform::kHkeyLocalMachine, change.path.c_str(), change.given.c_str(),
                         buffer, size);
  DWORD needed = 0, type = 0;
  const DWORD result =
      platform::GetPrinterDataW(admin, change.given.c_str(), &type, buffer, size, &needed);
  if (result != platform::kErrorSuccess)
    return Unread(result, needed, platform::kErrorFileNotFound, platform::kErrorMoreData);
  return Fetched{Read::kHeld, type, buffer, needed};
}

Fetched FetchDefault(HANDLE admin, BYTE* buffer, DWORD size) {
  DWORD needed = 0;
  if (platform::GetPrinterW(admin, 2, buffer, size, &needed) != 1)
    return Unread(platform::GetLastError(), needed, ~DWORD{0}, platform::kErrorInsufficientBuffer);
  const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(buffer);
  const auto* mode = static_cast<const BYTE*>(info->dev_mode);
  const BYTE* end = buffer + needed;
  Fetched got;
  got.read = Read::kMissing;
  if (mode && mode >= buffer && end - mode > 71) {
    got.read = Read::kHeld;
    got.bytes = mode;
    got.size = std::min<std::size_t>(stored_state_internal::DevModeLength(mode), end - mode);
  }
  got.needed = needed;
  return got;
}

Fetched FetchForm(const Change& change, HANDLE admin, BYTE* buffer, DWORD size) {
  DWORD needed = 0;
  if (platform::GetFormW(admin, change.given.c_str(), 1, buffer, size, &needed) != 1)
    return Unread(platform::GetLastError(), needed, platform::kErrorInvalidFormName,
                  platform::kErrorInsufficientBuffer);
  const auto* form = reinterpret_cast<const platform::FormInfo1W*>(buffer);
  return Fetched{Read::kHeld, form->flags, reinterpret_cast<const BYTE*>(&form->size),
                 sizeof(stored_state_internal::FormShape)};
}

// Reads what the thing of `change` holds now into `buffer`, allocating
// nothing of the process's own.
Fetched Fetch(const Change& change, HANDLE admin, BYTE* buffer, DWORD size) {
  switch (change.kind) {
    case Kind::kPrinterValue:
      return FetchPrinterValue(change, admin, buffer, size);
    case Kind::kRegistryValue:
      return FetchRegistry(change.root, change.path.c_str(), change.given.c_str(), buffer, size);
    case Kind::kStoredDefault:
      return FetchDefault(admin, buffer, size);
    case Kind::kForm:
      return FetchForm(change, admin, buffer, size);
  }
  return Fetched{};
}

// Reads what `change`'s thing holds now into `image` (memory allowed):
// its before-image, under the thing's identity; false with the system's
// error.
bool Capture(const Change& change, TakeBack& image, DWORD& error) {
  Change& thing = image.thing;
  thing.kind = change.kind;
  thing.root = change.root;
  thing.where = change.where;
  thing.name = change.name;
  thing.given = change.given;
  thing.printer = change.printer;
  thing.path = change.path;
  thing.make_key = change.make_key;
  thing.via = change.via;
  thing.item = change.item;
  image.record.assign(std::max<std::size_t>(kFirstRoom, change.bytes.size() + 1), 0);
  for (int tries = 0; tries < 4; ++tries) {
    const Fetched got = Fetch(change, change.via, image.record.data(), DWORD(image.record.size()));
    if (got.read == Read::kTooSmall) {
      image.record.assign(std::size_t(got.needed) + 1, 0);
      continue;
    }
    if (got.read == Read::kFailed) {
      error = got.error;
      return false;
    }
    thing.present = got.read == Read::kHeld;
    image.held_now = thing.present;
    thing.type = got.type;
    thing.bytes.assign(got.bytes, got.bytes + (thing.present ? got.size : 0));
    image.room = change.kind == Kind::kStoredDefault ? got.needed : DWORD(got.size);
    if (change.kind != Kind::kStoredDefault) image.record.clear();
    return true;
  }
  error = platform::kErrorInvalidData;  // a thing that keeps growing
  return false;
}

// Whether the thing still holds `image`, read into `scratch`.
bool Holds(const TakeBack& image, std::vector<BYTE>& scratch) {
  const Change& thing = image.thing;
  const Fetched got = Fetch(thing, thing.via, scratch.data(), DWORD(scratch.size()));
  if (got.read == Read::kMissing) return !thing.present;
  if (got.read != Read::kHeld || !thing.present) return false;
  return got.type == thing.type && got.size == thing.bytes.size() &&
         (got.size == 0 || std::memcmp(got.bytes, thing.bytes.data(), got.size) == 0);
}

// The keys of `change`'s path that are missing now, outermost first (a
// value's write makes them): the ones a take-back takes away again.
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
bool StillMissing(HKEY root, const std::vector<std::u16string>& missing) {
  if (missing.empty()) return true;
  HKEY key = nullptr;
  if (platform::RegOpenKeyExW(root, missing.front().c_str(), 0, platform::kKeyQueryValue, &key) !=
      0)
    return true;
  platform::RegCloseKey(key);
  return false;
}

std::uint64_t HashOf(const Change& thing) {
  return stored_state_internal::ValueHash(thing.present,
                                          thing.kind == Kind::kStoredDefault ? 0 : thing.type,
                                          thing.bytes.data(), thing.bytes.size());
}

bool SameThing(const Change& a, const Change& b) {
  return a.item == b.item && a.kind == b.kind && a.root == b.root && a.where == b.where &&
         a.name == b.name;
}

}  // namespace

// One commit of a call's part and a user's OK (CommitParts): its writes in
// order, the things they write with what each held before, and the lock
// from the last check of those to the last write.
class GStoreTransaction::CommitRun {
 public:
  CommitRun(GStoreTransaction* calls, GStoreTransaction* confirmed)
      : parts_{calls, confirmed}, lock_(StoredStateLock(), std::defer_lock) {}

  // Throws Refusal (a before-image the system would not read, or a
  // take-back still pending for what the commit writes) or std::bad_alloc,
  // both before anything is written.
  Outcomes Run();

 private:
  struct Step {
    const Change* change;
    bool confirmed;     // the OK's
    std::size_t thing;  // in things_
  };

  bool Plan();
  void AddStep(const Change& change, bool confirmed);
  void ReadImages();
  // Finishes the take-backs pending; refuses the commit when one is left
  // for what it writes. REQUIRES: the lock.
  void SettlePending();
  bool ImagesHold();
  void Refuse(DWORD error);
  bool CallsApply() const;
  // The writes of the calls' part (`calls`) and the OK's (`ok`): 0 when
  // all were made, else the system's error, everything taken back, and
  // `in_ok` whether the OK's write was refused.
  DWORD Write(bool calls, bool ok, bool& in_ok);
  void PutBackAll();

  GStoreTransaction* parts_[2];
  std::vector<Step> steps_;
  std::vector<TakeBack> things_;              // each thing once, in the order first written
  std::vector<const Change*> first_changes_;  // by thing
  std::vector<char> makes_keys_;  // by thing: its first write makes the keys of its path
  std::vector<BYTE> scratch_;
  std::unique_lock<std::recursive_mutex> lock_;
};

void GStoreTransaction::CommitRun::AddStep(const Change& change, bool confirmed) {
  const auto earlier = std::find_if(steps_.begin(), steps_.end(), [&](const Step& step) {
    return SameThing(*step.change, change);
  });
  const std::size_t thing = earlier != steps_.end() ? earlier->thing : things_.size();
  if (thing == things_.size()) {
    things_.emplace_back();
    // The first of a registry key's values written where the key is to be
    // made makes it.
    const bool makes = change.kind == Kind::kRegistryValue && change.make_key && change.present &&
                       std::none_of(steps_.begin(), steps_.end(), [&](const Step& step) {
                         return makes_keys_[step.thing] && step.change->root == change.root &&
                                step.change->where == change.where;
                       });
    makes_keys_.push_back(makes);
    first_changes_.push_back(&change);
  }
  steps_.push_back(Step{&change, confirmed, thing});
}

bool GStoreTransaction::CommitRun::Plan() {
  // Values first, the calls' before the OK's, each in the order staged;
  // then forms; the stored defaults last, the last of each printer's only:
  // a stored default cannot be taken away again, so nothing after it may
  // be refused.
  const auto rank = [](const Change& change) {
    return change.kind == Kind::kRegistryValue ? Kind::kPrinterValue : change.kind;
  };
  for (Kind kind : {Kind::kPrinterValue, Kind::kForm, Kind::kStoredDefault}) {
    for (int part = 0; part < 2; ++part) {
      if (!parts_[part]) continue;
      const std::vector<Change>& changes = parts_[part]->changes_;
      for (std::size_t i = 0; i < changes.size(); ++i) {
        if (rank(changes[i]) != kind) continue;
        const bool later_default =
            kind == Kind::kStoredDefault &&
            (std::any_of(changes.begin() + std::ptrdiff_t(i) + 1, changes.end(),
                         [&](const Change& later) {
                           return later.kind == kind && later.where == changes[i].where;
                         }) ||
             (part == 0 && parts_[1] &&
              std::any_of(parts_[1]->changes_.begin(), parts_[1]->changes_.end(),
                          [&](const Change& later) {
                            return later.kind == kind && later.where == changes[i].where;
                          })));
        if (!later_default) AddStep(changes[i], part == 1);
      }
    }
  }
  return !steps_.empty();
}

void GStoreTransaction::CommitRun::Refuse(DWORD error) {
  for (GStoreTransaction* part : parts_) {
    if (part) part->error_ = error;
  }
  throw Refusal{};
}

void GStoreTransaction::CommitRun::ReadImages() {
  for (int round = 0;; ++round) {
    // Under the lock in the last round: then nothing changes between the
    // images and the writes.
    if (round == kUnlockedRounds) {
      lock_.lock();
      SettlePending();
    }
    DWORD room = 0;
    for (std::size_t thing = 0; thing < things_.size(); ++thing) {
      TakeBack& image = things_[thing];
      DWORD error = 0;
      if (!Capture(*first_changes_[thing], image, error)) Refuse(error);
      if (makes_keys_[thing]) image.keys = MissingKeys(*first_changes_[thing]);
      room = std::max({room, image.room, DWORD(image.thing.bytes.size())});
    }
    if (round == kUnlockedRounds) break;
    scratch_.assign(std::size_t(room) + 1, 0);
    lock_.lock();
    SettlePending();
    if (ImagesHold()) break;
    lock_.unlock();
  }
  stored_state_internal::MarkCounts(things_.data(), things_.size());
}

void GStoreTransaction::CommitRun::SettlePending() {
  // What a refused commit left is put back first: nothing of this one may
  // be written over it, and images read over it are read again.
  if (stored_state_internal::FinishPending()) return;
  for (const Step& step : steps_) {
    if (const DWORD pending = stored_state_internal::PendingFor(*step.change)) Refuse(pending);
  }
}

bool GStoreTransaction::CommitRun::ImagesHold() {
  for (std::size_t thing = 0; thing < things_.size(); ++thing) {
    if (!Holds(things_[thing], scratch_)) return false;
    if (makes_keys_[thing] && !StillMissing(things_[thing].thing.root, things_[thing].keys))
      return false;
  }
  return true;
}

bool GStoreTransaction::CommitRun::CallsApply() const {
  // What the calls read before they changed it must still be there; else
  // their part is dropped, and the later writer's value stays. A user's
  // OK is stored whatever was read.
  const GStoreTransaction* calls = parts_[0];
  for (const Step& step : steps_) {
    if (step.confirmed) continue;
    const Change& change = *step.change;
    const Change& image = things_[step.thing].thing;
    const std::uint64_t* read = calls->ReadOf(change.item);
    if (read && *read != HashOf(image)) return false;
    if (!read && change.kind == Kind::kForm && image.present &&
        calls->ReadOf(stored_state_internal::ItemHash(Kind::kForm, nullptr, change.where,
                                                      stored_state_internal::kFormListName)))
      return false;
  }
  return true;
}

DWORD GStoreTransaction::CommitRun::Write(bool calls, bool ok, bool& in_ok) {
  // Room for what a refusal leaves pending, made before the first write:
  // nothing between two writes allocates.
  stored_state_internal::ReservePending(things_.size());
  stored_state_internal::WritesUnderway writing;
  for (const Step& step : steps_) {
    if (step.confirmed ? !ok : !calls) continue;
    const Change& change = *step.change;
    TakeBack& image = things_[step.thing];
    // A rewrite puts back what it finds: refused, it is refused before
    // anything of the thing changed.
    DWORD error = 0;
    if (!change.rewrite) {
      error = stored_state_internal::WriteThing(change, change.via, change.present, change.type,
                                                change.bytes, image.record, image.held_now);
    } else if (image.thing.present) {
      error = stored_state_internal::WriteThing(change, change.via, true, image.thing.type,
                                                image.thing.bytes, image.record, image.held_now);
    }
    if (error == 0) {
      image.touched = true;
      continue;
    }
    in_ok = step.confirmed;
    PutBackAll();
    return error;
  }
  return 0;
}

void GStoreTransaction::CommitRun::PutBackAll() {
  stored_state_internal::PutBack(things_.data(), things_.size());
  for (stored_state_internal::TakeBack& thing : things_) {
    if (!stored_state_internal::Outstanding(thing)) continue;
    stored_state_internal::KeepPending(std::move(thing));
    thing.touched = thing.cleared = false;
    thing.keys.clear();
  }
}

GStoreTransaction::Outcomes GStoreTransaction::CommitRun::Run() {
  Outcomes outcomes;
  GStoreTransaction* calls = parts_[0];
  GStoreTransaction* confirmed = parts_[1];
  if (!Plan()) return outcomes;
  ReadImages();
  const bool calls_apply = calls && CallsApply();
  if (calls && !calls_apply) outcomes.calls = Outcome::kConflict;
  bool in_ok = false;
  DWORD refused = Write(calls_apply, confirmed != nullptr, in_ok);
  if (refused != 0 && in_ok) {
    // The OK refused, and all taken back: the calls' part alone, as a
    // cancelled OK would have left it, unless what the OK left pending
    // stands in its way.
    confirmed->error_ = refused;
    outcomes.confirmed = Outcome::kRefused;
    if (!calls_apply) return outcomes;
    refused = 0;
    for (const Step& step : steps_) {
      if (!step.confirmed && refused == 0)
        refused = stored_state_internal::PendingFor(*step.change);
    }
    if (refused == 0) refused = Write(true, false, in_ok);
  }
  if (refused == 0) {
    if (calls_apply) outcomes.calls = Outcome::kStored;
    if (confirmed && outcomes.confirmed != Outcome::kRefused) outcomes.confirmed = Outcome::kStored;
    return outcomes;
  }
  // The calls' part refused: the OK falls with it.
  for (GStoreTransaction* part : parts_) {
    if (part) part->error_ = refused;
  }
  outcomes.calls = Outcome::kRefused;
  if (confirmed) outcomes.confirmed = Outcome::kRefused;
  return outcomes;
}

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
  try {
    CommitRun run(calls, confirmed);
    outcomes = run.Run();
  } catch (const Refusal&) {
    if (calls) outcomes.calls = Outcome::kRefused;
    if (confirmed) outcomes.confirmed = Outcome::kRefused;
  } catch (const std::bad_alloc&) {
    // Only what comes before the first write allocates: nothing was
    // written, or all of it was taken back.
    platform::NoteShortage();
    for (GStoreTransaction* part : {calls, confirmed}) {
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
