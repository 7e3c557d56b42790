// Loads and unloads the job language and ZDL5 generator: loads the text
// commands (and everything below them) first, then registers GWqm and
// GZdl5e; unloading removes them, then unloads the text commands. Nested
// calls are counted; the last unload undoes. Thread-safe.
#pragma once

void JobLanguageLoad();
void JobLanguageUnload();
