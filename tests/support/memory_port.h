// An output port in memory for the generators' tests, and a port handler
// that hands a prepared one out for "MEM:" from the process-wide registry
// while it lives.
#pragma once

#include <cstdint>
#include <string>

#include "output/core/output_target.h"
#include "persist/port_handler.h"

namespace testing_support {

class MemoryPort final : public GOutputTarget {
 public:
  explicit MemoryPort(bool* destroyed = nullptr) : GOutputTarget("MEM:"), destroyed_(destroyed) {}
  ~MemoryPort() override {
    if (destroyed_) *destroyed_ = true;
  }

  std::uint16_t Open(const RWWString& name) override {
    return open_answer ? open_answer : GOutputTarget::Open(name);
  }
  bool IsNotReady() override {
    ++polls;
    return GOutputTarget::IsNotReady();
  }
  bool IsReady() override { return ready; }
  // Appends the bytes; the count grows by them and `skip`.
  std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                         std::uint32_t& written) override {
    ++writes;
    written = write_answer ? 0 : length;
    bytes.append(reinterpret_cast<const char*>(data), written);
    SetCount(GetCount() + written + skip);
    return write_answer;
  }

  std::string bytes;
  int writes = 0, polls = 0;
  std::uint32_t skip = 0;
  std::uint16_t open_answer = 0, write_answer = 0;
  bool ready = true;

 private:
  bool* destroyed_;
};

class MemoryPortHandler final : public GPortHandler {
 public:
  MemoryPortHandler() { GPortHandlerRegistry::Instance().Register(this, "MEM"); }
  ~MemoryPortHandler() override { GPortHandlerRegistry::Instance().Unregister("MEM"); }
  RWCollectable* CreateDefault() const override { return nullptr; }
  RWCollectable* CreateCopy() const override { return nullptr; }
  RWClassID ClassId() const override { return kGPortHandlerId; }
  std::uint32_t Flags() const override { return 1; }
  void* Open(const RWWString& destination, const RWCString&, std::uint32_t, void*) override {
    return destination == RWWString(u"MEM:") ? static_cast<GOutputTarget*>(next) : nullptr;
  }

  MemoryPort* next = nullptr;  // the opener's once handed out
};

}  // namespace testing_support
