// Where a function's machine code lies in the running process, read from
// the symbol tables of the program and of each shared object it has
// loaded (an object's .symtab, else its .dynsym), so that a test can tell
// whether a stack holds a call of that function (failing_allocator.h arms
// a failure by place with it). Nothing needs exporting: a program's own
// static and hidden functions are in its .symtab unless it is stripped.
//
// A function inlined into every caller has no code of its own: a place
// names one that stays a call (one of another source file, without
// link-time optimisation, always does).
//
// Threads: any; it reads the files anew each call and allocates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct CodeRange {
  std::uintptr_t begin = 0;  // the first byte
  std::uintptr_t end = 0;    // past the last
};

// The code of every function whose qualified name, as the demangler spells
// it without its parameters, is `name` ("GModuleKeepAlive::Start",
// "platform::DuplicateHandle", "DllMain"): each overload, each of the
// compiler's clones (".cold", ".isra", ...), and local classes and lambdas
// spelled inside its name. Empty when there is none.
std::vector<CodeRange> FunctionCode(const std::string& name);

}  // namespace support
