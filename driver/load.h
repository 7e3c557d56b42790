// Loads and unloads the driver: loads the output model's core first (and
// with it the configuration and persistent object models), then registers
// the driver's own persistable classes in building order; unloading removes
// them in reverse, then unloads the output core. Loading installs the
// device-mode maker (GDevModeSettings::Make), the last unload removes it.
// Nested calls are counted; the last unload undoes. Thread-safe.
#pragma once

void DriverLoad();
void DriverUnload();
