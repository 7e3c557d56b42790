#include "lang/generator/printer_language.h"

#include <new>

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "fonts/char_code_map.h"
#include "foundation/rw/file.h"
#include "foundation/rw/scoped_value.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "lang/generator/font_cache.h"
#include "output/attributes/clip.h"
#include "output/commands/job_commands.h"
#include "output/core/output_target.h"
#include "output/graphics/path_graphic.h"
#include "persist/find_of_class.h"
#include "persist/port_handler.h"
#include "persist/stored_form.h"
#include "services/os_factory.h"

namespace {

constinit RWLockRecord g_file_lock;

// The ternary code of each binary raster operation, by (rop - 1) & 15:
// the pattern's bits are 0xF0, the destination's 0xAA.
constexpr std::uint8_t kTernaryRops[16] = {0,   5,   10,  15,  80,  85,  90,  95,
                                           160, 165, 170, 175, 240, 245, 250, 255};

// The configuration's child keyed `key` as a `T`, or null.
template <class T>
T* ConfigurationChild(GPeripheral& device, std::uint32_t key) {
  return FindOfClass<T>(device.GetConfiguration(), key);
}

}  // namespace

// ---------------------------------------------------------------------------
// GPrinterMemoryBudget

std::uint32_t GPrinterMemoryBudget::Release(std::uint32_t n) {
  used_ = n > used_ ? 0 : used_ - n;
  return GetFree();
}

std::uint32_t GPrinterMemoryBudget::Reserve(std::uint32_t n) {
  used_ = GetFree() < n ? capacity_ : used_ + n;
  return GetFree();
}

void GPrinterMemoryBudget::SetCapacity(std::uint32_t capacity) {
  used_ = 0;
  capacity_ = capacity;
}

std::uint32_t GPrinterMemoryBudget::Reset() {
  used_ = 0;
  return capacity_;
}

// ---------------------------------------------------------------------------
// GPrinterLanguage

GPrinterLanguage::GPrinterLanguage() = default;

GPrinterLanguage::GPrinterLanguage(const RWCString& name, GAttributeComposite* attributes,
                                   MPersistentObject* configuration, const std::uint32_t& key,
                                   std::uint32_t first_value, std::uint32_t second_value,
                                   std::uint32_t third_value)
    : GPeripheralComposite(name, attributes, configuration, key, first_value, second_value,
                           third_value) {}

GPrinterLanguage::GPrinterLanguage(const GPrinterLanguage& other)
    : GPeripheralComposite(other),
      GPrinterLanguageQuery(),
      document_open_(other.document_open_),
      second_document_word_(other.second_document_word_),
      path_depth_(other.path_depth_),
      clip_path_mode_(other.clip_path_mode_),
      periodic_poll_(other.periodic_poll_) {}

GPrinterLanguage& GPrinterLanguage::operator=(const GPrinterLanguage& other) {
  if (this == &other) return *this;
  GPeripheralComposite::operator=(other);
  document_open_ = other.document_open_;
  second_document_word_ = other.second_document_word_;
  path_depth_ = other.path_depth_;
  clip_path_mode_ = other.clip_path_mode_;
  periodic_poll_ = other.periodic_poll_;
  DropFontState();
  RenewFontBooks();
  generator_words_[0] = generator_words_[1] = 0;
  job_context_ = nullptr;
  return *this;
}

GPrinterLanguage::~GPrinterLanguage() {
  DropFontState();
  device_font_list_.Reset(nullptr, g_file_lock);
}

void GPrinterLanguage::DropFontState() {
  font_cache_.reset();
  code_map_.reset();
}

void GPrinterLanguage::RenewFontBooks() {}

void GPrinterLanguage::SetFontCache(GFontCache* cache) {
  font_cache_.reset(cache);
}

void GPrinterLanguage::SetCodeMap(GCharCodeMap* map) {
  code_map_.reset(map);
}

void GPrinterLanguage::SetEmptyFlush(GOutputSink::EmptyFlush empty) {
  sink_.SetEmptyFlush(empty);
}

bool GPrinterLanguage::IsKindOf(const RWClassID& id) const {
  return id == kGPrinterLanguageId || GPeripheralComposite::IsKindOf(id);
}

bool GPrinterLanguage::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* language = dynamic_cast<const GPrinterLanguage*>(other);
  return language && GPeripheralComposite::IsEqualContent(other) &&
         document_open_ == language->document_open_ &&
         second_document_word_ == language->second_document_word_ &&
         path_depth_ == language->path_depth_ && clip_path_mode_ == language->clip_path_mode_ &&
         periodic_poll_ == language->periodic_poll_;
}

