// Loads and unloads the output model's core: loads the configuration model
// first, then registers the core's persistable classes; unloading removes
// them, then unloads the configuration model. Nested calls are counted; the
// last unload undoes. Thread-safe.
#pragma once

void OutputCoreLoad();
void OutputCoreUnload();
