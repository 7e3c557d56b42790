// The two commands that end a pass through a device chain (peripheral.h):
//
// GNoCommand: the no-op. A device answers it in place of a command that it
// swallowed; executing it reaches no handler and answers 0.
// Class id 715, registered as "GNoCommand"; kind test 715, 601, 751.
// Stored form: the GCommand part (command.h), then version u32 1
// (command_class.h).
//
// GErrorCommand: the failure of a command on a device: a 16-bit code (0 for
// success is never made into one) and the failed command, held. The job
// that meets one submits a job abort. Executing it reaches no handler and
// answers 0.
// Class id 714, registered as "GErrorCommand"; kind test 714, 601, 751.
// Content equality: the same object; or the same class id, equal GCommand
// parts, the same code, and failed commands both absent, the same, or equal
// in content.
// Stored form, after the GCommand part:
//   version  u32  kErrorCommandVersion
//   code     u16
//   command  object reference: the failed command, or the nil object
// A restore of another version reads nothing further. What the reference
// reads must be a command: anything else, or a back reference to an
// object still being restored (a cycle), fails the restore, leaves no
// command, and is refused (freed unless the graph holds it elsewhere).
//
// Ownership: the error command holds the failed command; copies share it.
// Threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/command.h"
#include "output/core/command_class.h"

inline constexpr RWClassID kGErrorCommandId = 714;
inline constexpr RWClassID kGNoCommandId = 715;
inline constexpr std::uint32_t kErrorCommandVersion = 1;
// The code of a page spool's failure: a page store or font file that
// cannot be written, closed or read back.
inline constexpr std::uint16_t kSpoolFailure = 2;
// The code of a command memory ran short for on its way down the chain
// (the platform's not-enough-memory error).
inline constexpr std::uint16_t kMemoryFailure = 8;

class GNoCommand final : public GCommandClass<GNoCommand, GCommand, kGNoCommandId> {
 public:
  // No attribute set.
  explicit GNoCommand(const std::uint32_t& key = 0) : GCommandClass(key) {}
  GNoCommand(const GNoCommand& other) = default;

  // Calls nothing; 0.
  std::uint16_t Execute(GPeripheral& device) override;
};

class GErrorCommand final : public MPersistentClass<GErrorCommand, GCommand, kGErrorCommandId> {
 public:
  // Code 0, no command, key 0.
  GErrorCommand() = default;
  // Holds `command` (none when null).
  GErrorCommand(std::uint16_t code, GCommand* command, const std::uint32_t& key);
  GErrorCommand(const GErrorCommand& other);
  GErrorCommand& operator=(const GErrorCommand&) = delete;
  ~GErrorCommand() override;

  // The GCommand part, 6 and the command's reference.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // Calls nothing; 0.
  std::uint16_t Execute(GPeripheral& device) override;

  std::uint16_t GetCode() const { return code_; }
  // The failed command, or null.
  GCommand* GetCommand() const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t code_ = 0;
  GCountedPtr command_;  // a GCommand, or empty
};

extern template class MPersistentClass<GNoCommand, GCommand, kGNoCommandId>;
extern template class MPersistentClass<GErrorCommand, GCommand, kGErrorCommandId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ResultCommandClasses();
