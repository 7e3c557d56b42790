// The sweep's findings, each at the allocations that showed it: every
// allocation of one operation failed in turn (support/failing_allocator.h),
// in this process under a new handler with a one-time reserve, the
// library's errors recorded by a scope.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/chunked_value.h"
#include "driver/driver_data_file.h"
#include "driver/entry_points.h"
#include "driver/extension_manager.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "filters/spool_directory.h"
#include "fonts/font.h"
#include "fonts/load.h"
#include "fonts/tt_file_reader.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "output/core/peripheral_composite.h"
#include "output/port/file_output_target.h"
#include "persist/codec/zlib_compressor.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/port_handler.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"
#include "services/os_factory.h"
#include "support/failing_allocator.h"
#include "support/fixture_printer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/graph.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/plugin/ui_plugin.h"

namespace testing_support {
namespace {

// The library's new handler in miniature: its first call frees a reserve
// (the request is tried again), a later one gives up. It takes the
// threads' lock, as the library's does when it frees memory.
int g_handler_calls = 0;
void ReserveHandler() {
  platform::LiveThreadCount();
  if (g_handler_calls++ > 0) throw std::bad_alloc();
}

// The bytes the heap has handed out and not had back (the sanitizers'
// allocator's count where it stands in for the C library's).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
std::size_t HeapInUse() {
  if (__sanitizer_get_current_allocated_bytes) return __sanitizer_get_current_allocated_bytes();
  return ::mallinfo2().uordblks;
}

// The bytes `operation` left in use. The C library's count takes the
// chunks its per-thread cache keeps for reuse as in use, so a growth is a
// leak only when the same operation, run again, grows the heap again
// (the C library's heap may also end a thread smaller).
template <class Operation>
std::int64_t Leaked(Operation operation) {
  const auto grown = [&] {
    const std::size_t in_use = HeapInUse();
    operation();
    return static_cast<std::int64_t>(HeapInUse() - in_use);
  };
  return grown() <= 0 ? 0 : std::max<std::int64_t>(grown(), 0);
}

// Allocation `n` of `operation` fails; answers whether any did.
template <class Operation>
bool FailingAt(std::uint64_t n, Operation operation) {
  RWErrorScope scope;
  g_handler_calls = 0;
  const std::new_handler before = std::set_new_handler(&ReserveHandler);
  support::ResetAllocations();
  support::FailAllocation(n);
  operation();
  support::FailAllocation(0);
  std::set_new_handler(before);
  return support::AllocationFailed();
}

// A failed append cut "366:1" to "3661": another value's name.
TEST(FailedAllocation, AChunkNameIsWholeOrNone) {
  const RWWString name(u"366");
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    RWWString chunk;
    failed = FailingAt(n, [&] { chunk = ChunkName(name, 1); });
    EXPECT_TRUE(chunk == u"366:1" || (failed && chunk.IsNull())) << n;
  }
}

// Raising an error, and recording it in a scope, never throw when its text
// cannot be copied: a std::bad_alloc there left the raiser mid-way. The
// error counts, its text read from its catalogue entry.
TEST(FailedAllocation, AnErrorIsRaisedAndRecordedWithoutMemory) {
  const std::string text = rwtools::NposIndex()->format;
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    RWErrorScope outer;
    bool threw = false;
    failed = FailingAt(n, [&] {
      g_handler_calls = 1;  // no reserve: the request fails
      try {
        RaiseError(RWError(RWMessageText(rwtools::NposIndex())));
      } catch (const std::bad_alloc&) {
        threw = true;
      }
    });
    EXPECT_FALSE(threw) << n;
    EXPECT_EQ(outer.Count(), 1u) << n;
    EXPECT_EQ(outer.Text(), text) << n;
  }
}

