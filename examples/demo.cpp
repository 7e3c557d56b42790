// A tour of the library: strings, narrow and wide, saved to a binary file,
// read back, and shown next to the file's bytes; an object graph in portable
// text; a small settings tree as a device mode carries it, in the flat
// settings record, compressed with zlib and expanded again; and, headless,
// printer P1 of the acceptance tests driven from the outside: document
// properties through the exported entry point with the document sheet worked
// as a user works it, the record it leaves, and the escape records a
// document printed with that record sends to the rendering side.
//
// demo [--help]: its files (the strings' file, P1's folder) live in a
// folder of its own in the temporary folder, so that runs at once do not
// meet, removed however the run ends (program_files/run.h). Exit status 0
// when all went well; 1 when not, with one line on standard error that
// names what failed and why (a file not written, P1 not installed, a call
// of P1's that answered failure, a step of P1's sheet refused, standard
// output not written, memory or a thread refused); 2 for a usage error
// (the complaint and the usage line). What a call answered is used only
// when it answered success: a sheet that could not be shown ends the run,
// its record unread.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"
#include "flat_settings/flat_settings_codec.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/catalogue.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "foundation/rw/wstring.h"
#include "persist/codec/zlib_compressor.h"
#include "persist/persistent_stream.h"
#include "platform/host/modules.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/system.h"
#include "platform/host/version_info.h"
#include "platform/ui/device_context.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/ui_host.h"
#include "services/os_factory.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"

namespace {

void PrintBytes(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::printf("%02X%c", static_cast<unsigned char>(bytes[i]), (i % 16 == 15) ? '\n' : ' ');
  }
  std::printf("\n");
}

// Document settings (kDocumentSettingsKey): duplex 3 (kDuplexKey), 600
// dots per inch (kXResolutionKey), the paper "Letter" (kMediaTypeKey);
// written as a device mode's flat record, then packed as its private part
// is. Answers what failed, empty when all went well.
std::string ShowSettingsRecord() {
  GAttributeComposite settings(kDocumentSettingsKey);
  settings.AddChild(new GValueAttribute(3, kDuplexKey));
  settings.AddChild(new GValueAttribute(600, kXResolutionKey));
  settings.AddChild(new GStringAttribute("Letter", kMediaTypeKey));

  std::string block(4096, '\0');
  GPersistentOutputStream stream(block.data(), block.size(), GOSFactory::kBinaryEncoding);
  GFlatSettingsCodec codec;
  if (!codec.Encode(&settings, stream.VirtualStream(), &stream, 0) ||
      !stream.VirtualStream()->Good())
    return "the settings record could not be written";
  std::string record = block.substr(0, static_cast<std::size_t>(stream.Tell()));
  std::cout << "\nsettings record (" << record.size() << " bytes, marker first):\n";
  PrintBytes(record);

  std::istringstream plain(record);
  std::ostringstream packed;
  GZlibCompressor zlib;
  // The record gains from compression: a 0 is a failure (memory).
  if (!zlib.Compress(plain, packed)) return "the settings record could not be compressed";
  std::istringstream packed_in(packed.str());
  std::ostringstream expanded;
  if (!zlib.Expand(packed_in, expanded)) return "the settings record could not be expanded";
  std::cout << "compressed to " << packed.str().size() << " bytes; expanded "
            << (expanded.str() == record ? "exactly" : "WRONGLY") << "\n";
  return "";
}

// ---- P1 from the outside (support/acceptance_install.h).

using support::Record;

std::string Narrow(const std::u16string& text) {
  return RWWString(text.c_str()).ToMultiByte().Data();
}

// `count` bytes of `record` from `at`, in hex.
std::string Hex(const Record& record, std::size_t at, std::size_t count) {
  std::string text;
  char byte[4];
  for (std::size_t i = at; i < at + count && i < record.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%s%02X", i == at ? "" : " ", record[i]);
    text += byte;
  }
  return text;
}

