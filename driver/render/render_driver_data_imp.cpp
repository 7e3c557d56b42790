// GRenderDriverDataImp: construction, the connection holder, the gray
// conversions, the slots that answer nothing yet, re-targeting and the
// release of the job's objects. The job's settings are evaluated in
// render_job_settings.cpp, its name and attributes in
// render_job_attributes.cpp.
#include "driver/render/render_driver_data_imp.h"

#include <atomic>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "fonts/font_database.h"
#include "foundation/rw/support.h"
#include "output/commands/job_commands.h"
#include "output/core/command.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "services/os_factory.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr std::uint32_t kMostGrayShift = 31;
// The state word of an ended job.
constexpr std::uint32_t kJobEnded = 3;

// Owner ids for the jobs' font databases: never 0, which is no owner.
std::atomic<std::uint32_t> g_next_owner_id{1};

std::uint32_t NewOwnerId() {
  std::uint32_t id = g_next_owner_id.fetch_add(1, std::memory_order_relaxed);
  while (id == 0)
    id = g_next_owner_id.fetch_add(1, std::memory_order_relaxed);
  return id;
}

}  // namespace

GRenderConnection::~GRenderConnection() = default;

GConnectionHolder::~GConnectionHolder() = default;

bool GConnectionHolder::IsMarked() const {
  return owner_mark_ != 0;
}

std::uint32_t GConnectionHolder::Forward3(std::uint32_t argument) {
  return connection_ ? connection_->Forward3(argument) : 0;
}

std::uint32_t GConnectionHolder::Forward4(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                          std::uint32_t d) {
  return connection_ ? connection_->Forward4(a, b, c, d) : 0;
}

void GConnectionHolder::Attach(GRenderConnection* connection, std::uint32_t argument) {
  // The connection held before is owned too: taking another must not lose it.
  if (connection_.get() != connection) connection_.reset(connection);
  if (connection_) connection_->SelectGrayConversion(*this, argument);
}

void GConnectionHolder::Unmark(std::uint32_t mark) {
  if (owner_mark_ == mark) owner_mark_ = 0;
}

std::uint32_t GConnectionHolder::Query() {
  return connection_ ? connection_->Query() : 0;
}

void GConnectionHolder::SetMark(std::uint32_t mark) {
  owner_mark_ = mark;
}

std::uint32_t GConnectionHolder::Check(std::uint32_t argument) {
  if (!connection_) return 2;
  if (connection_->Accepts(argument)) return 1;
  Drop();
  return 2;
}

GRenderConnection* GConnectionHolder::Find(std::uint32_t argument) {
  return connection_ && connection_->Accepts(argument) ? connection_.get() : nullptr;
}

void GConnectionHolder::Drop() {
  if (!connection_) return;
  connection_->Query();
  connection_.reset();
}

std::uint8_t GGrayTable::Apply(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
  // Weights and addend are 16-bit values: the sum stays far below 2^32.
  const std::uint32_t sum = r * red + g * green + b * blue + addend;
  const std::uint32_t gray = sum >> shift;
  return static_cast<std::uint8_t>(gray > 255 ? 255 : gray);
}

GRenderDriverDataImp::GRenderDriverDataImp()
    : font_database_(new (kRWNoThrow) GJobFontDatabase(this)), owner_id_(NewOwnerId()) {
  if (GOSFactory* services = GOSFactory::Instance())
    services_object_ =
        static_cast<std::uintptr_t>(services->Placeholder1(reinterpret_cast<std::uintptr_t>(this)));
}

GRenderDriverDataImp::~GRenderDriverDataImp() {
  ReleaseJobObjects();
  // The database asks its owner for the owner id as it lets go: while the
  // owner is whole.
  font_database_.reset();
}

void GRenderDriverDataImp::SelectGrayConversion(std::uint8_t mode) {
  gray_conversion_ = &ColorToGray;
  gray_table_ = nullptr;
  if (mode != 1 && mode != 2) return;
  GGrayTable& table = gray_tables_[mode - 1];
  if (LoadGrayTable(mode == 1 ? kFirstGrayTableKey : kSecondGrayTableKey, table))
    gray_table_ = &table;
}

