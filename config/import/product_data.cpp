#include "config/import/product_data.h"

#include <atomic>

namespace {

constexpr GProductData kNoProductData{};

std::atomic<const GProductData*> g_product_data{&kNoProductData};

}  // namespace

const GProductData& ProductData() {
  return *g_product_data.load(std::memory_order_acquire);
}

void SetProductData(const GProductData* data) {
  g_product_data.store(data != nullptr ? data : &kNoProductData, std::memory_order_release);
}

bool IsAccessory(std::string_view text, const char* identifier) {
  return identifier != nullptr && text == identifier;
}

bool IsAccessory(std::string_view text, std::span<const char* const> identifiers) {
  for (const char* identifier : identifiers) {
    if (IsAccessory(text, identifier)) return true;
  }
  return false;
}