unsigned Word(const Record& record, std::size_t at) {
  return record[at] | unsigned(record[at + 1]) << 8;
}

// What the user does (acceptance_scenario.h), what the sheet showed and the
// record it leaves in `out`. Answers what failed, empty when the call
// answered IDOK and its record decodes; `out` is then the record, and
// is otherwise never read.
std::string ShowSheet(const support::AcceptanceInstall& install, Record& out) {
  Record in = support::ScenarioRequest(install, install.Printer(), support::kFixturePrinter);
  if (in.empty()) return "P1 gave no default device mode";
  platform::ClearPropertySheetLog();
  support::ScenarioSheet seen;
  support::QueueScenarioSheet(false, &seen);
  // Bytes the call leaves alone show as EE.
  out.assign(support::kAcceptanceRecordBytes, 0xEE);
  const platform::LONG answer = support::DocumentProperties(
      install, install.Printer(), support::kFixturePrinter, &out, &in,
      platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  std::cout << "DrvDocumentProperties(DM_COPY | DM_PROMPT | DM_MODIFY) answers " << answer << "\n";
  if (answer != platform::kIdOk)
    return "P1's document sheet: DrvDocumentProperties answered " + std::to_string(answer);
  std::cout << "sheet: " << seen.pages << " pages; opened:";
  for (const std::u16string& caption : seen.opened)
    std::cout << " \"" << Narrow(caption) << "\"";
  std::string reasons, last;
  for (const std::string& event : platform::PropertySheetLog()) {
    if (!event.starts_with("reason ") || event == last) continue;
    reasons += (reasons.empty() ? "" : " ") + event.substr(7);
    last = event;
  }
  std::cout << "\nsheet procedure reasons: " << reasons << "\n";
  for (const platform::MessageBoxRecord& box : platform::MessageBoxLog()) {
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", box.flags);
    std::cout << "box \"" << Narrow(box.caption) << "\" " << flags << ": \"" << Narrow(box.text)
              << "\" answered " << box.answer << "\n";
  }
  std::printf(
      "record out: dmSpecVersion 0x%04X, dmDriverVersion 0x%04X, dmSize %u, dmDriverExtra %u, "
      "dmOrientation %u, dmDuplex %u\n",
      Word(out, 64), Word(out, 66), Word(out, 68), Word(out, 70), Word(out, 76), Word(out, 94));
  const std::pair<std::size_t, std::size_t> ranges[] = {{64, 8},  {76, 2},  {94, 2},
                                                        {220, 4}, {262, 4}, {270, 2}};
  for (const auto& [at, count] : ranges)
    std::cout << "  bytes " << at << "-" << at + count - 1 << ": " << Hex(out, at, count) << "\n";
  std::unique_ptr<GAttributeComposite> settings =
      support::DecodeRecord(install.Printer(), support::kFixturePrinter, out);
  if (!settings) return "the device mode P1's document sheet handed back does not decode";
  GStringAttribute* paper = FindStringAttribute(settings.get(), kMediaTypeKey);
  std::cout << "decoded: 253 (duplex) = " << SignedValueOr(settings.get(), kDuplexKey, -1)
            << ", 261 (paper type) = \"" << (paper ? paper->GetValue().Data() : "") << "\""
            << ", 265 (orientation) = " << SignedValueOr(settings.get(), kOrientationKey, -1)
            << "\n";
  return "";
}

// The document events in the order a host sends them for one document of
// two pages; delete-DC, which gives the document back, last.
constexpr std::pair<int, const char*> kDocumentEvents[] = {
    {platform::kDocumentEventCreateDcPost, "create-DC post"},
    {platform::kDocumentEventStartDoc, "start-doc"},
    {platform::kDocumentEventStartDocPost, "start-doc post"},
    {platform::kDocumentEventStartPage, "start-page"},
    {platform::kDocumentEventEndPage, "end-page"},
    {platform::kDocumentEventStartPage, "start-page"},
    {platform::kDocumentEventEndPage, "end-page"},
    {platform::kDocumentEventEndDoc, "end-doc"},
    {platform::kDocumentEventEndDocPost, "end-doc post"},
};

// One document of two pages printed with `record` through DrvDocumentEvent
// by the program "WRITER.EXE" (Writer, Office 1.0) of user "User" on
// computer "PC-7" in domain "CORP", on a recording printer device context:
// the copy's private header and every escape of the document, by the
// code's last byte (the job id, new every time, by its shape). Answers
// what failed, empty when every event went through: an event answers -1
// for a failure, and the document then ends there (delete-DC).
std::string ShowDocument(const support::AcceptanceInstall& install, Record& record) {
  using Event =
      int(platform::HANDLE, platform::HDC, int, platform::DWORD, void*, platform::DWORD, void*);
  auto* event = install.Entry<Event>("DrvDocumentEvent");
  if (!event) return "P1's library has no DrvDocumentEvent";
  const char16_t program[] = u"C:\\Program Files\\App\\WRITER.EXE";
  platform::SetHostProgramPath(program);
  platform::SetFileVersionData(program,
                               {{{0x0409, 0x04B0}},
                                {{u"\\StringFileInfo\\040904b0\\FileDescription", u"Writer"},
                                 {u"\\StringFileInfo\\040904b0\\ProductName", u"Office"},
                                 {u"\\StringFileInfo\\040904b0\\ProductVersion", u"1.0"}}});
  if (!support::SetMachineText(u"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                               u"ComputerName", u"PC-7") ||
      !support::SetMachineText(u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                               u"DefaultDomainName", u"CORP"))
    return "the computer's names could not be set in the registry";
  platform::HDC dc = platform::CreatePrinterDC({});
  if (!dc) return "no printer device context";
  const auto send = [&](int which, std::vector<void*> in, void** out = nullptr) {
    return event(install.Printer(), dc, which, platform::DWORD(in.size() * sizeof(void*)),
                 in.empty() ? nullptr : in.data(), out ? sizeof(void*) : 0, out);
  };
  std::string failed;
  void* copy = nullptr;
  const int created =
      send(platform::kDocumentEventCreateDcPre, {nullptr, nullptr, record.data(), nullptr}, &copy);
  std::cout << "\ndocument: create-DC answers " << created;
  if (created == 1 && copy) {
    const auto* bytes = static_cast<const std::uint8_t*>(copy);
    std::cout << "; the copy's bytes 256-263: " << Hex(Record(bytes, bytes + 264), 256, 8);
  }
  std::cout << "\n";
  if (created != 1) {
    failed = "P1's document: create-DC answered " + std::to_string(created);
  } else {
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    for (const auto& [which, name] : kDocumentEvents) {
      const int answer = which == platform::kDocumentEventCreateDcPost ? send(which, {copy})
                         : which == platform::kDocumentEventStartDoc   ? send(which, {&info})
                                                                       : send(which, {});
      if (answer >= 0) continue;
      failed = "P1's document: " + std::string(name) + " answered " + std::to_string(answer);
      break;
    }
    const int deleted = send(platform::kDocumentEventDeleteDc, {});
    if (failed.empty())
      std::cout << "delete-DC answers " << deleted << "; escapes of the document:\n";
    if (failed.empty() && deleted < 0)
      failed = "P1's document: delete-DC answered " + std::to_string(deleted);
  }
  const std::vector<platform::DcEvent> log =
      failed.empty() ? platform::DeviceContextLog(dc) : std::vector<platform::DcEvent>();
  for (const platform::DcEvent& escape : log) {
    if (escape.call != platform::DcCall::kEscape) continue;
    std::string text(escape.bytes.begin(), escape.bytes.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    if ((escape.code & 0xFF) == 0xF1)
      for (char& c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) c = 'x';
    std::printf("  escape %02X (%zu bytes) \"%s\"\n", escape.code & 0xFF, escape.bytes.size(),
                text.c_str());
  }
  platform::DeleteDC(dc);
  platform::SetHostProgramPath(support::kFixtureHostProgram);
  return failed;
}

// `failed` said with its cause when memory ran short (the last error, which
// the step started with cleared).
std::string WithMemory(const std::string& failed) {
  if (platform::GetLastError() != platform::kErrorNotEnoughMemory) return failed;
  return "out of memory while " + std::string(program_files::Activity());
}

// `failed`, a step of P1's, said with the cause the step answered: a
// thread the system refused, memory (the last error); for the install, the
// file it could not write with the system's reason.
std::string WithCause(const support::AcceptanceInstall& install, bool installed,
                      const std::string& failed) {
  const std::string activity = program_files::Activity();
  if (install.RefusedThread()) return "the system refused a thread while " + activity;
  if (installed || platform::GetLastError() == platform::kErrorNotEnoughMemory)
    return WithMemory(failed);
  if (const int error = install.SystemError()) return failed + ": " + program_files::Reason(error);
  return failed + " failed";
}

// Failures of the windowing host (a refused verb, an unexpected box) are
// printed in the transcript and make the demonstration fail. P1 lives in
// `folder`. Answers what failed, the first failure, empty when all went
// well.
std::string ShowPrinter(const std::string& folder) {
  std::string first;  // the windowing host's first failure
  platform::SetUiFailureHandler([&first](const std::string& message) {
    if (first.empty()) first = message;
    std::cout << "FAILURE: " << message << "\n";
  });
  platform::ResetHostServices();
  support::AcceptanceInstall install;
  std::cout << "\nprinter P1, document properties through the sheet:\n";
  std::string failed = install.Install(folder);
  const bool installed = failed.empty();
  if (installed) {
    Record record;
    program_files::SetActivity("working P1's document sheet");
    platform::SetLastError(platform::kErrorSuccess);
    failed = ShowSheet(install, record);
    if (failed.empty()) {
      program_files::SetActivity("printing a document on P1");
      platform::SetLastError(platform::kErrorSuccess);
      failed = ShowDocument(install, record);
    }
  }
  if (!failed.empty()) failed = WithCause(install, installed, failed);
  const std::string unloaded = install.Uninstall();
  if (failed.empty() && !unloaded.empty()) failed = unloaded + " failed";
  platform::ResetHostServices();
  platform::SetUiFailureHandler(nullptr);
  if (failed.empty() && !first.empty()) failed = "P1's sheet: " + first;
  return failed;
}

// The tour, its files in `folder`; answers what failed, empty when all
// went well.
std::string Tour(const std::string& folder) {
  const std::string path = folder + "/strings.bin";

  RWCString name("GAttributeComposite");
  RWCString greeting = RWCString("hello") + ", " + "world";
  RWWString printer = RWWString::FromMultiByte("Drucker \xC3\xA9tage 2");  // UTF-8 in, UTF-16 out

  program_files::SetActivity("touring the strings");
  {
    RWFile file(path.c_str(), "wb");
    if (!file.IsValid()) return program_files::SystemError(path, "cannot write", errno);
    name.SaveToFile(file);
    greeting.SaveToFile(file);
    printer.SaveToFile(file);
    errno = 0;
    if (!file.Flush() || file.Error())
      return program_files::SystemError(path, "cannot write", errno ? errno : EIO);
  }

  RWCString name_back, greeting_back;
  RWWString printer_back;
  std::string bytes, error;
  {
    RWFile file(path.c_str(), "rb");
    if (!file.IsValid()) return program_files::SystemError(path, "cannot read", errno);
    name_back.RestoreFromFile(file);
    greeting_back.RestoreFromFile(file);
    printer_back.RestoreFromFile(file);
    if (file.Error() || file.Eof()) return path + ": cannot read: it is not as it was written";
  }
  if (!program_files::ReadRegularFile(path, 1 << 20, bytes, error)) return error;

  std::cout << "narrow: " << name_back << " (hash 0x" << std::hex << name_back.Hash() << std::dec
            << ")\n";
  std::cout << "narrow: " << greeting_back << " (capacity " << greeting_back.Capacity() << ")\n";
  std::cout << "wide:   " << printer_back.ToMultiByte() << " (" << printer_back.Length()
            << " units)\n";
  std::cout << "round trip "
            << ((name == name_back && greeting == greeting_back && printer == printer_back)
                    ? "exact"
                    : "DIFFERS")
            << "\n\nfile bytes:\n";
  PrintBytes(bytes);

  // An object graph: a list that holds one object twice and a dictionary,
  // saved in the portable text encoding and read back with its sharing.
  program_files::SetActivity("touring an object graph");
  platform::SetLastError(platform::kErrorSuccess);
  FoundationLoad();
  RWCollectable shared, key;
  RWBTreeDictionary dictionary;
  dictionary.InsertKeyAndValue(&key, &shared);
  RWSlistCollectables list;
  list.Append(&shared);
  list.Append(&dictionary);
  list.Append(&shared);
  std::ostringstream text;
  {
    RWPortableOutputStream stream(text);
    list.SaveGraphToStream(stream);
  }
  std::cout << "\ngraph in portable text:\n" << text.str() << "\n";
  std::istringstream in(text.str());
  RWPortableInputStream stream(in);
  RWCollectable* restored = nullptr;
  ReadCollectablePointerFromStream(stream, restored);
  auto* back = dynamic_cast<RWSlistCollectables*>(restored);
  if (!back || back->Count() != 3) {
    delete restored;  // its members, if any, go with the process
    FoundationUnload();
    return WithMemory("the object graph could not be read back");
  }
  std::cout << "restored " << back->Count() << " members; first and last "
            << (back->At(0) == back->At(2) ? "are one object" : "DIFFER") << "\n";
  auto* dict = dynamic_cast<RWBTreeDictionary*>(back->At(1));
  delete back->At(0);
  if (dict) {
    dict->ApplyToKeyAndValue([](RWCollectable* k, RWCollectable*, void*) { delete k; }, nullptr);
    delete dict;
  }
  delete back;
  FoundationUnload();

  program_files::SetActivity("touring the settings record");
  platform::SetLastError(platform::kErrorSuccess);
  DriverLoad();
  std::string failed = ShowSettingsRecord();
  if (!failed.empty()) failed = WithMemory(failed);
  program_files::SetActivity("showing printer P1");
  if (failed.empty()) failed = ShowPrinter(folder + "/printer");
  DriverUnload();
  return failed;
}

constexpr char kUsage[] = "usage: demo\n";
constexpr char kHelp[] =
    "A tour of the library, headless: strings saved to a file and read back,\n"
    "an object graph in portable text, a settings record compressed and\n"
    "expanded, then printer P1's document sheet worked as a user works it and\n"
    "a document printed with the record it leaves. Its files live in a folder\n"
    "of its own in the temporary folder (TMPDIR, else /tmp), removed at the end.\n";

int Run(int argc, char** argv) {
  if (argc == 2 && (argv[1] == std::string("--help") || argv[1] == std::string("-h")))
    return std::printf("%s%s", kUsage, kHelp), 0;
  if (argc > 1) {
    const std::string argument = argv[1];
    const bool help = argument == "--help" || argument == "-h";
    return program_files::UsageError(
        help ? argument + " takes no other arguments" : "unknown argument " + argument, kUsage);
  }
  program_files::SetActivity("making its folder");
  std::string folder, error;
  if (!program_files::MakeTemporaryFolder("driverui-demo", folder, error))
    return program_files::Fail(error);
  if (const std::string failed = Tour(folder); !failed.empty()) return program_files::Fail(failed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return program_files::RunCatching("demo", Run, argc, argv);
}
