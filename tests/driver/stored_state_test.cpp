// The stored state's transactions over the spooler's and registry's
// stand-ins: two calls on one printer from two threads, and a commit the
// system refuses part way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "driver/out_of_memory_handler.h"
#include "driver/stored_state.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/host/system_writes.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;
using Outcome = GStoreTransaction::Outcome;

constexpr char16_t kPrinter[] = u"P1";
constexpr char16_t kForm[] = u"Custom A";

// A device mode of 220 bytes whose every byte past its size fields is `fill`.
std::vector<BYTE> DevMode(BYTE fill) {
  std::vector<BYTE> record(220, fill);
  record[kDevModeSizeOffset] = 220;
  record[kDevModeSizeOffset + 1] = 0;
  record[kDevModeDriverExtraOffset] = 0;
  record[kDevModeDriverExtraOffset + 1] = 0;
  return record;
}

FormInfo1W Form(LONG size) {
  return FormInfo1W{kFormUser, const_cast<char16_t*>(kForm), {size, size}, {0, 0, size, size}};
}

// Holds the thread that reads printer-data value "Hold" until released.
struct Hold {
  std::mutex mutex;
  std::condition_variable changed;
  std::thread::id thread;
  bool held = false;
  bool released = false;

  static void Hook(const StoredStateEvent& event, void* context) {
    auto* hold = static_cast<Hold*>(context);
    if (event.operation != StoredStateOperation::kReadValue || event.name != u"Hold" ||
        std::this_thread::get_id() != hold->thread)
      return;
    std::unique_lock<std::mutex> lock(hold->mutex);
    hold->held = true;
    hold->changed.notify_all();
    hold->changed.wait(lock, [hold] { return hold->released; });
  }
};

class StoredState : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    Fresh();
  }
  // P1 as added, with form "Custom A" 1000 wide.
  void Fresh() {
    platform::ResetHostServices();
    ASSERT_TRUE(AddPrinter(kPrinter));
    AddServerForm(u"", kFormUser, kForm, 1000, 1000);
    const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
    ASSERT_EQ(OpenPrinterW(kPrinter, &handle_, &all), 1);
  }
  void TearDown() override {
    SetStoredStateHook(nullptr, nullptr);
    ClosePrinter(handle_);
    HostFixture::TearDown();
  }

  // What the thing holds, as the system has it: a value's first byte, the
  // stored default's last byte, the form's width (of "New" for a form
  // added); 0 when missing.
  enum class Thing { kValue, kDefault, kForm, kNewForm };
  long Held(Thing thing) {
    if (thing == Thing::kValue) {
      BYTE byte = 0;
      DWORD type = 0, needed = 0;
      return GetPrinterDataW(handle_, u"X", &type, &byte, 1, &needed) == 0 ? byte : 0;
    }
    std::vector<BYTE> block(4096);
    DWORD needed = 0;
    if (thing == Thing::kForm || thing == Thing::kNewForm)
      return GetFormW(handle_, thing == Thing::kForm ? kForm : u"New", 1, block.data(),
                      DWORD(block.size()), &needed) == 1
                 ? reinterpret_cast<FormInfo1W*>(block.data())->size.cx
                 : 0;
    if (GetPrinterW(handle_, 2, block.data(), DWORD(block.size()), &needed) != 1) return 0;
    const auto* mode =
        static_cast<const BYTE*>(reinterpret_cast<PrinterInfo2W*>(block.data())->dev_mode);
    return mode ? mode[219] : 0;
  }
  // Stages `value` as the thing's change, as one call would.
  void Change(Thing thing, BYTE value) {
    if (thing == Thing::kValue) {
      EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"X", kRegBinary, &value, 1), 0u);
    } else if (thing == Thing::kDefault) {
      EXPECT_EQ(GStoredState::SetStoredDefault(handle_, DevMode(value).data()), 1);
    } else if (thing == Thing::kForm) {
      EXPECT_EQ(GStoredState::SetForm(handle_, kForm, Form(value)), 1);
    } else {
      FormInfo1W added = Form(value);
      added.name = const_cast<char16_t*>(u"New");
      EXPECT_EQ(GStoredState::AddForm(handle_, added), 1);
    }
  }
  // Reads the thing through the door, as a call that changes what it read.
  void Read(Thing thing) {
    std::vector<BYTE> block(4096);
    DWORD type = 0, needed = 0;
    if (thing == Thing::kValue) {
      GStoredState::GetPrinterData(handle_, u"X", &type, block.data(), DWORD(block.size()),
                                   &needed);
    } else if (thing == Thing::kDefault) {
      GStoredState::GetPrinter(handle_, block.data(), DWORD(block.size()), &needed);
    } else {
      GStoredState::GetForm(handle_, kForm, block.data(), DWORD(block.size()), &needed);
    }
  }

  // Sets value `name` of P1 to `value` as another process would: through
  // the registry, which the stored-state hook does not hear.
  static void PutRaw(const char16_t* name, BYTE value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(kPrinter).c_str(), 0,
                            kKeySetValue, &key),
              0);
    EXPECT_EQ(RegSetValueExW(key, name, 0, kRegBinary, &value, 1), 0);
    RegCloseKey(key);
  }

  HANDLE handle_ = nullptr;
};

