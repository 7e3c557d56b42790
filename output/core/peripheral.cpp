#include "output/core/peripheral.h"

#include <memory>
#include <new>
#include <optional>

#include "config/attributes/attribute_composite.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/command.h"
#include "output/core/command_composite.h"
#include "output/core/held_reference.h"
#include "output/core/output_target.h"
#include "output/core/result_commands.h"
#include "persist/record_iterator.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

// The object as a command, or null.
GCommand* AsCommand(const GCountedPtr& object) {
  MPersistentObject* target = object.Get();
  return target && target->IsKindOf(kGCommandId) ? static_cast<GCommand*>(target) : nullptr;
}

// Both absent, the same object, or equal in content.
bool SameOrEqual(const MPersistentObject* a, const MPersistentObject* b) {
  return a == b || (a && b && a->IsEqualContent(b));
}

GCountedPtr SubmitPiece(GPeripheral& device, const GCountedPtr& piece) {
  return device.Submit(piece);
}

// Appends, held, the first `count` pieces of the composite in memory
// `whole`, which came back from the devices as they went, but for the no-op
// commands, which go no further. False when no iterator can be made.
bool AppendUnchangedPieces(GCommand& whole, RWSize count, GCountedPtrVector& results) {
  std::unique_ptr<MChildIterator> pieces(whole.NewChildIterator());
  if (!pieces) return false;
  for (RWSize taken = 0; taken < count && pieces->Next();) {
    MPersistentObject* piece = pieces->Current();
    if (!piece) continue;
    ++taken;
    if (piece->ClassId() != kGNoCommandId) results.Append(GCountedPtr(piece, g_file_lock));
  }
  return true;
}

}  // namespace

GPeripheral::GPeripheral() = default;

GPeripheral::GPeripheral(const std::uint32_t& key) : GAttribute(key) {}

GPeripheral::GPeripheral(const RWCString& name, GAttributeComposite* attributes,
                         MPersistentObject* configuration, const std::uint32_t& key,
                         std::uint32_t first_value, std::uint32_t second_value,
                         std::uint32_t third_value)
    : GAttribute(key),
      name_(name),
      attributes_(attributes, g_file_lock),
      configuration_(configuration, g_file_lock),
      first_value_(first_value),
      second_value_(second_value),
      third_value_(third_value) {
  CopyWorkingSet(attributes_);
}

GPeripheral::GPeripheral(const GPeripheral& other)
    : GAttribute(other),
      name_(other.name_),
      attributes_(other.attributes_, g_file_lock),
      configuration_(other.configuration_, g_file_lock),
      first_value_(other.first_value_),
      second_value_(other.second_value_),
      third_value_(other.third_value_),
      enabled_(other.enabled_),
      job_state_(other.job_state_) {
  CopyWorkingSet(other.working_attributes_);
}

GPeripheral& GPeripheral::operator=(const GPeripheral& other) {
  if (this == &other) return *this;
  GAttribute::operator=(other);
  name_ = other.name_;
  attributes_.Reset(other.attributes_.Get(), g_file_lock);
  configuration_.Reset(other.configuration_.Get(), g_file_lock);
  first_value_ = other.first_value_;
  second_value_ = other.second_value_;
  third_value_ = other.third_value_;
  enabled_ = other.enabled_;
  job_state_ = other.job_state_;
  CopyWorkingSet(other.working_attributes_);
  return *this;
}

GPeripheral::~GPeripheral() {
  output_ = GOutputTargetRef();
  working_attributes_.Reset(nullptr, g_file_lock);
  attributes_.Reset(nullptr, g_file_lock);
  configuration_.Reset(nullptr, g_file_lock);
}

RWCollectable* GPeripheral::CreateDefault() const {
  return new (kRWNoThrow) GPeripheral;
}

RWCollectable* GPeripheral::CreateCopy() const {
  return new (kRWNoThrow) GPeripheral(*this);
}