// A copy short of a part was taken, and stored, as the whole. A read that
// memory ran short in (std::bad_alloc out of it) left the object it was
// restoring, and its parts, in no one's hands (the sanitizers' leak check).
TEST(FailedAllocation, ADeepCopyAndAReadAreWholeOrNone) {
  GAttributeComposite tree(366);
  auto* locks = new GAttributeComposite(1102);
  locks->AddChild(new GValueAttribute(7, 1));
  locks->AddChild(new GStringAttribute("watermark", 2));
  tree.AddChild(locks);
  // Enough that the read's table grows while the tree is being read.
  for (std::uint16_t key = 3; key < 40; ++key)
    tree.AddChild(new GValueAttribute(1, key));
  char block[2048];
  GPersistentOutputStream out(block, sizeof block, 1);
  WriteCollectablePointerToStream(*out.VirtualStream(), &tree);
  ASSERT_TRUE(out.VirtualStream()->Good());
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::unique_ptr<MPersistentObject> copy;
    failed = FailingAt(n, [&] { copy.reset(tree.DeepCopy()); });
    EXPECT_TRUE(copy ? copy->NodeCount() == tree.NodeCount() : failed) << n;
  }
  {  // the thread's tables of reads grown once, before anything is counted
    GPersistentInputStream in(block, std::size_t(out.Tell()), 1);
    GAttributeComposite* read = nullptr;
    ReadTypedPointerFromStream(*in.VirtualStream(), read);
    delete read;
  }
  failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    EXPECT_EQ(Leaked([&] {
                GAttributeComposite* read = nullptr;
                failed = FailingAt(n, [&] {
                  g_handler_calls = 1;  // no reserve: the request fails
                  GPersistentInputStream in(block, std::size_t(out.Tell()), 1);
                  RWErrorScope scope;  // its readers take no object whose read raised one
                  try {
                    if (RWVirtualInputStream* stream = in.VirtualStream())
                      ReadTypedPointerFromStream(*stream, read);
                  } catch (const std::bad_alloc&) {
                  }
                  if (scope.Failed()) delete std::exchange(read, nullptr);
                });
                EXPECT_TRUE(read ? read->IsEqualContent(&tree) : failed) << n;
                delete read;
              }),
              0)
        << n;
  }
}

// A read short of memory (a nothrow request answered null, the handler's
// reserve covering the others, or std::bad_alloc unwinding) left objects
// in no one's hands: the heap is measured around each read of the graph
// reader's corpus, and of a graph made here, and the freeing of what it
// answered. Each read runs on a thread of its own, as a host's first call
// on one, so that what a thread makes at its first read is made, and
// failed, inside it. What the process keeps from a new thread's first read
// (a factory reading slot, the C library's thread blocks) is let through
// by reading again; the C library's heap may end a thread smaller. Corpus
// input k fails allocations k % stride + 1 and every stride-th on (17:
// within half a minute under the sanitizers; DRV_SWEEP_STRIDE=1: every
// one, some ten minutes); the made graph fails each.
TEST(FailedAllocation, AReadOfAStoredGraphLeavesNothing) {
  const char* told = std::getenv("DRV_SWEEP_STRIDE");
  const std::uint64_t stride = told && std::atoll(told) > 0 ? std::atoll(told) : 17;
  std::vector<std::tuple<std::string, std::string, std::uint64_t>> inputs;  // name, bytes, stride
  for (const auto& entry : std::filesystem::directory_iterator(DRV_GRAPH_READER_CORPUS))
    inputs.emplace_back(entry.path().filename(), ReadAll(entry.path()), stride);
  ASSERT_GT(inputs.size(), 100u);
  std::sort(inputs.begin(), inputs.end());
  TestItemRegistration items;
  FontsLoad();  // the font reader's class, stored by name
  // The entry of the reader's class name is the one the read's table grows
  // at: the nil object, the list, 27 items and the reader fill 30.
  {
    std::vector<std::unique_ptr<TestItem>> held;
    RWSlistCollectables list;
    for (int i = 0; i < 27; ++i)
      list.Append(held.emplace_back(new TestItem(i)).get());
    GTTFileReader reader(1);
    list.Append(&reader);
    inputs.emplace_back("a class by name", '\1' + SaveToStreamBytes(&list, Encoding::kBinary), 1);
  }
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const auto& [name, bytes, step] = inputs[k];
    for (const int reserve : {1, 0}) {  // a nothrow request answered null; std::bad_alloc
      bool failed = true;
      const auto read = [&](std::uint64_t n) {
        std::thread([&] {
          DeleteGraph(RestoreFromGraphInput(bytes, [&](const std::function<void()>& restore) {
            failed = FailingAt(n, [&] {
              g_handler_calls = 1 - reserve;
              try {
                restore();
              } catch (const std::bad_alloc&) {
              }
            });
          }));
        }).join();
      };
      for (std::uint64_t n = k % step + 1; failed; n += step)
        EXPECT_EQ(Leaked([&] { read(n); }), 0)
            << name << ", allocation " << n << (reserve ? " answered null" : " thrown");
    }
  }
  FontsUnload();
}