// Call A stages its change of a thing and is held on the printer's data
// (the hook, at a read it makes after) while call B changes the same thing
// and answers success; then A ends: its commit refused part way (a value
// it writes after the thing is refused), or finding what it read changed,
// or discarded as a call that ran short. The thing holds B's change.
TEST_F(StoredState, AFailedCallNeverUndoesAnotherCallsSuccess) {
  enum class Ending { kRefused, kConflict, kDiscarded };
  struct Row {
    Thing thing;
    Ending ending;
    Outcome a;  // A's commit
  } rows[] = {
      {Thing::kValue, Ending::kRefused, Outcome::kRefused},
      {Thing::kValue, Ending::kConflict, Outcome::kConflict},
      {Thing::kValue, Ending::kDiscarded, Outcome::kNothing},
      {Thing::kDefault, Ending::kRefused, Outcome::kRefused},
      {Thing::kDefault, Ending::kConflict, Outcome::kConflict},
      {Thing::kDefault, Ending::kDiscarded, Outcome::kNothing},
      // A form is always read before it changes: a form changed since is a
      // conflict; so is one added where the list the call read had none.
      {Thing::kForm, Ending::kRefused, Outcome::kConflict},
      {Thing::kNewForm, Ending::kRefused, Outcome::kConflict},
      {Thing::kForm, Ending::kDiscarded, Outcome::kNothing},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << int(row.thing) << " " << int(row.ending));
    Fresh();
    SetPrinterDataWriteFailure(kPrinter, u"Refused", row.ending == Ending::kRefused ? 29 : 0);
    Hold hold;
    SetStoredStateHook(&Hold::Hook, &hold);
    Outcome a = Outcome::kStored;
    std::thread call_a([&] {
      hold.thread = std::this_thread::get_id();
      GStoreTransaction transaction;
      transaction.Attach();
      if (row.ending == Ending::kConflict) Read(row.thing);
      Change(row.thing, 2);
      const BYTE refused = 1;
      GStoredState::SetPrinterData(handle_, u"Refused", kRegBinary, &refused, 1);
      DWORD type = 0, needed = 0;
      GStoredState::GetPrinterData(handle_, u"Hold", &type, nullptr, 0, &needed);
      transaction.Detach();
      if (row.ending == Ending::kDiscarded) {
        transaction.Discard();
        a = Outcome::kNothing;
      } else {
        a = transaction.Commit();
      }
    });
    {
      std::unique_lock<std::mutex> lock(hold.mutex);
      hold.changed.wait(lock, [&] { return hold.held; });
    }
    GStoreTransaction call_b;
    call_b.Attach();
    Change(row.thing, 3);
    call_b.Detach();
    EXPECT_EQ(call_b.Commit(), Outcome::kStored);
    {
      std::lock_guard<std::mutex> lock(hold.mutex);
      hold.released = true;
      hold.changed.notify_all();
    }
    call_a.join();
    EXPECT_EQ(a, row.a);
    EXPECT_EQ(Held(row.thing), 3);
    SetStoredStateHook(nullptr, nullptr);
  }
}

