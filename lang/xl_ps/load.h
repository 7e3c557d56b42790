// Loads and unloads the ZDL XL and PostScript generators: loads the text
// commands (and everything below them) first, then registers GVexalon and
// GPostScript; unloading removes them, then unloads the text commands.
// Nested calls are counted; the last unload undoes. Thread-safe.
#pragma once

void XlPsLoad();
void XlPsUnload();
