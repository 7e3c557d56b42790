// The door to the stored state and the transactions' staging
// (stored_state.h); the commit is in stored_state_commit.cpp.
#include "driver/stored_state.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "driver/stored_state_internal.h"
#include "foundation/rw/error.h"
#include "platform/host/boundary.h"
#include "platform/host/registry.h"
#include "platform/text.h"

using platform::BOOL;
using platform::BYTE;
using platform::DWORD;
using platform::HANDLE;
using platform::HKEY;
using platform::LONG;

namespace stored_state_internal {

namespace {

char16_t FoldUnit(char16_t unit) {
  if (unit >= u'a' && unit <= u'z') return char16_t(unit - (u'a' - u'A'));
  return unit >= 0x80 ? platform::WideToUpper(unit) : unit;
}

}  // namespace

std::u16string Fold(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& unit : folded)
    unit = FoldUnit(unit);
  return folded;
}

bool SameFolded(std::u16string_view folded, std::u16string_view text) {
  if (folded.size() != text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (folded[i] != FoldUnit(text[i])) return false;
  }
  return true;
}

bool FoldedEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldUnit(a[i]) != FoldUnit(b[i])) return false;
  }
  return true;
}

namespace {

constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t Mix(std::uint64_t hash, const void* bytes, std::size_t size) {
  const auto* at = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i)
    hash = (hash ^ at[i]) * kFnvPrime;
  return hash;
}

}  // namespace

std::uint64_t ItemHash(Kind kind, HKEY root, std::u16string_view where, std::u16string_view name) {
  std::uint64_t hash = Mix(kFnvOffset, &kind, sizeof kind);
  const auto root_bits = reinterpret_cast<std::uintptr_t>(root);
  hash = Mix(hash, &root_bits, sizeof root_bits);
  // Folded as hashed: a name as given hashes as its folded form.
  for (std::u16string_view text : {where, std::u16string_view(u"", 1), name}) {
    for (char16_t unit : text) {
      const char16_t folded = FoldUnit(unit);
      hash = Mix(hash, &folded, sizeof folded);
    }
  }
  return hash;
}

std::uint64_t ValueHash(bool present, DWORD type, const BYTE* bytes, std::size_t size) {
  std::uint64_t hash = Mix(kFnvOffset, &present, sizeof present);
  if (!present) return hash;
  hash = Mix(hash, &type, sizeof type);
  return Mix(hash, bytes, size);
}

std::size_t DevModeLength(const BYTE* record) {
  const auto word = [record](std::size_t at) {
    return std::size_t(record[at] | record[at + 1] << 8);
  };
  return word(platform::kDevModeSizeOffset) + word(platform::kDevModeDriverExtraOffset);
}

bool PathOk(std::u16string_view path) {
  // The system refuses an empty name in a path.
  if (path.empty()) return true;
  if (path.front() == u'\\' || path.back() == u'\\') return false;
  return path.find(u"\\\\") == std::u16string_view::npos;
}

bool FoldPath(const char16_t* path, std::u16string& folded) {
  folded = Fold(path ? std::u16string_view(path) : std::u16string_view());
  return PathOk(folded);
}

const GStoreTransaction::Change* FindStaged(GStoreTransaction* innermost, std::uint64_t item,
                                            Kind kind, HKEY root, std::u16string_view where,
                                            std::u16string_view name) {
  for (GStoreTransaction* transaction = innermost; transaction;
       transaction = transaction->Outer()) {
    const std::vector<GStoreTransaction::Change>& changes = transaction->Changes();
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
      if (it->item == item && !it->rewrite && it->kind == kind && it->root == root &&
          SameFolded(it->where, where) && SameFolded(it->name, name))
        return &*it;
    }
  }
  return nullptr;
}

}  // namespace stored_state_internal

using namespace stored_state_internal;

namespace {

thread_local GStoreTransaction* t_current = nullptr;

// A printer's level 2 record that fits this is read on the stack.
constexpr std::size_t kLocalRecordBytes = 4096;
// The value the right to change a printer is asked with: deleted where it
// is not (no one names a value so), which changes nothing.
constexpr char16_t kRightProbeName[] = u"<right to change>";

// The size query, then the read into a block of the size it gave; the
// caller's last error stays when it reads.
template <class Read>
std::unique_ptr<BYTE[]> ReadBlock(Read read, DWORD& size) {
  const DWORD last_error = platform::GetLastError();
  DWORD needed = 0;
  if (read(nullptr, 0, needed) || platform::GetLastError() != platform::kErrorInsufficientBuffer ||
      needed == 0) {
    return nullptr;
  }
  std::unique_ptr<BYTE[]> block(new BYTE[needed]);
  if (!read(block.get(), needed, needed)) return nullptr;
  size = needed;
  platform::SetLastError(last_error);
  return block;
}

// The names of the printer `handle` opens, from its level 2 record read on
// the stack when it fits; false when it cannot be read. The caller's last
// error stays.
bool ReadPrinterNames(HANDLE handle, std::u16string& name, std::u16string& server) {
  alignas(std::max_align_t) BYTE local[kLocalRecordBytes];
  DWORD needed = 0;
  const DWORD last_error = platform::GetLastError();
  std::unique_ptr<BYTE[]> heap;
  const BYTE* record = local;
  if (platform::GetPrinterW(handle, 2, local, sizeof local, &needed) != 1) {
    DWORD size = 0;
    heap = ReadBlock(
        [&](BYTE* buffer, DWORD room, DWORD& got) {
          return platform::GetPrinterW(handle, 2, buffer, room, &got) == 1;
        },
        size);
    platform::SetLastError(last_error);
    if (!heap || size < sizeof(platform::PrinterInfo2W)) return false;
    record = heap.get();
  }
  platform::SetLastError(last_error);
  const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record);
  if (!info->printer_name) return false;
  name = info->printer_name;
  server = info->server_name ? info->server_name : u"";
  return true;
}

// The answer of a value query of `change` under the size protocol of
// GetPrinterDataW (`needed`) or RegQueryValueExW (`size` in and out).
DWORD AnswerFromChange(const GStoreTransaction::Change& change, DWORD* type, BYTE* data, DWORD size,
                       DWORD* needed) {
  if (!change.present) return platform::kErrorFileNotFound;
  if (type) *type = change.type;
  *needed = DWORD(change.bytes.size());
  if (!data) return platform::kErrorSuccess;
  if (size < *needed) return platform::kErrorMoreData;
  if (*needed != 0) std::memcpy(data, change.bytes.data(), *needed);
  return platform::kErrorSuccess;
}