RWClassID GPeripheral::ClassId() const {
  return kGPeripheralId;
}

bool GPeripheral::IsKindOf(const RWClassID& id) const {
  return id == kGPeripheralId || GAttribute::IsKindOf(id);
}

bool GPeripheral::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* device = dynamic_cast<const GPeripheral*>(other);
  return device && GAttribute::IsEqualContent(other) && name_ == device->name_ &&
         first_value_ == device->first_value_ && second_value_ == device->second_value_ &&
         third_value_ == device->third_value_ &&
         SameOrEqual(attributes_.Get(), device->attributes_.Get()) &&
         SameOrEqual(configuration_.Get(), device->configuration_.Get());
}

std::uint16_t GPeripheral::Execute(GAttributeHandlers&) {
  return 0;
}

GAttributeComposite* GPeripheral::GetAttributes() const {
  return static_cast<GAttributeComposite*>(attributes_.Get());
}

GAttributeComposite* GPeripheral::GetWorkingAttributes() const {
  return static_cast<GAttributeComposite*>(working_attributes_.Get());
}

MPersistentObject* GPeripheral::GetConfiguration() const {
  return configuration_.Get();
}

void GPeripheral::CopyWorkingSet(const GCountedPtr& source) {
  // A set's deep copy is a set of its own class (null after [NOMEM]).
  working_attributes_.Reset(source ? source->DeepCopy() : nullptr, g_file_lock);
}

void GPeripheral::SetOutput(GOutputTarget* output, bool owns) {
  output_ = GOutputTargetRef(output, owns);
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GPeripheral::StoredSize() const {
  return GAttribute::StoredSize() + 8 + name_.Length() + GraphStoreSizeOf(attributes_.Get()) +
         GraphStoreSizeOf(configuration_.Get()) + 12;
}

template <class Out>
void GPeripheral::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kPeripheralVersion);
  PutItem(out, name_);
  PutReference(out, attributes_.Get());
  PutReference(out, configuration_.Get());
  PutItem(out, first_value_);
  PutItem(out, second_value_);
  PutItem(out, third_value_);
}

template <class In>
void GPeripheral::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  if (!ReadsVersion(scope, in, kPeripheralVersion) || !GetItem(in, name_)) return;
  RestoreHeldReference<GAttributeComposite>(in, scope, *this, attributes_, g_file_lock);
  if (scope.Ok()) {
    RestoreHeldReference<MPersistentObject>(in, scope, *this, configuration_, g_file_lock);
  }
  if (scope.Ok() && GetItem(in, first_value_) && GetItem(in, second_value_)) {
    GetItem(in, third_value_);
  }
  CopyWorkingSet(attributes_);
}

void GPeripheral::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GPeripheral::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GPeripheral::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GPeripheral::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// The chain

bool GPeripheral::EndsPass(const GCountedPtr& command) {
  if (!command) return true;
  RWClassID id = command->ClassId();
  return id == kGNoCommandId || id == kGErrorCommandId;
}

GCountedPtr GPeripheral::Submit(const GCountedPtr& command) {
  if (!command || !enabled_) return command;
  return PassOn(command, &SubmitPiece);
}

GCountedPtr GPeripheral::SubmitToSelf(const GCountedPtr& command) {
  return PassOn(command, [](GPeripheral& device, const GCountedPtr& piece) {
    return device.SubmitToSelf(piece);
  });
}

GCountedPtr GPeripheral::PassOn(const GCountedPtr& command, PieceRoad road) {
  GCommand* in_hand = AsCommand(command);
  if (!in_hand) return command;
  in_hand->SetCommandWord(0);
  if (in_hand->AsComposite()) return ExpandThrough(command, road);
  if (EndsPass(command)) return command;
  AttributeHookBefore(*in_hand);
  AttributeHookAfter(*in_hand);
  return Transform(command);
}

GCountedPtr GPeripheral::ExpandComposite(const GCountedPtr& composite) {
  return ExpandThrough(composite, &SubmitPiece);
}

