#include "support/fixture_settings.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"

namespace support {

GValueAttribute* Value(std::uint32_t key, std::uint16_t value) {
  return new GValueAttribute(value, key);
}

GStringAttribute* Text(std::uint32_t key, const char* text) {
  return new GStringAttribute(text, key);
}

GAttributeComposite* Group(std::uint32_t key, std::initializer_list<GAttribute*> children) {
  auto* group = new GAttributeComposite(key);
  for (GAttribute* child : children)
    group->AddChild(child);
  return group;
}

GAttributeComposite* Model() {
  auto* document =
      Group(362, {Value(248, 1), Value(253, 0), Value(258, 19), Value(260, 1), Value(266, 1),
                  Value(267, 0), Value(268, 0), Value(270, 0), Value(272, 1), Value(279, 0),
                  Value(710, 0), Value(713, 0), Value(983, 0), Value(410, 0), Value(920, 0),
                  Value(921, 7), Text(973, "Plain"), Value(250, 5),
                  Group(249, {Value(323, 600), Value(324, 600), Value(325, 1)})});
  auto* watermark =
      Group(379, {Value(585, 0), Text(383, "None"), Value(1112, 0), Value(403, 224), Value(388, 0),
                  Value(382, 0), Value(393, 0), Value(394, 0), Text(386, "Arial"), Value(387, 0),
                  Value(398, 0), Value(399, 0), Value(400, 0)});
  auto* color_media =
      Group(364, {Text(261, "Plain"), Text(262, "Plain"), Value(263, 19), Value(264, 0),
                  Value(291, 1), Value(293, 0), Value(296, 0), Value(304, 0),
                  new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey), watermark});
  auto* installed =
      Group(365, {Value(925, 64), Value(307, 1000), Value(308, 0), Value(245, 0), Text(315, ""),
                  Value(915, 0), Text(316, ""), Value(311, 0), Value(981, 0), Value(974, 0),
                  Value(274, 7), Value(1205, 0), Text(1203, ""), Value(927, 1)});
  auto* pool = Group(
      378, {Group(0, {Value(1112, 1), Text(384, "Confidential"), Value(403, 128), Value(388, 1),
                      Value(382, 1), Value(393, 1), Text(386, "Times New Roman"), Value(398, 255),
                      Value(399, 0), Value(400, 0)}),
            Group(0, {Value(1112, 2), Text(384, "Draft"), Value(403, 64)})});
  auto* locks = Group(366, {pool, Group(1102, {})});
  auto* target = Group(328, {Value(218, 0), Value(220, 0), Value(589, 0), Value(223, 600),
                             Value(224, 600), Value(225, 1)});
  return Group(0, {document, color_media, installed, locks, target});
}

GPaperHandlingDevice* Device(const char* name, std::uint32_t type, std::uint32_t optional,
                             std::initializer_list<std::pair<const char*, int>> trays) {
  auto* device = new GPaperHandlingDevice(RWCString(name), type, optional, 0, 1, 0, 0);
  if (trays.size() != 0) {
    auto* part = Group(0, {});
    for (const auto& [tray, id] : trays)
      part->AddChild(new GTray(RWCString(tray), static_cast<std::uint16_t>(id), kTrayKey));
    device->SetPart(1, part);
  }
  return device;
}

GAttributeComposite* Preset(std::uint32_t key, std::uint16_t ret, std::uint16_t tt,
                            std::uint16_t black, std::uint16_t dots) {
  return Group(key, {Value(218, ret), Value(220, tt), Value(589, black),
                     Group(222, {Value(223, dots), Value(224, dots), Value(225, 1)})});
}

void FillJobSettings(GAttributeComposite* job_settings) {
  job_settings->AddChild(Group(
      90, {Device("Main Unit", kPaperSource, 0,
                  {{"Manual Feed", 4}, {"Tray 1", 1}, {"Tray 2 500-Sheet", 2}, {"Bypass Tray", 7}}),
           Device("Lower Cassette", kPaperSource, 1, {{"Tray 3", 3}}),
           Device("MBX-1", kOutputDevice, 1, {})}));
  job_settings->AddChild(Preset(326, 2, 1, 1, 1200));
  job_settings->AddChild(Preset(327, 0, 0, 0, 600));
  job_settings->AddChild(Group(369, {Group(0, {Value(927, 1), Text(370, "Model-100")}),
                                     Group(0, {Value(927, 2), Text(370, "Model-200 dn")})}));
  job_settings->AddChild(
      Group(228, {Group(1208, {Group(0, {Value(1207, 1205), Text(1206, "Kit-A")}),
                               Group(0, {Value(1207, 1203), Text(1206, "Punch-2/3")})})}));
  job_settings->AddChild(new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey));
}

}  // namespace support
