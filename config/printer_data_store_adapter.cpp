#include "config/printer_data_store_adapter.h"

#include <cstdio>

#include "foundation/rw/support.h"
#include "services/os_factory.h"

GPrinterDataStoreAdapter::GPrinterDataStoreAdapter(GDriverData* printer)
    : printer_(printer), services_(GOSFactory::Instance()) {}

RWWString GPrinterDataStoreAdapter::NumberName(std::uint32_t number) {
  char text[100];
  std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(number));
  return RWWString::FromMultiByte(text);
}

int GPrinterDataStoreAdapter::SetDword(const RWWString& name, std::uint32_t value) {
  return services_ ? services_->SetPrinterDataDword(printer_, name, value) : 0;
}

int GPrinterDataStoreAdapter::SetString(const RWWString& name, const RWWString& value) {
  return services_ ? services_->SetPrinterDataString(printer_, name, value) : 0;
}

int GPrinterDataStoreAdapter::SetBinary(const RWWString& name, const void* data,
                                        std::uint32_t length) {
  return services_ ? services_->SetPrinterDataBinary(printer_, name, data, length) : 0;
}

int GPrinterDataStoreAdapter::StoreObject(const RWWString& name, const RWCollectable* object) {
  return services_ ? services_->StoreNamedObject(printer_, name, object) : 0;
}

int GPrinterDataStoreAdapter::StoreObjectByNumber(std::uint32_t number,
                                                  const RWCollectable* object) {
  return StoreObject(NumberName(number), object);
}

std::uint32_t GPrinterDataStoreAdapter::GetDword(const RWWString& name, std::uint32_t fallback) {
  return services_ ? services_->GetPrinterDataDword(printer_, name, fallback) : fallback;
}

RWWString& GPrinterDataStoreAdapter::GetString(RWWString& out, const RWWString& name,
                                               const RWWString& fallback) {
  if (!services_) return out = fallback;
  return services_->GetPrinterDataString(out, printer_, name, fallback);
}

int GPrinterDataStoreAdapter::GetBinary(const RWWString& name, void* buffer, std::uint32_t size,
                                        std::uint32_t& length) {
  return services_ ? services_->GetPrinterDataBinary(printer_, name, buffer, size, length) : 0;
}

int GPrinterDataStoreAdapter::LoadObject(const RWWString& name, RWCollectable*& object) {
  object = nullptr;
  return services_ ? services_->LoadNamedObject(printer_, name, object) : 0;
}

int GPrinterDataStoreAdapter::LoadObjectByNumber(std::uint32_t number, RWCollectable*& object) {
  return LoadObject(NumberName(number), object);
}

GPrinterDataStore* NewPrinterDataStoreAdapter(GDriverData* printer) {
  return RWNew<GPrinterDataStoreAdapter>(printer);
}
