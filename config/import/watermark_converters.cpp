#include "config/import/watermark_converters.h"

#include <memory>
#include <string_view>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return red | green << 8 | blue << 16;
}

constexpr GWatermarkColorRow kColorRows[] = {
    {u"Gray", Rgb(255, 255, 255)},  {u"Red", Rgb(255, 0, 0)},   {u"Yellow", Rgb(255, 255, 0)},
    {u"Blue", Rgb(0, 0, 255)},      {u"Green", Rgb(0, 255, 0)}, {u"Cyan", Rgb(0, 255, 255)},
    {u"Magenta", Rgb(255, 0, 255)},
};

constexpr GWatermarkFontRow kFontRows[] = {
    {u"Times New Roman", "Times New Roman"},
    {u"Courier New", "Courier New"},
    {u"Helvetica", "Helvetica"},
    {u"Arial", "Arial"},
};

// The first child of `pool` that `accept` accepts, or null.
template <class Accept>
MPersistentObject* FindDefinition(MPersistentObject* pool, Accept accept) {
  if (pool == nullptr) return nullptr;
  std::unique_ptr<MChildIterator> definitions(pool->NewChildIterator());
  while (definitions != nullptr && definitions->Next()) {
    MPersistentObject* definition = definitions->Current();
    if (definition != nullptr && accept(definition)) return definition;
  }
  return nullptr;
}

// The current watermark takes a definition's property: a value the value,
// a text the text; a pair of different classes is left alone.
void TakeProperty(MPersistentObject* from, MPersistentObject* to) {
  if (auto* value = dynamic_cast<GValueAttribute*>(to)) {
    if (auto* source = dynamic_cast<GValueAttribute*>(from)) value->SetValue(source->GetValue());
  } else if (auto* text = dynamic_cast<GStringAttribute*>(to)) {
    if (auto* source = dynamic_cast<GStringAttribute*>(from)) text->SetValue(source->GetValue());
  }
}

}  // namespace

// --- The watermark.

GWatermarksConverter::GWatermarksConverter(GQCFLibrary* store)
    : GTableConverter(store, kWatermarksDescriptor) {}

