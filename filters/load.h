// Loads and unloads the page and job filters: loads the command list on
// disk and the font handling first (and with them the layers below), then
// registers each filter's classes in building order; unloading removes
// them, then unloads both. Nested calls are counted; the last unload
// undoes. Thread-safe.
#pragma once

void FiltersLoad();
void FiltersUnload();
