// GDevModeSettings: the device-mode settings of one printer's context, the
// object that GDriverContextBase binds (through GDevModeSettingsInterface)
// and that the context's entry operations reach with From. Besides
// GDriverSettings it accepts the printer's own record, tests records for
// validity, and maps the form name through the spooler's forms of the
// context.
//
// Construction (owner, printer handle): the printer's record when it is
// acceptable (TakePrinterDevMode), else the default record; the model is
// the record's private part in the current form, else in an older form
// rebuilt, else the driver data's BuildDefaultSettings. The colour policy
// runs on the record either way.
//
// Mended: the printer's record is taken in as a merge takes an
// application's (its fields checked, its settings written back with them),
// into its own settings, else the printer's defaults, else the default
// record stands in: a damaged stored default (no copies, an unknown paper,
// settings that do not load) no longer goes out as it is, and what the
// object holds prints and merges into itself.
//
// The printer's record is acceptable with dmSpecVersion 0x0401, dmSize 220,
// dmDriverExtra 952, format version 4 and, through the checked view, a data
// length within the capacity of 902: a record the spooler keeps is outside
// data like any other.
//
// Mended: a record's form name is known (ValidatePublic) when it names a
// form of the printer that the context's form table accepts, the look-up
// that the record -> model mapping makes for it (FindFormIndex): a name of
// the spooler's forms, case ignored as the spooler compares, built-in with
// a paper of the model or a user's own form (a custom size), within the
// custom size range unless the job settings lift that check, and assigned
// to a tray when the form-to-tray table assigns any. Every other name stays
// refused. (The class's base knew none, so that every record naming a form,
// the default record's "Letter" first, was refused as a paper the printer
// does not take.)
//
// Readings taken: FormNameToIndex hands the model's y and x resolutions to
// FindFormIndex in that order, as its callers have always passed them; the
// form name is written for a default source of 15 whether or not the
// default-source bit is set.
//
// Ownership: the context (owner) owns the object and outlives it. Threads:
// one caller at a time.
#pragma once

#include <cstdint>

#include "driver/devmode/driver_settings.h"
#include "platform/host/types.h"

class GDriverContextBase;

// The data type whose printers take EMF spooling.
inline constexpr char16_t kEmfDataType[] = u"NT EMF 1.003";

class GDevModeSettings final : public GDriverSettings {
 public:
  // REQUIRES: `owner` outlives the object; `printer` may be null.
  GDevModeSettings(GDriverContextBase& owner, platform::HANDLE printer);
  ~GDevModeSettings() override;

  // The object behind a context's device-mode interface, or null.
  static GDevModeSettings* From(GDevModeSettingsInterface* object) {
    return dynamic_cast<GDevModeSettings*>(object);
  }
  // The maker the driver installs (SetDevModeSettingsMaker): a new object
  // (the caller's), null when memory is short.
  static GDevModeSettingsInterface* Make(GDriverContextBase& owner, platform::HANDLE printer);

  // The virtual operations below are in slot order.
  // Also puts the driver data's printer name into dmDeviceName when it
  // differs.
  int AttachDriverData(GDriverDataImp* driver_data) override;
  // Add the form name (see driver_settings.h and the file comment).
  int PublicFromSettings(GAttributeComposite* model, platform::DevModeW* record) override;
  int SettingsFromPublic(const platform::DevModeW* record, GAttributeComposite* model) override;
  // 1 when the printer's data type was exactly kEmfDataType.
  int IsEmfDataType() override { return emf_data_type_ == 1 ? 1 : 0; }
  // Copies the printer's default record when acceptable (see the file
  // comment): 1, the from-printer flag set and the colour policy run; else
  // 0. The EMF flag follows the printer's data type when it has one.
  virtual int AcceptPrinterDevMode(platform::HANDLE printer);
  // AcceptPrinterDevMode, then the accepted record taken in as a merge
  // takes an application's (its public fields checked, its settings
  // loaded and written back), so that what the object holds prints: into
  // the record's own settings, else the printer's defaults, else the
  // default record. 1 when the printer's record was accepted.
  int TakePrinterDevMode(platform::HANDLE printer);
  // 1 for a record of version 0x0401, dmSize 220, dmDriverExtra 952, total
  // size 1172, header size 46, format version 4 and capacity 902; else 0.
  virtual int IsValidDevMode(const platform::DevModeW* record);
  // The first spooler form named `name` (case ignored) that the
  // context's form table (IsFormAvailable) accepts at that angle and
  // resolution gives its 1-based position in `index`; the table's answer,
  // 0 when no form has the name.
  virtual int FindFormIndex(const RWWString& name, std::uint32_t angle, std::uint16_t x,
                            std::uint16_t y, std::uint16_t& index, int flag);
  // FindFormIndex at the record's orientation (90 for landscape, else
  // 0) and the model's resolution.
  virtual int FormNameToIndex(const RWWString& name, std::uint16_t& index, int flag);
  // 1 when FindFormIndex finds `name` (see the file comment).
  int IsKnownFormName(const RWWString& name, std::uint32_t angle, std::uint16_t x, std::uint16_t y,
                      int flag) override;

 private:
  GDriverContextBase* owner_;  // not owned
};
