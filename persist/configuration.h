// GConfiguration: the composite that holds a printer's configuration
// objects (any model class, nested configurations included) and refuses a
// second copy of an object it already holds.
//
// Class id 759, registered as "GConfiguration".
//
// Stored form: the composite's form (persistent_composite.h), then
//   version  u32  kConfigurationVersion (read, not used)
// A restore takes the children as stored, duplicates included.
//
// Ownership and threads: as MPersistentComposite.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/versioned_composite.h"

inline constexpr RWClassID kGConfigurationId = 759;
inline constexpr std::uint32_t kConfigurationVersion = 1;

class GConfiguration final
    : public MVersionedComposite<GConfiguration, kGConfigurationId, kConfigurationVersion> {
 public:
  GConfiguration() = default;
  explicit GConfiguration(const std::uint32_t& key) : MVersionedComposite(key) {}
  // Shares the source's children.
  GConfiguration(const GConfiguration& other) = default;
  GConfiguration& operator=(const GConfiguration& other) = default;

  // In this order: null does nothing; a nested configuration (class id
  // 759) is appended; an object content-equal to a present child (its
  // IsEqualContent with each child in order) is not added and is destroyed
  // when nobody holds it (an object that others hold stays theirs); any
  // other object is appended.
  void AddChild(MPersistentObject* object) override;
};

// The file's classes, in registration order.
std::span<const RWClassRegistration> ConfigurationClasses();