// A glyph whose render memory ran short for gives no bitmap, never the
// empty glyph's empty one, and the next render of it (memory back) gives
// the whole bitmap: a renderer that could not be made is tried again.
void RenderEachFailingAllocation() {
  tt_testing::OpenedFont opened(tt_testing::SquareFont(), 40);
  ASSERT_TRUE(opened.opened);
  GTTFontReader* reader = opened.reader.release();  // the pool's from here
  GFontDescriptionRecord record;
  record.selector = 16;
  record.height = 10;
  record.words2[2] = record.words2[4] = 'A';
  record.words2[3] = 'C';
  // The face keeps the reader in the pool; each round starts without a
  // renderer, so that its making fails too.
  GFont anchor(new GTTFontImp(0, record, {}, GTTFontPool::Instance(), reader), nullptr);
  const auto render = [&](GByteBuffer*& out) {
    GGlyphMetrics metrics;
    return anchor.GetImplementation()->GetGlyphBitmap('A', 16, metrics, out);
  };
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    GByteBuffer* out = nullptr;
    reader->DropRenderer();
    failed = FailingAt(n, [&] { render(out); });
    std::unique_ptr<GByteBuffer> held(out);
    EXPECT_TRUE(out ? out->GetSize() == 40 : failed) << n;  // 10 rows of 4 bytes
    GByteBuffer* again = nullptr;
    EXPECT_EQ(render(again), 40u) << n;
    delete again;
  }
}

TEST(FailedAllocation, AGlyphIsRenderedWholeOrNotAtAll) {
  GTTFontPool::CreateInstance();
  RenderEachFailingAllocation();
  GTTFontPool::DestroyInstance();
}

// opendir's allocation failing left every font file of the spool.
TEST(FailedAllocation, ASpoolDirectoryGoesWithoutMemory) {
  TempPath parent("spool");
  ASSERT_EQ(::mkdir(parent.c_str(), 0700), 0);
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::shared_ptr<GSpoolDirectory> spool =
        GSpoolDirectory::Make(RWWString::FromMultiByte(parent.c_str()), "pages", ".spl");
    ASSERT_TRUE(spool && spool->CreateFile("font-1") && spool->CreateFile("font-2"));
    failed = FailingAt(n, [&] { spool.reset(); });
    EXPECT_TRUE(std::filesystem::is_empty(parent.str())) << n;
  }
  std::filesystem::remove_all(parent.str());
}

// An open for update whose stream memory ran short made the file anew,
// empty, and said nothing of memory.
TEST(FailedAllocation, AFileOpenedForUpdateKeepsItsBytes) {
  TempPath path("update");
  WriteAll(path.str(), "earlier");
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::unique_ptr<RWFile> file;
    const std::uint32_t before = RWOutOfMemoryRaised();
    failed = FailingAt(n, [&] { file = std::make_unique<RWFile>(path.c_str()); });
    EXPECT_TRUE(file->IsValid() || RWOutOfMemoryRaised() != before) << n;
    file.reset();
    EXPECT_EQ(ReadAll(path.str()), "earlier") << n;
  }
}

// A port is ready, its file made, or nothing is: no file stays open or on
// disk when its handle's entry could not be had (the reserve spent).
TEST(FailedAllocation, AFilePortMakesItsFileOrNothing) {
  TempPath folder("port");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Out", folder.str()));
  const RWWString path(u"C:\\Out\\job.prn");
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    std::unique_ptr<GFileOutputTarget> port;
    failed = FailingAt(n, [&] {
      g_handler_calls = 1;  // no reserve: the request fails
      try {
        port = std::make_unique<GFileOutputTarget>(path);
      } catch (const std::bad_alloc&) {
      }
    });
    const bool ready = port && port->IsReady();
    EXPECT_EQ(std::filesystem::is_empty(folder.str()), !ready) << n;
    EXPECT_EQ(platform::OpenFileCount(), ready ? 1u : 0u) << n;
  }
  std::filesystem::remove_all(folder.str());
}