GCountedPtr GPeripheral::ExpandThrough(const GCountedPtr& composite, PieceRoad road) {
  GCommand* whole = AsCommand(composite);
  if (!whole || !whole->AsComposite()) return composite;
  // A command composite lends its own children to the devices; any other
  // composite hands its pieces out through its iterator, each held while
  // the devices have it. The command list on disk reads its pieces from
  // its file: copies, which a device may have changed in place, so they
  // always go on in a new composite. A composite in memory goes on itself
  // when each piece came back as it went: the results are gathered only
  // from the first piece that did not, the pieces before it taken again
  // from the composite.
  const auto* list = dynamic_cast<const GCommandList*>(whole);
  std::unique_ptr<MChildIterator> pieces(list ? nullptr : whole->NewChildIterator());
  if (!list && !pieces) return GCountedPtr();  // [NOMEM]: nothing goes on
  auto* records = dynamic_cast<MRecordIterator*>(pieces.get());
  std::optional<GCountedPtrVector> results;
  RWSize unchanged = 0;  // pieces that came back as they went, before any other
  if (records) results.emplace(whole->EntryCount());
  for (RWSize i = 0; list ? i < list->Children().Count() : pieces->Next(); ++i) {
    GCountedPtr held;
    if (!list)
      held = records ? records->CurrentObject() : GCountedPtr(pieces->Current(), g_file_lock);
    const GCountedPtr& piece = list ? list->Children()[i] : held;
    if (!piece) continue;
    GCountedPtr result = road(*this, piece);
    if (result && result->ClassId() == kGErrorCommandId) return result;
    if (!results) {
      if (result.Get() == piece.Get()) {
        ++unchanged;
        continue;
      }
      results.emplace(whole->EntryCount());
      if (!AppendUnchangedPieces(*whole, unchanged, *results)) return GCountedPtr();
    }
    if (!result || result->ClassId() == kGNoCommandId) continue;
    results->Append(std::move(result));
  }
  // A spooled page whose file failed never passes for a shorter page.
  if (records && records->Failed())
    return GCountedPtr(RWNew<GErrorCommand>(kSpoolFailure, whole, 0u), g_file_lock);
  if (!results) return composite;
  if (results->Count() == 0) return GCountedPtr(RWNew<GNoCommand>(), g_file_lock);
  GCountedPtr built(RWNew<GCommandComposite>(), g_file_lock);
  if (!built) return GCountedPtr();
  for (RWSize i = 0; i < results->Count(); ++i) {
    if (GCommand* command = AsCommand((*results)[i])) {
      command->PrepareForComposite();
      built->AddChild(command);
    }
  }
  return built;
}

GCountedPtr GPeripheral::Transform(const GCountedPtr& command) {
  GCommand* in_hand = AsCommand(command);
  if (!in_hand) return command;
  std::uint16_t code = in_hand->Execute(*this);
  if (code == 0) return command;
  return GCountedPtr(RWNew<GErrorCommand>(code, in_hand, 0u), g_file_lock);
}

void GPeripheral::Reset() {
  enabled_ = true;
  CopyWorkingSet(attributes_);
}

void GPeripheral::AttributeHookBefore(GCommand&) {}

void GPeripheral::AttributeHookAfter(GCommand&) {}

std::uint32_t GPeripheral::HasPageScale() {
  return 1;
}

GScalePair GPeripheral::GetPageScale(GAttributeComposite*, GAttributeComposite*, std::uint32_t,
                                     std::uint32_t&) {
  return GScalePair{};
}

std::uint32_t GPeripheral::GetFlags() {
  return 0;
}

// ---------------------------------------------------------------------------
// The handlers

