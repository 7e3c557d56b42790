#include "output/core/peripheral.h"

#include <new>

GPeripheral::~GPeripheral() = default;

RWCollectable* GPeripheral::CreateDefault() const {
  return new (std::nothrow) GPeripheral;
}

RWCollectable* GPeripheral::CreateCopy() const {
  return new (std::nothrow) GPeripheral(*this);
}

RWClassID GPeripheral::ClassId() const {
  return kGPeripheralId;
}

bool GPeripheral::IsKindOf(const RWClassID& id) const {
  return id == kGPeripheralId || GAttribute::IsKindOf(id);
}

std::uint16_t GPeripheral::Execute(GPeripheral&) {
  return 0;
}

std::uint16_t GPeripheral::BeginBezier(GPolyBezierGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawPolygon(GPolygonGraphic&) {
  return 0;
}

std::uint16_t GPeripheral::DrawRectangle(GRectangleGraphic&) {
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
