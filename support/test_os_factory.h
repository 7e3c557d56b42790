// Two stand-ins for the driver's services, each the installed services
// (GOSFactory::Instance) while alive; the previous services come back when
// it goes.
//
// HostOSFactory: the driver's real services (GUIOSFactory) over the
// platform's stand-ins (platform/host/reset.h resets them), with the
// printer handles that its user gives the driver data's contexts (a
// context not given one answers its own). Its operations may be used from
// several threads once the handles are set.
//
// TestOSFactory: a stand-in that needs no printers, registry or clock of the
// platform's stand-ins. It keeps the real stream operations of GNTOSFactory
// and answers the rest from memory: printer data per driver-data pointer,
// named objects (the real services' store and load over that memory, so
// that the flat-record branch runs too), registry strings and keys its
// user sets, a fixed time and module directory. One per thread at a time;
// not synchronised.
//
// Both hand out the configuration model's printer-data store adapter, as
// the driver's services do.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "driver/ui_os_factory.h"

class HostOSFactory : public GUIOSFactory {
 public:
  HostOSFactory() : previous_(GOSFactory::SetInstance(this)) {}
  ~HostOSFactory() override { GOSFactory::SetInstance(previous_); }

  // The handle `printer`'s context holds from now on (null: none).
  // REQUIRES: no other thread uses the services meanwhile.
  void SetContextHandle(GDriverData* printer, platform::HANDLE handle) {
    handles_[printer] = handle;
  }

  platform::HANDLE GetPrinterHandle(GDriverData* printer) override {
    auto it = handles_.find(printer);
    return it == handles_.end() ? GUIOSFactory::GetPrinterHandle(printer) : it->second;
  }

 private:
  std::map<GDriverData*, platform::HANDLE> handles_;
  GOSFactory* previous_;
};

class TestOSFactory : public GUIOSFactory {
 public:
  TestOSFactory();
  ~TestOSFactory() override;

  // What the test sets.
  GTimeRecord now;             // GetTimes answers it twice, bias 0
  RWWString module_directory;  // GetModuleDirectory
  void SetMachineString(const RWWString& key, const RWWString& name, const RWWString& value);
  void SetUserString(const RWWString& key, const RWWString& name, const RWWString& value);
  // Whether a printer-data value of that name exists.
  bool HasPrinterData(GDriverData* printer, const RWWString& name) const;

  int GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) override;
  RWWString GetModuleDirectory() override { return module_directory; }
  int SetPrinterDataDword(GDriverData* printer, const RWWString& name,
                          std::uint32_t value) override;
  int SetPrinterDataString(GDriverData* printer, const RWWString& name,
                           const RWWString& value) override;
  int WriteChunkedValue(GDriverData* printer, const RWWString& name, const void* data,
                        std::uint32_t length) override;
  std::uint32_t GetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                    std::uint32_t fallback) override;
  RWWString GetPrinterDataString(GDriverData* printer, const RWWString& name,
                                 const RWWString& fallback) override;
  int ReadChunkedValue(GDriverData* printer, const RWWString& name, void* buffer,
                       std::uint32_t size, std::uint32_t& got) override;
  RWWString ReadMachineString(const RWWString& key, const RWWString& name,
                              const RWWString& fallback) override;
  int MachineKeyExists(const RWWString& key) override;
  RWWString ReadUserString(const RWWString& key, const RWWString& name,
                           const RWWString& fallback) override;
  int UserKeyExists(const RWWString& key) override;
  int DeletePrinterDataValue(GDriverData* printer, const RWWString& name) override;
  platform::HANDLE GetPrinterHandle(GDriverData*) override { return nullptr; }

  // The models' names of the services, hidden by the overrides above.
  using GOSFactory::GetPrinterDataString;
  using GOSFactory::LoadNamedObject;
  using GOSFactory::ReadMachineString;
  using GOSFactory::ReadUserString;
  using GOSFactory::StoreNamedObject;

 private:
  enum class Type { kDword, kString, kBinary };
  struct Value {
    Type type;
    std::string bytes;
  };
  using Key = std::pair<GDriverData*, std::u16string>;
  using Registry = std::map<std::u16string, std::map<std::u16string, std::u16string>>;

  static std::u16string Text(const RWWString& s) { return std::u16string(s.Data(), s.Length()); }
  const Value* Find(GDriverData* printer, const RWWString& name, Type type) const;
  static RWWString ReadString(const Registry& registry, const RWWString& key, const RWWString& name,
                              const RWWString& fallback);

  std::map<Key, Value> printer_data_;
  Registry machine_;
  Registry user_;
  GOSFactory* previous_;
};
