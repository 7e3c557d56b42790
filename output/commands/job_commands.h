// The commands that frame a job as it travels a device chain: the document
// start and end, the page start and end, and the job abort. Each executes
// on a device by calling the device's job-event handler of its kind with
// itself (peripheral.h) and answers the handler's result.
//
// GDocumentCommand: the base of the document start and end. It carries the
// destination (port) name and the document name, and the output port that
// the document's output goes to: the job's, or the one a generator opened
// at document start and recorded here so that the rest of the document
// reaches it. The command borrows the port, or holds it beside the
// generator that opened it (output_target.h). A document command's
// attribute set (the document's settings) carries the key
// kDocumentAttributesKey: the constructors and SetAttributes give it that key.
// Not registered: only the start and end are made; no kind id of its own.
// Content equality: the same object; or the same class id, equal GCommand
// parts and both names equal.
//
// GDocumentStart (class id 705, "GDocumentStart"): also the job context,
// the job's render-time driver data (not owned, not stored), which the job
// driver puts in and the filters and generators read.
// GDocumentEnd (706, "GDocumentEnd").
// GPageStart (709, "GPageStart") and GPageEnd (710, "GPageEnd"): a page
// command's set (the page's settings) carries the key kPageAttributesKey; a page
// end made by its key constructor holds a new, empty GState.
// GJobAbort (713, "GJobAbort"): ends the job early (after an error).
// Kind tests: the own id, 601 and 751.
//
// Stored forms, after the GCommand part (command.h):
//   GDocumentCommand  version u32 kDocumentCommandVersion; port name and
//                     document name, wide strings (u32 count of 16-bit
//                     units, then the units)
//   GDocumentStart, GDocumentEnd
//                     the GDocumentCommand part; version u32 1
//                     (command_class.h)
//   GPageStart, GPageEnd, GJobAbort
//                     version u32 1 (command_class.h)
// The port and the job context are working state and are not stored. A
// restore of another GDocumentCommand version reads nothing further.
//
// Ownership: as GCommand; copies share the attribute set and refer to the
// same port (holding it when the source holds it) and job context. Threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "foundation/rw/wstring.h"
#include "output/core/command.h"
#include "output/core/command_class.h"
#include "output/core/output_target.h"

class GRenderDriverData;

inline constexpr RWClassID kGDocumentStartId = 705;
inline constexpr RWClassID kGDocumentEndId = 706;
inline constexpr RWClassID kGPageStartId = 709;
inline constexpr RWClassID kGPageEndId = 710;
inline constexpr RWClassID kGJobAbortId = 713;
inline constexpr std::uint32_t kDocumentCommandVersion = 1;

class GDocumentCommand : public GCommand {
 public:
  // No set, empty names, no port; key 0.
  GDocumentCommand() = default;
  // Holds `attributes` (none when null), whose key becomes kDocumentAttributesKey.
  GDocumentCommand(GAttributeComposite* attributes, const RWWString& port_name,
                   const RWWString& document_name, const std::uint32_t& key);
  GDocumentCommand(const GDocumentCommand& other) = default;

  // The GCommand part, 12 and both names' units.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The output port, or null.
  GOutputTarget* GetPort() const { return port_.Get(); }
  // The port as the command refers to it (held or borrowed).
  const GOutputTargetRef& GetPortRef() const { return port_; }
  // Replaces the port; with `hold` the command holds it beside its other
  // holders, else it borrows it.
  void SetPort(GOutputTarget* port, bool hold = false) { port_ = GOutputTargetRef(port, hold); }
  const RWWString& GetPortName() const { return port_name_; }
  const RWWString& GetDocumentName() const { return document_name_; }

 protected:
  bool ForcedSetKey(std::uint32_t& key) const override;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  RWWString port_name_;
  RWWString document_name_;
  GOutputTargetRef port_;  // not stored
};

class GDocumentStart final
    : public GCommandClass<GDocumentStart, GDocumentCommand, kGDocumentStartId> {
 public:
  GDocumentStart() = default;
  // As GDocumentCommand's, with the job context (not owned; null for none).
  GDocumentStart(GAttributeComposite* attributes, const RWWString& port_name,
                 const RWWString& document_name, GRenderDriverData* job_context,
                 const std::uint32_t& key)
      : GCommandClass(attributes, port_name, document_name, key), job_context_(job_context) {}
  GDocumentStart(const GDocumentStart& other) = default;

  // device.DocumentStart(*this).
  std::uint16_t Execute(GPeripheral& device) override;

  GRenderDriverData* GetJobContext() const { return job_context_; }
  void SetJobContext(GRenderDriverData* job_context) { job_context_ = job_context; }

 private:
  GRenderDriverData* job_context_ = nullptr;  // not owned, not stored
};

class GDocumentEnd final : public GCommandClass<GDocumentEnd, GDocumentCommand, kGDocumentEndId> {
 public:
  using GCommandClass::GCommandClass;
  GDocumentEnd() = default;
  GDocumentEnd(const GDocumentEnd& other) = default;

  // device.DocumentEnd(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

class GPageStart final : public GCommandClass<GPageStart, GCommand, kGPageStartId> {
 public:
  // No set; key 0.
  GPageStart() = default;
  // Adopts `attributes` (none when null), whose key becomes kPageAttributesKey.
  GPageStart(GAttributeComposite* attributes, const std::uint32_t& key);
  GPageStart(const GPageStart& other) = default;

  // device.PageStart(*this).
  std::uint16_t Execute(GPeripheral& device) override;

 protected:
  bool ForcedSetKey(std::uint32_t& key) const override;
};

class GPageEnd final : public GCommandClass<GPageEnd, GCommand, kGPageEndId> {
 public:
  // A new, empty GState keyed kPageAttributesKey (none after [NOMEM]).
  explicit GPageEnd(const std::uint32_t& key = 0);
  GPageEnd(const GPageEnd& other) = default;

  // device.PageEnd(*this).
  std::uint16_t Execute(GPeripheral& device) override;

 protected:
  bool ForcedSetKey(std::uint32_t& key) const override;
};

class GJobAbort final : public GCommandClass<GJobAbort, GCommand, kGJobAbortId> {
 public:
  explicit GJobAbort(const std::uint32_t& key = 0) : GCommandClass(key) {}
  GJobAbort(const GJobAbort& other) = default;

  // device.JobAbort(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

extern template class MPersistentClass<GDocumentStart, GDocumentCommand, kGDocumentStartId>;
extern template class MPersistentClass<GDocumentEnd, GDocumentCommand, kGDocumentEndId>;
extern template class MPersistentClass<GPageStart, GCommand, kGPageStartId>;
extern template class MPersistentClass<GPageEnd, GCommand, kGPageEndId>;
extern template class MPersistentClass<GJobAbort, GCommand, kGJobAbortId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> JobCommandClasses();