// A form as the thread sees it.
struct FormView {
  DWORD flags;
  std::u16string name;
  std::u16string folded;
  platform::SizeL size;
  platform::RectL area;
};

FormShape ShapeOf(const platform::FormInfo1W& form) {
  return FormShape{form.size, form.imageable_area};
}

// Lays `forms` out as the system's form calls do: records, then names.
BOOL WriteForms(const std::vector<FormView>& forms, BYTE* buffer, DWORD size, DWORD* needed) {
  if (!needed) return platform::SetLastError(platform::kErrorInvalidParameter), 0;
  std::size_t bytes = forms.size() * sizeof(platform::FormInfo1W);
  for (const FormView& form : forms)
    bytes += 2 * (form.name.size() + 1);
  if (bytes > 0xFFFFFFFFu) return platform::SetLastError(platform::kErrorNotEnoughMemory), 0;
  *needed = DWORD(bytes);
  if (!buffer || size < bytes) return platform::SetLastError(platform::kErrorInsufficientBuffer), 0;
  std::memset(buffer, 0, bytes);
  auto* records = reinterpret_cast<platform::FormInfo1W*>(buffer);
  auto* text = reinterpret_cast<char16_t*>(buffer + forms.size() * sizeof(platform::FormInfo1W));
  for (std::size_t i = 0; i < forms.size(); ++i) {
    records[i] = platform::FormInfo1W{forms[i].flags, text, forms[i].size, forms[i].area};
    std::memcpy(text, forms[i].name.data(), 2 * forms[i].name.size());
    text += forms[i].name.size() + 1;
  }
  return 1;
}

// Runs a read of the door as `read(settled)`: without the lock while no
// commit or take-back is writing and none is pending (once more, under the
// lock, when one began meanwhile: a read never sees a commit half made);
// else under the lock, once the pending take-backs were tried again, with
// `settled` true: then `read` answers what a take-back still pending puts
// back, as it was before its commit.
template <class Read>
auto Settled(Read read) {
  const std::uint64_t seen = WritesSeen();
  if (seen % 2 == 0 && !TakeBacksPending()) {
    auto answer = read(false);
    if (WritesSeen() == seen) return answer;
  }
  std::lock_guard<std::recursive_mutex> lock(GStoreTransaction::StoredStateLock());
  FinishPending();
  return read(true);
}

// The folded name of the printer `printer` opens: `found`'s, or read.
bool FoldedPrinter(GStoreTransaction::Printer* found, HANDLE printer, std::u16string& folded) {
  if (found) {
    folded = found->folded;
    return true;
  }
  std::u16string server;
  if (!ReadPrinterNames(printer, folded, server)) return false;
  folded = Fold(folded);
  return true;
}

// A write the door makes without a transaction on the thread: one of its
// own, committed at once; a refused commit answers `refused(error)`.
template <class Stage, class Refused>
auto Autocommitted(Stage stage, Refused refused) {
  GStoreTransaction* current = GStoreTransaction::Current();
  if (current) return stage(*current);
  GStoreTransaction own;
  own.Attach();
  auto answer = stage(own);
  own.Detach();
  if (own.Commit() != GStoreTransaction::Outcome::kRefused) return answer;
  platform::SetLastError(own.Error());
  return decltype(answer)(refused(own.Error()));
}

// The answers of refused writes: an error code, or FALSE.
DWORD AsCode(DWORD error) {
  return error;
}
BOOL AsFalse(DWORD) {
  return 0;
}

// A change of value `name` of the printer data of `printer` (its name
// folded, `folded_printer`; its data key `path`), made through `via`.
GStoreTransaction::Change PrinterValueChange(HANDLE via, const std::u16string& printer,
                                             std::u16string folded_printer, std::u16string path,
                                             const char16_t* name) {
  GStoreTransaction::Change change;
  change.via = via;
  change.kind = Kind::kPrinterValue;
  change.where = std::move(folded_printer);
  change.given = name ? name : u"";
  change.name = Fold(change.given);
  change.printer = printer;
  change.path = std::move(path);
  return change;
}

// A change of value `name` under key `path` of `root` (the path folded,
// `folded_path`).
GStoreTransaction::Change RegistryChange(HKEY root, const std::u16string& folded_path,
                                         const char16_t* path, const char16_t* name) {
  GStoreTransaction::Change change;
  change.kind = Kind::kRegistryValue;
  change.root = root;
  change.where = folded_path;
  change.path = path ? path : u"";
  change.given = name ? name : u"";
  change.name = Fold(change.given);
  return change;
}

}  // namespace

// ---------------------------------------------------------------------------
// The transaction

GStoreTransaction::GStoreTransaction(Mode mode) : mode_(mode) {}

GStoreTransaction::~GStoreTransaction() {
  if (attached_) Detach();
  Discard();
}

void GStoreTransaction::Attach() noexcept {
  outer_ = t_current;
  t_current = this;
  attached_ = true;
}

void GStoreTransaction::Detach() noexcept {
  if (t_current == this) t_current = outer_;
  outer_ = nullptr;
  attached_ = false;
}

GStoreTransaction* GStoreTransaction::Current() noexcept {
  return t_current;
}

bool GStoreTransaction::FinishTakeBacks() noexcept {
  if (!TakeBacksPending()) return true;
  std::lock_guard<std::recursive_mutex> lock(StoredStateLock());
  return FinishPending();
}

std::recursive_mutex& GStoreTransaction::StoredStateLock() {
  static std::recursive_mutex lock;
  return lock;
}

bool GStoreTransaction::Empty() const {
  return changes_.empty();
}

void GStoreTransaction::Discard() noexcept {
  changes_.clear();
  reads_.clear();
  printers_.clear();
  for (HANDLE handle : owned_)
    platform::ClosePrinter(handle);
  owned_.clear();
}

std::size_t GStoreTransaction::Mark() const {
  return changes_.size();
}

void GStoreTransaction::RollBackTo(std::size_t mark) {
  if (mark < changes_.size())
    changes_.erase(changes_.begin() + std::ptrdiff_t(mark), changes_.end());
}