// A commit checks its before-images again under the lock: a thing another
// writer changes in between (X, or the key a value's write is to make) is
// read again; one that keeps changing is read under the lock at last. The
// lock is held from that check to the last write.
TEST_F(StoredState, ACommitChecksItsImagesAgainUnderTheLock) {
  struct Probe {
    std::function<void(int)> at_read;  // the other writer, at the n-th read of X
    int reads = 0;
    bool locked_at_write = false;
    static void Hook(const StoredStateEvent& event, void* context) {
      auto* probe = static_cast<Probe*>(context);
      if (event.name != u"X") return;
      if (event.operation == StoredStateOperation::kReadValue) probe->at_read(++probe->reads);
      if (event.operation != StoredStateOperation::kWriteValue) return;
      std::thread([probe] {
        std::unique_lock<std::recursive_mutex> other(GStoreTransaction::StoredStateLock(),
                                                     std::try_to_lock);
        probe->locked_at_write = !other.owns_lock();
      }).join();
    }
  };
  // Where the commit conflicts, the call read X before it changed it.
  const struct {
    int change_at;  // the read of X the other writer acts at (-1: each)
    bool make_key;  // it makes the registry value's key, else changes X
    Outcome outcome;
    long x;  // X after
  } rows[] = {
      {1, false, Outcome::kConflict, 11},
      {-1, false, Outcome::kStored, 2},
      {1, true, Outcome::kRefused, 0},
  };
  const BYTE one = 1;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.x);
    Fresh();
    Probe probe;
    probe.at_read = [&](int read) {
      if (row.change_at != -1 && read != row.change_at) return;
      if (row.make_key) GStoredState::MakeKey(kHkeyCurrentUser, u"KV");
      if (!row.make_key) PutRaw(u"X", BYTE(10 + read));
    };
    SetPrinterDataWriteFailure(kPrinter, u"Z", kErrorWriteFault);
    GStoreTransaction transaction;
    transaction.Attach();
    if (row.outcome == Outcome::kConflict) Read(Thing::kValue);
    if (row.make_key)
      GStoredState::SetValue(kHkeyCurrentUser, u"KV", u"V", kRegBinary, &one, 1, true);
    Change(Thing::kValue, 2);
    if (row.make_key) GStoredState::SetPrinterData(handle_, u"Z", kRegBinary, &one, 1);
    transaction.Detach();
    SetStoredStateHook(&Probe::Hook, &probe);
    EXPECT_EQ(transaction.Commit(), row.outcome);
    SetStoredStateHook(nullptr, nullptr);
    EXPECT_EQ(Held(Thing::kValue), row.x);
    EXPECT_EQ(probe.locked_at_write, row.outcome != Outcome::kConflict);
    // A take-back takes away only the keys its commit made.
    EXPECT_EQ(GStoredState::KeyExists(kHkeyCurrentUser, u"KV"), row.make_key);
  }
}

