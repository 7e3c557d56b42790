// Loads and unloads the job language and ZDL5 generator: loads the font
// handling (and everything below it) first, then registers GWqm and
// GZdl5e; unloading removes them, then unloads the font handling. Nested
// calls are counted; the last unload undoes. Thread-safe.
#pragma once

void JobLanguageLoad();
void JobLanguageUnload();
