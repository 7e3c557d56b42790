// GPrinterDataStoreAdapter: the configuration model's printer-data store
// (interfaces/printer_data_store.h), through which the output side reads
// and writes one printer's data. It binds the printer's driver data to the
// driver services (GOSFactory::Instance, taken at construction) and
// forwards every operation to the matching service, the printer first
// (after the out string of GetString), answering the service's result
// unchanged. Objects stored or loaded by number are named by the number in
// unsigned decimal ("365" for kInstalledOptionsKey).
//
// The services make one through their NewValueAdapter
// (NewPrinterDataStoreAdapter below). Without services every operation
// fails: 0, the default, or a null object.
//
// Ownership: holds nothing of its own; the printer and the services are
// not owned and must outlive it. Whoever asked for it destroys it through
// the store interface. Threads: as the services.
#pragma once

#include <cstdint>

#include "interfaces/printer_data_store.h"

class GDriverData;
class GOSFactory;

class GPrinterDataStoreAdapter final : public GPrinterDataStore {
 public:
  explicit GPrinterDataStoreAdapter(GDriverData* printer);

  int SetDword(const RWWString& name, std::uint32_t value) override;
  int SetString(const RWWString& name, const RWWString& value) override;
  int SetBinary(const RWWString& name, const void* data, std::uint32_t length) override;
  int StoreObject(const RWWString& name, const RWCollectable* object) override;
  int StoreObjectByNumber(std::uint32_t number, const RWCollectable* object) override;
  std::uint32_t GetDword(const RWWString& name, std::uint32_t fallback) override;
  RWWString& GetString(RWWString& out, const RWWString& name, const RWWString& fallback) override;
  int GetBinary(const RWWString& name, void* buffer, std::uint32_t size,
                std::uint32_t& length) override;
  int LoadObject(const RWWString& name, RWCollectable*& object) override;
  int LoadObjectByNumber(std::uint32_t number, RWCollectable*& object) override;

  GDriverData* Printer() const { return printer_; }

  // The name under which the store keeps an object by number.
  static RWWString NumberName(std::uint32_t number);

 private:
  GDriverData* printer_;  // not owned
  GOSFactory* services_;  // not owned
};

// A new adapter for `printer`, or null after [NOMEM]; for the services'
// NewValueAdapter. The caller owns it.
GPrinterDataStore* NewPrinterDataStoreAdapter(GDriverData* printer);