// A call that ran short, that an exception left or whose commit was
// refused (a joined one's included) answers failure with the first
// failure's error and stores nothing, also nothing staged after; a user's
// OK stored in it stands (its own part in conflict too); one made after
// the call failed is refused.
TEST_F(StoredState, ACallThatFailsStoresNothing) {
  enum class End {
    kWell,
    kShort,
    kThrown,
    kShortInside,
    kThrownInside,
    kShortAfterOk,
    kRefusedThenStaged,
    kOkAfterFailure,
    kThrownInsideThenShort,  // the first failure's error stands
    kOkOverAConflict,        // the call's own part in conflict: the OK alone stands
  };
  const struct {
    End end;
    int answer;
    DWORD error;  // when it failed
    long stored;  // what X holds after
  } rows[] = {
      {End::kWell, 1, 0, 1},
      {End::kShort, 0, kErrorNotEnoughMemory, 0},
      {End::kThrown, 0, kErrorNotEnoughMemory, 0},
      {End::kShortInside, 0, kErrorNotEnoughMemory, 0},
      {End::kThrownInside, 0, kErrorUnhandledException, 0},
      {End::kShortAfterOk, 1, 0, 3},
      {End::kRefusedThenStaged, 0, kErrorWriteFault, 0},
      {End::kOkAfterFailure, 0, kErrorUnhandledException, 0},
      {End::kThrownInsideThenShort, 0, kErrorUnhandledException, 0},
      {End::kOkOverAConflict, 1, 0, 3},
  };
  const RWErrorHandler before = SetErrorHandler([](const RWError&) {});
  for (const auto& row : rows) {
    SCOPED_TRACE(int(row.end));
    Fresh();
    SetPrinterDataWriteFailure(kPrinter, u"Refused", kErrorWriteFault);
    const int answer = AnswerEntryPoint<int>(0, [&] {
      if (row.end == End::kOkOverAConflict) {
        Read(Thing::kValue);
        PutRaw(u"X", 5);
      }
      Change(Thing::kValue, 1);
      AnswerEntryPoint<int>(0, [&] {
        Change(Thing::kDefault, 2);
        if (row.end == End::kShortInside) RWRaiseNoMemory(1);
        if (row.end == End::kThrownInside || row.end == End::kOkAfterFailure ||
            row.end == End::kThrownInsideThenShort)
          throw std::length_error("an extension's");
        return 1;
      });
      if (row.end == End::kRefusedThenStaged) {
        const BYTE refused = 1;
        GStoredState::SetPrinterData(handle_, u"Refused", kRegBinary, &refused, 1);
        EXPECT_FALSE(GStoreCall::FinishOutermost());
        Change(Thing::kValue, 1);
        Change(Thing::kDefault, 2);
      }
      const bool ok_stored = row.end == End::kShortAfterOk || row.end == End::kOkOverAConflict;
      if (ok_stored || row.end == End::kOkAfterFailure) {
        GStoreTransaction ok(GStoreTransaction::Mode::kUserConfirmed);
        ok.Attach();
        Change(Thing::kValue, 3);
        ok.Detach();
        EXPECT_EQ(GStoreCall::CommitOk(ok), ok_stored ? 0u : row.error);
        if (ok_stored) GStoreCall::Confirmed();
      }
      if (row.end == End::kShort || ok_stored || row.end == End::kThrownInsideThenShort)
        RWRaiseNoMemory(1);
      if (row.end == End::kThrown) throw std::bad_alloc();
      platform::SetLastError(kErrorInsufficientBuffer);  // a size query while the call ends
      return 1;
    });
    EXPECT_EQ(answer, row.answer);
    if (answer == 0) {
      EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_EQ(Held(Thing::kValue), row.stored);
    EXPECT_EQ(Held(Thing::kDefault), row.stored && row.end != End::kOkOverAConflict ? 2 : 0);
  }
  SetErrorHandler(before);
}

// A commit the system refuses part way takes back what it made, in the
// form each thing had: values, a value deleted, a form added, changed or
// deleted, and the stored default; a chunked value's writes included.
TEST_F(StoredState, ARefusedCommitLeavesEveryThingAsItWas) {
  const BYTE one = 1;
  ASSERT_EQ(SetPrinterDataW(handle_, u"Kept", kRegBinary, &one, 1), 0u);
  ASSERT_EQ(SetPrinterDataW(handle_, u"Gone", kRegBinary, &one, 1), 0u);
  std::vector<BYTE> before = DevMode(7);
  PrinterInfo2W info{};
  info.dev_mode = before.data();
  ASSERT_EQ(SetPrinterW(handle_, 2, reinterpret_cast<BYTE*>(&info), 0), 1);
  AddServerForm(u"", kFormUser, u"Old", 500, 500);
  const auto snapshot = [&] {
    std::string all;
    for (const std::u16string& name :
         RegistryValueNames(kHkeyLocalMachine, PrinterDataKeyPath(kPrinter)))
      all += std::string(name.begin(), name.end()) + ";";
    all += "|" + std::to_string(Held(Thing::kDefault)) + "|";
    std::vector<BYTE> block(4096);
    DWORD needed = 0, count = 0;
    EnumFormsW(handle_, 1, block.data(), DWORD(block.size()), &needed, &count);
    for (DWORD i = 0; i < count; ++i) {
      const FormInfo1W& form = reinterpret_cast<FormInfo1W*>(block.data())[i];
      all += std::string(form.name, form.name + std::char_traits<char16_t>::length(form.name)) +
             ":" + std::to_string(form.size.cx) + ";";
    }
    return all;
  };
  const std::string was = snapshot();
  // Each kind refused in turn: a value written last of the values, a form
  // added last of the forms, the stored default (written last of all).
  enum class Refuse { kValue, kForm, kDefault };
  for (Refuse refuse : {Refuse::kValue, Refuse::kForm, Refuse::kDefault}) {
    SCOPED_TRACE(int(refuse));
    SetPrinterDataWriteFailure(kPrinter, u"Last", refuse == Refuse::kValue ? 29 : 0);
    SetFormWriteFailure(u"", u"New", refuse == Refuse::kForm ? 29 : 0);
    SetStoredDefaultWriteFailure(kPrinter, refuse == Refuse::kDefault ? 29 : 0);
    GStoreTransaction transaction;
    transaction.Attach();
    const BYTE two = 2;
    EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"Kept", kRegBinary, &two, 1), 0u);
    EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"Fresh", kRegBinary, &two, 1), 0u);
    EXPECT_EQ(GStoredState::DeletePrinterData(RWWString(kPrinter), u"Gone"), 0);
    EXPECT_EQ(GStoredState::SetForm(handle_, kForm, Form(3000)), 1);
    EXPECT_EQ(GStoredState::DeleteForm(handle_, u"Old"), 1);
    FormInfo1W added = Form(40);
    added.name = const_cast<char16_t*>(u"New");
    EXPECT_EQ(GStoredState::AddForm(handle_, added), 1);
    EXPECT_EQ(GStoredState::SetStoredDefault(handle_, DevMode(9).data()), 1);
    if (refuse == Refuse::kValue) {
      EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"Last", kRegBinary, &two, 1), 0u);
    }
    transaction.Detach();
    EXPECT_EQ(transaction.Commit(), Outcome::kRefused);
    EXPECT_EQ(transaction.Error(), 29u);
    // "Old", deleted and put back, comes back last, where it was: the
    // system adds forms at the end.
    EXPECT_EQ(snapshot(), was);
  }
}

