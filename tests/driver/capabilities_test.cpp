// The spooler's queries on the printer fixture: capabilities, the print-job
// query and the upgrade.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/font_sources.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "driver/device_capabilities.h"
#include "driver/devmode/dev_mode_record.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "persist/resource_mapping.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "tests/support/printer_fixture.h"

namespace {

using platform::BYTE;
using platform::DWORD;

class Queries : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    // The resource library's strings (the library lies outside).
    ASSERT_TRUE(platform::AddModule(
        {u"C:\\Drv\\KVQCF.DLL",
         {},
         {{10551, u"Tray 1"},
          {10552, u"Tray 2 Is Longer Than 23"},
          {10120, u"User Defined"},
          {12003, u"Paper size not supported on the device"},
          {12005, u"Mismatch: User selected duplexing when duplex unit not installed."}}}));
    // Letter (mapped: paper 1), a user form inside the custom range and one
    // beyond it; in micrometres.
    platform::AddServerForm(u"", platform::kFormBuiltin, u"Letter", 215900, 279400);
    platform::AddServerForm(u"", platform::kFormUser, u"Card", 100000, 150000);
    platform::AddServerForm(u"", platform::kFormUser, u"Huge", 500000, 700000);
    ASSERT_NE(context_ = DriverData(), nullptr);
    ASSERT_EQ(context_->BindDevMode(nullptr), 1);
    const GDevModeView view(context_->GetDevModeSettings()->GetDevMode());
    record_.assign(view.Bytes(), view.Bytes() + view.Length());
  }

  DWORD Ask(platform::WORD code, void* output = nullptr) {
    return context_->DrvDeviceCapabilities(nullptr, u"P1", code, output, Record());
  }
  const platform::DevModeW* Record() {
    return reinterpret_cast<const platform::DevModeW*>(record_.data());
  }
  GAttributeComposite* Bound() { return context_->GetDevModeSettings()->GetSettings(); }

  GDriverContext* context_ = nullptr;
  std::vector<BYTE> record_;
};

void RemoveEvery(GAttributeComposite& in, std::uint32_t key) {
  while (MPersistentObject* found = in.RemoveByKey(key))
    delete found;
  for (RWSize i = 0; i < in.Children().Count(); ++i) {
    if (auto* inner = dynamic_cast<GAttributeComposite*>(in.Children()[i].Get()))
      RemoveEvery(*inner, key);
  }
}

std::vector<BYTE> Bytes(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const BYTE*>(data);
  return {bytes, bytes + size};
}

TEST_F(Queries, AnswersByCode) {
  // The resolution list becomes 600 x 600 twice, then 1200 x 1200.
  GAttributeComposite* resolutions = context_->GetResolutionList();
  ASSERT_NE(resolutions, nullptr);
  resolutions->RemoveAll();
  for (int dpi : {600, 600, 1200}) {
    auto* entry = new GAttributeComposite(0);
    entry->AddChild(new GValueAttribute(dpi, kXResolutionKey));
    entry->AddChild(new GValueAttribute(dpi, kYResolutionKey));
    resolutions->AddChild(entry);
  }
  GValueAttribute* rotation = FindValueAttribute(Bound(), 265);
  ASSERT_NE(rotation, nullptr);
  const struct {
    platform::WORD code;
    std::uint32_t flags;
    int rotation;  // -1: absent
    DWORD answer;
  } cases[] = {
      {kDcExtra, 0, 0, kDmDriverExtraValue},
      {kDcExtra, 0x100, 0, 0},
      {kDcSize, 0, 0, kDmPublicSize},
      {kDcVersion, 0, 0, kDmSpecVersionValue},
      {kDcDriver, 0, 0, kDmDriverVersionValue},
      {kDcOrientation, 0, 270, 270},
      {kDcOrientation, 0, 180, 270},
      {kDcOrientation, 0, 90, 90},
      {kDcOrientation, 0, -1, 0},
      {19, 0, 0, kCapabilityFailed},
      {20, 0, 0, kCapabilityFailed},
      {21, 0, 0, kCapabilityFailed},
      {kDcTrueType, 0, 0, 2},
      {kDcCopies, 0, 0, 999},
      {kDcCollate, 0, 0, 0},
      {kDcDuplex, 0, 0, 0},
      {kDcEnumResolutions, 0, 0, 2},
      {kDcHelpQuery, 0, 0, kHelpRecordSize},
      // 1800 x 3000 dots at 600 dpi: 762 x 1270 tenths of a millimetre.
      {kDcMinExtent, 0, 0, 0x04F602FA},
      {kDcFileDependencies, 0, 0, 0},
  };
  for (const auto& c : cases) {
    context_->ApplyAppFlags(c.flags);
    if (c.rotation >= 0 && !FindValueAttribute(Bound(), 265))
      Bound()->AddChild(new GValueAttribute(0, 265));
    if (c.rotation >= 0) FindValueAttribute(Bound(), 265)->SetValue(c.rotation);
    if (c.rotation < 0) RemoveEvery(*Bound(), 265);
    EXPECT_EQ(Ask(c.code), c.answer) << c.code << " " << c.flags;
  }
  context_->ApplyAppFlags(0);
  // 600 x 600 once, then 1200 x 1200, as x, y pairs.
  BYTE pairs[16] = {};
  EXPECT_EQ(Ask(kDcEnumResolutions, pairs), 2u);
  EXPECT_EQ(Bytes(pairs, 16),
            (std::vector<BYTE>{0x58, 2, 0, 0, 0x58, 2, 0, 0, 0xB0, 4, 0, 0, 0xB0, 4, 0, 0}));
  // A bind that fails answers -1 for every code.
  const GDevModeSettingsMaker maker = SetDevModeSettingsMaker(nullptr);
  EXPECT_EQ(context_->DrvDeviceCapabilities(nullptr, u"P1", kDcSize, nullptr, nullptr),
            kCapabilityFailed);
  EXPECT_EQ(context_->DrvDeviceCapabilities(nullptr, u"P1", kDcSize, nullptr, nullptr),
            kCapabilityFailed);
  SetDevModeSettingsMaker(maker);
}

