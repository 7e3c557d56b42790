// The load of the generators' tests: both generator libraries.
#pragma once

#include "lang/joblang_zdl5/load.h"
#include "lang/xl_ps/load.h"

inline void LangLoad() {
  JobLanguageLoad();
  XlPsLoad();
}

inline void LangUnload() {
  XlPsUnload();
  JobLanguageUnload();
}