void GStoreTransaction::Stage(Change&& change) {
  change.item = ItemHash(change.kind, change.root, change.where, change.name);
  // Room for the handle it is made through, should the driver close that
  // before the commit (CloseWhenDone): a close needs no memory.
  const std::size_t room = changes_.size() + 1;
  if (change.via && owned_.capacity() < room) owned_.reserve(std::max(room, 2 * owned_.capacity()));
  changes_.push_back(std::move(change));
}

void GStoreTransaction::NoteRead(std::uint64_t item, std::uint64_t value) {
  // What a user confirms is stored whatever was read: nothing to check.
  if (mode_ != Mode::kCall || ReadOf(item)) return;
  reads_.push_back(item);
  reads_.push_back(value);
}

const std::uint64_t* GStoreTransaction::ReadOf(std::uint64_t item) const {
  for (std::size_t i = 0; i + 1 < reads_.size(); i += 2) {
    if (reads_[i] == item) return &reads_[i + 1];
  }
  return nullptr;
}

GStoreTransaction::Printer* GStoreTransaction::Resolve(HANDLE handle) {
  for (Printer& printer : printers_) {
    if (printer.handle == handle) return &printer;
  }
  // Its names are what a read needs; the record itself is kept only for a
  // change (RecordOf).
  Printer printer;
  std::u16string server;
  if (!ReadPrinterNames(handle, printer.name, server)) return nullptr;
  printer.handle = handle;
  printer.folded = Fold(printer.name);
  printer.server = Fold(server);
  printers_.push_back(std::move(printer));
  return &printers_.back();
}

const BYTE* GStoreTransaction::RecordOf(Printer& printer) {
  if (!printer.record) {
    DWORD size = 0;
    printer.record = ReadBlock(
        [&](BYTE* buffer, DWORD room, DWORD& needed) {
          return platform::GetPrinterW(printer.handle, 2, buffer, room, &needed) == 1;
        },
        size);
    if (printer.record && size < sizeof(platform::PrinterInfo2W)) printer.record.reset();
  }
  return printer.record.get();
}

DWORD GStoreTransaction::WriteRight(Printer& printer) {
  if (printer.writable < 0) {
    // The system's own check of the right to change the printer: a delete
    // of a value none is named, which changes nothing. Asked again when the
    // system could not tell.
    const DWORD answer = platform::DeletePrinterDataW(printer.handle, kRightProbeName);
    if (answer == platform::kErrorAccessDenied) {
      printer.writable = 0;
    } else if (answer == platform::kErrorSuccess || answer == platform::kErrorFileNotFound) {
      printer.writable = 1;
    } else {
      return answer;
    }
  }
  return printer.writable == 1 ? platform::kErrorSuccess : platform::kErrorAccessDenied;
}

BOOL GStoreTransaction::CloseWhenDone(HANDLE handle) noexcept {
  for (GStoreTransaction* transaction = t_current; transaction; transaction = transaction->outer_) {
    std::vector<Printer>& printers = transaction->printers_;
    printers.erase(
        std::remove_if(printers.begin(), printers.end(),
                       [handle](const Printer& printer) { return printer.handle == handle; }),
        printers.end());
  }
  for (GStoreTransaction* transaction = t_current; transaction; transaction = transaction->outer_) {
    const bool used = std::any_of(transaction->changes_.begin(), transaction->changes_.end(),
                                  [handle](const Change& change) { return change.via == handle; });
    if (!used) continue;
    // The list holds room for it: it went with the handle's first change.
    transaction->owned_.push_back(handle);
    return 1;
  }
  return platform::ClosePrinter(handle);
}

// ---------------------------------------------------------------------------
// Calls

void GStoreTransaction::Fail(DWORD error) noexcept {
  if (failed_) return;
  failed_ = true;
  failure_error_ = error != 0 ? error : platform::kErrorNotEnoughMemory;
}

GStoreCall::GStoreCall() : transaction_(t_current), owner_(!t_current) {
  own_mark_ = RWOutOfMemoryRaised();
  if (owner_) {
    // A call through the door first finishes what a refused commit left
    // pending, so that the store holds what the door answers.
    GStoreTransaction::FinishTakeBacks();
    own_.Attach();
    own_.shortage_mark_ = own_mark_;
    transaction_ = &own_;
  }
  ++transaction_->calls_;
}

GStoreCall::~GStoreCall() {
  --transaction_->calls_;
  if (owner_) {
    own_.Detach();
    own_.Discard();
  }
}

void GStoreCall::FinishOwned(GStoreTransaction& transaction) noexcept {
  if (RWShortOfMemorySince(transaction.shortage_mark_))
    transaction.Fail(platform::kErrorNotEnoughMemory);
  // Nothing of a failed call is stored, also not through a later commit.
  if (transaction.failed_) {
    transaction.Discard();
    return;
  }
  NoteOutcome(transaction, transaction.Commit());
}

void GStoreCall::NoteOutcome(GStoreTransaction& transaction, GStoreTransaction::Outcome outcome) {
  switch (outcome) {
    case GStoreTransaction::Outcome::kStored:
      transaction.stored_ = true;
      break;
    case GStoreTransaction::Outcome::kConflict:
      transaction.conflicted_ = true;
      break;
    case GStoreTransaction::Outcome::kRefused:
      transaction.Fail(transaction.error_);
      break;
    case GStoreTransaction::Outcome::kNothing:
      break;
  }
  transaction.shortage_mark_ = RWOutOfMemoryRaised();
}

bool GStoreCall::Stood(const GStoreTransaction& transaction) {
  // Once changes are stored the call has done what it claims: a failure
  // after takes nothing back.
  if (!transaction.failed_ || transaction.confirmed_ || transaction.stored_) {
    // The answer of a sheet whose OK the system refused is the sheet's
    // (cancelled), with the system's reason.
    if (transaction.ok_error_ != 0 && !transaction.confirmed_)
      platform::SetLastError(transaction.ok_error_);
    return true;
  }
  platform::SetLastError(transaction.failure_error_);
  return false;
}

bool GStoreCall::Finish(bool ended) noexcept {
  const bool failed = !ended || RWShortOfMemorySince(own_mark_);
  // An exception's error was set by the boundary; a shortage is memory's.
  if (failed)
    transaction_->Fail(ended ? platform::kErrorNotEnoughMemory : platform::GetLastError());
  if (!owner_) return !failed;
  FinishOwned(own_);
  return Stood(own_);
}