bool GRenderDriverDataImp::LoadGrayTable(std::uint32_t key, GGrayTable& table) {
  GAttributeComposite* list = FindComposite(FindComposite(GetJobSettings(), kGrayTablesKey), key);
  if (!list) return false;
  std::uint32_t words[5] = {};
  std::uint32_t count = 0;
  const GCountedPtrVector& children = list->Children();
  for (RWSize i = 0; i < children.Count() && count < 5; ++i) {
    if (auto* value = dynamic_cast<GValueAttribute*>(children[i].Get()))
      words[count++] = value->GetValue();
  }
  if (count < 5 || words[4] > kMostGrayShift) return false;
  table = GGrayTable{words[0], words[1], words[2], words[3], words[4]};
  return true;
}

std::uint8_t GRenderDriverDataImp::ConvertToGray(std::uint8_t red, std::uint8_t green,
                                                 std::uint8_t blue) const {
  return gray_table_ ? gray_table_->Apply(red, green, blue) : gray_conversion_(red, green, blue);
}

GCommand* GRenderDriverDataImp::AddPageObject(std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t) {
  return nullptr;
}

std::uint32_t GRenderDriverDataImp::GetJobStarted() {
  return job_started_;
}

void GRenderDriverDataImp::SetJobStarted() {
  job_started_ = 1;
}

RWWString* GRenderDriverDataImp::GetFirstName() {
  return &first_name_;
}

GCommand* GRenderDriverDataImp::ResetPage() {
  page_words_[0] = 0;
  page_words_[1] = 0;
  return nullptr;
}

GCommand* GRenderDriverDataImp::MakeCommandObject() {
  return nullptr;
}

GCommand* GRenderDriverDataImp::BuildPageSettings() {
  ++page_count_;
  return nullptr;
}

GCommand* GRenderDriverDataImp::MakeJobStartCommand() {
  return nullptr;
}

std::uint16_t GRenderDriverDataImp::EndSection() {
  return 0;
}

std::uint16_t GRenderDriverDataImp::Submit(GCommand* command) {
  if (!command || !output_chain_) return 0;
  // Held across the pass: the chain may keep it, or let go of it.
  GCountedPtr held(command, g_file_lock);
  const RWClassID id = command->ClassId();
  // An abort before any document start ends nothing that had begun: passed
  // down, it would leave the chain's filters aborted for the document that
  // follows (a face-up filter then passing its pages in order).
  if (id == kGJobAbortId && !document_) return 0;
  if (id == kGDocumentStartId) {
    auto* start = static_cast<GDocumentStart*>(command);
    if (!start->GetJobContext()) start->SetJobContext(this);
    document_ = held;
  }
  // The chain may be given up while it runs (a re-target): held meanwhile.
  GCountedPtr chain(output_chain_, g_file_lock);
  auto* device = static_cast<GPeripheral*>(chain.Get());
  GCountedPtr answer = device->Submit(held);
  if (!answer || answer->ClassId() != kGErrorCommandId) {
    if (id == kGDocumentEndId) return EndDocumentPort();
    // The caller's abort: what the port took of the job is dropped, as
    // after a failure, whatever the chain's last device did with it.
    if (id == kGJobAbortId) AbortDocumentPort();
    return 0;
  }
  const std::uint16_t code = static_cast<GErrorCommand*>(answer.Get())->GetCode();
  answer.Reset();
  device->Submit(GCountedPtr(RWNew<GJobAbort>(), g_file_lock));
  AbortDocumentPort();
  return code;
}

std::uint16_t GRenderDriverDataImp::EndDocumentPort() {
  GCountedPtr document = std::move(document_);
  auto* start = static_cast<GDocumentStart*>(document.Get());
  GOutputTarget* port = start ? start->GetPort() : nullptr;
  return port && port->IsOpen() ? port->Close() : 0;
}

void GRenderDriverDataImp::AbortDocumentPort() {
  GCountedPtr document = std::move(document_);
  auto* start = static_cast<GDocumentStart*>(document.Get());
  if (GOutputTarget* port = start ? start->GetPort() : nullptr) port->Abort();
}

