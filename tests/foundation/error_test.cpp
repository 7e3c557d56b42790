#include "foundation/rw/error.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "foundation/rw/file.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/streamstate.h"
#include "platform/message_box.h"
#include "tests/support/test_support.h"

namespace {

TEST(Catalogue, EntriesCarryTheirCatalogueAndId) {
  EXPECT_STREQ(rwtools::AllocOut()->catalogue, "rwtools7.0");
  EXPECT_EQ(rwtools::AllocOut()->id, 0x2000u);
  EXPECT_EQ(rwtools::IndexErr()->id, 0x2013u);
  EXPECT_EQ(rwtools::NoPersist()->id, 0x2015u);
  EXPECT_STREQ(rwcore::Eof()->catalogue, "rwcore7.0");
  EXPECT_EQ(rwcore::Eof()->id, 0x1000u);
  EXPECT_EQ(rwcore::SynStream()->id, 0x100Au);
  EXPECT_EQ(rwcore::SynStream()->reserved, 0u);
}

TEST(Catalogue, FormatsExactly) {
  EXPECT_STREQ(RWMessageText(rwtools::IndexErr(), 5u, 3u).Text(),
               "[INDEXERR] Illegal Index (5) for collection or string with 3 elements");
  EXPECT_STREQ(RWMessageText(rwtools::NposIndex()).Text(),
               "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_STREQ(RWMessageText(rwtools::SubString(), -1, 4u, 3u).Text(),
               "[SUBSTRING] Illegal substring (-1, 4) from 3 element RWCString");
  EXPECT_STREQ(RWMessageText(rwtools::NoCreate(), 0x8001, 0x8001).Text(),
               "[NOCREATE] RWFactory: no create function for class with ID 32769 (0x8001)");
  EXPECT_STREQ(RWMessageText(rwtools::Magic(), 1L, 0x8888L).Text(),
               "[MAGIC] Bad magic number: 1 (should be 34952)");
  EXPECT_STREQ(RWMessageText(rwcore::SynStream(), "\"", "x").Text(),
               "[SYNSTREAM] Syntax error in input stream: expected \", got x");
  EXPECT_STREQ(RWMessageText(rwcore::Overflow(), 3, "abcdef", 7u).Text(),
               "[OVFLOW] Overflow error -> \"abc\" <- (7 max characters)");
}

TEST(Catalogue, LongArgumentsAreCutAtTheBuffer) {
  std::string name(2000, 'n');
  RWMessageText text(rwcore::OpErr(), name.c_str());
  EXPECT_EQ(std::string(text.Text()).size(), RWMessageText::kBufferSize - 1u);
  EXPECT_EQ(std::string(text.Text()).rfind("[OPERR] Could not open file nnn", 0), 0u);
}

TEST(Errors, OwnershipOfTexts) {
  RWError owned("copied");
  RWError copy(owned);
  EXPECT_STREQ(copy.Why(), "copied");
  EXPECT_NE(copy.Why(), owned.Why());

  static const char kStatic[] = "static";
  RWError borrowed(kStatic, false);
  EXPECT_EQ(borrowed.Why(), kStatic);
  RWError borrowed_copy(borrowed);
  EXPECT_EQ(borrowed_copy.Why(), kStatic);

  RWOutOfMemoryError nomem(64);
  EXPECT_STREQ(nomem.Why(), "[NOMEM] No memory");
  EXPECT_EQ(nomem.Why(), rwcore::NoMem()->format);
  EXPECT_EQ(nomem.Requested(), 64u);
}

const RWError* g_seen = nullptr;
std::string g_seen_text;

void Remember(const RWError& error) {
  g_seen = &error;
  g_seen_text = error.Why();
}

TEST(Errors, InstalledHandlerReceivesTheErrorAndTheOperationGoesOn) {
  RWErrorHandler previous = SetErrorHandler(&Remember);
  EXPECT_EQ(previous, &DefaultErrorHandler);
  RWIndexError error(RWMessageText(rwtools::IndexErr(), 5u, 3u));
  RaiseIndexError(error);
  EXPECT_EQ(g_seen, &error);
  EXPECT_EQ(g_seen_text, "[INDEXERR] Illegal Index (5) for collection or string with 3 elements");

  // The shared index check reports failure after the handler returned.
  EXPECT_FALSE(RWCheckIndex(0xFFFFFFFFu, 3));
  EXPECT_EQ(g_seen_text, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_TRUE(RWCheckIndex(2, 3));
  EXPECT_EQ(SetErrorHandler(previous), &Remember);
}

TEST(Errors, EveryRaiseReachesTheHandler) {
  testing_support::ErrorCapture capture;
  RaiseError(RWError("a"));
  RaiseOutOfMemoryError(RWOutOfMemoryError(1));
  RaiseEnvironmentError(RWEnvironmentError(RWMessageText(rwtools::FList(), 2L, 3L)));
  RaiseFileIoError(RWFileIoError(RWMessageText(rwtools::ReadErr()), 1, 2));
  RaiseStreamStateError(RWStreamStateError(RWMessageText(rwtools::Stream()), nullptr));
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::BadRe())));
  RaiseIndexError(RWIndexError(RWMessageText(rwtools::Index(), 4u, 2u)));
  std::vector<std::string> expected = {"a",
                                       "[NOMEM] No memory",
                                       "[FLIST] Free list size error: expected 2, got 3",
                                       "[READERR] Read error",
                                       "[STREAM] Bad input stream",
                                       "[BADRE] Attempt to use invalid regular expression",
                                       "[INDEX] Index (4) out of range [0->2]"};
  EXPECT_EQ(capture.Texts(), expected);
}