std::uint16_t GPeripheral::BeginBezier(GPolyBezierGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawPolygon(GPolygonGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawRectangle(GRectangleGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawBitmap(GRasterGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawTextString(GTextStringGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DownloadFace(GDownloadFace&) {
  return 0;
}

std::uint16_t GPeripheral::DocumentStart(GDocumentStart&) {
  job_state_ = kJobInDocument;
  return 0;
}

std::uint16_t GPeripheral::DocumentEnd(GDocumentEnd&) {
  job_state_ = kJobIdle;
  return 0;
}

std::uint16_t GPeripheral::OnPassBreak(GCommand&) {
  return 0;
}

std::uint16_t GPeripheral::PageStart(GPageStart&) {
  job_state_ = kJobInPage;
  return 0;
}

std::uint16_t GPeripheral::PageEnd(GPageEnd&) {
  job_state_ = kJobInDocument;
  return 0;
}

std::uint16_t GPeripheral::JobAbort(GJobAbort&) {
  job_state_ = kJobIdle;
  return 0;
}

std::uint16_t GPeripheral::SetColorMap(GColorMap&) {
  return 0;
}

std::uint16_t GPeripheral::SetHalftone(GHalftone&) {
  return 0;
}

std::uint16_t GPeripheral::SetHalftoneEnhanced(GHalftoneEnhanced&) {
  return 0;
}

std::uint16_t GPeripheral::SetNeutralGrays(GNeutralGrays&) {
  return 0;
}

std::uint16_t GPeripheral::SetEdgeControl(GEdgeControl&) {
  return 0;
}

std::uint16_t GPeripheral::SetSRGBColor(GSRGBColor&) {
  return 0;
}

std::uint16_t GPeripheral::SetSRGBExtension(GSRGBExtension&) {
  return 0;
}

std::uint16_t GPeripheral::SetClipToRectangle(GClipToRectangle&) {
  return 0;
}

std::uint16_t GPeripheral::SetClipToSingleRectangle(GClipToSingleRectangle&) {
  return 0;
}

std::uint16_t GPeripheral::SetPen(GPen&) {
  return 0;
}

std::uint16_t GPeripheral::SetDashedPen(GDashedPen&) {
  return 0;
}

std::uint16_t GPeripheral::SetFillMode(GFillMode&) {
  return 0;
}

std::uint16_t GPeripheral::SetBrush(GBrush&) {
  return 0;
}

std::uint16_t GPeripheral::SetTransform(GTransformAttribute&) {
  return 0;
}

std::uint16_t GPeripheral::SetValueAttribute(GValueAttribute&) {
  return 0;
}

std::uint16_t GPeripheral::SetStringAttribute(GStringAttribute&) {
  return 0;
}

std::uint16_t GPeripheral::SetEnumAttribute(GEnumAttribute&) {
  return 0;
}

std::uint16_t GPeripheral::SetRangeAttribute(GRangeAttribute&) {
  return 0;
}

std::uint16_t GPeripheral::SetClipToPage(GClipToPage&) {
  return 0;
}

std::uint16_t GPeripheral::PassThrough(GPassThroughCommand&) {
  return 0;
}

std::uint32_t GPeripheral::SetMedia(GMedia&) {
  return 0;
}

std::uint32_t GPeripheral::SetTray(GTray&) {
  return 0;
}

std::uint16_t GPeripheral::SetRasterOperation(GRasterOperation&) {
  return 0;
}

std::uint16_t GPeripheral::SetPenColor(GColorPaint&) {
  return 0;
}

std::uint16_t GPeripheral::SetBrushColor(GColorPaint&) {
  return 0;
}

std::uint16_t GPeripheral::DrawPath(GPathGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawGraphicComposite(GGraphicComposite&) {
  return 0;
}

std::uint16_t GPeripheral::DownloadHeader(GDownloadHeaderCommand&) {
  return 0;
}

std::uint16_t GPeripheral::SetCap(GCap&) {
  return 0;
}

std::uint16_t GPeripheral::SetJoint(GJoint&) {
  return 0;
}

std::uint16_t GPeripheral::SetClipToPath(GClipToPath&) {
  return 0;
}
