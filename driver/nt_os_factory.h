// GNTOSFactory: the platform services of the driver, derived from the
// abstract GOSFactory (driver/services/os_factory.h). It hands out the
// persistence streams of the persistent object model; the services that
// reach printer data, the registry, the time and the module stay abstract
// here and are supplied by the driver's own services class.
//
// Threads: the stream operations keep no state and may be called from any
// thread.
#pragma once

#include "driver/services/os_factory.h"

class GNTOSFactory : public GOSFactory {
 public:
  GNTOSFactory() = default;

  GPersistentInputStream* NewMemoryInputStream(const void* bytes, std::size_t size,
                                               std::int32_t encoding) override;
  GPersistentInputStream* NewFileInputStream(const RWWString& path, std::int32_t encoding) override;
  GPersistentOutputStream* NewMemoryOutputStream(void* bytes, std::size_t size,
                                                 std::int32_t encoding) override;
  GPersistentOutputStream* NewFileOutputStream(const RWWString& path,
                                               std::int32_t encoding) override;
};