// Lists: the count call writes nothing and agrees with the fill call, which
// writes exactly that many entries (a canary entry stays).
TEST_F(Queries, ListsCountThenFill) {
  const struct {
    platform::WORD code;
    std::size_t entry;
  } lists[] = {
      {kDcBins, 2}, {kDcBinNames, 48}, {kDcPapers, 2}, {kDcPaperSize, 8}, {kDcPaperNames, 128}};
  for (const auto& list : lists) {
    const DWORD count = Ask(list.code);
    ASSERT_NE(count, kCapabilityFailed) << list.code;
    std::vector<BYTE> out((count + 1) * list.entry, 0xEE);
    EXPECT_EQ(Ask(list.code, out.data()), count) << list.code;
    EXPECT_EQ(Bytes(out.data() + count * list.entry, list.entry),
              std::vector<BYTE>(list.entry, 0xEE))
        << list.code;
  }
  // Trays in the order of list 1114 (4, 1, 2; 7 has no mapping, 3 is not
  // installed): spooler bins 260, 257, 258.
  platform::WORD bins[3] = {};
  ASSERT_EQ(Ask(kDcBins, bins), 3u);
  EXPECT_EQ(Bytes(bins, 6), (std::vector<BYTE>{4, 1, 1, 1, 2, 1}));
  // Names: tray 4's string is missing (the slot starts with 0); " Tray 1"
  // zero-filled; tray 2's is cut to 24 units without a terminator.
  char16_t names[3][kBinNameUnits];
  std::memset(names, 0xAA, sizeof names);
  ASSERT_EQ(Ask(kDcBinNames, names), 3u);
  EXPECT_EQ(names[0][0], 0);
  std::vector<BYTE> tray1 = {0x20, 0, 0x54, 0, 0x72, 0, 0x61, 0, 0x79, 0, 0x20, 0, 0x31, 0};
  tray1.resize(48, 0);
  EXPECT_EQ(Bytes(names[1], 48), tray1);
  EXPECT_EQ(std::u16string(names[2], kBinNameUnits), u" Tray 2 Is Longer Than 2");
  // Papers: Letter (1), Card (2; "Huge" passes the range), and the
  // user-defined size 256 of 1260 x 1261 last.
  platform::WORD papers[3] = {};
  std::int32_t sizes[6] = {};
  char16_t paper_names[3][kPaperNameUnits] = {};
  ASSERT_EQ(Ask(kDcPapers, papers), 3u);
  ASSERT_EQ(Ask(kDcPaperSize, sizes), 3u);
  ASSERT_EQ(Ask(kDcPaperNames, paper_names), 3u);
  EXPECT_EQ(std::vector<int>(papers, papers + 3), (std::vector<int>{1, 2, 256}));
  EXPECT_EQ(std::vector<int>(sizes, sizes + 6),
            (std::vector<int>{2159, 2794, 1000, 1500, 2159, 2794}));
  EXPECT_EQ(std::u16string(paper_names[1]), u"Card");
  EXPECT_EQ(std::u16string(paper_names[2]), u"User Defined");
  // A form linked to a tray: the one bin that forms select.
  auto* database = FindOfClass<GFormToTrayDatabase>(context_->CurrentDefaultSettings(), 510);
  ASSERT_NE(database, nullptr);
  GFormToTrayLinks(*database).SetAssociationWithName(1, 16385, 11913, "");
  std::memset(names, 0xAA, sizeof names);
  ASSERT_EQ(Ask(kDcBins, bins), 1u);
  ASSERT_EQ(Ask(kDcBinNames, names), 1u);
  EXPECT_EQ(bins[0], 15);
  EXPECT_EQ(std::u16string(names[0]), u"Form Select");
}

