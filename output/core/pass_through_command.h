// GPassThroughCommand: raw bytes that a job's extensions hand to one
// generator class (the target class id: 767, 788, or 0 for any), which
// writes them into its output as they are. Executed on a device it calls
// the device's PassThrough with itself.
//
// The bytes are borrowed from the maker at construction (the command must
// not outlive them) until OwnData, or MakeSelfContained, copies them into
// a block of the command's own; a restored command owns what it read.
//
// Class id 608, registered as "GPassThroughCommand"; kind test 608, 601,
// 751. Content equality: the same object; or the same class id, equal
// GCommand parts, the same target, and the same bytes.
//
// Stored form, after the GCommand part (command.h):
//   version  u32  kPassThroughVersion
//   target   u16  class id
//   length   u32  n
//   bytes    n bytes
// A restore of another version reads nothing further. The bytes are read
// as they arrive (a file must hold them all), never by the stored count
// alone; when they cannot all be read the command is left with none and
// the restore fails.
//
// Ownership: an owned block goes with the command; copies own a copy of
// owned bytes and borrow borrowed ones. Threads: as GCommand.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/command.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPassThroughCommandId = 608;
inline constexpr std::uint32_t kPassThroughVersion = 1;

class GPassThroughCommand final
    : public MPersistentClass<GPassThroughCommand, GCommand, kGPassThroughCommandId> {
 public:
  // No bytes, target 0, key 0.
  GPassThroughCommand() = default;
  // Borrows `length` bytes at `data` (none when null).
  // REQUIRES: they outlive the command, or OwnData is called first.
  GPassThroughCommand(const std::uint8_t* data, std::uint32_t length, RWClassID target,
                      const std::uint32_t& key);
  GPassThroughCommand(const GPassThroughCommand& other);
  GPassThroughCommand& operator=(const GPassThroughCommand&) = delete;
  ~GPassThroughCommand() override;

  // The GCommand part, 10 and the bytes.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // OwnData.
  void MakeSelfContained() override;
  // device.PassThrough(*this).
  std::uint16_t Execute(GPeripheral& device) override;

  // Copies borrowed bytes into a block of the command's own: 1 when the
  // command owns its bytes afterwards (at once when it already did or has
  // none), 0 when the block cannot be had ([NOMEM] raised).
  std::uint32_t OwnData();

  const std::uint8_t* GetData() const { return data_; }
  std::uint32_t GetLength() const { return length_; }
  RWClassID GetTarget() const { return target_; }
  bool OwnsData() const { return owned_ != nullptr || length_ == 0; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  const std::uint8_t* data_ = nullptr;  // owned_'s block, or borrowed
  std::uint32_t length_ = 0;
  RWClassID target_ = 0;
  std::unique_ptr<std::uint8_t[]> owned_;
};

extern template class MPersistentClass<GPassThroughCommand, GCommand, kGPassThroughCommandId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PassThroughCommandClasses();
