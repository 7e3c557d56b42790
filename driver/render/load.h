// Loads and unloads the rendering side: the font handling and the driver
// (each loads what lies below it), and the driver server's render-table
// hook, which purges the process's font pool (GTTFontPool::Purge) when the
// last job's render data is given back; unloading removes the hook, then
// unloads both. The font pool itself and the font database's lock are made
// by whoever sets up font handling (fonts/load.h). Nested calls are
// counted; the last unload undoes. Thread-safe.
#pragma once

void RenderLoad();
void RenderUnload();

// The hook RenderLoad installs: purges the font pool, when there is one.
void PurgeFontPool();