bool GStoreCall::FinishOutermost() noexcept {
  GStoreTransaction* transaction = t_current;
  if (!transaction || transaction->calls_ != 1 ||
      transaction->mode_ != GStoreTransaction::Mode::kCall)
    return true;
  FinishOwned(*transaction);
  return !transaction->failed_ && !transaction->conflicted_;
}

namespace {

// The innermost call's transaction of the calling thread, or null.
GStoreTransaction* CallOf(GStoreTransaction* transaction) {
  while (transaction && !transaction->InCall())
    transaction = transaction->Outer();
  return transaction;
}

}  // namespace

DWORD GStoreCall::CommitOk(GStoreTransaction& ok) noexcept {
  GStoreTransaction* call = CallOf(t_current);
  if (call && RWShortOfMemorySince(call->shortage_mark_))
    call->Fail(platform::kErrorNotEnoughMemory);
  if (call && call->failed_) {
    ok.Discard();
    return call->failure_error_;
  }
  const GStoreTransaction::Outcomes outcomes = GStoreTransaction::CommitParts(call, &ok);
  if (call) NoteOutcome(*call, outcomes.calls);
  return outcomes.confirmed == GStoreTransaction::Outcome::kRefused ? ok.error_ : 0;
}

void GStoreCall::RefusedOk(DWORD error) noexcept {
  for (GStoreTransaction* transaction = t_current; transaction; transaction = transaction->outer_) {
    if (transaction->InCall()) transaction->ok_error_ = error;
  }
  platform::SetLastError(error);
}

bool GStoreCall::TakeConflict() noexcept {
  GStoreTransaction* call = CallOf(t_current);
  if (!call) return false;
  const bool conflicted = call->conflicted_;
  call->conflicted_ = false;
  return conflicted;
}

bool GStoreCall::OkStored() noexcept {
  const GStoreTransaction* call = CallOf(t_current);
  return call && call->confirmed_;
}

void GStoreCall::Confirmed() noexcept {
  if (GStoreTransaction* call = CallOf(t_current)) {
    call->confirmed_ = true;
    call->shortage_mark_ = RWOutOfMemoryRaised();
  }
}

// ---------------------------------------------------------------------------
// Runs

GStagedRun::GStagedRun() : transaction_(t_current), mark_(0) {
  if (!transaction_) {
    own_.emplace();
    own_->Attach();
    transaction_ = &*own_;
  }
  mark_ = transaction_->Mark();
}

GStagedRun::~GStagedRun() {
  if (own_ && own_->Attached()) {
    own_->Detach();
    own_->Discard();
  }
}

void GStagedRun::RollBack() noexcept {
  transaction_->RollBackTo(mark_);
}

bool GStagedRun::Commit() noexcept {
  if (!own_) return true;
  own_->Detach();
  const GStoreTransaction::Outcome outcome = own_->Commit();
  if (outcome == GStoreTransaction::Outcome::kRefused) platform::SetLastError(own_->Error());
  return outcome == GStoreTransaction::Outcome::kStored ||
         outcome == GStoreTransaction::Outcome::kNothing;
}

// ---------------------------------------------------------------------------
// The door: printer data

DWORD GStoredState::GetPrinterData(HANDLE printer, const char16_t* name, DWORD* type, BYTE* data,
                                   DWORD size, DWORD* needed) try {
  GStoreTransaction* transaction = t_current;
  const bool sized = needed && (data || size == 0);
  GStoreTransaction::Printer* found =
      transaction && sized ? transaction->Resolve(printer) : nullptr;
  const std::u16string_view given = name ? name : u"";
  std::uint64_t item = 0;
  if (found) {
    item = ItemHash(Kind::kPrinterValue, nullptr, found->folded, given);
    if (const auto* change =
            FindStaged(transaction, item, Kind::kPrinterValue, nullptr, found->folded, given))
      return AnswerFromChange(*change, type, data, size, needed);
  }
  DWORD read_type = 0;
  const DWORD result = Settled([&](bool settled) -> DWORD {
    std::u16string folded;
    if (settled && sized && FoldedPrinter(found, printer, folded)) {
      if (const auto* image = PendingValue(Kind::kPrinterValue, nullptr, folded, given))
        return AnswerFromChange(*image, &read_type, data, size, needed);
    }
    return platform::GetPrinterDataW(printer, name, &read_type, data, size, needed);
  });
  if (type && result != platform::kErrorFileNotFound) *type = read_type;
  if (!found) return result;
  if (result == platform::kErrorFileNotFound) {
    transaction->NoteRead(item, ValueHash(false, 0, nullptr, 0));
  } else if (result == platform::kErrorSuccess && (data || *needed == 0)) {
    transaction->NoteRead(item, ValueHash(true, read_type, data, *needed));
  }
  return result;
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return platform::kErrorNotEnoughMemory;
}

DWORD GStoredState::SetPrinterData(HANDLE printer, const char16_t* name, DWORD type,
                                   const BYTE* data, DWORD size) try {
  if (!data && size != 0) return platform::kErrorInvalidParameter;
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> DWORD {
        GStoreTransaction::Printer* found = transaction.Resolve(printer);
        if (!found) return platform::kErrorInvalidHandle;
        if (const DWORD refused = transaction.WriteRight(*found)) return refused;
        GStoreTransaction::Change change = PrinterValueChange(
            printer, found->name, found->folded, platform::PrinterDataKeyPath(found->name), name);
        change.type = type;
        change.bytes.assign(data, data + size);
        transaction.Stage(std::move(change));
        return platform::kErrorSuccess;
      },
      AsCode);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return platform::kErrorNotEnoughMemory;
}

LONG GStoredState::DeletePrinterData(const RWWString& printer, const char16_t* name) try {
  const std::u16string printer_name(printer.Data(), printer.Length());
  const std::u16string path = platform::PrinterDataKeyPath(printer_name);
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> LONG {
        const std::u16string folded_printer = Fold(printer_name);
        const std::u16string folded = Fold(name ? name : u"");
        const std::uint64_t item = ItemHash(Kind::kPrinterValue, nullptr, folded_printer, folded);
        bool present = false;
        const LONG read = Settled([&](bool settled) -> LONG {
          if (settled) {
            if (const auto* image =
                    PendingValue(Kind::kPrinterValue, nullptr, folded_printer, folded)) {
              present = image->present;
              return 0;
            }
          }
          // Opened and closed with nothing allocated between: an exception
          // leaves no key open.
          HKEY key = nullptr;
          const LONG opened = platform::RegOpenKeyExW(platform::kHkeyLocalMachine, path.c_str(), 0,
                                                      platform::kKeyAllAccess, &key);
          if (opened != 0) return opened;
          DWORD size = 0;
          present = platform::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == 0;
          platform::RegCloseKey(key);
          return 0;
        });
        if (read != 0) return read;
        if (const auto* change = FindStaged(&transaction, item, Kind::kPrinterValue, nullptr,
                                            folded_printer, folded))
          present = change->present;
        if (!present) return platform::kErrorFileNotFound;
        GStoreTransaction::Change change =
            PrinterValueChange(nullptr, printer_name, folded_printer, path, name);
        change.present = false;
        transaction.Stage(std::move(change));
        return platform::kErrorSuccess;
      },
      AsCode);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return platform::kErrorNotEnoughMemory;
}

