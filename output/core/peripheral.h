// GPeripheral: the device base of the output chain's filters and
// generators. It is itself an attribute (attribute.h), and it is the target
// of the double dispatch of attributes and commands: each attribute kind's
// or command's Execute(device) calls the one operation below that belongs
// to its kind, with itself, and passes the answer back. The base's
// handlers answer 0 (the job-event handlers also move the job state); a
// device overrides the operations of the settings and commands it uses.
//
// The chain. A job hands each command to a device's Submit, which answers
// the command to hand to the next device:
//   - a null command, or any command while the device is disabled, comes
//     back unchanged, and nothing is called;
//   - otherwise the command word is cleared and
//       a composite command (one whose AsComposite answers non-null: a
//       GCommandComposite, or the command list on disk) is taken apart by
//       ExpandComposite, whose answer takes its place;
//       a no-op command (715) or an error command (714) comes back
//       unchanged: both end the pass through the chain;
//       any other command goes through AttributeHookBefore, then
//       AttributeHookAfter, then Transform, whose answer is returned.
// Transform executes the command on the device (double dispatch) and
// answers the command itself when the handler answered 0, else a new
// GErrorCommand (key 0) that carries the code and holds the command.
// ExpandComposite hands each piece of a composite, in order, to Submit: an
// error command met ends the walk and is the answer; no-op commands are
// dropped; the other results go, in order, into a new GCommandComposite (each
// prepared with PrepareForComposite first), which is the answer; but the
// composite itself when every piece of a composite in memory came back as it
// went, a new GNoCommand (key 0) when every piece was dropped, and a new
// GErrorCommand(kSpoolFailure) holding the list when the command list on disk's
// file failed during the walk (or was gone). No device may change a command
// composite while it is taken apart. How the walk lends and copies the pieces:
// docs/notes/output.md#peripheral
//
// The job-event handlers move the job state: DocumentStart to 1 (in a
// document), PageStart to 2 (in a page), PageEnd to 1, DocumentEnd and
// JobAbort to 0; each answers 0. The handler for the pass-break command
// (class id 718, which no class of this system has) answers 0.
//
// Fields: a name; an attribute set (an attribute composite, or none) and
// its working copy, a deep copy made at construction, at restore and at
// Reset, which the device may change while it runs; a configuration (any
// model object, normally the attribute composite of the device's settings,
// keyed kDeviceSettingsKey; or none); three 32-bit values that its maker
// gives; the enabled flag (1 after construction; Reset sets it again); the
// job state; the output object (not persistable) with its owns flag.
//
// The page-scale query: HasPageScale answers 1 and GetPageScale (1.0, 1.0)
// in the base; GetFlags answers 0.
//
// Operations keep their order among the device's virtual operations
// (comments mark the places of those not built yet); the settings' handlers
// are GAttributeHandlers' (attribute_handlers.h). Design notes:
// docs/notes/output.md#peripheral
//
// Class id 760, not registered with the factory; kind test 760, 753, 751.
// Content equality: the same object; or a device (of any class: a derived
// class compares class ids itself when it must) with equal keys, names and
// values, and attribute sets and configurations each both absent, the
// same, or equal in content. Executed as an attribute, a device calls no
// operation and answers 0.
//
// Stored form, after the GAttribute part (attribute.h; RWFile items
// little-endian, a virtual stream carries the same items in the same
// order):
//   version        u32  kPeripheralVersion
//   name           8-bit string (u32 length, then the bytes)
//   attributes     object reference: an attribute composite, or the nil
//                  object for none
//   configuration  object reference: a model object, or the nil object
//   first value    u32
//   second value   u32
//   third value    u32
// The working set, the enabled flag, the job state and the output object
// are working state and are not stored. A restore of another version reads
// nothing further. The attribute set read must be an attribute composite
// and the configuration a model object: anything else, or a back reference
// to an object still being restored (a cycle), fails the restore, leaves
// that field empty, and is refused (freed unless the graph holds it
// elsewhere). A restore
// remakes the working set from what it read.
//
// Ownership: the device holds its attribute set, working set and
// configuration through counted pointers; copies share the set and the
// configuration and make their own working set (a deep copy of the
// source's). An owned output object is held (output_target.h): the device
// lets go of it when destroyed or when another replaces it, and the last
// holder deletes it; copies start without one. Threads: one device is
// driven by one thread at a time.
#pragma once

#include <cstdint>

#include "config/attributes/attribute.h"
#include "foundation/rw/cstring.h"
#include "interfaces/attribute_handlers.h"
#include "output/core/output_target.h"
#include "persist/counted_ptr.h"

class GAttributeComposite;
class GCommand;
class GDocumentStart;
class GDocumentEnd;
class GPageStart;
class GPageEnd;
class GJobAbort;
class GPassThroughCommand;
class GPolyBezierGraphic;
class GPolygonGraphic;
class GRectangleGraphic;
class GRasterGraphic;
class GColorPaint;
class GTextStringGraphic;
class GDownloadFace;
class GPathGraphic;
class GGraphicComposite;
class GDownloadHeaderCommand;