std::uint32_t GWatermarksConverter::Apply(GAttributeComposite* root,
                                          GAttributeComposite* destination) {
  MPersistentObject* current = FindPath(root, Binding().group_path);
  GStringAttribute* name = FindStringAttribute(current, kSelectedWatermarkKey);
  GValueAttribute* code = FindValueAttribute(current, Binding().attribute_key);
  if (name == nullptr || code == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  const GOptionRow* row = MatchWord(Binding().rows, buffer.Data());
  if (row == nullptr) return 0;
  MPersistentObject* pool = root->FindByKey(kWatermarkListKey);
  if (pool == nullptr) return 1;
  MPersistentObject* definition = FindDefinition(pool, [&](MPersistentObject* each) {
    GValueAttribute* each_code = FindValueAttribute(each, Binding().attribute_key);
    return each_code != nullptr && each_code->GetValue() == row->code;
  });
  if (GStringAttribute* definition_name = FindStringAttribute(definition, kWatermarkNameKey)) {
    name->SetValue(definition_name->GetValue());
    code->SetValue(row->code);
    RecordCopy(destination, *name);
    RecordCopy(destination, *code);
  }
  ApplyOnce<GWMShadeLevelConverter>(root, destination, FeatureStore());
  ApplyOnce<GWMFontStyleConverter>(root, destination, FeatureStore());
  ApplyOnce<GWMFirstPageOnlyConverter>(root, destination, FeatureStore());
  ApplyOnce<GWMFontEscapementConverter>(root, destination, FeatureStore());
  ApplyOnce<GWMFontConverter>(root, destination, FeatureStore());
  ApplyOnce<GWMColorConverter>(root, destination, FeatureStore());
  // The definition's own properties have the last word.
  if (definition != nullptr) {
    for (std::uint32_t key : kPropertyKeys)
      TakeProperty(definition->FindByKey(key), current->FindByKey(key));
  }
  return 1;
}

std::uint32_t GWatermarksConverter::Extract(GAttributeComposite* root) {
  MPersistentObject* current = FindPath(root, Binding().group_path);
  GValueAttribute* code = FindValueAttribute(current, Binding().attribute_key);
  if (code == nullptr) return 0;
  if (WriteFirstTaken(Binding().ExtractKey(), Binding().rows, code->GetValue()) == 0) return 0;
  if (code->GetValue() == 0) return 1;
  GStringAttribute* name = FindStringAttribute(current, kSelectedWatermarkKey);
  MPersistentObject* pool = root->FindByKey(kWatermarkListKey);
  if (name == nullptr || pool == nullptr) return 0;
  auto* definition =
      dynamic_cast<GAttributeComposite*>(FindDefinition(pool, [&](MPersistentObject* each) {
        GStringAttribute* each_name = FindStringAttribute(each, kWatermarkNameKey);
        return each_name != nullptr && each_name->GetValue() == name->GetValue();
      }));
  if (definition == nullptr) return 1;
  ExtractOnce<GWMFontConverter>(definition, FeatureStore());
  ExtractOnce<GWMShadeLevelConverter>(definition, FeatureStore());
  ExtractOnce<GWMColorConverter>(definition, FeatureStore());
  ExtractOnce<GWMFirstPageOnlyConverter>(root, FeatureStore());
  ExtractOnce<GWMFontStyleConverter>(definition, FeatureStore());
  ExtractOnce<GWMFontEscapementConverter>(definition, FeatureStore());
  return 1;
}

// --- Font escapement.

GWMFontEscapementConverter::GWMFontEscapementConverter(GQCFLibrary* store)
    : GTableConverter(store, kWMFontEscapementDescriptor) {}

std::uint32_t GWMFontEscapementConverter::Apply(GAttributeComposite* root,
                                                GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* escapement = Locate(root, Binding(), found, true);
  GValueAttribute* angle = FindOrMakeValue(found.group, kWatermarkAngleKey, kMadeAngle);
  if (escapement == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  const GOptionRow* row = MatchWord(Binding().rows, buffer.Data());
  if (row == nullptr) return 0;
  ApplyRow(*escapement, *row, destination, Binding().destination);
  if (row->code != kCustom) return 1;
  // A custom angle of 0, or none, leaves the escapement custom but is no
  // change of its own.
  std::int32_t degrees = 0;
  if (angle == nullptr || ReadWord(kAnglePath, buffer) == 0 ||
      !ReadDecimal(buffer.Data(), degrees) || degrees == 0) {
    return 0;
  }
  angle->SetValue(static_cast<std::uint16_t>(degrees));
  RecordCopy(destination, *angle);
  return 1;
}

std::uint32_t GWMFontEscapementConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* escapement = LocateForExtract(root, Binding());
  if (escapement == nullptr) return 0;
  const GOptionRow* row = RowOfCode(Binding().rows, escapement->GetValue());
  if (row == nullptr) return 0;
  WriteWord(Binding().ExtractKey(), row->word);
  if (row->code != kCustom) return 1;
  GValueAttribute* angle = FindValueAttribute(root, kWatermarkAngleKey);
  return angle != nullptr ? WriteNumber(kAnglePath, angle->GetValue()) : 0;
}

// --- Colour.

std::span<const GWatermarkColorRow> GWMColorConverter::Rows() {
  return kColorRows;
}

std::uint32_t GWMColorConverter::Apply(GAttributeComposite* root,
                                       GAttributeComposite* destination) {
  MPersistentObject* watermark = FindPath(root, kCurrentWatermarkPath);
  GValueAttribute* red = FindOrMakeValue(watermark, kWatermarkRedKey, kMadeValue);
  GValueAttribute* green = FindOrMakeValue(watermark, kWatermarkGreenKey, kMadeValue);
  GValueAttribute* blue = FindOrMakeValue(watermark, kWatermarkBlueKey, kMadeValue);
  if (red == nullptr || green == nullptr || blue == nullptr) return 0;
  GOptionBuffer buffer;
  if (ReadWord(kKey, buffer) == 0) return 0;
  for (const GWatermarkColorRow& row : kColorRows) {
    if (WideStringsEqual(row.word, buffer.Data()) == 0) continue;
    red->SetValue(row.rgb & 0xFF);
    green->SetValue(row.rgb >> 8 & 0xFF);
    blue->SetValue(row.rgb >> 16 & 0xFF);
    RecordCopy(destination, *red);
    RecordCopy(destination, *green);
    RecordCopy(destination, *blue);
    return 1;
  }
  return 0;
}

std::uint32_t GWMColorConverter::Extract(GAttributeComposite* root) {
  auto low_byte = [&](std::uint32_t key) -> std::uint32_t {
    GValueAttribute* value = FindValueAttribute(root, key);
    return value != nullptr ? value->GetValue() & 0xFF : 0;
  };
  const std::uint32_t rgb =
      Rgb(low_byte(kWatermarkRedKey), low_byte(kWatermarkGreenKey), low_byte(kWatermarkBlueKey));
  for (const GWatermarkColorRow& row : kColorRows) {
    if (row.rgb != rgb) continue;
    WriteWord(kKey, row.word);
    return 1;
  }
  return 0;
}

// --- Font.

std::span<const GWatermarkFontRow> GWMFontConverter::Rows() {
  return kFontRows;
}

std::uint32_t GWMFontConverter::Apply(GAttributeComposite* root, GAttributeComposite* destination) {
  MPersistentObject* watermark = FindPath(root, kCurrentWatermarkPath);
  GStringAttribute* face = FindOrMakeText(watermark, kWatermarkFaceKey, kMadeFace);
  FindOrMakeValue(watermark, kWatermarkCharSetKey, 0);
  if (face == nullptr) return 0;
  GOptionBuffer buffer;
  if (ReadWord(kKey, buffer) == 0) return 0;
  for (const GWatermarkFontRow& row : kFontRows) {
    if (WideStringsEqual(row.word, buffer.Data()) == 0) continue;
    face->SetValue(row.face_name);
    RecordCopy(destination, *face);
    return 1;
  }
  return 0;
}

std::uint32_t GWMFontConverter::Extract(GAttributeComposite* root) {
  const GStringAttribute* face = FindStringAttribute(root, kWatermarkFaceKey);
  if (face == nullptr) return 0;
  const std::string_view text(face->GetValue().Data(), face->GetValue().Length());
  for (const GWatermarkFontRow& row : kFontRows) {
    if (text != row.face_name) continue;
    WriteWord(kKey, row.word);
    return 1;
  }
  return 0;
}
