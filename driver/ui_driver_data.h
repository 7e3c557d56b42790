// GUIDriverData: the driver data as the user-interface side and the
// driver server see it, without a spooler context of its own. The driver
// server hands out this view of a context (AsUIDriverData), and the entry
// points step back from it to the context. It answers no render view,
// parks with nothing to release, and asks the printer's language whether a
// text holds an escape (for the property pages).
//
// InitAppFlags, the two default-settings makers (BuildDefaultSettings and
// CreateDefaultSettings), CreatePrinterKey, GetLocalJobStorageKey and
// GetDevModeSettingsModel stay pure: it is built only as a base of the
// context, beside the context's other bases, all sharing one virtual driver
// data part.
//
// Ownership and threads: as GDriverDataImp.
#pragma once

#include "driver/driver_data_imp.h"
#include "foundation/rw/cstring.h"

class GUIDriverData : public virtual GDriverDataImp {
 public:
  ~GUIDriverData() override;

  // Null: the user interface has no render view.
  GRenderDriverData* AsRenderDriverData() override;
  // This object.
  GUIDriverData* AsUIDriverData() override;
  // GDriverDataImp's.
  void Retarget(const GPrinterKey& key) override;
  // Nothing to release.
  void Park() override;

  // What the printer-language generator (GetPrinterLanguage) answers for
  // `text` through its GPrinterLanguageQuery; 0 without a generator or
  // without the query.
  int PrinterLanguageHasEscape(const RWCString& text);

 protected:
  GUIDriverData() = default;
};