void GRenderDriverDataImp::SetOutputChain(GPeripheral* chain) {
  output_chain_.Reset(chain, g_file_lock);
}

GPeripheral* GRenderDriverDataImp::GetOutputChain() const {
  return static_cast<GPeripheral*>(output_chain_.Get());
}

std::uint16_t GRenderDriverDataImp::SubmitCommand(GCommand* command) {
  return Submit(command);
}

std::uint16_t GRenderDriverDataImp::EndJob() {
  if (!job_started_) {
    state_word_ = kJobEnded;
    return kNoJobStarted;
  }
  GCountedPtr end(ResetPage(), g_file_lock);
  const std::uint16_t result = SubmitCommand(static_cast<GCommand*>(end.Get()));
  job_started_ = 0;
  if (result != 0) state_word_ = kJobEnded;
  return result;
}

void GRenderDriverDataImp::ResetFonts() {
  if (font_database_) font_database_->Reset();
}

GCommand* GRenderDriverDataImp::MakeOwnerObject() {
  return nullptr;
}

GCommand* GRenderDriverDataImp::GetWatermarkSettingObject() {
  return nullptr;
}

GCommand* GRenderDriverDataImp::MakeWatermarkSettingObject() {
  return nullptr;
}

std::uint16_t GRenderDriverDataImp::BeginNestedSection() {
  return 0;
}

std::uint16_t GRenderDriverDataImp::EndNestedSection() {
  return 0;
}

std::uint16_t GRenderDriverDataImp::GraphicsStateStep(std::uint32_t) {
  return 0;
}

std::uint16_t GRenderDriverDataImp::SaveGraphicsState() {
  return 0;
}

std::uint16_t GRenderDriverDataImp::RestoreGraphicsState() {
  return 0;
}

std::uint32_t GRenderDriverDataImp::QueryColorMedia() {
  return 0;
}

GRenderDriverData* GRenderDriverDataImp::AsRenderDriverData() {
  return this;
}

GDriverData* GRenderDriverDataImp::AsUIDriverData() {
  return nullptr;
}

void GRenderDriverDataImp::ClearJobWords() {
  job_started_ = state_word_ = 0;
  layout_flag_ = text_as_black_ = pass_through_ = second_duplex_flag_ = compat_mode_ = 0;
  mode_word_ = duplex_word_ = bin_word_ = color_word_ = 0;
  capability_word_ = duplex_capability_word_ = bin_capability_word_ = 0;
  preprinted_pending_ = 0;
  page_count_ = 0;
}

void GRenderDriverDataImp::Retarget(const GPrinterKey& key) {
  GDriverDataImp::Retarget(key);
  ClearJobWords();
  if (connection_.IsMarked()) connection_.Drop();
  PrepareJob();
  first_name_ = RWWString();
  second_name_ = RWWString();
  // The old database lets its fonts and files go before the new one
  // starts.
  font_database_.reset();
  font_database_.reset(new (kRWNoThrow) GJobFontDatabase(this));
  job_objects_[0].Reset();
}

void GRenderDriverDataImp::Park() {
  ReleaseJobObjects();
}

std::int32_t GRenderDriverDataImp::GetCachedValue() {
  return GDriverDataImp::GetCachedValue();
}

GFontDatabase* GRenderDriverDataImp::GetFontDatabase() {
  return font_database_.get();
}

std::uint32_t GRenderDriverDataImp::GetOwnerId() {
  return owner_id_;
}

GExtensionJobHooks* GRenderDriverDataImp::GetExtensionJobHooks() {
  GExtensionManager* manager = GetExtensionManager();
  if (manager) return manager;
  return &job_hooks_;
}

void GRenderDriverDataImp::ReleaseJobObjects() {
  page_words_[0] = page_words_[1] = page_words_[2] = 0;
  for (GCountedPtr& object : job_objects_)
    object.Reset();
  job_list_.clear();
  document_.Reset();
  output_chain_.Reset();
}

bool GRenderDriverDataImp::IsDuplexMode(std::uint32_t argument) const {
  return mode_word_ == 3 || (mode_word_ == 2 && argument == 0);
}
