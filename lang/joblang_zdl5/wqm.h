// GWqm: the job-language device, which writes the job-language header of a
// document ahead of its page-description language. So far the header
// holds the display line alone (the other lines are not given yet).
//
// DocumentStart: the device's own (job state 1), then WriteJobHeader.
// WriteJobHeader, given the document start:
//   - when the document's attribute set holds a string attribute keyed
//     kDisplayTextKey (800), the display line goes to the port:
//       OPMSG DISPLAY = "<text>"   when the value attribute keyed
//                                  kOperatorMessageKey (801) is non-zero
//       RDYMSG DISPLAY = "<text>"  otherwise (also without kOperatorMessageKey)
//     then CR LF, nothing before it. The text is cleaned first, so that
//     it cannot end the line and pass commands of its own to the printer:
//     only printable ASCII (32 to 126) is kept, without '"', and only its
//     first kDisplayTextLimit bytes;
//   - when the job settings (through the job context's driver data) hold
//     the value 1 under kManualDuplexInstructionsKey (1010), the manual-duplex
//     header line follows; its bytes are not given, so it records
//     "ManualDuplexHeader" in the call log (lang/generator/call_log.h)
//     and writes nothing; kManualDuplexInstructionsKey is left as it is.
//   The port is the one the command carries, else the device's output
//   object; without either nothing is written. The answer is the port's
//   Write answer (0 when nothing was written).
//
// Class id 769, registered as "GWqm"; kind test 769, 760, 753, 751.
// Stored form: the GPeripheral part (output/core/peripheral.h), then
// version u32 1. Ownership and threads: as GPeripheral.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "lang/generator/call_log.h"
#include "output/core/command_class.h"
#include "output/core/peripheral.h"

inline constexpr RWClassID kGWqmId = 769;
// The most bytes of display text a display line carries.
inline constexpr std::size_t kDisplayTextLimit = 80;

class GWqm final : public GCommandClass<GWqm, GPeripheral, kGWqmId> {
 public:
  using GCommandClass::GCommandClass;
  GWqm() = default;
  GWqm(const GWqm& other) = default;

  std::uint16_t DocumentStart(GDocumentStart& command) override;
  std::uint16_t WriteJobHeader(GDocumentStart& command);
  // The display line of `document` (a document's set; null: none), CR LF
  // included, into `line`; false, `line` untouched, without a display text.
  static bool MakeDisplayLine(GAttributeComposite* document, RWCString& line);

  const GCallLog& GetCallLog() const { return log_; }

 private:
  GCallLog log_;
};

extern template class MPersistentClass<GWqm, GPeripheral, kGWqmId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> WqmClasses();
