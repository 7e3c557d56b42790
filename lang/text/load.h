// Loads and unloads the text commands: loads the font handling first (and
// with it the layers below), then registers the text string, the text
// graphic and the download-face command; unloading removes them, then
// unloads the font handling. Nested calls are counted; the last unload
// undoes. Thread-safe.
#pragma once

void LangTextLoad();
void LangTextUnload();
