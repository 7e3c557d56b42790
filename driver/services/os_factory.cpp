#include "driver/services/os_factory.h"

#include <atomic>
#include <new>

#include "driver/services/lock.h"
#include "driver/services/unicode_converter.h"

namespace {

std::atomic<GOSFactory*> g_services{nullptr};

}  // namespace

GOSFactory* GOSFactory::Instance() {
  return g_services.load(std::memory_order_acquire);
}

GOSFactory* GOSFactory::SetInstance(GOSFactory* services) {
  return g_services.exchange(services, std::memory_order_acq_rel);
}

GOSFactory::~GOSFactory() {
  delete converter_;
  // Services that go while installed must not be reached any more.
  GOSFactory* self = this;
  g_services.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

char16_t GOSFactory::GetPathSeparator() const {
  return u'\\';
}

void GOSFactory::SetTimeBias(std::int16_t) {}

void GOSFactory::SetModuleHandle(platform::HMODULE module) {
  std::lock_guard<std::mutex> lock(module_mutex_);
  module_ = module;
}

platform::HMODULE GOSFactory::GetModuleHandle() {
  std::lock_guard<std::mutex> lock(module_mutex_);
  return module_;
}

void GOSFactory::ForgetModuleDirectory() {
  std::lock_guard<std::mutex> lock(module_mutex_);
  module_directory_ = RWWString();
}

void GOSFactory::GetOSVersion(GOSVersion& version) {
  version = GOSVersion();
}

GUnicodeConverter* GOSFactory::CreateUnicodeConverter() {
  return nullptr;
}

GLock* GOSFactory::CreateLock() {
  return new (std::nothrow) GSemaphore;
}

void GOSFactory::EnsureLock(GLock*& slot) {
  std::lock_guard<std::mutex> hold(lock_mutex_);
  if (!slot) slot = CreateLock();
}

GUnicodeConverter* GOSFactory::UnicodeConverter() {
  std::lock_guard<std::mutex> hold(lock_mutex_);
  if (!converter_asked_) {
    converter_ = CreateUnicodeConverter();
    converter_asked_ = true;
  }
  return converter_;
}
