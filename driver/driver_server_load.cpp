// The driver server's operations that build objects from printer keys and
// load the driver data file (services/driver_server.h).
#include <memory>
#include <new>
#include <utility>

#include "config/keys/settings_keys.h"
#include "driver/driver_data_file.h"
#include "driver/printer_key.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "persist/persistent_object.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "services/driver_data.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr char kSource[] = "drvrsrvr";

// The root's part keyed `key` when it is a mapping list; anything else
// under the key is deleted and counts as missing.
MPersistentObject* TakeMappings(MPersistentObject& root, std::uint32_t key) {
  std::unique_ptr<MPersistentObject> part(root.RemoveByKey(key));
  if (!dynamic_cast<GResourceMappingList*>(part.get())) return nullptr;
  return part.release();
}

// Opens the printer's driver data file and loads it into `object`.
bool LoadDriverData(GOSFactory& services, GDriverData& object) {
  std::unique_ptr<GPersistentInputStream> stream(services.NewFileInputStream(
      services.GetDriverDataFile(&object), GOSFactory::kBinaryEncoding));
  return stream && LoadDriverDataFile(*stream, object);
}

}  // namespace

bool LoadDriverDataFile(GPersistenceInputStream& stream, GDriverData& object) {
  if (!stream.VirtualStream() || !stream.VirtualStream()->Good()) return false;
  MPersistentObject* read = nullptr;
  {
    // The file is outside data: damage fails the load, never the process.
    RWErrorScope scope;
    MPersistentObject::ReadPointerFromStream(*stream.VirtualStream(), read);
    if (scope.Failed() || !stream.VirtualStream()->Good()) {
      delete read;
      read = nullptr;
    }
  }
  std::unique_ptr<MPersistentObject> root(read);
  if (!root) return false;
  object.SetConfiguration(root->RemoveByKey(kDriverConfigurationKey));
  object.SetPaperSizeMapping(TakeMappings(*root, kPaperSizeMappingKey));
  object.SetTrayMap(TakeMappings(*root, kOSTrayMapKey));
  MPersistentObject* mappings = TakeMappings(*root, kResourceMappingsKey);
  if (!mappings) mappings = new (kRWNoThrow) GResourceMappingList(kResourceMappingsKey);
  object.SetResourceMappings(mappings);
  return true;
}

GDriverData* GDriverServer::Get(Side& side, const Lines& lines, GPrinterKey* key,
                                std::uint32_t& cookie, bool render, RenderDataMaker make) {
  // Without a key (its allocation failed) there is no printer to serve.
  if (!key) return nullptr;
  std::unique_ptr<GPrinterKey> owned(key);
  // Owned here until the table holds it: memory that runs out on the way
  // (a re-targeting, the table's entry) deletes it as it unwinds.
  std::unique_ptr<GDriverData> taken;
  {
    GLockScope scope(side.lock, kSource, lines.get_lock, lines.get_unlock);
    taken.reset(std::exchange(side.parked, nullptr));
  }
  // Out of the slot the parked object is this call's alone: it is asked
  // for its key and re-targeted outside the lock, since both allocate.
  if (taken && !TakesKey(*taken, *key)) {
    GDriverData* doomed = taken.release();
    {
      GLockScope scope(side.lock, kSource, lines.get_lock, lines.get_unlock);
      // Another object given back meanwhile is the newer: it stays parked.
      if (!side.parked && !shutting_down_.load()) std::swap(side.parked, doomed);
    }
    delete doomed;
  }
  if (!taken) {
    GOSFactory* services = GOSFactory::Instance();
    if (!services) return nullptr;
    taken.reset(make     ? make(*key)
                : render ? services->CreateRenderData(*key)
                         : services->CreateContext(*key));
    if (!taken || !LoadDriverData(*services, *taken)) return nullptr;
  }
  owned.reset();
  cookie = Enter(side, lines, taken.get());
  return taken.release();
}

bool GDriverServer::TakesKey(GDriverData& parked, GPrinterKey& key) {
  std::unique_ptr<GPrinterKey> parked_key(parked.CreatePrinterKey());
  if (!parked_key || !parked_key->IsSameDriver(&key)) return false;
  parked.Retarget(key);
  return true;
}

GDriverData* GDriverServer::GetContext(GPrinterKey* key, std::uint32_t& cookie) {
  GDriverData* object = Get(contexts_, kContextLines, key, cookie, false);
  return object ? object->AsUIDriverData() : nullptr;
}

GRenderDriverData* GDriverServer::GetRenderData(GPrinterKey* key, std::uint32_t& cookie,
                                                RenderDataMaker make) {
  GDriverData* object = Get(render_, kRenderLines, key, cookie, true, make);
  return object ? object->AsRenderDriverData() : nullptr;
}
