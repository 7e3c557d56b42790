// Loads and unloads the ZDL XL and PostScript generators: loads the font
// handling (and everything below it) first, then registers GVexalon and
// GPostScript; unloading removes them, then unloads the font handling.
// Nested calls are counted; the last unload undoes. Thread-safe.
#pragma once

void XlPsLoad();
void XlPsUnload();
