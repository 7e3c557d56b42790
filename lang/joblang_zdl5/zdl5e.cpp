#include "lang/joblang_zdl5/zdl5e.h"

#include "output/commands/job_commands.h"

namespace {

constexpr RWClassRegistration kZdl5eClasses[] = {
    {&RWCreate<GZdl5e>, kGZdl5eId, "GZdl5e"},
};

}  // namespace

std::span<const RWClassRegistration> Zdl5eClasses() {
  return kZdl5eClasses;
}

std::uint16_t GZdl5e::DocumentStart(GDocumentStart& command) {
  return StartDocument(command, true);
}

std::uint16_t GZdl5e::OnCommand718(GCommand&) {
  return SendPadding();
}

std::uint16_t GZdl5e::SendPadding() {
  GetSink().PutRepeated(0, kZdl5PaddingBytes);
  GetSink().Flush();
  return GetSink().GetWriteError();
}

std::uint16_t GZdl5e::DeleteSoftFont(std::uint32_t id) {
  CallLog().Record("DeleteSoftFont", {id});
  return 0;
}

int GZdl5e::HasEscape(const RWCString& text) {
  return HoldsEscape(text);
}

template class MPersistentClass<GZdl5e, GPrinterLanguage, kGZdl5eId>;
