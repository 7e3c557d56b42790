#include "config/load.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/option_composite.h"
#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_description.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/margin_pool.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "persist/load.h"

namespace {

// Each source file's registration list, in the subsystem's building order.
constexpr RWSubsystemClasses::List kConfigLists[] = {
    &AttributeCompositeClasses,
    &ValueAttributeClasses,
    &EnumAttributeClasses,
    &DisplayStringClasses,
    &StyleAttributeClasses,
    &TintvectorAttributeClasses,
    &MediaClasses,
    &MediaPoolClasses,
    &PaperHandlingDeviceClasses,
    &PaperPartClasses,
    &FormToTrayClasses,
    &CustomMediaSizeClasses,
    &MarginPoolClasses,
    // The printer's font lists and the descriptions they keep.
    &DeviceFontDescriptionClasses,
    &DeviceFontListClasses,
    &DeviceFontListCompositeClasses,
    &OptionCompositeClasses,
};

constinit RWSubsystemClasses g_classes(kConfigLists);

}  // namespace

void ConfigLoad() {
  PersistLoad();
  g_classes.Load();
}

void ConfigUnload() {
  g_classes.Unload();
  PersistUnload();
}