std::uint16_t GPrinterLanguage::DocumentStart(GDocumentStart& command) {
  GPeripheral::DocumentStart(command);
  document_open_ = 1;
  sink_.Begin();
  GOSFactory* services = GOSFactory::Instance();
  if (services && services->IsOutputPollingOff() != 0) periodic_poll_ = 0;
  job_context_ = command.GetJobContext();
  if (!command.GetPort()) {
    void* opened =
        GPortHandlerRegistry::Instance().OpenPort(command.GetPortName(), job_context_, 0);
    auto* port = static_cast<GOutputTarget*>(opened);
    SetOutput(port, true);
    if (!port || !port->IsReady()) return kPortNotReady;
    command.SetPort(port, true);
  } else {
    SetOutput(command.GetPortRef());
  }
  if (OwnsOutput()) {
    std::uint16_t opened = GetOutput()->Open(command.GetDocumentName());
    if (opened != 0) return opened;
  }
  if (auto* memory = ConfigurationChild<GRangeAttribute>(*this, kPrinterMemoryKey)) {
    std::int32_t units = memory->GetValue();
    budget_.SetCapacity(units < 0 ? 0 : static_cast<std::uint32_t>(units * kBytesPerMemoryUnit));
  } else {
    budget_.Reset();
  }
  return 0;
}

std::uint16_t GPrinterLanguage::PageStart(GPageStart&) {
  return 0;
}

std::uint16_t GPrinterLanguage::PageEnd(GPageEnd& command) {
  GPeripheralComposite::PageEnd(command);
  path_depth_ = 0;
  clip_path_mode_ = 0;
  return 0;
}

std::uint16_t GPrinterLanguage::JobAbort(GJobAbort& command) {
  GPeripheralComposite::JobAbort(command);
  path_depth_ = 0;
  clip_path_mode_ = 0;
  return 0;
}

std::uint16_t GPrinterLanguage::DrawPath(GPathGraphic& graphic) {
  const std::int16_t outer = path_depth_;
  path_depth_ = static_cast<std::int16_t>(outer + 1);
  std::uint16_t result = graphic.ExecuteElements(*this);
  path_depth_ = outer;
  return result;
}

std::uint16_t GPrinterLanguage::DrawGraphicComposite(GGraphicComposite& graphic) {
  return graphic.ExecuteElements(*this);
}

std::uint16_t GPrinterLanguage::SetClipToPath(GClipToPath& clip) {
  GPathGraphic* path = clip.GetPath();
  if (!path) return 0;
  GCountedPtr held(path, g_file_lock);  // the clip may be let go of while its path runs
  RWScopedValue<std::uint32_t> clipping(clip_path_mode_, 1);
  return path->Execute(*this);
}

void GPrinterLanguage::ReadItemOverhead() {
  if (auto* overhead = ConfigurationChild<GValueAttribute>(*this, kItemOverheadKey)) {
    budget_.SetItemOverhead(overhead->GetValue());
  }
}

std::uint32_t GPrinterLanguage::ReleasePrinterMemory(std::uint32_t n) {
  return budget_.Release(n);
}

std::uint32_t GPrinterLanguage::ReservePrinterMemory(std::uint32_t n) {
  return budget_.Reserve(n);
}

std::uint32_t GPrinterLanguage::AcceptsDownload() {
  return 1;
}

std::uint32_t GPrinterLanguage::QueryDownload(std::uintptr_t, std::uintptr_t, std::uintptr_t,
                                              const char** printer_name, std::uintptr_t,
                                              std::uintptr_t, std::uintptr_t) {
  if (printer_name) *printer_name = nullptr;
  return 1;
}

std::uint16_t GPrinterLanguage::RopFromBinaryRop(std::uint16_t rop) {
  return kTernaryRops[(rop - 1u) & 15u];
}

int GPrinterLanguage::HasEscape(const RWCString&) {
  return 0;
}

int GPrinterLanguage::HoldsEscape(const RWCString& text) {
  return text.First('\x1b') != RW_NPOS ? 1 : 0;
}

GDeviceFontListComposite* GPrinterLanguage::GetDeviceFontList() {
  auto* found = ConfigurationChild<GDeviceFontListComposite>(*this, kDeviceFontListsKey);
  device_font_list_.Reset(found ? found : new (kRWNoThrow) GDeviceFontListComposite, g_file_lock);
  return static_cast<GDeviceFontListComposite*>(device_font_list_.Get());
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GPrinterLanguage::StoredSize() const {
  return GPeripheralComposite::StoredSize() + 18;
}

template <class Out>
void GPrinterLanguage::SaveItems(Out& out) const {
  SaveBase<GPeripheralComposite>(*this, out);
  PutItem(out, kPrinterLanguageVersion);
  PutItem(out, document_open_);
  PutItem(out, second_document_word_);
  PutItem(out, static_cast<std::uint16_t>(path_depth_));
  PutItem(out, clip_path_mode_);
}

template <class In>
void GPrinterLanguage::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPeripheralComposite>(*this, in);
  if (!ReadsVersion(scope, in, kPrinterLanguageVersion)) return;
  std::uint32_t open = 0, second = 0, clip = 0;
  std::uint16_t depth = 0;
  if (GetItem(in, open) && GetItem(in, second) && GetItem(in, depth) && GetItem(in, clip)) {
    document_open_ = open;
    second_document_word_ = second;
    path_depth_ = static_cast<std::int16_t>(depth);
    clip_path_mode_ = clip;
    DropFontState();
    RenewFontBooks();
  }
}

void GPrinterLanguage::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GPrinterLanguage::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GPrinterLanguage::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GPrinterLanguage::SaveToFile(RWFile& file) const {
  SaveItems(file);
}
