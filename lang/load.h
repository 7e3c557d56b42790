// Loads and unloads both generator subsystems: the job language and ZDL5
// (joblang_zdl5/load.h), then ZDL XL and PostScript (xl_ps/load.h);
// unloading goes in reverse. Nested calls are counted.
#pragma once

#include "lang/joblang_zdl5/load.h"
#include "lang/xl_ps/load.h"

inline void GeneratorsLoad() {
  JobLanguageLoad();
  XlPsLoad();
}

inline void GeneratorsUnload() {
  XlPsUnload();
  JobLanguageUnload();
}
