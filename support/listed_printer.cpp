#include "support/listed_printer.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "output/core/peripheral_composite.h"
#include "persist/configuration.h"
#include "persist/find_of_class.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
#include "persist/selection_string.h"
#include "support/fixture_printer.h"

namespace support {
namespace {

GValueAttribute* Probe(std::uint16_t value) {
  return new GValueAttribute(value, 0u);
}

MAssociationList* Papers() {
  auto* list = new MAssociationList(kPaperAssociationsKey);
  for (std::uint16_t paper : kListedPapers)
    list->AddChild(new MPersistentAssociation(Probe(paper), Probe(paper)));
  return list;
}

MAssociationList* Qualities() {
  auto* list = new MAssociationList(kCopyPageChoicesKey);
  list->AddChild(new MPersistentAssociation(Probe(1), new GSelectionString("LOW", 1)));
  list->AddChild(new MPersistentAssociation(Probe(2), new GSelectionString("low", 2)));
  return list;
}

MAssociationList* PrinterDataValues() {
  auto* list = new MAssociationList(kPrinterDataValuesKey);
  list->AddChild(
      new MPersistentAssociation(new GStringAttribute("925", 0), new GAttributeComposite(0u)));
  const struct {
    std::uint16_t key;
    const char* name;
  } values[] = {
      {kMemoryKey, "Mem"}, {kAccessoryOutputBinsKey, "Bin"}, {kPrinterMemoryKey, "Level"}};
  for (const auto& value : values)
    list->AddChild(
        new MPersistentAssociation(Probe(value.key), new GStringAttribute(value.name, 0)));
  return list;
}

}  // namespace

MPersistentComposite* BuildListedDataFile() {
  MPersistentComposite* root = BuildFixtureDataFile();
  auto* configuration = FindOfClass<GPeripheralComposite>(root, kDriverConfigurationKey);
  auto* printer = FindOfClass<GPeripheralComposite>(configuration, kPrinterObjectKey);
  if (!printer) return root;
  // A device's configuration is fixed at construction: the printer object
  // is made anew around the new set, sharing the old one's parts.
  auto* set = new GConfiguration(kDeviceSettingsKey);
  set->AddChild(printer->GetConfiguration());
  set->AddChild(Papers());
  set->AddChild(Qualities());
  set->AddChild(PrinterDataValues());
  auto* listed = new GPeripheralComposite(printer->GetName(), printer->GetAttributes(), set,
                                          kPrinterObjectKey, printer->GetFirstValue(),
                                          printer->GetSecondValue(), printer->GetThirdValue());
  for (RWSize i = 0; i < printer->Children().Count(); ++i)
    listed->AddChild(printer->Children()[i].Get());
  delete configuration->RemoveChild(printer);
  configuration->AddChild(listed);
  return root;
}

}  // namespace support
