// The media and booklet option lists: golden stored form, codes by index,
// equality, copies, and stored counts and versions the reader must not
// trust.
#include "config/attributes/option_composite.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::kAllMedia;
using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using model_testing::Save;
using testing_support::Hex;
using testing_support::Unhex;

// GOptMediaComposite(tray 3, auxiliary 7) with codes 1 and 2, serial 0, on
// a file, derived by hand: the magic 0x8888 (u32), class id 796 (u16 1C
// 03), the base part (version 1, key 0, serial 0), the attribute part
// (version 1, state 1), the version 2, the owner id 3 and the auxiliary id
// 7 (u16 each), the count 2 (u32) and the codes as u16: 4 + 2 + 20 + 16 =
// 42 bytes.
constexpr const char* kMediaListBytes =
    "88 88 00 00 1C 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
    "02 00 00 00 03 00 07 00 02 00 00 00 01 00 02 00";

TEST(OptionList, GoldenBytesAndRoundTrips) {
  GOptMediaComposite media(3, 7);
  media.AddCode(1);
  media.AddCode(2);
  media.SetSerialNumber(0);
  std::string file = Save(&media, Medium::kFile);
  EXPECT_EQ(Hex(file), kMediaListBytes);
  EXPECT_EQ(media.GraphStoreSize(), file.size());

  GBookletComposite booklet(4, 9);
  booklet.AddCodePair(10, 0xFFFE);
  booklet.AddCodePair(11, 12);
  const MPersistentObject* lists[] = {&media, &booklet, new GBookletComposite};
  for (const MPersistentObject* list : lists) {
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(list, medium), medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(back.object->IsEqual(list));
      EXPECT_EQ(Save(back.object, Medium::kFile).substr(18), Save(list, Medium::kFile).substr(18));
      delete back.object;
    }
  }
  delete lists[2];
  EXPECT_EQ(booklet.GetSelectorId(), 4);
  EXPECT_EQ(booklet.GetCodeAt(1), -2);  // 0xFFFE as i16
}

TEST(OptionList, CodesEqualityAndCopies) {
  GOptMediaComposite three(5, 0);
  for (std::uint16_t code : {100, 200, 300})
    three.AddCode(code);
  GOptMediaComposite empty;
  struct Case {
    const GOptMediaComposite& list;
    std::int32_t index;
    std::int16_t code;
  };
  const Case cases[] = {{three, 0, 100},         {three, 2, 300}, {three, 3, -1}, {three, -1, -1},
                        {three, 0x7FFFFFFF, -1}, {empty, 0, -1},  {empty, -1, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(c.list.GetCodeAt(c.index), c.code) << c.index;
  EXPECT_EQ(three.GetCount(), 3);
  EXPECT_EQ(three.GetTrayId(), 5);

  GOptMediaComposite other_auxiliary(5, 99), reordered(5, 0), other_owner(6, 0);
  for (std::uint16_t code : {100, 200, 300}) {
    other_auxiliary.AddCode(code);
    other_owner.AddCode(code);
  }
  for (std::uint16_t code : {300, 200, 100})
    reordered.AddCode(code);
  GBookletComposite booklet(5, 0);
  booklet.AddCodePair(100, 200);
  GOptMediaComposite pair(5, 0);
  pair.AddCode(100);
  pair.AddCode(200);
  EXPECT_TRUE(three.IsEqualContent(&other_auxiliary));
  EXPECT_FALSE(three.IsEqualContent(&reordered));
  EXPECT_FALSE(three.IsEqualContent(&other_owner));
  EXPECT_FALSE(pair.IsEqualContent(&booklet));

  // A copy keeps its codes after the original is gone.
  auto* original = new GOptMediaComposite(5, 1);
  original->AddCode(42);
  std::unique_ptr<MPersistentObject> copy(static_cast<MPersistentObject*>(original->CreateCopy()));
  delete original;
  auto* kept = static_cast<GOptMediaComposite*>(copy.get());
  EXPECT_EQ(kept->GetCodeAt(0), 42);
  EXPECT_EQ(kept->GetAuxiliaryId(), 1);

  // No children, but an iterator all the same; Execute answers 1.
  std::unique_ptr<MChildIterator> children(three.NewChildIterator());
  ASSERT_NE(children, nullptr);
  EXPECT_FALSE(children->Next());
  EXPECT_EQ(three.EntryCount(), 1u);

  // The count never outgrows the signed 16-bit GetCount.
  GOptMediaComposite full;
  for (int i = 0; i < 32768; ++i)
    full.AddCode(static_cast<std::uint16_t>(i));
  EXPECT_EQ(full.GetCount(), 32767);
  EXPECT_EQ(full.GetCodeAt(32766), 32766);
}

// Restores of stored versions and counts, into an existing list holding
// code 9 (owner 1, auxiliary 1).
TEST(OptionList, StoredVersionsAndCounts) {
  const std::string kParts =
      "88 88 00 00 1C 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 ";
  struct Case {
    const char* name;
    std::string rest;
    bool ok;
    std::uint16_t owner;
    std::vector<std::int16_t> codes;
  };
  const Case cases[] = {
      {"version 3 keeps the codes",
       "03 00 00 00 03 00 07 00 02 00 00 00 01 00 02 00",
       true,
       3,
       {9}},
      {"version 1 reads them", "01 00 00 00 03 00 07 00 01 00 00 00 05 00", true, 3, {5}},
      {"count 32768", "02 00 00 00 03 00 07 00 00 80 00 00 01 00", false, 3, {}},
      {"count beyond the file", "02 00 00 00 03 00 07 00 00 10 00 00 01 00", false, 3, {}},
      {"one code short", "02 00 00 00 03 00 07 00 02 00 00 00 01 00", false, 3, {}},
      {"cut inside the ids", "02 00 00 00 03 00 07", false, 3, {9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GOptMediaComposite existing(1, 1);
    existing.AddCode(9);
    testing_support::TempPath path("options");
    testing_support::WriteAll(path.str(), Unhex(kParts + c.rest));
    RWFile file(path.c_str(), "rb");
    RestoreCollectableFromFile(file, &existing);
    EXPECT_EQ(!file.Error(), c.ok);
    EXPECT_EQ(existing.GetTrayId(), c.owner);
    ASSERT_EQ(existing.GetCount(), static_cast<std::int16_t>(c.codes.size()));
    for (std::size_t i = 0; i < c.codes.size(); ++i)
      EXPECT_EQ(existing.GetCodeAt(i), c.codes[i]);
  }
}

}  // namespace
