// The library entry, DllMain: what the library makes when a process loads
// it and takes down when the process lets it go.
//
// Process attach, in order: keep the module handle; make and install the
// services (CreateOSFactory; none: FALSE); install the out-of-memory
// handler with its 1024-byte reserve; give the services the module handle;
// make the driver server (none: FALSE); make the document-event table (no
// memory: FALSE) and have the services make its lock; make the registry
// agent's provider (plm_provider.h; none when memory fails) and register it
// with the port-handler registry as "KVPLM 1.0"; set the runtime
// locale to ".ACP" (every category when the system's primary language is
// Chinese, Japanese or Korean, else the character types); read the
// application flags: "GetAppFlags" of "KVNOTA32.DLL" beside the library (0
// without library or entry point); and, last, arm the module keep-alive,
// whose watcher cannot be called back once started. An attach in which
// memory ran short anywhere, even where it went on (no provider), answers
// FALSE with the last error ERROR_NOT_ENOUGH_MEMORY and takes down all it
// made (the host sends no detach then): the provider and its registration,
// the table and its lock, a server and services it made (the services
// uninstalled), the out-of-memory handler and its reserve. A keep-alive
// refused its thread is no failure; one that memory ran short in fails
// the attach only when it is not armed.
//
// Process detach, in order: free the document-event table and its lock,
// have the driver server delete its parked and then every cached context
// (the server stays), unregister "KVPLM 1.0" from the port-handler
// registry and delete the provider, forget the module handle and remove
// the out-of-memory handler.
// Thread attach and detach do nothing. Every reason answers TRUE but a
// failed attach.
//
// Threads: the process calls DllMain while no entry point runs.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

class GDocumentEventTable;
class GLock;
class GPLMProvider;

inline constexpr platform::DWORD kDllProcessDetach = 0;
inline constexpr platform::DWORD kDllProcessAttach = 1;
inline constexpr platform::DWORD kDllThreadAttach = 2;
inline constexpr platform::DWORD kDllThreadDetach = 3;

// The sibling library of the application flags, and its entry point.
inline constexpr char kAppFlagsLibrary[] = "KVNOTA32.DLL";
inline constexpr char kAppFlagsEntry[] = "GetAppFlags";
// The name of the registry agent's provider in the port-handler registry.
inline constexpr char kAgentProviderName[] = "KVPLM 1.0";

// Exported by this name with C linkage (ui/module/exports.map).
extern "C" platform::BOOL WINAPI DllMain(platform::HMODULE module, platform::DWORD reason,
                                         void* reserved);

// The library's own module, null before attach and after detach.
platform::HMODULE LibraryModule();
// The application flags that the attach read.
std::uint32_t ApplicationFlags();
// The document-event table and its lock (null outside attach and detach).
GDocumentEventTable* DocumentEventTable();
GLock* DocumentEventLock();
// The registry agent's provider (null outside attach and detach).
GPLMProvider* AgentProvider();
