// GPeripheral: the device base of the output chain's filters and
// generators. It is itself an attribute (attribute.h), and it is the target
// of the double dispatch of attributes and commands: each attribute kind's
// or graphic's Execute(device) calls the one operation below that belongs
// to its kind, with itself, and passes the answer back. The base's
// operations do nothing and answer 0; a device overrides the operations of
// the settings and graphics it uses.
//
// The operations keep their order among the device's virtual operations;
// the output model adds the rest of its own (the job, submit and
// page-scale operations ahead of these, the others where the comments
// say) by extending this class in place.
//
// Layering: the configuration model (below this library) includes this
// header and calls these operations, but only as virtual calls through a
// device reference it is given; it needs no symbol of output_core at link
// time. Keep every operation the attributes call virtual, and never make
// them inline non-virtual helpers.
//
// Class id 760, not registered with the factory; kind test 760, 753, 751.
// Stored form: the GAttribute part (attribute.h); the device's own part
// comes with the output model. Executed as an attribute, a device calls no
// operation and answers 0.
//
// Ownership: as MPersistentObject. Threads: one device is driven by one
// thread at a time.
#pragma once

#include <cstdint>

#include "config/attributes/attribute.h"

class GColorMap;
class GHalftone;
class GHalftoneEnhanced;
class GNeutralGrays;
class GEdgeControl;
class GSRGBColor;
class GSRGBExtension;
class GValueAttribute;
class GStringAttribute;
class GEnumAttribute;
class GRangeAttribute;
class GMedia;
class GTray;
class GPolyBezierGraphic;
class GPolygonGraphic;
class GRectangleGraphic;
class GClipToRectangle;
class GClipToSingleRectangle;
class GPen;
class GDashedPen;
class GFillMode;
class GRasterOperation;
class GColorPaint;

inline constexpr RWClassID kGPeripheralId = 760;

class GPeripheral : public GAttribute {
 public:
  GPeripheral() = default;
  explicit GPeripheral(const std::uint32_t& key) : GAttribute(key) {}
  GPeripheral(const GPeripheral& other) = default;
  ~GPeripheral() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // 760, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // 0: no device operation takes a device.
  std::uint16_t Execute(GPeripheral& device) override;

  // The drawing handlers: each graphic's Execute calls the one of its kind
  // with itself.
  virtual std::uint16_t BeginBezier(GPolyBezierGraphic& graphic);
  // (three operations of the output model)
  virtual std::uint16_t DrawPolygon(GPolygonGraphic& graphic);
  virtual std::uint16_t DrawRectangle(GRectangleGraphic& graphic);
  // (the bitmap, text-string and download-face handlers and the job events
  // of the output model)

  // The rendering-style settings.
  virtual std::uint16_t SetColorMap(GColorMap& attribute);
  // (two operations of the output model)
  virtual std::uint16_t SetHalftone(GHalftone& attribute);
  virtual std::uint16_t SetHalftoneEnhanced(GHalftoneEnhanced& attribute);
  virtual std::uint16_t SetNeutralGrays(GNeutralGrays& attribute);
  virtual std::uint16_t SetEdgeControl(GEdgeControl& attribute);
  virtual std::uint16_t SetSRGBColor(GSRGBColor& attribute);
  virtual std::uint16_t SetSRGBExtension(GSRGBExtension& attribute);
  // The drawing attributes: each one's Execute calls the one of its kind
  // with itself.
  virtual std::uint16_t SetClipToRectangle(GClipToRectangle& clip);
  virtual std::uint16_t SetClipToSingleRectangle(GClipToSingleRectangle& clip);
  virtual std::uint16_t SetPen(GPen& pen);
  virtual std::uint16_t SetDashedPen(GDashedPen& pen);
  virtual std::uint16_t SetFillMode(GFillMode& mode);
  // (two operations of the output model)
  // The value settings. An enumeration clears its own state word after
  // SetEnumAttribute.
  virtual std::uint16_t SetValueAttribute(GValueAttribute& attribute);
  virtual std::uint16_t SetStringAttribute(GStringAttribute& attribute);
  virtual std::uint16_t SetEnumAttribute(GEnumAttribute& attribute);
  virtual std::uint16_t SetRangeAttribute(GRangeAttribute& attribute);
  // (four operations of the output model)
  // The paper path: a medium's and a tray's Execute pass these answers on.
  virtual std::uint32_t SetMedia(GMedia& medium);
  virtual std::uint32_t SetTray(GTray& tray);
  virtual std::uint16_t SetRasterOperation(GRasterOperation& operation);
  // (fifteen operations of the output model)
  // A colour paint's ApplyToPen and ApplyToBrush call these with itself.
  virtual std::uint16_t SetPenColor(GColorPaint& paint);
  // (one operation of the output model)
  virtual std::uint16_t SetBrushColor(GColorPaint& paint);
};
