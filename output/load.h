// Loads and unloads the output model: loads its core first (and with it the
// layers below), then registers the output model's persistable classes;
// unloading removes them, then unloads the core. Nested calls are counted;
// the last unload undoes. Thread-safe.
#pragma once

void OutputLoad();
void OutputUnload();
