// GPrinterDataStore: the interface through which the output side reads and
// writes one printer's data: 32-bit numbers, strings and binary values
// under value names, and persistent objects saved as named values (by name,
// or by a number that names them in decimal). The driver's adapter
// implements it over the driver services; the caller that asks the
// services for a store destroys it through this interface.
//
// Layering: the adapter lives in the configuration model, below the
// output_core library; this interface belongs to the header-only library
// interfaces below both (its constructor and destructor are
// inline). It holds no data.
//
// Results: the set and store operations answer nonzero on success; the get
// operations answer the value read, or the given default; GetBinary and the
// load operations answer nonzero on success. A loaded object is the
// caller's. Threads: as the implementation says.
#pragma once

#include <cstdint>

#include "foundation/rw/collect.h"
#include "foundation/rw/wstring.h"

class GPrinterDataStore {
 public:
  GPrinterDataStore() = default;
  GPrinterDataStore(const GPrinterDataStore&) = delete;
  GPrinterDataStore& operator=(const GPrinterDataStore&) = delete;
  virtual ~GPrinterDataStore() = default;

  virtual int SetDword(const RWWString& name, std::uint32_t value) = 0;
  virtual int SetString(const RWWString& name, const RWWString& value) = 0;
  virtual int SetBinary(const RWWString& name, const void* data, std::uint32_t length) = 0;
  virtual int StoreObject(const RWWString& name, const RWCollectable* object) = 0;
  virtual int StoreObjectByNumber(std::uint32_t number, const RWCollectable* object) = 0;
  virtual std::uint32_t GetDword(const RWWString& name, std::uint32_t fallback) = 0;
  // Answers `out`, which receives the value or `fallback`.
  virtual RWWString& GetString(RWWString& out, const RWWString& name,
                               const RWWString& fallback) = 0;
  // Reads at most `size` bytes into `buffer`; `length` receives the
  // value's length.
  virtual int GetBinary(const RWWString& name, void* buffer, std::uint32_t size,
                        std::uint32_t& length) = 0;
  // `object` receives the restored object (null on failure).
  virtual int LoadObject(const RWWString& name, RWCollectable*& object) = 0;
  virtual int LoadObjectByNumber(std::uint32_t number, RWCollectable*& object) = 0;
};
