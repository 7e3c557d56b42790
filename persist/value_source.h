// The two small interfaces on which the driver entry builds its printer
// keys and its device-value reader. Neither is persistable.
//
// GValueSource: a source that can be compared with another; the printer key
// derives from it.
//
// GNamedValueSource: the base of the device-value reader: it keeps the two
// words its creator gives (the owning provider and the driver data, kept
// pointer-sized), a wide name and two texts that start empty; the reader
// supplies the two pure operations.
//
// Ownership: whoever makes a source deletes it (the destructors are
// virtual). Threads: one source is used by one thread at a time.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

class MPersistentObject;

class GValueSource {
 public:
  GValueSource() = default;
  GValueSource(const GValueSource&) = delete;
  GValueSource& operator=(const GValueSource&) = delete;
  virtual ~GValueSource() = default;
  // The virtual operations below are in slot order.
  // Whether `other` names the same source; 0 unless a derived class
  // says otherwise.
  virtual std::int32_t IsEqual(const GValueSource* other) const;
  // Whether `other` belongs to the same driver.
  virtual std::int32_t IsSameDriver(const GValueSource* other) const = 0;
};

class GNamedValueSource {
 public:
  GNamedValueSource(std::uintptr_t source_id, std::uintptr_t context, const RWWString& name)
      : source_id_(source_id), context_(context), name_(name) {}
  GNamedValueSource(const GNamedValueSource&) = delete;
  GNamedValueSource& operator=(const GNamedValueSource&) = delete;
  virtual ~GNamedValueSource() = default;
  // The virtual operations below are in slot order.
  // Whether the source can answer at all.
  virtual std::int32_t IsAvailable() const = 0;
  // The two texts.
  virtual RWCString& FirstText() { return first_text_; }
  virtual RWCString& SecondText() { return second_text_; }
  // Applies the source's values to a configuration model; answers the
  // outcome code.
  virtual std::uint32_t UpdateConfiguration(MPersistentObject* model, std::uint32_t match) = 0;

  std::uintptr_t SourceId() const { return source_id_; }
  std::uintptr_t Context() const { return context_; }
  const RWWString& Name() const { return name_; }

 private:
  std::uintptr_t source_id_;  // the creator's first word (the provider)
  std::uintptr_t context_;    // its second (the driver data)
  RWWString name_;
  RWCString first_text_;
  RWCString second_text_;
};
