// The collection library's two message catalogues and the formatted message
// text built from one of their entries. Entries are immutable statics; an
// RWMessageText is an ordinary value owned by whoever made it.
#pragma once

#include <cstdint>

// One catalogue entry: catalogue name, message id, printf-style format.
struct RWCatalogueEntry {
  const char* catalogue;
  std::uint32_t id;
  const char* format;
  std::uint32_t reserved;  // always 0
};

// Catalogue "rwtools7.0", ids 0x2000 to 0x2015, one accessor per entry.
// The argument types of each format are those of printf on this platform:
// %u takes unsigned, %hu takes unsigned (promoted), %ld and %lu take long.
namespace rwtools {
const RWCatalogueEntry* AllocOut();   // 0x2000 "%s"
const RWCatalogueEntry* BadRe();      // 0x2001
const RWCatalogueEntry* CrAbs();      // 0x2002 "%hu (0x%hx)"
const RWCatalogueEntry* FList();      // 0x2003 "%ld ... %ld"
const RWCatalogueEntry* Id();         // 0x2004 "%hu ... %hu"
const RWCatalogueEntry* Index();      // 0x2005 "%u ... %u"
const RWCatalogueEntry* Lock();       // 0x2006
const RWCatalogueEntry* LongIndex();  // 0x2007 "%lu ... %lu"
const RWCatalogueEntry* Magic();      // 0x2008 "%ld ... %ld"
const RWCatalogueEntry* NeVecL();     // 0x2009 "%u ... %u"
const RWCatalogueEntry* NoCreate();   // 0x200A "%hu (0x%hx)"
const RWCatalogueEntry* NotAllow();   // 0x200B
const RWCatalogueEntry* ReadErr();    // 0x200C
const RWCatalogueEntry* Ref();        // 0x200D
const RWCatalogueEntry* SeekErr();    // 0x200E
const RWCatalogueEntry* Stream();     // 0x200F
const RWCatalogueEntry* SubString();  // 0x2010 "%d, %u ... %u"
const RWCatalogueEntry* Unlock();     // 0x2011
const RWCatalogueEntry* WriteErr();   // 0x2012
const RWCatalogueEntry* IndexErr();   // 0x2013 "%u ... %u"
const RWCatalogueEntry* NposIndex();  // 0x2014
const RWCatalogueEntry* NoPersist();  // 0x2015 "%s"
}  // namespace rwtools

// Catalogue "rwcore7.0", ids 0x1000 to 0x100A.
namespace rwcore {
const RWCatalogueEntry* Eof();        // 0x1000
const RWCatalogueEntry* Generic();    // 0x1001 "%d; %s"
const RWCatalogueEntry* InvAddr();    // 0x1002 "%lx"
const RWCatalogueEntry* Lock();       // 0x1003
const RWCatalogueEntry* NoInit();     // 0x1004
const RWCatalogueEntry* NoMem();      // 0x1005
const RWCatalogueEntry* OpErr();      // 0x1006 "%s"
const RWCatalogueEntry* OutAlloc();   // 0x1007
const RWCatalogueEntry* Overflow();   // 0x1008 "%.*s ... %u"
const RWCatalogueEntry* Stream();     // 0x1009
const RWCatalogueEntry* SynStream();  // 0x100A "%s ... %s"
}  // namespace rwcore

// A message formatted from a catalogue entry. Formatting goes through a
// bounded buffer of kBufferSize characters: a longer message is cut there.
class RWMessageText {
 public:
  static constexpr int kBufferSize = 504;

  // REQUIRES: the arguments match the entry's format (see the accessors).
  explicit RWMessageText(const RWCatalogueEntry* entry, ...);

  const char* Text() const { return text_; }
  const RWCatalogueEntry* Entry() const { return entry_; }

 private:
  const RWCatalogueEntry* entry_;
  // Formatted in place: an error is raised with no memory to spare too.
  char text_[kBufferSize];
};