// The stored default cannot be taken away: it is written last, once. Each
// write of a commit of a value, a form and two defaults refused in turn:
// everything reads as before, or as the call left it.
TEST_F(StoredState, TheStoredDefaultIsWrittenLastAndOnce) {
  for (std::uint64_t refused = 1; refused <= 4; ++refused) {
    SCOPED_TRACE(refused);
    Fresh();
    GStoreTransaction transaction;
    transaction.Attach();
    Change(Thing::kValue, 2);
    Change(Thing::kForm, 30);
    Change(Thing::kDefault, 9);
    Change(Thing::kDefault, 10);
    transaction.Detach();
    SetWriteRefusals({refused, 1, 0, kErrorWriteFault});
    const bool stored = transaction.Commit() == Outcome::kStored;
    SetWriteRefusals({});
    EXPECT_EQ(stored, refused == 4);
    EXPECT_EQ(Held(Thing::kValue), stored ? 2 : 0);
    EXPECT_EQ(Held(Thing::kForm), stored ? 30 : 1000);
    EXPECT_EQ(Held(Thing::kDefault), stored ? 10 : 0);
  }
}

// A refused commit whose take-back is refused too: the door answers a key
// it made, a form it changed or added, a stored default written before
// another printer's was refused, as before; the next call puts them back.
TEST_F(StoredState, DoorReadsAnswerWhatAPendingTakeBackPutsBack) {
  const StoredStateHook refuse_after = [](const StoredStateEvent& event, void*) {
    if ((event.operation == StoredStateOperation::kWriteValue && event.name == u"Z") ||
        (event.operation == StoredStateOperation::kWritePrinter && event.result == 0))
      SetWriteRefusals({1, ~std::uint64_t{0}, 0, kErrorWriteFault});
  };
  const BYTE one = 1;
  for (const char* made : {"a key", "a form", "a default"}) {
    SCOPED_TRACE(made);
    Fresh();
    ASSERT_TRUE(AddPrinter(u"P2"));
    const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
    HANDLE p2 = nullptr;
    ASSERT_EQ(OpenPrinterW(u"P2", &p2, &all), 1);
    std::vector<BYTE> before = DevMode(7);
    PrinterInfo2W info{};
    info.dev_mode = before.data();
    ASSERT_EQ(SetPrinterW(handle_, 2, reinterpret_cast<BYTE*>(&info), 0), 1);
    GStoreTransaction transaction;
    transaction.Attach();
    if (made[2] == 'k') {
      GStoredState::SetValue(kHkeyCurrentUser, u"KV", u"V", kRegBinary, &one, 1, true);
      SetPrinterDataWriteFailure(kPrinter, u"Z", kErrorWriteFault);
      GStoredState::SetPrinterData(handle_, u"Z", kRegBinary, &one, 1);
    }
    if (made[2] == 'f') {
      Change(Thing::kForm, 30);
      Change(Thing::kNewForm, 40);
    }
    Change(Thing::kDefault, 9);
    SetStoredDefaultWriteFailure(made[2] == 'd' ? u"P2" : kPrinter, kErrorWriteFault);
    if (made[2] == 'd') GStoredState::SetStoredDefault(p2, DevMode(9).data());
    transaction.Detach();
    SetStoredStateHook(refuse_after, nullptr);
    EXPECT_EQ(transaction.Commit(), Outcome::kRefused);
    SetStoredStateHook(nullptr, nullptr);
    EXPECT_FALSE(GStoreTransaction::FinishTakeBacks());
    std::vector<BYTE> block(4096);
    DWORD needed = 0;
    EXPECT_FALSE(GStoredState::KeyExists(kHkeyCurrentUser, u"KV"));
    ASSERT_EQ(GStoredState::GetForm(handle_, kForm, block.data(), 4096, &needed), 1);
    EXPECT_EQ(reinterpret_cast<FormInfo1W*>(block.data())->size.cx, 1000);
    EXPECT_EQ(GStoredState::GetForm(handle_, u"New", block.data(), 4096, &needed), 0);
    ASSERT_EQ(GStoredState::GetPrinter(handle_, block.data(), 4096, &needed), 1);
    EXPECT_EQ(static_cast<BYTE*>(reinterpret_cast<PrinterInfo2W*>(block.data())->dev_mode)[219], 7);
    SetWriteRefusals({});
    SetStoredDefaultWriteFailure(kPrinter, 0);
    AnswerEntryPoint<int>(0, [] { return 1; });
    EXPECT_FALSE(GStoredState::KeyExists(kHkeyCurrentUser, u"KV"));
    EXPECT_EQ(Held(Thing::kForm), 1000);
    EXPECT_EQ(Held(Thing::kNewForm), 0);
    EXPECT_EQ(Held(Thing::kDefault), 7);
    ClosePrinter(p2);
  }
}