// What a parked context keeps of the bin and paper answers goes when the
// printer changes under it: its tray map rewritten in printer data, a form
// added through another handle. Context A is the fixture's; B answers the
// entry point and is parked between calls.
TEST_F(Queries, KeptAnswersFollowThePrinter) {
  platform::HANDLE other = nullptr;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &other, &all), 1);
  const auto bins = [&](bool parked) {
    platform::WORD out[4] = {};
    const DWORD count =
        parked ? DrvDeviceCapabilities(other, u"P1", kDcBins, out, Record()) : Ask(kDcBins, out);
    return std::vector<int>(out, out + (count == kCapabilityFailed ? 0 : count));
  };
  const auto papers = [&](bool parked) {
    return parked ? DrvDeviceCapabilities(other, u"P1", kDcPapers, nullptr, Record())
                  : Ask(kDcPapers);
  };
  for (bool parked : {false, true}) {
    EXPECT_EQ(bins(parked), (std::vector<int>{260, 257, 258})) << parked;
    EXPECT_EQ(papers(parked), 3u) << parked;
  }
  // Tray 1 (bin 257) loses its mapping in the stored map.
  auto* map = dynamic_cast<GResourceMappingList*>(context_->GetTrayMap());
  ASSERT_NE(map, nullptr);
  std::unique_ptr<MPersistentObject> copy(map->DeepCopy());
  auto* fewer = static_cast<GResourceMappingList*>(copy.get());
  delete fewer->RemoveBySecondNumber(1);
  ASSERT_EQ(Services().StoreNamedObject(context_, RWWString(u"VROOSTrayMap"), fewer), 1);
  // A form that fits the custom size range, added by another program.
  const platform::FormInfo1W form{platform::kFormUser,
                                  const_cast<char16_t*>(u"Postcard"),
                                  {100000, 148000},
                                  {0, 0, 100000, 148000}};
  ASSERT_EQ(platform::AddFormW(other, 1, reinterpret_cast<const BYTE*>(&form)), 1);
  for (bool parked : {false, true}) {
    EXPECT_EQ(bins(parked), (std::vector<int>{260, 258})) << parked;
    EXPECT_EQ(papers(parked), 4u) << parked;
  }
  platform::ClosePrinter(other);
}

TEST_F(Queries, HelpRecordWritesOnlyItsTexts) {
  std::vector<BYTE> record(kHelpRecordSize, 0xAA);
  ASSERT_EQ(Ask(kDcHelpQuery, record.data()), kHelpRecordSize);
  // 20553 = 0x5049, then each text and its NUL at 2, 514 and 1026.
  std::vector<BYTE> expected(kHelpRecordSize, 0xAA);
  expected[0] = 0x49, expected[1] = 0x50;
  std::memcpy(&expected[2], "KVTRC6", 7);
  std::memcpy(&expected[514], "syshnts.hlp", 12);
  std::memcpy(&expected[1026], "hints_system", 13);
  EXPECT_EQ(record, expected);
}

TEST_F(Queries, PrintJobQuery) {
  const struct {
    std::uint32_t mask, id;
  } reasons[] = {{2, 12003},      {0xC, 12003},    {0x10000, 12003},
                 {0x200, 12004},  {0x2400, 12002}, {0x1000, 12005},
                 {0x8000, 12006}, {0x600, 12001},  {0, 12001}};
  for (const auto& reason : reasons)
    EXPECT_EQ(DeviceQueryReasonId(reason.mask), reason.id) << reason.mask;
  // Duplex asked of a printer without a duplex unit (duplex modes 0 to 0).
  FindOfClass<GRangeAttribute>(context_->GetJobSettings(), 203)->SetMaximum(0);
  std::vector<BYTE> job = record_;
  StoreU16(job.data(), kDmDuplex, kDmVertical);
  SetFieldBit(job.data(), kDmDuplexBit, true);
  char16_t text[40];
  std::fill(std::begin(text), std::end(text), u'#');
  platform::DevQueryPrintInfo info{24,
                                   1,
                                   reinterpret_cast<platform::HANDLE>(1),
                                   reinterpret_cast<platform::DevModeW*>(job.data()),
                                   text,
                                   40,
                                   0};
  EXPECT_EQ(context_->DevQueryPrintEx(&info), 0);
  EXPECT_EQ(std::u16string(text), u"Mismatch: User sele");
  EXPECT_EQ(text[20], u'#');
  EXPECT_EQ(info.error_text_needed, 66u);
  // A record of another size, or no device mode.
  info.size = 23;
  EXPECT_EQ(context_->DevQueryPrintEx(&info), 0);
  info.size = 24, info.dev_mode = nullptr;
  EXPECT_EQ(context_->DevQueryPrintEx(&info), 1);
}

