#include "support/test_os_factory.h"

#include <cstring>

TestOSFactory::TestOSFactory() : previous_(GOSFactory::SetInstance(this)) {}

TestOSFactory::~TestOSFactory() {
  GOSFactory::SetInstance(previous_);
}

void TestOSFactory::SetMachineString(const RWWString& key, const RWWString& name,
                                     const RWWString& value) {
  machine_[Text(key)][Text(name)] = Text(value);
}

void TestOSFactory::SetUserString(const RWWString& key, const RWWString& name,
                                  const RWWString& value) {
  user_[Text(key)][Text(name)] = Text(value);
}

bool TestOSFactory::HasPrinterData(GDriverData* printer, const RWWString& name) const {
  return printer_data_.count(Key(printer, Text(name))) != 0;
}

int TestOSFactory::GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) {
  local = now;
  shifted = now;
  bias = 0;
  return 1;
}

const TestOSFactory::Value* TestOSFactory::Find(GDriverData* printer, const RWWString& name,
                                                Type type) const {
  auto it = printer_data_.find(Key(printer, Text(name)));
  return it != printer_data_.end() && it->second.type == type ? &it->second : nullptr;
}

int TestOSFactory::SetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                       std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>(value >> (8 * i));
  printer_data_[Key(printer, Text(name))] = Value{Type::kDword, bytes};
  return 1;
}

int TestOSFactory::SetPrinterDataString(GDriverData* printer, const RWWString& name,
                                        const RWWString& value) {
  std::string bytes(reinterpret_cast<const char*>(value.Data()), 2 * value.Length());
  printer_data_[Key(printer, Text(name))] = Value{Type::kString, bytes};
  return 1;
}

int TestOSFactory::WriteChunkedValue(GDriverData* printer, const RWWString& name, const void* data,
                                     std::uint32_t length) {
  printer_data_[Key(printer, Text(name))] =
      Value{Type::kBinary, std::string(static_cast<const char*>(data), length)};
  return 1;
}

int TestOSFactory::DeletePrinterDataValue(GDriverData* printer, const RWWString& name) {
  return printer_data_.erase(Key(printer, Text(name))) != 0 ? 1 : 0;
}

std::uint32_t TestOSFactory::GetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                                 std::uint32_t fallback) {
  const Value* value = Find(printer, name, Type::kDword);
  if (!value) return fallback;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i)
    n = (n << 8) | static_cast<unsigned char>(value->bytes[i]);
  return n;
}

RWWString TestOSFactory::GetPrinterDataString(GDriverData* printer, const RWWString& name,
                                              const RWWString& fallback) {
  const Value* value = Find(printer, name, Type::kString);
  if (!value || value->bytes.empty()) return fallback;
  std::u16string text(value->bytes.size() / 2, u'\0');
  std::memcpy(text.data(), value->bytes.data(), 2 * text.size());
  return RWWString(text.data(), static_cast<RWSize>(text.size()));
}

int TestOSFactory::ReadChunkedValue(GDriverData* printer, const RWWString& name, void* buffer,
                                    std::uint32_t size, std::uint32_t& got) {
  const Value* value = Find(printer, name, Type::kBinary);
  if (!value) return 0;
  auto length = static_cast<std::uint32_t>(value->bytes.size());
  got = length;
  if (!buffer || size == 0) return 1;
  if (size < length) return 0;
  std::memcpy(buffer, value->bytes.data(), length);
  return 1;
}

RWWString TestOSFactory::ReadString(const Registry& registry, const RWWString& key,
                                    const RWWString& name, const RWWString& fallback) {
  auto values = registry.find(Text(key));
  if (values == registry.end()) return fallback;
  auto value = values->second.find(Text(name));
  if (value == values->second.end() || value->second.empty()) return fallback;
  return RWWString(value->second.data(), static_cast<RWSize>(value->second.size()));
}

RWWString TestOSFactory::ReadMachineString(const RWWString& key, const RWWString& name,
                                           const RWWString& fallback) {
  return ReadString(machine_, key, name, fallback);
}

int TestOSFactory::MachineKeyExists(const RWWString& key) {
  return machine_.count(Text(key)) != 0;
}

RWWString TestOSFactory::ReadUserString(const RWWString& key, const RWWString& name,
                                        const RWWString& fallback) {
  return ReadString(user_, key, name, fallback);
}

int TestOSFactory::UserKeyExists(const RWWString& key) {
  return user_.count(Text(key)) != 0;
}