// An attach that memory ran short in answers 0 with the last error 8 and
// leaves the process as it found it (the next attach goes through); else
// it answers 1. Each allocation fails in turn (or two in a row), in a fresh
// process (no services, no server) and after an attach and detach, with
// the keep-alive idle (its thread refused: a thread's start is the C
// library's) or still armed. [NOMEM] reaches a handler that returns.
TEST(FailedAllocation, AnAttachIsWholeOrLeavesNothing) {
  platform::ResetHostServices();
  platform::UseManualWaitClock();
  const RWErrorHandler error_handler = SetErrorHandler([](const RWError&) {});
  const auto call = [](platform::DWORD reason) {
    return DllMain(platform::OwnModule(), reason, nullptr);
  };
  const auto drain = [] {  // a watcher lets go two periods after an activity
    ModuleKeepAlive().MarkActivity();
    for (int i = 0; i < 4 && platform::AwaitThreadsIdle() && platform::LiveThreadCount(); ++i)
      platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
    return platform::AwaitThreadsIdle() && platform::LiveThreadCount() == 0;
  };
  // The last error the host's thread held before: a failed attach answers
  // 8 whatever it was, and whichever step ran short.
  const std::tuple<bool, bool, int, platform::DWORD> rows[] = {
      {true, false, 1, 0}, {false, false, 1, 5}, {true, true, 2, 5}, {false, true, 2, 0}};
  for (const auto& [fresh, armed, in_a_row, stale] : rows) {
    // The watcher has started before anything fails.
    ASSERT_TRUE(!armed || (call(kDllProcessAttach) && call(kDllProcessDetach) &&
                           platform::AwaitThreadsIdle()));
    for (std::uint64_t n = 1, failed = 1; failed; ++n) {
      SCOPED_TRACE(testing::Message() << fresh << armed << in_a_row << " " << n);
      if (fresh) GOSFactory::SetInstance(nullptr), delete GDriverServer::Instance();
      const std::new_handler handler = std::get_new_handler();
      const auto held = platform::GetModuleCounters(platform::kDefaultOwnModulePath).references;
      const std::size_t threads = platform::LiveThreadCount();
      GOSFactory* const services = GOSFactory::Instance();
      GDriverServer* const server = GDriverServer::Instance();
      platform::SetThreadCreationFailure(true);
      support::ResetAllocations();
      support::FailAllocation(n, support::Shortage::kBrief, in_a_row);
      platform::SetLastError(stale);
      const platform::BOOL attached = call(kDllProcessAttach);
      const platform::DWORD error = platform::GetLastError();
      support::FailAllocation(0);
      platform::SetThreadCreationFailure(false);
      failed = support::AllocationFailed();
      EXPECT_TRUE(attached == 1 ||
                  (attached == 0 && error == platform::kErrorNotEnoughMemory &&
                   std::get_new_handler() == handler && !OutOfMemoryReserveHeld() &&
                   platform::LiveThreadCount() == threads && GOSFactory::Instance() == services &&
                   GDriverServer::Instance() == server && !LibraryModule() &&
                   !DocumentEventTable() && !DocumentEventLock() &&
                   !GPortHandlerRegistry::Instance().Find(kAgentProviderName) &&
                   call(kDllProcessAttach) == 1));
      EXPECT_EQ(call(kDllProcessDetach), 1);
      EXPECT_TRUE(armed || drain());
      EXPECT_EQ(platform::GetModuleCounters(platform::kDefaultOwnModulePath).references, held);
    }
    EXPECT_TRUE(drain());
  }
  SetErrorHandler(error_handler);
}

class FailedAllocationOnASheet : public PluginFixture {};

// A destroy that memory ran short in (the library's handler spent, the
// resource library's release short) answers -1, which its success never
// does, and lets go of the sheet's pages, context and library all the same.
TEST_F(FailedAllocationOnASheet, ADestroyShortOfMemorySaysSo) {
  host.page_flags = kUIDocumentPages | kUIDevicePages;
  InstallOutOfMemoryHandler(0);
  bool refused = false;
  for (std::uint64_t n = 1, failed = 1; failed; ++n) {
    PluginRecords records(host, 10, 10);
    ASSERT_GT(UI_INITIALIZE(&host, 0), 0);
    for (int i = 0; i < 8 && OutOfMemoryHandler(0) != 0; ++i) {
    }
    RWErrorScope scope;
    support::ResetAllocations();
    support::FailAllocation(n);
    const std::int16_t answer = UI_DESTROY(&host);
    support::FailAllocation(0);
    failed = support::AllocationFailed();
    EXPECT_EQ(answer,
              failed && platform::GetLastError() == platform::kErrorNotEnoughMemory ? -1 : 0);
    refused = refused || answer == -1;
    EXPECT_TRUE(!host.context && ResourceLibraryLoads() == 0) << n;
  }
  EXPECT_TRUE(refused);
  RemoveOutOfMemoryHandler();
}

class FailedAllocationOnP1 : public PrinterFixture {};

