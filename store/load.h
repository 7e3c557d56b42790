// Loads and unloads the record store and the command list on disk: loads
// the output model's core first (the command list is a command), then
// registers this library's persistable classes in building order;
// unloading removes them in reverse, then unloads the core. Nested calls
// are counted; the last unload undoes. Thread-safe.
#pragma once

void StoreLoad();
void StoreUnload();
