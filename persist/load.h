// Loads and unloads the persistent object model: loads the foundation first,
// then registers this subsystem's persistable classes in building order;
// unloading removes them in reverse. Nested calls are counted; the last
// unload undoes. Thread-safe.
#pragma once

#include <span>

#include "foundation/rw/registration.h"

void PersistLoad();
void PersistUnload();