// A job's form name prints when it names a form the printer's form table
// takes: case ignored, as the spooler compares; a user's form in range too.
TEST_F(Queries, TheJobsFormNameIsOneOfThePrintersForms) {
  platform::HANDLE p1 = nullptr;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &p1, &all), 1);
  char16_t text[64];
  SetFieldBit(record_.data(), kDmFormNameBit, true);
  platform::DevQueryPrintInfo info{24,   1,           p1, const_cast<platform::DevModeW*>(Record()),
                                   text, sizeof text, 0};
  for (auto [name, printable] :
       {std::pair{u"Letter", 1}, {u"lETTER", 1}, {u"Card", 1}, {u"Huge", 0}, {u"Nope", 0}}) {
    StoreName(record_.data(), kDmFormName, RWWString(name)), text[0] = 0;
    EXPECT_EQ(::DevQueryPrintEx(&info), printable) << RWWString(name).ToMultiByte().Data();
    EXPECT_EQ(std::u16string(text), printable ? u"" : u"Paper size not supported on the device");
  }
  platform::ClosePrinter(p1);
}

TEST_F(Queries, UpgradeEnablesSourcesOnlyWithStoredOptions) {
  platform::DriverUpgradeInfo1 record{const_cast<char16_t*>(u"P1"), nullptr};
  auto* bytes = reinterpret_cast<BYTE*>(&record);
  platform::SetLastError(0);
  EXPECT_EQ(context_->DrvUpgradePrinter(2, bytes), 0);
  EXPECT_EQ(platform::GetLastError(), 87u);
  // "DisabledMSDs" holds two bits per source (2 or 3: the user switched it
  // off); the states of sources 3 and 6 to 9 before and after, as digits.
  const struct {
    bool stored;
    std::uint32_t before;
    const char* after;
  } cases[] = {
      {false, 0, "00000"},
      {true, 0, "01111"},
      {true, 2u << 6, "21111"},                         // bit 7 is source 3's
      {true, 2u << 14 | 3u << 16 | 1u << 18, "01231"},  // 7 and 8 stay off
  };
  for (const auto& c : cases) {
    ASSERT_EQ(SetDisabledMsds(context_, c.before), 1);
    // Stored as the initialise event stores them.
    std::unique_ptr<GAttributeComposite> defaults(context_->BuildDefaultSettings());
    ASSERT_EQ(context_->SaveSettings(defaults.get(), 1), 1);
    if (!c.stored) {
      ASSERT_EQ(Services().DeletePrinterDataValue(context_, u"365"), 1);
    }
    EXPECT_EQ(context_->DrvUpgradePrinter(1, bytes), 1);
    std::string states;
    for (std::uint32_t index : {3, 6, 7, 8, 9})
      states += std::to_string(GetMsdState(context_, index));
    EXPECT_EQ(states, c.after) << c.before;
    EXPECT_EQ(context_->DrvUpgradePrinter(2, bytes), 0);
  }
}

// Eight threads ask P1's capabilities through the entry point at once.
TEST_F(Queries, EightThreadsThroughTheEntryPoint) {
  std::atomic<int> faults{0};
  const platform::DevModeW* record = Record();
  auto ask = [&faults, record] {
    platform::HANDLE printer = nullptr;
    if (platform::OpenPrinterW(u"P1", &printer, nullptr) != 1) ++faults;
    for (int round = 0; round < 5; ++round) {
      std::vector<char16_t> names(4 * kPaperNameUnits);
      if (DrvDeviceCapabilities(printer, u"P1", kDcPaperNames, nullptr, record) != 3 ||
          DrvDeviceCapabilities(printer, u"P1", kDcPaperNames, names.data(), record) != 3 ||
          DrvDeviceCapabilities(printer, u"P1", kDcBins, nullptr, record) != 3) {
        ++faults;
      }
    }
    platform::ClosePrinter(printer);
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back(ask);
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(faults.load(), 0);
}

}  // namespace
