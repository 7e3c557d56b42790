// The stored state's transactions over the spooler's and registry's
// stand-ins: two calls on one printer from two threads, and a commit the
// system refuses part way.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
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
  // stored default's last byte, the form's width; 0 when missing.
  enum class Thing { kValue, kDefault, kForm };
  long Held(Thing thing) {
    if (thing == Thing::kValue) {
      BYTE byte = 0;
      DWORD type = 0, needed = 0;
      return GetPrinterDataW(handle_, u"X", &type, &byte, 1, &needed) == 0 ? byte : 0;
    }
    std::vector<BYTE> block(4096);
    DWORD needed = 0;
    if (thing == Thing::kForm)
      return GetFormW(handle_, kForm, 1, block.data(), DWORD(block.size()), &needed) == 1
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
    } else {
      EXPECT_EQ(GStoredState::SetForm(handle_, kForm, Form(value)), 1);
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
      // conflict.
      {Thing::kForm, Ending::kRefused, Outcome::kConflict},
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

// An entry point's call stands or falls whole: one that ran short of
// memory (counted, whoever's handler returned), that an exception left, or
// whose commit the system refused answers failure with why, and stores
// nothing, a call joined inside it that failed so included, also nothing
// staged after its failure; one that ended well stores all; a user's OK
// stored in it stands, whatever happens after, and one staged after the
// call failed is refused with the failure.
TEST_F(StoredState, ACallThatFailsStoresNothing) {
  enum class End {
    kWell,
    kShort,
    kThrown,
    kShortInside,
    kThrownInside,
    kShortAfterOk,
    kRefusedThenStaged,
    kOkAfterFailure
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
  };
  const RWErrorHandler before = SetErrorHandler([](const RWError&) {});
  for (const auto& row : rows) {
    SCOPED_TRACE(int(row.end));
    Fresh();
    SetPrinterDataWriteFailure(kPrinter, u"Refused", kErrorWriteFault);
    const int answer = AnswerEntryPoint<int>(0, [&] {
      Change(Thing::kValue, 1);
      AnswerEntryPoint<int>(0, [&] {
        Change(Thing::kDefault, 2);
        if (row.end == End::kShortInside) RWRaiseNoMemory(1);
        if (row.end == End::kThrownInside || row.end == End::kOkAfterFailure)
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
      if (row.end == End::kShortAfterOk || row.end == End::kOkAfterFailure) {
        GStoreTransaction ok(GStoreTransaction::Mode::kUserConfirmed);
        ok.Attach();
        Change(Thing::kValue, 3);
        ok.Detach();
        EXPECT_EQ(GStoreCall::CommitOk(ok), row.end == End::kShortAfterOk ? 0u : row.error);
        if (row.end == End::kShortAfterOk) GStoreCall::Confirmed();
      }
      if (row.end == End::kShort || row.end == End::kShortAfterOk) RWRaiseNoMemory(1);
      if (row.end == End::kThrown) throw std::bad_alloc();
      platform::SetLastError(kErrorInsufficientBuffer);  // a size query while the call ends
      return 1;
    });
    EXPECT_EQ(answer, row.answer);
    if (answer == 0) {
      EXPECT_EQ(GetLastError(), row.error);
    }
    EXPECT_EQ(Held(Thing::kValue), row.stored);
    EXPECT_EQ(Held(Thing::kDefault), row.stored ? 2 : 0);
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

// What value `name` of P1 holds, read through the door (`door`) or as the
// system has it: its bytes, "-" when missing.
std::string ValueOf(HANDLE printer, const char16_t* name, bool door) {
  BYTE bytes[16];
  DWORD type = 0, needed = 0;
  const DWORD read = door ? GStoredState::GetPrinterData(printer, name, &type, bytes, 16, &needed)
                          : GetPrinterDataW(printer, name, &type, bytes, 16, &needed);
  return read == 0 ? std::string(bytes, bytes + needed) : "-";
}

// A commit the system refuses part way, and then refuses to take back:
// X=1 and a chunked value C (count "C", chunks "C:0" and "C:1") are
// stored; a commit writes X=2 and C anew, as the chunked writer stages it,
// then "Z", which is refused; the system refuses the take-back of one of
// those things (each in turn, from its take-back on), or of all of them.
// The commit answers refused; while the system still refuses, every read
// through the door answers each value as before, and the store never holds
// C's count over a mix of chunks; a commit of P1 is refused meanwhile;
// once the system takes writes again, the next read through the door puts
// everything back.
TEST_F(StoredState, ARefusedTakeBackStaysPendingAndNothingReadsItHalfDone) {
  const std::vector<const char16_t*> things = {u"X", u"C", u"C:0", u"C:1"};
  const auto snapshot = [&](bool door) {
    std::string all;
    for (const char16_t* name : things)
      all += ValueOf(handle_, name, door) + "|";
    return all;
  };
  const BYTE count2[4] = {2, 0, 0, 0}, one = 1, two = 2, old_chunk = 'o', new_chunk = 'n';
  // The take-backs: C deleted, C:1, C:0, X, C put back; each refused in
  // turn (from its first try on), then every write after the refused one.
  for (int refused_take_back = 1; refused_take_back <= 6; ++refused_take_back) {
    SCOPED_TRACE(refused_take_back);
    Fresh();
    ASSERT_EQ(SetPrinterDataW(handle_, u"X", kRegBinary, &one, 1), 0u);
    ASSERT_EQ(SetPrinterDataW(handle_, u"C:0", kRegBinary, &old_chunk, 1), 0u);
    ASSERT_EQ(SetPrinterDataW(handle_, u"C:1", kRegBinary, &old_chunk, 1), 0u);
    ASSERT_EQ(SetPrinterDataW(handle_, u"C", kRegDword, count2, 4), 0u);
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
    const bool all = refused_take_back == 6;
    SetWriteRefusals(
        {7, all ? ~std::uint64_t{0} : 1, all ? 0 : 7u + refused_take_back, kErrorWriteFault});
    EXPECT_EQ(transaction.Commit(), Outcome::kRefused);
    EXPECT_EQ(transaction.Error(), kErrorWriteFault);
    EXPECT_EQ(snapshot(true), before);
    // The store: C reads as before, as the commit wrote it, or as never
    // stored (no count), never as a count over a mix of chunks.
    const std::string chunks = ValueOf(handle_, u"C:0", false) + ValueOf(handle_, u"C:1", false);
    EXPECT_TRUE(ValueOf(handle_, u"C", false) == "-" || chunks == "oo" || chunks == "nn") << chunks;
    // A commit of P1 waits for the take-backs: refused with their error.
    const BYTE three = 3;
    EXPECT_EQ(GStoredState::SetPrinterData(handle_, u"W", kRegBinary, &three, 1), kErrorWriteFault);
    SetWriteRefusals({});
    EXPECT_EQ(snapshot(true), before);
    EXPECT_EQ(snapshot(false), before);
    EXPECT_EQ(ValueOf(handle_, u"Z", false), "-");
  }
}

// The right to change a printer is asked of the system without writing
// anything of the printer: its record, changed by someone else since it
// was read, is not put back. A handle without the right is refused at once.
TEST_F(StoredState, TheRightToChangeIsAskedWithoutWritingAnything) {
  struct Heard {
    int records = 0;
    static void Hook(const StoredStateEvent& event, void* context) {
      if (event.operation == StoredStateOperation::kWritePrinter)
        ++static_cast<Heard*>(context)->records;
    }
  } heard;
  const PrinterDefaultsW use{nullptr, nullptr, kPrinterAccessUse};
  HANDLE user = nullptr;
  ASSERT_EQ(OpenPrinterW(kPrinter, &user, &use), 1);
  SetStoredStateHook(&Heard::Hook, &heard);
  const std::uint64_t stamp = GetPrinterChangeStamp(handle_);
  const BYTE one = 1;
  for (HANDLE handle : {handle_, user}) {
    GStoreTransaction transaction;
    transaction.Attach();
    const DWORD answer = GStoredState::SetPrinterData(handle, u"X", kRegBinary, &one, 1);
    SetLastError(0);
    const BOOL stored_default = GStoredState::SetStoredDefault(handle, DevMode(1).data());
    const DWORD error = GetLastError();
    transaction.Detach();
    transaction.Discard();
    EXPECT_EQ(answer, handle == user ? DWORD(kErrorAccessDenied) : 0u);
    EXPECT_EQ(stored_default, handle == user ? 0 : 1);
    EXPECT_EQ(error, handle == user ? kErrorAccessDenied : 0u);
  }
  EXPECT_EQ(heard.records, 0);
  EXPECT_EQ(GetPrinterChangeStamp(handle_), stamp);
  SetStoredStateHook(nullptr, nullptr);
  ClosePrinter(user);
}

}  // namespace