// A change is staged only through a handle with the right to change the
// printer; where the system could not tell, it is asked again.
TEST_F(StoredState, AChangeNeedsTheRightToChangeThePrinter) {
  HANDLE reader = nullptr;
  ASSERT_EQ(OpenPrinterW(kPrinter, &reader, nullptr), 1);
  const BYTE one = 1;
  const auto error = [](BOOL done) { return done ? 0 : GetLastError(); };
  const std::function<DWORD()> changes[] = {
      [&] { return GStoredState::SetPrinterData(reader, u"X", kRegBinary, &one, 1); },
      [&] { return GStoredState::RewritePrinterData(reader, u"X"); },
      [&] { return error(GStoredState::SetStoredDefault(reader, DevMode(9).data())); },
      [&] { return error(GStoredState::SetForm(reader, kForm, Form(30))); },
  };
  // The value the system is asked to delete; the printer's records written.
  struct Heard {
    std::u16string asked;
    int records = 0;
  } heard;
  SetStoredStateHook(
      [](const StoredStateEvent& event, void* context) {
        auto* heard = static_cast<Heard*>(context);
        heard->asked = event.name;
        heard->records += event.operation == StoredStateOperation::kWritePrinter;
      },
      &heard);
  for (const auto& change : changes) {
    GStoreTransaction transaction;
    transaction.Attach();
    EXPECT_EQ(change(), kErrorAccessDenied);
    transaction.Detach();
    EXPECT_TRUE(transaction.Empty());
  }
  // Asked with the right, nothing of the printer is written either: its
  // record, changed by someone since it was read, is not put back.
  GStoreTransaction staged;
  staged.Attach();
  EXPECT_EQ(GStoredState::SetStoredDefault(handle_, DevMode(9).data()), 1);
  staged.Detach();
  staged.Discard();
  EXPECT_EQ(heard.records, 0);
  SetStoredStateHook(nullptr, nullptr);
  const std::u16string asked = heard.asked;
  ClosePrinter(reader);
  ASSERT_EQ(SetPrinterDataW(handle_, asked.c_str(), kRegBinary, &one, 1), 0u);
  SetWriteRefusals({1, 1, 0, kErrorNotEnoughMemory});
  GStoreTransaction transaction;
  transaction.Attach();
  EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"X", kRegBinary, &one, 1),
            kErrorNotEnoughMemory);
  EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"X", kRegBinary, &one, 1), 0u);
  transaction.Detach();
  EXPECT_EQ(transaction.Commit(), Outcome::kStored);
}

