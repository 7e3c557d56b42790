// GAttributeHandlers: the device's handlers of settings, the one interface
// through which an attribute reaches a device. Each attribute kind's
// Execute(device) calls the one handler below that belongs to its kind,
// with itself, and passes the answer back. GPeripheral (peripheral.h)
// implements every handler, answering 0; a device overrides those of the
// settings it uses. Commands and graphics reach the device through
// GPeripheral's own handlers.
//
// Layering: the device base derives from the attribute base, so it sits
// above the configuration model, whose attributes must still call it. The
// handlers are therefore declared here, in the header-only target
// interfaces below the configuration model, and an attribute knows
// its device only through this interface.
//
// Abstract, no data; devices are never destroyed through it. Threads: as
// the device.
#pragma once

#include <cstdint>

class GColorMap;
class GHalftone;
class GHalftoneEnhanced;
class GNeutralGrays;
class GEdgeControl;
class GSRGBColor;
class GSRGBExtension;
class GClipToRectangle;
class GClipToSingleRectangle;
class GPen;
class GDashedPen;
class GFillMode;
class GBrush;
class GTransformAttribute;
class GValueAttribute;
class GStringAttribute;
class GEnumAttribute;
class GRangeAttribute;
class GClipToPage;
class GMedia;
class GTray;
class GRasterOperation;
class GCap;
class GJoint;
class GClipToPath;

class GAttributeHandlers {
 public:
  // The rendering-style settings.
  virtual std::uint16_t SetColorMap(GColorMap& attribute) = 0;
  virtual std::uint16_t SetHalftone(GHalftone& attribute) = 0;
  virtual std::uint16_t SetHalftoneEnhanced(GHalftoneEnhanced& attribute) = 0;
  virtual std::uint16_t SetNeutralGrays(GNeutralGrays& attribute) = 0;
  virtual std::uint16_t SetEdgeControl(GEdgeControl& attribute) = 0;
  virtual std::uint16_t SetSRGBColor(GSRGBColor& attribute) = 0;
  virtual std::uint16_t SetSRGBExtension(GSRGBExtension& attribute) = 0;
  // The drawing attributes of the output model.
  virtual std::uint16_t SetClipToRectangle(GClipToRectangle& clip) = 0;
  virtual std::uint16_t SetClipToSingleRectangle(GClipToSingleRectangle& clip) = 0;
  virtual std::uint16_t SetPen(GPen& pen) = 0;
  virtual std::uint16_t SetDashedPen(GDashedPen& pen) = 0;
  virtual std::uint16_t SetFillMode(GFillMode& mode) = 0;
  virtual std::uint16_t SetBrush(GBrush& brush) = 0;
  virtual std::uint16_t SetTransform(GTransformAttribute& transform) = 0;
  // The value settings. An enumeration clears its own state word after
  // SetEnumAttribute.
  virtual std::uint16_t SetValueAttribute(GValueAttribute& attribute) = 0;
  virtual std::uint16_t SetStringAttribute(GStringAttribute& attribute) = 0;
  virtual std::uint16_t SetEnumAttribute(GEnumAttribute& attribute) = 0;
  virtual std::uint16_t SetRangeAttribute(GRangeAttribute& attribute) = 0;
  virtual std::uint16_t SetClipToPage(GClipToPage& clip) = 0;
  // The paper path: a medium's and a tray's Execute pass these answers on,
  // cut to 16 bits.
  virtual std::uint32_t SetMedia(GMedia& medium) = 0;
  virtual std::uint32_t SetTray(GTray& tray) = 0;
  virtual std::uint16_t SetRasterOperation(GRasterOperation& operation) = 0;
  // Line ends and joints (a miter joint is a joint), and the clip to a
  // path.
  virtual std::uint16_t SetCap(GCap& cap) = 0;
  virtual std::uint16_t SetJoint(GJoint& joint) = 0;
  virtual std::uint16_t SetClipToPath(GClipToPath& clip) = 0;

 protected:
  GAttributeHandlers() = default;
  GAttributeHandlers(const GAttributeHandlers&) = default;
  GAttributeHandlers& operator=(const GAttributeHandlers&) = default;
  ~GAttributeHandlers() = default;
};