DWORD GStoredState::RewritePrinterData(HANDLE printer, const char16_t* name) try {
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> DWORD {
        GStoreTransaction::Printer* found = transaction.Resolve(printer);
        if (!found) return platform::kErrorInvalidHandle;
        if (const DWORD refused = transaction.WriteRight(*found)) return refused;
        GStoreTransaction::Change change = PrinterValueChange(
            printer, found->name, found->folded, platform::PrinterDataKeyPath(found->name), name);
        change.rewrite = true;
        transaction.Stage(std::move(change));
        return platform::kErrorSuccess;
      },
      AsCode);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return platform::kErrorNotEnoughMemory;
}

// ---------------------------------------------------------------------------
// The door: the record and its stored default

namespace {

// The printer's level 2 record `info` (null: read now) laid out in
// `buffer` as GetPrinterW would, its stored default `mode`'s bytes.
BOOL WithDefault(HANDLE printer, const platform::PrinterInfo2W* info,
                 const GStoreTransaction::Change& mode, BYTE* buffer, DWORD size, DWORD* needed) {
  std::unique_ptr<BYTE[]> read;
  if (!info) {
    DWORD got = 0;
    read = ReadBlock(
        [&](BYTE* block, DWORD room, DWORD& took) {
          return platform::GetPrinterW(printer, 2, block, room, &took) == 1;
        },
        got);
    if (!read || got < sizeof(platform::PrinterInfo2W))
      return platform::GetPrinterW(printer, 2, buffer, size, needed);
    info = reinterpret_cast<const platform::PrinterInfo2W*>(read.get());
  }
  char16_t* platform::PrinterInfo2W::*const kTexts[] = {
      &platform::PrinterInfo2W::server_name,     &platform::PrinterInfo2W::printer_name,
      &platform::PrinterInfo2W::share_name,      &platform::PrinterInfo2W::port_name,
      &platform::PrinterInfo2W::driver_name,     &platform::PrinterInfo2W::comment,
      &platform::PrinterInfo2W::location,        &platform::PrinterInfo2W::sep_file,
      &platform::PrinterInfo2W::print_processor, &platform::PrinterInfo2W::data_type,
      &platform::PrinterInfo2W::parameters};
  std::size_t bytes = sizeof(platform::PrinterInfo2W);
  for (auto text : kTexts) {
    if (const char16_t* units = info->*text)
      bytes += 2 * (std::char_traits<char16_t>::length(units) + 1);
  }
  bytes = (bytes + 7) / 8 * 8 + mode.bytes.size();
  *needed = DWORD(bytes);
  if (!buffer || size < bytes) return platform::SetLastError(platform::kErrorInsufficientBuffer), 0;
  std::memset(buffer, 0, bytes);
  auto* out = reinterpret_cast<platform::PrinterInfo2W*>(buffer);
  *out = *info;
  auto* next = reinterpret_cast<char16_t*>(buffer + sizeof(platform::PrinterInfo2W));
  for (auto text : kTexts) {
    const char16_t* units = info->*text;
    if (!units) continue;
    const std::size_t length = std::char_traits<char16_t>::length(units);
    std::memcpy(next, units, 2 * length);
    out->*text = next;
    next += length + 1;
  }
  out->security_descriptor = nullptr;
  BYTE* at = buffer + bytes - mode.bytes.size();
  std::memcpy(at, mode.bytes.data(), mode.bytes.size());
  out->dev_mode = at;
  return 1;
}

}  // namespace