// What value `name` of P1 holds, read through the door (`door`) or as the
// system has it: its bytes, "-" when missing.
std::string ValueOf(HANDLE printer, const char16_t* name, bool door) {
  BYTE bytes[16];
  DWORD type = 0, needed = 0;
  const DWORD read = door ? GStoredState::GetPrinterData(printer, name, &type, bytes, 16, &needed)
                          : GetPrinterDataW(printer, name, &type, bytes, 16, &needed);
  return read == 0 ? std::string(bytes, bytes + needed) : "-";
}

// X=1 and a chunked value C of one chunk are stored; a commit writes X=2
// and C with two chunks, then "Z", refused, and the system refuses one
// take-back (each in turn), all of them, or a first try only. While it
// refuses, the door answers everything as before, the store never holds
// C's count over another value's chunks, and P1's commits wait; then the
// next call puts everything back.
TEST_F(StoredState, ARefusedTakeBackStaysPendingAndNothingReadsItHalfDone) {
  const std::vector<const char16_t*> things = {u"X", u"C", u"C:0", u"C:1"};
  const auto snapshot = [&](bool door) {
    std::string all;
    for (const char16_t* name : things)
      all += ValueOf(handle_, name, door) + "|";
    return all;
  };
  const BYTE count1[4] = {1, 0, 0, 0}, count2[4] = {2, 0, 0, 0}, one = 1, two = 2, old_chunk = 'o',
             new_chunk = 'n';
  // C as a reader of the store meets it: its chunks up to its count.
  const auto stored_c = [&] {
    const std::string count = ValueOf(handle_, u"C", false),
                      first = ValueOf(handle_, u"C:0", false);
    return count == "-"    ? "absent"
           : count[0] == 1 ? first
                           : first + ValueOf(handle_, u"C:1", false);
  };
  // The take-backs: C deleted, C:1, C:0, X, C put back; each refused in
  // turn (from its first try on), then every write after the refused one;
  // 0: the first one's first try only.
  for (int refused_take_back = 0; refused_take_back <= 6; ++refused_take_back) {
    SCOPED_TRACE(refused_take_back);
    Fresh();
    ASSERT_EQ(SetPrinterDataW(handle_, u"X", kRegBinary, &one, 1), 0u);
    ASSERT_EQ(SetPrinterDataW(handle_, u"C:0", kRegBinary, &old_chunk, 1), 0u);
    ASSERT_EQ(SetPrinterDataW(handle_, u"C", kRegDword, count1, 4), 0u);
    const std::string before = snapshot(false);
    GStoreTransaction transaction;
    transaction.Attach();
    ASSERT_EQ(GStoredState::SetPrinterData(handle_, u"X", kRegBinary, &two, 1), 0u);
    ASSERT_EQ(GStoredState::RewritePrinterData(handle_, u"C"), 0u);
    ASSERT_EQ(GStoredState::DeletePrinterData(RWWString(kPrinter), u"C"), 0);
    ASSERT_EQ(GStoredState::SetPrinterData(handle_, u"C:0", kRegBinary, &new_chunk, 1), 0u);
    ASSERT_EQ(GStoredState::SetPrinterData(handle_, u"C:1", kRegBinary, &new_chunk, 1), 0u);
    ASSERT_EQ(GStoredState::SetPrinterData(handle_, u"C", kRegDword, count2, 4), 0u);
    ASSERT_EQ(GStoredState::SetPrinterData(handle_, u"Z", kRegBinary, &two, 1), 0u);
    transaction.Detach();
    // The writes: X, C kept, C deleted, C:0, C:1, C, then Z (7), refused;
    // the take-backs from write 8 on.
    const bool all = refused_take_back == 6, pending = refused_take_back != 0;
    const std::uint64_t run = all ? ~std::uint64_t{0} : pending ? 1 : 2;
    SetWriteRefusals({7, run, all || !pending ? 0 : 7u + refused_take_back, kErrorWriteFault});
    EXPECT_EQ(transaction.Commit(), Outcome::kRefused);
    EXPECT_EQ(transaction.Error(), kErrorWriteFault);
    if (!pending) {
      EXPECT_EQ(snapshot(false), before);
    }
    EXPECT_EQ(snapshot(true), before);
    // So through the registry, and for a delete.
    DWORD size = 0;
    EXPECT_EQ(GStoredState::QueryValue(kHkeyLocalMachine, PrinterDataKeyPath(kPrinter).c_str(),
                                       u"C:1", nullptr, nullptr, &size),
              LONG(kErrorFileNotFound));
    EXPECT_EQ(GStoredState::DeletePrinterData(RWWString(kPrinter), u"C:1"),
              LONG(kErrorFileNotFound));
    // The store: C reads as before, as the commit wrote it, or as never
    // stored (no count), never as a count over chunks of another value.
    EXPECT_TRUE(stored_c() == "absent" || stored_c() == "o" || stored_c() == "nn") << stored_c();
    // A commit of P1 waits for the take-backs: refused with their error.
    const BYTE three = 3;
    EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"W", kRegBinary, &three, 1),
              pending ? kErrorWriteFault : 0u);
    SetWriteRefusals({});
    AnswerEntryPoint<int>(0, [] { return 1; });
    EXPECT_EQ(snapshot(false), before);
    EXPECT_EQ(snapshot(true), before);
    EXPECT_EQ(ValueOf(handle_, u"Z", false), "-");
  }
}

