// Loads and unloads the configuration model: loads the persistent object
// model first, then registers this subsystem's persistable classes in
// building order; unloading removes them in reverse, then unloads the
// model. Nested calls are counted; the last unload undoes. Thread-safe.
#pragma once

void ConfigLoad();
void ConfigUnload();
