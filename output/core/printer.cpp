#include "output/core/printer.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"

namespace {

constexpr RWClassRegistration kPrinterClasses[] = {
    {&RWCreate<GPrinter>, kGPrinterId, "GPrinter"},
};

}  // namespace

std::span<const RWClassRegistration> PrinterClasses() {
  return kPrinterClasses;
}

template class MPersistentClass<GPrinter, GPeripheral, kGPrinterId>;