TEST(ErrorsDeathTest, DefaultHandlerShowsFatalErrorAndExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RWCheckIndex(5, 3), testing::ExitedWithCode(1),
              "Fatal Error\n\\[INDEXERR\\] Illegal Index \\(5\\) for collection or string with 3 "
              "elements");
}

// The fatal-end hook runs after the box, with the error, and the status
// stays 1.
TEST(Errors, DefaultHandlerUsesTheMessageBox) {
  platform::MessageBoxCall seen{};
  auto old = platform::SetMessageBoxSink([&](const platform::MessageBoxCall& call) {
    seen = call;
    return platform::kIdOk;
  });
  EXPECT_EXIT(
      {
        platform::SetMessageBoxSink([](const platform::MessageBoxCall& call) {
          std::fprintf(stderr, "style=%x caption=%s", call.style, call.caption.c_str());
          return platform::kIdOk;
        });
        SetFatalEndHook(
            [](const RWError& error) { std::fprintf(stderr, " hook=%s", error.Why()); });
        DefaultErrorHandler(RWError("x"));
      },
      testing::ExitedWithCode(1), "style=2010 caption=Fatal Error hook=x");
  platform::SetMessageBoxSink(old);
}

}  // namespace

namespace {

// Scopes: the default handler stays installed throughout, so a recorded
// error that leaked to the handler would end the test program.
TEST(ErrorScope, RecordsTheFirstErrorAndKeepsItFromTheHandler) {
  ASSERT_FALSE(RWErrorScope::Active());
  RWErrorScope scope;
  EXPECT_TRUE(RWErrorScope::Active());
  EXPECT_FALSE(scope.Failed());
  EXPECT_STREQ(scope.Text(), "");
  EXPECT_FALSE(RWCheckIndex(5, 3));
  RaiseStreamStateError(RWStreamStateError(RWMessageText(rwtools::Stream()), nullptr));
  EXPECT_TRUE(scope.Failed());
  EXPECT_EQ(scope.Count(), 2u);
  EXPECT_EQ(scope.Entry(), rwtools::IndexErr());
  EXPECT_STREQ(scope.Text(),
               "[INDEXERR] Illegal Index (5) for collection or string with 3 elements");
  scope.Clear();
  EXPECT_FALSE(scope.Failed());
  RaiseOutOfMemoryError(RWOutOfMemoryError(8));
  EXPECT_EQ(scope.Entry(), rwcore::NoMem());
  EXPECT_STREQ(scope.Text(), "[NOMEM] No memory");
  RaiseError(RWError("free text"));
  EXPECT_EQ(scope.Entry(), rwcore::NoMem());
}

TEST(ErrorScope, NestedScopesPassTheirFirstErrorOutward) {
  RWErrorScope outer;
  {
    RWErrorScope inner;
    RaiseLogicError(RWLogicError(RWMessageText(rwtools::Ref())));
    EXPECT_TRUE(inner.Failed());
    EXPECT_FALSE(outer.Failed());
  }
  EXPECT_EQ(outer.Entry(), rwtools::Ref());
  {
    RWErrorScope inner;
    RaiseLogicError(RWLogicError(RWMessageText(rwtools::BadRe())));
  }
  // The outer scope keeps its own first error and counts the later one.
  EXPECT_EQ(outer.Entry(), rwtools::Ref());
  EXPECT_EQ(outer.Count(), 2u);
  { RWErrorScope clean; }
  EXPECT_EQ(outer.Count(), 2u);
}

TEST(ErrorScope, BelongsToItsThread) {
  RWErrorScope scope;
  bool active_elsewhere = true;
  std::thread([&] { active_elsewhere = RWErrorScope::Active(); }).join();
  EXPECT_FALSE(active_elsewhere);
}

TEST(ErrorScopeDeathTest, ErrorsAfterTheScopeClosesReachTheDefaultHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        { RWErrorScope scope; }
        RWCheckIndex(7, 1);
      },
      testing::ExitedWithCode(1), "Fatal Error\n\\[INDEXERR\\]");
}

}  // namespace

namespace {

// A reader's scope leaves what the reader reports through failed after a
// raise (each nested reader's own), and hands the error to the caller's.
TEST(ReadScope, FailsItsTargetAfterARaiseOnly) {
  testing_support::TempPath path;
  RWFile file(path.c_str());
  RWStreamState stream;
  std::stringstream runtime;
  for (bool raise : {false, true}) {
    RWErrorScope caller;
    {
      RWReadScope file_reader(file);
      RWReadScope stream_reader(stream);
      RWReadScope runtime_reader(runtime);
      if (raise) RWCheckIndex(4, 2);
      EXPECT_EQ(runtime_reader.Failed(), raise);
    }
    EXPECT_EQ(file.Error(), raise);
    EXPECT_EQ(stream.Fail(), raise);
    EXPECT_EQ(runtime.fail(), raise);
    EXPECT_EQ(caller.Entry(), raise ? rwtools::IndexErr() : nullptr);
  }
}

}  // namespace
