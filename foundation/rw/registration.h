// Explicit class registration. Every source file that defines persistable
// classes lists them once, in order, as RWClassRegistration records; each
// subsystem registers its files' lists at load in building order and
// removes them in reverse at unload. (Static initialisers are not used: in
// static libraries the linker drops unreferenced objects, and their order
// across files is unspecified.)
#pragma once

#include "foundation/rw/support.h"

#include <mutex>
#include <new>
#include <span>

#include "foundation/rw/factory.h"

struct RWClassRegistration {
  RWUserCreator creator;
  RWClassID id;
  const char* name;  // the class-name string
};

// The creator of a default-constructible class; null after [NOMEM] (an
// object that memory could not be had for is no unknown class).
template <class T>
RWCollectable* RWCreate() {
  return RWNew<T>();
}

// Registers each class in order with AddClassToFactory.
void RWRegisterClasses(std::span<const RWClassRegistration> classes);
// Removes them in reverse order: the id, then the name.
void RWUnregisterClasses(std::span<const RWClassRegistration> classes);

// The registration lists of one subsystem's source files, in building
// order, with the subsystem's load count: Load registers every list on the
// first of nested calls, Unload removes them in reverse on the last.
// Thread-safe; meant to be a constinit object of the subsystem's load.
class RWSubsystemClasses {
 public:
  using List = std::span<const RWClassRegistration> (*)();

  constexpr explicit RWSubsystemClasses(std::span<const List> lists) : lists_(lists) {}
  RWSubsystemClasses(const RWSubsystemClasses&) = delete;
  RWSubsystemClasses& operator=(const RWSubsystemClasses&) = delete;

  void Load();
  void Unload();

 private:
  std::span<const List> lists_;
  std::mutex mutex_;
  int loads_ = 0;
};

// The foundation library's own persistable classes, in registration order.
std::span<const RWClassRegistration> FoundationClasses();

// Loads and unloads the foundation library: registers its classes and sets
// up the nil object. Nested calls are counted; the last unload undoes.
void FoundationLoad();
void FoundationUnload();