BOOL GStoredState::GetPrinter(HANDLE printer, BYTE* buffer, DWORD size, DWORD* needed) try {
  GStoreTransaction* transaction = t_current;
  GStoreTransaction::Printer* found =
      transaction && needed ? transaction->Resolve(printer) : nullptr;
  const auto record = [&] {
    return found ? reinterpret_cast<const platform::PrinterInfo2W*>(transaction->RecordOf(*found))
                 : nullptr;
  };
  std::uint64_t item = 0;
  if (found) {
    item = ItemHash(Kind::kStoredDefault, nullptr, found->folded, u"");
    if (const auto* change =
            FindStaged(transaction, item, Kind::kStoredDefault, nullptr, found->folded, u""))
      return WithDefault(printer, record(), *change, buffer, size, needed);
  }
  const BOOL read = Settled([&](bool settled) -> BOOL {
    std::u16string folded;
    if (settled && needed && FoldedPrinter(found, printer, folded)) {
      if (const auto* image = PendingValue(Kind::kStoredDefault, nullptr, folded, u""))
        return WithDefault(printer, record(), *image, buffer, size, needed);
    }
    return platform::GetPrinterW(printer, 2, buffer, size, needed);
  });
  if (found && read == 1) {
    const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(buffer);
    const auto* mode = static_cast<const BYTE*>(info->dev_mode);
    const BYTE* end = buffer + *needed;
    const bool whole =
        mode && mode >= buffer && end - mode > 71 && std::size_t(end - mode) >= DevModeLength(mode);
    transaction->NoteRead(item, whole ? ValueHash(true, 0, mode, DevModeLength(mode))
                                      : ValueHash(false, 0, nullptr, 0));
  }
  return read;
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

BOOL GStoredState::SetStoredDefault(HANDLE printer, const void* dev_mode) try {
  if (!dev_mode) return platform::SetLastError(platform::kErrorInvalidParameter), 0;
  const auto* record = static_cast<const BYTE*>(dev_mode);
  const std::size_t length = DevModeLength(record);
  // The record says how long it is; it must at least hold what says so.
  if (length < platform::kDevModeDriverExtraOffset + 2)
    return platform::SetLastError(platform::kErrorInvalidParameter), 0;
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> BOOL {
        GStoreTransaction::Printer* found = transaction.Resolve(printer);
        if (!found) return platform::SetLastError(platform::kErrorInvalidHandle), 0;
        if (const DWORD refused = transaction.WriteRight(*found))
          return platform::SetLastError(refused), 0;
        GStoreTransaction::Change change;
        change.via = printer;
        change.kind = Kind::kStoredDefault;
        change.where = found->folded;
        change.printer = found->name;
        change.bytes.assign(record, record + length);
        transaction.Stage(std::move(change));
        return 1;
      },
      AsFalse);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

// ---------------------------------------------------------------------------
// The door: forms

namespace {

// The folded name of the server of the printer `printer` opens: `found`'s,
// or read; and whether a take-back of one of its forms is pending.
// REQUIRES: the stored state's lock.
bool FormsPending(GStoreTransaction::Printer* found, HANDLE printer, std::u16string& server) {
  std::u16string name;
  if (found) {
    server = found->server;
  } else if (ReadPrinterNames(printer, name, server)) {
    server = Fold(server);
  } else {
    return false;
  }
  const std::vector<TakeBack>& pending = PendingList();
  return std::any_of(pending.begin(), pending.end(), [&](const TakeBack& item) {
    return item.touched && item.thing.kind == Kind::kForm && item.thing.where == server;
  });
}

// `forms` as `change` (of a form of their server) leaves them.
void ApplyForm(const GStoreTransaction::Change& change, std::vector<FormView>& forms) {
  auto held = std::find_if(forms.begin(), forms.end(),
                           [&](const FormView& form) { return form.folded == change.name; });
  FormShape shape{};
  if (!change.bytes.empty())
    std::memcpy(&shape, change.bytes.data(), std::min(sizeof shape, change.bytes.size()));
  if (!change.present) {
    if (held != forms.end()) forms.erase(held);
  } else if (held != forms.end()) {
    held->size = shape.size;
    held->area = shape.area;
  } else {
    forms.push_back(FormView{change.type, change.given, change.name, shape.size, shape.area});
  }
}

// The forms of `printer`'s server (folded, `server`) as the system holds
// them, and, `settled`, as their pending take-backs put them back; false
// with the last error when they cannot be read.
bool FormsHeld(HANDLE printer, const std::u16string& server, bool settled,
               std::vector<FormView>& forms) {
  forms.clear();
  DWORD size = 0;
  DWORD count = 0;
  std::unique_ptr<BYTE[]> block = ReadBlock(
      [&](BYTE* buffer, DWORD room, DWORD& needed) {
        return platform::EnumFormsW(printer, 1, buffer, room, &needed, &count) == 1;
      },
      size);
  if (!block && platform::GetLastError() != platform::kErrorSuccess) {
    // An empty list answers no block and no error.
    DWORD needed = 0;
    if (platform::EnumFormsW(printer, 1, nullptr, 0, &needed, &count) != 1 && needed != 0)
      return false;
    count = 0;
  }
  const auto* records = reinterpret_cast<const platform::FormInfo1W*>(block.get());
  for (DWORD i = 0; i < count; ++i) {
    const platform::FormInfo1W& record = records[i];
    const std::u16string name = record.name ? record.name : u"";
    forms.push_back(FormView{record.flags, name, Fold(name), record.size, record.imageable_area});
  }
  if (!settled) return true;
  for (const TakeBack& item : PendingList()) {
    if (item.touched && item.thing.kind == Kind::kForm && item.thing.where == server)
      ApplyForm(item.thing, forms);
  }
  return true;
}

// Notes what a read of the whole list `forms` of `server` met.
void NoteFormList(GStoreTransaction& transaction, const std::u16string& server,
                  const std::vector<FormView>& forms) {
  for (const FormView& form : forms) {
    transaction.NoteRead(ItemHash(Kind::kForm, nullptr, server, form.folded),
                         FormValueHash(true, form.flags, FormShape{form.size, form.area}));
  }
  transaction.NoteRead(ItemHash(Kind::kForm, nullptr, server, kFormListName), 0);
}

// The forms of `printer`'s server as the thread sees them, its reads noted
// in `transaction` (the one `found` is of); false with the last error when
// they cannot be read.
bool FormsSeen(GStoreTransaction* transaction, GStoreTransaction::Printer* found, HANDLE printer,
               std::vector<FormView>& forms) {
  if (!Settled([&](bool settled) { return FormsHeld(printer, found->server, settled, forms); }))
    return false;
  NoteFormList(*transaction, found->server, forms);
  // Outermost first, each in the order staged.
  std::vector<GStoreTransaction*> chain;
  for (GStoreTransaction* at = transaction; at; at = at->Outer())
    chain.insert(chain.begin(), at);
  for (GStoreTransaction* at : chain) {
    for (const GStoreTransaction::Change& change : at->Changes()) {
      if (change.kind == Kind::kForm && change.where == found->server) ApplyForm(change, forms);
    }
  }
  return true;
}

// Whether a change of a form of `server` is staged in the thread's
// transactions.
bool FormsStaged(GStoreTransaction* transaction, const std::u16string& server) {
  for (GStoreTransaction* at = transaction; at; at = at->Outer()) {
    for (const GStoreTransaction::Change& change : at->Changes()) {
      if (change.kind == Kind::kForm && change.where == server) return true;
    }
  }
  return false;
}

// Notes what a read of `count` forms of `server` met (the list whole when
// `whole`), allocating nothing but the notes.
void NoteForms(GStoreTransaction& transaction, const std::u16string& server,
               const platform::FormInfo1W* forms, DWORD count, bool whole) {
  for (DWORD i = 0; i < count; ++i) {
    const platform::FormInfo1W& form = forms[i];
    transaction.NoteRead(
        ItemHash(Kind::kForm, nullptr, server, form.name ? form.name : u""),
        FormValueHash(true, form.flags, FormShape{form.size, form.imageable_area}));
  }
  if (whole) transaction.NoteRead(ItemHash(Kind::kForm, nullptr, server, kFormListName), 0);
}

// The writer's side of a form change: the printer, resolved, with the
// right to administer and its handle for the commit; the forms seen.
GStoreTransaction::Printer* FormWriter(GStoreTransaction& transaction, HANDLE printer,
                                       std::vector<FormView>& forms) {
  GStoreTransaction::Printer* found = transaction.Resolve(printer);
  if (!found) return platform::SetLastError(platform::kErrorInvalidHandle), nullptr;
  if (const DWORD refused = transaction.WriteRight(*found))
    return platform::SetLastError(refused), nullptr;
  if (!FormsSeen(&transaction, found, printer, forms)) return nullptr;
  return found;
}

BOOL StageForm(GStoreTransaction& transaction, const GStoreTransaction::Printer& found,
               std::u16string name, DWORD flags, const FormShape* shape) {
  GStoreTransaction::Change change;
  change.via = found.handle;
  change.kind = Kind::kForm;
  change.where = found.server;
  change.name = Fold(name);
  change.given = std::move(name);
  change.printer = found.name;
  change.present = shape != nullptr;
  change.type = flags;
  const FormShape none{};
  const auto* bytes = reinterpret_cast<const BYTE*>(shape ? shape : &none);
  change.bytes.assign(bytes, bytes + sizeof(FormShape));
  transaction.Stage(std::move(change));
  return 1;
}

std::vector<FormView>::iterator FindForm(std::vector<FormView>& forms, const char16_t* name) {
  const std::u16string folded = Fold(name ? name : u"");
  return std::find_if(forms.begin(), forms.end(),
                      [&](const FormView& form) { return form.folded == folded; });
}

}  // namespace

namespace {

// The forms of `printer`'s server as `read(direct)` answers them: the
// system's call (`direct`), or, where the thread's transactions or a
// pending take-back change them, the list (`forms`) as the thread sees it;
// `listed` says which. Reads are noted in the thread's transaction only
// for the list.
template <class Read>
BOOL ReadForms(GStoreTransaction* transaction, GStoreTransaction::Printer* found, HANDLE printer,
               std::vector<FormView>& forms, bool& listed, Read read) {
  listed = found && FormsStaged(transaction, found->server);
  if (listed) return FormsSeen(transaction, found, printer, forms) ? 1 : 0;
  std::u16string server;
  const BOOL answer = Settled([&](bool settled) -> BOOL {
    listed = settled && FormsPending(found, printer, server);
    return listed ? (FormsHeld(printer, server, true, forms) ? 1 : 0) : read();
  });
  if (listed && answer == 1 && found) NoteFormList(*transaction, server, forms);
  return answer;
}

}  // namespace

BOOL GStoredState::GetForm(HANDLE printer, const char16_t* name, BYTE* buffer, DWORD size,
                           DWORD* needed) try {
  GStoreTransaction* transaction = t_current;
  GStoreTransaction::Printer* found = transaction ? transaction->Resolve(printer) : nullptr;
  std::vector<FormView> forms;
  bool listed = false;
  const BOOL read = ReadForms(transaction, found, printer, forms, listed, [&] {
    return platform::GetFormW(printer, name, 1, buffer, size, needed);
  });
  if (listed) {
    if (read != 1) return 0;
    auto held = FindForm(forms, name);
    if (held == forms.end()) return platform::SetLastError(platform::kErrorInvalidFormName), 0;
    return WriteForms({*held}, buffer, size, needed);
  }
  if (!found) return read;
  if (read == 1 && buffer) {
    NoteForms(*transaction, found->server, reinterpret_cast<platform::FormInfo1W*>(buffer), 1,
              false);
  } else if (read != 1 && platform::GetLastError() == platform::kErrorInvalidFormName) {
    transaction->NoteRead(ItemHash(Kind::kForm, nullptr, found->server, name ? name : u""),
                          FormValueHash(false, 0, FormShape{}));
    platform::SetLastError(platform::kErrorInvalidFormName);
  }
  return read;
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

BOOL GStoredState::EnumForms(HANDLE printer, BYTE* buffer, DWORD size, DWORD* needed,
                             DWORD* returned) try {
  if (!returned) return platform::EnumFormsW(printer, 1, buffer, size, needed, returned);
  *returned = 0;
  GStoreTransaction* transaction = t_current;
  GStoreTransaction::Printer* found = transaction ? transaction->Resolve(printer) : nullptr;
  std::vector<FormView> forms;
  bool listed = false;
  const BOOL read = ReadForms(transaction, found, printer, forms, listed, [&] {
    return platform::EnumFormsW(printer, 1, buffer, size, needed, returned);
  });
  if (listed) {
    if (read != 1 || !WriteForms(forms, buffer, size, needed)) return 0;
    *returned = DWORD(forms.size());
    return 1;
  }
  if (found && read == 1 && buffer)
    NoteForms(*transaction, found->server, reinterpret_cast<platform::FormInfo1W*>(buffer),
              *returned, true);
  return read;
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

BOOL GStoredState::AddForm(HANDLE printer, const platform::FormInfo1W& form) try {
  if (!form.name || form.name[0] == u'\0' || form.flags == platform::kFormBuiltin)
    return platform::SetLastError(platform::kErrorInvalidParameter), 0;
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> BOOL {
        std::vector<FormView> forms;
        GStoreTransaction::Printer* found = FormWriter(transaction, printer, forms);
        if (!found) return 0;
        if (FindForm(forms, form.name) != forms.end())
          return platform::SetLastError(platform::kErrorFileExists), 0;
        const FormShape shape = ShapeOf(form);
        return StageForm(transaction, *found, form.name, form.flags, &shape);
      },
      AsFalse);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

namespace {

// Stages form `name` changed to `shape`, or deleted (null): one the server
// holds and does not build in.
BOOL ChangeForm(HANDLE printer, const char16_t* name, const FormShape* shape) try {
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> BOOL {
        std::vector<FormView> forms;
        GStoreTransaction::Printer* found = FormWriter(transaction, printer, forms);
        if (!found) return 0;
        auto held = FindForm(forms, name);
        if (held == forms.end()) return platform::SetLastError(platform::kErrorInvalidFormName), 0;
        if (held->flags == platform::kFormBuiltin)
          return platform::SetLastError(platform::kErrorAccessDenied), 0;
        return StageForm(transaction, *found, held->name, held->flags, shape);
      },
      AsFalse);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return 0;
}

}  // namespace

BOOL GStoredState::SetForm(HANDLE printer, const char16_t* name, const platform::FormInfo1W& form) {
  const FormShape shape = ShapeOf(form);
  return ChangeForm(printer, name, &shape);
}

BOOL GStoredState::DeleteForm(HANDLE printer, const char16_t* name) {
  return ChangeForm(printer, name, nullptr);
}

// ---------------------------------------------------------------------------
// The door: registry values

LONG GStoredState::QueryValue(HKEY root, const char16_t* path, const char16_t* name, DWORD* type,
                              BYTE* data, DWORD* size) try {
  GStoreTransaction* transaction = t_current;
  const std::u16string_view given_path = path ? path : u"";
  const std::u16string_view given = name ? name : u"";
  const bool path_ok = PathOk(given_path);
  if (transaction && path_ok && (size || !data)) {
    const std::uint64_t item = ItemHash(Kind::kRegistryValue, root, given_path, given);
    if (const auto* change =
            FindStaged(transaction, item, Kind::kRegistryValue, root, given_path, given)) {
      DWORD needed = 0;
      const DWORD answer = AnswerFromChange(*change, type, data, size ? *size : 0, &needed);
      if (size && answer != platform::kErrorFileNotFound) *size = needed;
      return LONG(answer);
    }
  }
  DWORD read_type = 0;
  const DWORD room = size ? *size : 0;
  const LONG result = Settled([&](bool settled) -> LONG {
    if (size) *size = room;
    if (settled && path_ok && (size || !data)) {
      if (const auto* image = PendingValue(Kind::kRegistryValue, root, given_path, given)) {
        DWORD needed = 0;
        const DWORD answer = AnswerFromChange(*image, &read_type, data, room, &needed);
        if (size && answer != platform::kErrorFileNotFound) *size = needed;
        return LONG(answer);
      }
    }
    HKEY key = nullptr;
    LONG answer = platform::RegOpenKeyExW(root, path, 0, platform::kKeyRead, &key);
    if (answer == 0) {
      answer = platform::RegQueryValueExW(key, name, nullptr, &read_type, data, size);
      platform::RegCloseKey(key);
    }
    return answer;
  });
  if (type && result == 0) *type = read_type;
  if (transaction && path_ok) {
    const std::uint64_t item = ItemHash(Kind::kRegistryValue, root, given_path, given);
    if (result == LONG(platform::kErrorFileNotFound)) {
      transaction->NoteRead(item, ValueHash(false, 0, nullptr, 0));
    } else if (result == 0 && size && (data || *size == 0)) {
      transaction->NoteRead(item, ValueHash(true, read_type, data, *size));
    }
  }
  return result;
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return LONG(platform::kErrorNotEnoughMemory);
}

namespace {

// The system's answer to opening key `path` of `root` to set a value; the
// key is closed again at once.
LONG KeyOpensToSet(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  const LONG opened = platform::RegOpenKeyExW(root, path, 0, platform::kKeySetValue, &key);
  if (opened == 0) platform::RegCloseKey(key);
  return opened;
}

// Stages a change of value `name` under key `path` of `root` once `check`
// (the system's checks made at once) answers 0; `fill` says what changes.
template <class Check, class Fill>
LONG StageValue(HKEY root, const char16_t* path, const char16_t* name, Check check, Fill fill) try {
  std::u16string folded_path;
  if (!FoldPath(path, folded_path)) return LONG(platform::kErrorBadPathname);
  return Autocommitted(
      [&](GStoreTransaction& transaction) -> LONG {
        if (const LONG refused = check()) return refused;
        GStoreTransaction::Change change = RegistryChange(root, folded_path, path, name);
        fill(change);
        transaction.Stage(std::move(change));
        return LONG(platform::kErrorSuccess);
      },
      AsCode);
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return LONG(platform::kErrorNotEnoughMemory);
}

}  // namespace

LONG GStoredState::SetValue(HKEY root, const char16_t* path, const char16_t* name, DWORD type,
                            const BYTE* data, DWORD size, bool make_key) {
  if (!data && size != 0) return LONG(platform::kErrorInvalidParameter);
  return StageValue(
      root, path, name,
      [&] {
        // A key that may not be written, or (not to be made) is missing.
        const LONG opened = KeyOpensToSet(root, path);
        return make_key && opened == LONG(platform::kErrorFileNotFound) ? 0 : opened;
      },
      [&](GStoreTransaction::Change& change) {
        change.type = type;
        change.bytes.assign(data, data + size);
        change.make_key = make_key;
      });
}

LONG GStoredState::DeleteValue(HKEY root, const char16_t* path, const char16_t* name) {
  return StageValue(
      root, path, name,
      [&] {
        if (const LONG opened = KeyOpensToSet(root, path)) return opened;
        DWORD size = 0;
        return QueryValue(root, path, name, nullptr, nullptr, &size) != 0
                   ? LONG(platform::kErrorFileNotFound)
                   : LONG(platform::kErrorSuccess);
      },
      [](GStoreTransaction::Change& change) { change.present = false; });
}

LONG GStoredState::RewriteValue(HKEY root, const char16_t* path, const char16_t* name) {
  return StageValue(
      root, path, name, [&] { return KeyOpensToSet(root, path); },
      [](GStoreTransaction::Change& change) { change.rewrite = true; });
}

bool GStoredState::KeyExists(HKEY root, const char16_t* path) try {
  std::u16string folded_path;
  if (!FoldPath(path, folded_path)) return false;
  for (GStoreTransaction* transaction = t_current; transaction;
       transaction = transaction->Outer()) {
    for (const GStoreTransaction::Change& change : transaction->Changes()) {
      if (change.kind == Kind::kRegistryValue && change.root == root && change.make_key &&
          change.present && change.where == folded_path)
        return true;
    }
  }
  return Settled([&](bool settled) {
    // A key a pending take-back is to take away is gone already.
    if (settled && PendingKey(root, path ? path : u"")) return false;
    HKEY key = nullptr;
    if (platform::RegOpenKeyExW(root, path, 0, platform::kKeyRead, &key) != 0) return false;
    platform::RegCloseKey(key);
    return true;
  });
} catch (const std::bad_alloc&) {
  platform::NoteShortage();
  return false;
}

LONG GStoredState::MakeKey(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  const LONG made = platform::RegCreateKeyExW(root, path, 0, u"", 0, platform::kKeySetValue,
                                              nullptr, &key, nullptr);
  if (made == 0) platform::RegCloseKey(key);
  return made;
}

BOOL GStoredState::ClosePrinter(HANDLE printer) {
  return GStoreTransaction::CloseWhenDone(printer);
}
