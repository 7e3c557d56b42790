#include "driver/nt_os_factory.h"

#include <new>

#include "persist/persistent_stream.h"

GPersistentInputStream* GNTOSFactory::NewMemoryInputStream(const void* bytes, std::size_t size,
                                                           std::int32_t encoding) {
  return new (std::nothrow) GPersistentInputStream(bytes, size, encoding);
}

GPersistentInputStream* GNTOSFactory::NewFileInputStream(const RWWString& path,
                                                         std::int32_t encoding) {
  return new (std::nothrow) GPersistentInputStream(path, encoding);
}

GPersistentOutputStream* GNTOSFactory::NewMemoryOutputStream(void* bytes, std::size_t size,
                                                             std::int32_t encoding) {
  return new (std::nothrow) GPersistentOutputStream(bytes, size, encoding);
}

GPersistentOutputStream* GNTOSFactory::NewFileOutputStream(const RWWString& path,
                                                           std::int32_t encoding) {
  return new (std::nothrow) GPersistentOutputStream(path, encoding);
}