// A door read that met a commit's write is made again once the commit is
// over (the reader held before its read until X is written, the commit
// after it until the reader has read): it never answers a taken-back value.
TEST_F(StoredState, AReadNeverMeetsWhatARefusedCommitTookBack) {
  const BYTE one = 1, two = 2;
  ASSERT_EQ(SetPrinterDataW(handle_, u"X", kRegBinary, &one, 1), 0u);
  SetPrinterDataWriteFailure(kPrinter, u"Z", kErrorWriteFault);
  struct Turns {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::thread::id> reader;
    int step = 0;  // 1: the reader waits; 2: X written; 3: X read
    // From step `from` (0: any), on to `to`, then until step `until`.
    void Turn(int from, int to, int until) {
      std::unique_lock<std::mutex> lock(mutex);
      if (from != 0 && step != from) return;
      step = std::max(step, to);
      changed.notify_all();
      changed.wait(lock, [&] { return step >= until; });
    }
    static void Hook(const StoredStateEvent& event, void* context) {
      auto* turns = static_cast<Turns*>(context);
      const bool reader = std::this_thread::get_id() == turns->reader;
      if (event.name != u"X") return;
      if (reader && event.operation == StoredStateOperation::kReadingValue) turns->Turn(0, 1, 2);
      if (reader && event.operation == StoredStateOperation::kReadValue) turns->Turn(0, 3, 3);
      if (!reader && event.operation == StoredStateOperation::kWriteValue) turns->Turn(1, 2, 3);
    }
  } turns;
  SetStoredStateHook(&Turns::Hook, &turns);
  std::string read;
  std::thread reader([&] {
    turns.reader = std::this_thread::get_id();
    read = ValueOf(handle_, u"X", true);
  });
  turns.Turn(0, 0, 1);
  GStoreTransaction transaction;
  transaction.Attach();
  GStoredState::SetPrinterData(handle_, u"X", kRegBinary, &two, 1);
  GStoredState::SetPrinterData(handle_, u"Z", kRegBinary, &two, 1);
  transaction.Detach();
  EXPECT_EQ(transaction.Commit(), Outcome::kRefused);
  reader.join();
  SetStoredStateHook(nullptr, nullptr);
  EXPECT_EQ(read, "\x01");
}

}  // namespace