// Memory running out inside an association's making left half an entry
// (no key or no value) in the printer's tray or bin map.
TEST_F(FailedAllocationOnP1, ExtensionMapEntriesAreWholeOrNone) {
  // One device of one tray, one of one bin, laid out as an extension's.
  ExtensionDriverTable table{};
  table.get_tray_map = [](const void** records, std::uint16_t* count, std::uint16_t) {
    static const struct {
      ExtensionDeviceRecord device;
      ExtensionTrayItem tray;
    } kTrays{{"Ext", 1, 0}, {"Top", 0, 7}};
    *records = &kTrays, *count = 1;
    return kExtOk;
  };
  table.get_bin_map = [](const void** records, std::uint16_t* count, std::uint16_t) {
    static const struct {
      ExtensionDeviceRecord device;
      ExtensionBinItem bin;
    } kBins{{"Ext", 1, 0}, {"Up", 1, 0, "UP"}};
    *records = &kBins, *count = 1;
    return kExtOk;
  };
  GDriverContext* data = DriverData();
  ASSERT_TRUE(data);
  MAssociationList empty;  // P1 has no job-language bin map
  ASSERT_NE(GOSFactory::Instance()->StoreNamedObject(data, RWWString(kWQMBinMapName), &empty), 0);
  GExtensionManager& manager = *data->GetExtensionManager();
  const std::uint32_t flags = kExtHasTrayMap | kExtHasBinMap;
  bool failed = true;
  for (std::uint64_t n = 1; failed; ++n) {
    failed = FailingAt(n, [&] { manager.ApplyMaps(table, flags); });
    for (const char16_t* name : {kPDLTrayMapName, kWQMBinMapName}) {
      std::unique_ptr<RWCollectable> stored(
          GOSFactory::Instance()->LoadNamedObject(data, RWWString(name), 0));
      auto* map = dynamic_cast<MAssociationList*>(stored.get());
      for (RWSize i = 0; map && i < map->Children().Count(); ++i) {
        auto* entry = dynamic_cast<MPersistentAssociation*>(map->Children()[i].Get());
        EXPECT_TRUE(entry && entry->Key() && entry->Value()) << n;
      }
    }
    manager.RemoveMaps(table, flags);
  }
}

// A call that fails for want of memory says so as a platform call does
// (zlib's state included, and a driver data file's read in its error
// scope), under the library's own new handler, and stores nothing: the
// driver default's conversion, whose printer record could not be read,
// stored the defaults' over it.
TEST_F(FailedAllocationOnP1, ACallShortOfMemorySaysSo) {
  GDriverContext* data = DriverData();
  ASSERT_TRUE(data);
  const RWWString file = RWWString::FromMultiByte(HostPath(support::kFixtureDataFileName).c_str());
  const std::string settings(4000, 's');
  char packed[64] = {};
  const auto pack = [&] {
    return GZlibCompressor().Compress(settings.data(), settings.size(), packed, sizeof packed) != 0;
  };
  const auto load = [&] {
    GPersistentInputStream stream(file, GOSFactory::kBinaryEncoding);
    return LoadDriverDataFile(stream, *data);
  };
  platform::HANDLE printer = nullptr;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(support::kFixturePrinter, &printer, &all), 1);
  std::vector<std::uint8_t> record(kFullDevModeSize);
  const auto document = [&] {
    return DrvDocumentProperties(nullptr, printer, support::kFixturePrinter,
                                 reinterpret_cast<platform::DevModeW*>(record.data()), nullptr,
                                 platform::kDmModeCopy) == 1;
  };
  platform::LONG size = kFullDevModeSize;
  const auto driver_default = [&] {
    return DrvConvertDevMode(support::kFixturePrinter, nullptr,
                             reinterpret_cast<platform::DevModeW*>(record.data()), &size,
                             platform::kCdmDriverDefault) == 1;
  };
  // Each call is first warmed on its thread with nothing failing, short of
  // what the call must make itself (a deflate state, not its holder).
  const struct {
    const char* name;
    std::function<bool()> warm, call;
  } kCalls[] = {
      {"packing", [&] { return GZlibCompressor().Expand(packed, 0, packed, 1) == 0; }, pack},
      {"loading", load, load},
      {"a device mode", document, document},
      {"the driver default", driver_default, driver_default},
  };
  InstallOutOfMemoryHandler(0);
  for (const auto& row : kCalls) {
    bool failed = true;
    for (std::uint64_t n = 1; failed; ++n) {
      std::thread([&] {
        row.warm();
        const std::uint64_t stamp = platform::GetPrinterChangeStamp(printer);
        RWErrorScope scope;
        RestoreOutOfMemoryReserve();
        platform::SetLastError(platform::kErrorSuccess);
        support::ResetAllocations();
        support::FailAllocation(n);
        const bool done = row.call();
        support::FailAllocation(0);
        failed = support::AllocationFailed();
        EXPECT_TRUE(done || platform::GetLastError() == platform::kErrorNotEnoughMemory)
            << row.name << " " << n << " last error " << platform::GetLastError();
        EXPECT_EQ(platform::GetPrinterChangeStamp(printer), stamp) << row.name << " " << n;
      }).join();
    }
  }
  RemoveOutOfMemoryHandler();
  platform::ClosePrinter(printer);
}

}  // namespace
}  // namespace testing_support
