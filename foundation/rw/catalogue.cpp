#include "foundation/rw/catalogue.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr const char* kTools = "rwtools7.0";
constexpr const char* kCore = "rwcore7.0";

constexpr RWCatalogueEntry kToolsEntries[] = {
    {kTools, 0x2000, "[ALLOCOUT] %s destructor called with allocation outstanding", 0},
    {kTools, 0x2001, "[BADRE] Attempt to use invalid regular expression", 0},
    {kTools, 0x2002, "[CRABS] RWFactory: attempting to create abstract class with ID %hu (0x%hx)",
     0},
    {kTools, 0x2003, "[FLIST] Free list size error: expected %ld, got %ld", 0},
    {kTools, 0x2004, "[ID] Unexpected class ID %hu; should be %hu", 0},
    {kTools, 0x2005, "[INDEX] Index (%u) out of range [0->%u]", 0},
    {kTools, 0x2006, "[LOCK] Locked object deleted", 0},
    {kTools, 0x2007, "[LONGINDEX] Long index (%lu) out of range [0->%lu]", 0},
    {kTools, 0x2008, "[MAGIC] Bad magic number: %ld (should be %ld)", 0},
    {kTools, 0x2009, "[NEVECL] Unequal vector lengths: %u versus %u", 0},
    {kTools, 0x200A, "[NOCREATE] RWFactory: no create function for class with ID %hu (0x%hx)", 0},
    {kTools, 0x200B, "[NOTALLOW] Function not allowed for derived class", 0},
    {kTools, 0x200C, "[READERR] Read error", 0},
    {kTools, 0x200D, "[REF] Bad persistence reference", 0},
    {kTools, 0x200E, "[SEEKERR] Seek error", 0},
    {kTools, 0x200F, "[STREAM] Bad input stream", 0},
    {kTools, 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element RWCString", 0},
    {kTools, 0x2011, "[UNLOCK] Improper use of locked object", 0},
    {kTools, 0x2012, "[WRITEERR] Write error", 0},
    {kTools, 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements", 0},
    {kTools, 0x2014, "[NPOSINDEX] The value RW_NPOS cannot be used as an index.", 0},
    {kTools, 0x2015, "[NOPERSIST] Persistence not implemented for type %s.", 0},
};

constexpr RWCatalogueEntry kCoreEntries[] = {
    {kCore, 0x1000, "[EOF] EOF on input", 0},
    {kCore, 0x1001, "[GENERIC] Generic error number %d; %s", 0},
    {kCore, 0x1002, "[INVADDR] Invalid address: %lx", 0},
    {kCore, 0x1003, "[LOCK] Unable to lock memory", 0},
    {kCore, 0x1004, "[NOINIT] Memory allocated without being initialized", 0},
    {kCore, 0x1005, "[NOMEM] No memory", 0},
    {kCore, 0x1006, "[OPERR] Could not open file %s", 0},
    {kCore, 0x1007, "[OUTALLOC] Memory released with allocations still outstanding", 0},
    {kCore, 0x1008, "[OVFLOW] Overflow error -> \"%.*s\" <- (%u max characters)", 0},
    {kCore, 0x1009, "[STREAM] Bad input stream", 0},
    {kCore, 0x100A, "[SYNSTREAM] Syntax error in input stream: expected %s, got %s", 0},
};

}  // namespace

namespace rwtools {
const RWCatalogueEntry* AllocOut() {
  return &kToolsEntries[0x00];
}
const RWCatalogueEntry* BadRe() {
  return &kToolsEntries[0x01];
}
const RWCatalogueEntry* CrAbs() {
  return &kToolsEntries[0x02];
}
const RWCatalogueEntry* FList() {
  return &kToolsEntries[0x03];
}
const RWCatalogueEntry* Id() {
  return &kToolsEntries[0x04];
}
const RWCatalogueEntry* Index() {
  return &kToolsEntries[0x05];
}
const RWCatalogueEntry* Lock() {
  return &kToolsEntries[0x06];
}
const RWCatalogueEntry* LongIndex() {
  return &kToolsEntries[0x07];
}
const RWCatalogueEntry* Magic() {
  return &kToolsEntries[0x08];
}
const RWCatalogueEntry* NeVecL() {
  return &kToolsEntries[0x09];
}
const RWCatalogueEntry* NoCreate() {
  return &kToolsEntries[0x0A];
}
const RWCatalogueEntry* NotAllow() {
  return &kToolsEntries[0x0B];
}
const RWCatalogueEntry* ReadErr() {
  return &kToolsEntries[0x0C];
}
const RWCatalogueEntry* Ref() {
  return &kToolsEntries[0x0D];
}
const RWCatalogueEntry* SeekErr() {
  return &kToolsEntries[0x0E];
}
const RWCatalogueEntry* Stream() {
  return &kToolsEntries[0x0F];
}
const RWCatalogueEntry* SubString() {
  return &kToolsEntries[0x10];
}
const RWCatalogueEntry* Unlock() {
  return &kToolsEntries[0x11];
}
const RWCatalogueEntry* WriteErr() {
  return &kToolsEntries[0x12];
}
const RWCatalogueEntry* IndexErr() {
  return &kToolsEntries[0x13];
}
const RWCatalogueEntry* NposIndex() {
  return &kToolsEntries[0x14];
}
const RWCatalogueEntry* NoPersist() {
  return &kToolsEntries[0x15];
}
}  // namespace rwtools

namespace rwcore {
const RWCatalogueEntry* Eof() {
  return &kCoreEntries[0x0];
}
const RWCatalogueEntry* Generic() {
  return &kCoreEntries[0x1];
}
const RWCatalogueEntry* InvAddr() {
  return &kCoreEntries[0x2];
}
const RWCatalogueEntry* Lock() {
  return &kCoreEntries[0x3];
}
const RWCatalogueEntry* NoInit() {
  return &kCoreEntries[0x4];
}
const RWCatalogueEntry* NoMem() {
  return &kCoreEntries[0x5];
}
const RWCatalogueEntry* OpErr() {
  return &kCoreEntries[0x6];
}
const RWCatalogueEntry* OutAlloc() {
  return &kCoreEntries[0x7];
}
const RWCatalogueEntry* Overflow() {
  return &kCoreEntries[0x8];
}
const RWCatalogueEntry* Stream() {
  return &kCoreEntries[0x9];
}
const RWCatalogueEntry* SynStream() {
  return &kCoreEntries[0xA];
}
}  // namespace rwcore

RWMessageText::RWMessageText(const RWCatalogueEntry* entry, ...) : entry_(entry) {
  va_list args;
  va_start(args, entry);
  // vsnprintf never writes past the buffer; a longer message is cut.
  int n = std::vsnprintf(text_, sizeof text_, entry->format, args);
  va_end(args);
  if (n < 0) text_[0] = '\0';
}
