// The resources of the driver's resource library (the module its settings
// name): texts, dialog templates, bitmaps and cursors, made at build time
// from resources/resource_library.rcs. A host adds them to the module entry
// it serves that library from (platform::AddModuleResources).
#pragma once

#include "platform/host/resources.h"

namespace resources {

platform::ModuleResources ResourceLibrary();

}  // namespace resources
