// Loads and unloads the font handling: loads the output model first,
// then registers the font handling's persistable classes; unloading removes
// them, then unloads the output model. Nested calls are counted; the
// last unload undoes. Thread-safe. The font pool and the database lock are
// made by whoever sets up font handling (GTTFontPool::CreateInstance,
// GJobFontDatabase::CreateLock), not here.
#pragma once

void FontsLoad();
void FontsUnload();
