// GPeripheral: the device base of the output chain's filters and
// generators. It is itself an attribute (attribute.h), and it is the target
// of the attributes' double dispatch: each attribute kind's Execute(device)
// calls the one operation below that belongs to its kind, with the
// attribute itself, and passes the answer back. The base's operations do
// nothing and answer 0; a device overrides the operations of the settings
// it uses.
//
// The operations keep their order among the device's virtual operations;
// the output model adds its own between them where the comments say, and
// its job, command and drawing operations after them, by extending this
// class in place.
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

  // The rendering-style settings.
  virtual std::uint16_t SetColorMap(GColorMap& attribute);
  // (two operations of the output model)
  virtual std::uint16_t SetHalftone(GHalftone& attribute);
  virtual std::uint16_t SetHalftoneEnhanced(GHalftoneEnhanced& attribute);
  virtual std::uint16_t SetNeutralGrays(GNeutralGrays& attribute);
  virtual std::uint16_t SetEdgeControl(GEdgeControl& attribute);
  virtual std::uint16_t SetSRGBColor(GSRGBColor& attribute);
  virtual std::uint16_t SetSRGBExtension(GSRGBExtension& attribute);
  // (seven operations of the output model)
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
};