inline constexpr RWClassID kGPeripheralId = 760;
inline constexpr std::uint32_t kPeripheralVersion = 1;
// The class id of the pass-break command, which no class of this system
// has; a device executes it through OnPassBreak.
inline constexpr RWClassID kPassBreakId = 718;

// The job state that the job-event handlers set.
inline constexpr std::uint32_t kJobIdle = 0;
inline constexpr std::uint32_t kJobInDocument = 1;
inline constexpr std::uint32_t kJobInPage = 2;

// A pair of scale factors (x, y).
struct GScalePair {
  float x = 1.0f;
  float y = 1.0f;
};

class GPeripheral : public GAttribute, public GAttributeHandlers {
 public:
  // Key 0; no name, set or configuration; values 0; enabled.
  GPeripheral();
  explicit GPeripheral(const std::uint32_t& key);
  // Holds `attributes` and `configuration` (none when null).
  GPeripheral(const RWCString& name, GAttributeComposite* attributes,
              MPersistentObject* configuration, const std::uint32_t& key, std::uint32_t first_value,
              std::uint32_t second_value, std::uint32_t third_value);
  // See Ownership; enabled flag and job state copied.
  GPeripheral(const GPeripheral& other);
  // Nothing on self-assignment; else as the copy, but the device keeps its
  // own output object and reference count.
  GPeripheral& operator=(const GPeripheral& other);
  // Lets go of the sets and the configuration; deletes an owned output
  // object.
  ~GPeripheral() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The GAttribute part, 20, the name's bytes and the two references.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 760, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // 0: no device operation takes a device.
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // The command (a counted GCommand) to hand to the next device; see the
  // file comment. Anything that is not a command comes back unchanged.
  virtual GCountedPtr Submit(const GCountedPtr& command);
  // Enables the device and remakes its working set from the attribute set.
  virtual void Reset();
  // (seven operations of the output model)
  // Executes `command` on the device; see the file comment.
  virtual GCountedPtr Transform(const GCountedPtr& command);
  // (one operation of the output model)
  // Called with each command that goes on to Transform, in this order,
  // before it; nothing here.
  virtual void AttributeHookBefore(GCommand& command);
  virtual void AttributeHookAfter(GCommand& command);
  // (nine operations of the output model)
  // The configuration, or null.
  virtual MPersistentObject* GetConfiguration() const;
  // (three operations of the output model)
  // The page-scale query of the scaling and imposing filters. `status`
  // belongs to the caller; 3 means that a device ahead has answered.
  virtual std::uint32_t HasPageScale();
  virtual GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                                  std::uint32_t page_number, std::uint32_t& status);
  virtual std::uint32_t GetFlags();
  // (six operations of the output model)

  // The drawing handlers: each graphic's Execute calls the one of its kind
  // with itself.
  virtual std::uint16_t BeginBezier(GPolyBezierGraphic& graphic);
  // (three operations of the output model)
  virtual std::uint16_t DrawPolygon(GPolygonGraphic& graphic);
  virtual std::uint16_t DrawRectangle(GRectangleGraphic& graphic);
  virtual std::uint16_t DrawBitmap(GRasterGraphic& graphic);
  // (three operations of the output model)
  virtual std::uint16_t DrawTextString(GTextStringGraphic& graphic);
  // A download-face command's Execute calls this with itself.
  virtual std::uint16_t DownloadFace(GDownloadFace& command);
  // The job-event handlers: each job command's Execute calls the one of its
  // kind with itself.
  virtual std::uint16_t DocumentStart(GDocumentStart& command);
  virtual std::uint16_t DocumentEnd(GDocumentEnd& command);
  // The pass break: a command of class id kPassBreakId.
  virtual std::uint16_t OnPassBreak(GCommand& command);
  virtual std::uint16_t PageStart(GPageStart& command);
  virtual std::uint16_t PageEnd(GPageEnd& command);
  virtual std::uint16_t JobAbort(GJobAbort& command);

  // The rendering-style settings.
  std::uint16_t SetColorMap(GColorMap& attribute) override;
  // (two operations of the output model)
  std::uint16_t SetHalftone(GHalftone& attribute) override;
  std::uint16_t SetHalftoneEnhanced(GHalftoneEnhanced& attribute) override;
  std::uint16_t SetNeutralGrays(GNeutralGrays& attribute) override;
  std::uint16_t SetEdgeControl(GEdgeControl& attribute) override;
  std::uint16_t SetSRGBColor(GSRGBColor& attribute) override;
  std::uint16_t SetSRGBExtension(GSRGBExtension& attribute) override;
  // The drawing attributes: each one's Execute calls the one of its kind
  // with itself.
  std::uint16_t SetClipToRectangle(GClipToRectangle& clip) override;
  std::uint16_t SetClipToSingleRectangle(GClipToSingleRectangle& clip) override;
  std::uint16_t SetPen(GPen& pen) override;
  std::uint16_t SetDashedPen(GDashedPen& pen) override;
  std::uint16_t SetFillMode(GFillMode& mode) override;
  std::uint16_t SetBrush(GBrush& brush) override;
  std::uint16_t SetTransform(GTransformAttribute& transform) override;
  // The value settings. An enumeration clears its own state word after
  // SetEnumAttribute.
  std::uint16_t SetValueAttribute(GValueAttribute& attribute) override;
  std::uint16_t SetStringAttribute(GStringAttribute& attribute) override;
  std::uint16_t SetEnumAttribute(GEnumAttribute& attribute) override;
  std::uint16_t SetRangeAttribute(GRangeAttribute& attribute) override;
  std::uint16_t SetClipToPage(GClipToPage& clip) override;
  // A pass-through command's Execute calls this with itself.
  virtual std::uint16_t PassThrough(GPassThroughCommand& command);
  // (two operations of the output model)
  // The paper path: a medium's and a tray's Execute pass these answers on.
  std::uint32_t SetMedia(GMedia& medium) override;
  std::uint32_t SetTray(GTray& tray) override;
  std::uint16_t SetRasterOperation(GRasterOperation& operation) override;
  // (fifteen operations of the output model)
  // A colour paint's ApplyToPen and ApplyToBrush call these with itself.
  virtual std::uint16_t SetPenColor(GColorPaint& paint);
  // (one operation of the output model)
  virtual std::uint16_t SetBrushColor(GColorPaint& paint);

  // The handlers without a known place (see above).
  virtual std::uint16_t DrawPath(GPathGraphic& graphic);
  virtual std::uint16_t DrawGraphicComposite(GGraphicComposite& graphic);
  virtual std::uint16_t DownloadHeader(GDownloadHeaderCommand& command);
  std::uint16_t SetCap(GCap& cap) override;
  std::uint16_t SetJoint(GJoint& joint) override;
  std::uint16_t SetClipToPath(GClipToPath& clip) override;

  // The command that replaces the composite command `composite`; see the
  // file comment. Anything that is not a composite comes back unchanged.
  GCountedPtr ExpandComposite(const GCountedPtr& composite);

  void Enable() { enabled_ = true; }
  void Disable() { enabled_ = false; }
  bool IsEnabled() const { return enabled_; }

  const RWCString& GetName() const { return name_; }
  // The attribute set and the working set, or null.
  GAttributeComposite* GetAttributes() const;
  GAttributeComposite* GetWorkingAttributes() const;
  std::uint32_t GetFirstValue() const { return first_value_; }
  std::uint32_t GetSecondValue() const { return second_value_; }
  std::uint32_t GetThirdValue() const { return third_value_; }
  std::uint32_t GetJobState() const { return job_state_; }

  // The output object (null when none) and whether the device owns it.
  GOutputTarget* GetOutput() const { return output_.Get(); }
  bool OwnsOutput() const { return output_.Holds(); }
  // Takes `output`: with `owns` the device holds it (and deletes it when
  // no other holder is left), else borrows it. An owned output object that
  // it replaces is let go.
  void SetOutput(GOutputTarget* output, bool owns);
  // Takes the port that `output` refers to, holding it as `output` does.
  void SetOutput(const GOutputTargetRef& output) { output_ = output; }

 protected:
  // Where the pieces of a composite command go.
  using PieceRoad = GCountedPtr (*)(GPeripheral& device, const GCountedPtr& piece);

  // The road of an enabled device, whose pieces of composites go through
  // `road`: Submit hands them to Submit again; a device that passes
  // commands on to devices of its own (the peripheral composite) runs its
  // own part through SubmitToSelf, whose pieces stay on this road.
  GCountedPtr PassOn(const GCountedPtr& command, PieceRoad road);
  GCountedPtr SubmitToSelf(const GCountedPtr& command);
  // Whether `command` ends the pass through a chain: null, a no-op command
  // or an error command.
  static bool EndsPass(const GCountedPtr& command);

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  GCountedPtr ExpandThrough(const GCountedPtr& composite, PieceRoad road);
  // The working set := a deep copy of `source` (none when null).
  void CopyWorkingSet(const GCountedPtr& source);

  RWCString name_;
  GCountedPtr attributes_;          // an attribute composite, or empty
  GCountedPtr working_attributes_;  // a deep copy of a set, or empty
  GCountedPtr configuration_;       // a model object, or empty
  std::uint32_t first_value_ = 0;
  std::uint32_t second_value_ = 0;
  std::uint32_t third_value_ = 0;
  bool enabled_ = true;
  std::uint32_t job_state_ = kJobIdle;
  GOutputTargetRef output_;  // held when owned
};
