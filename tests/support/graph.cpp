#include "tests/support/graph.h"

#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "foundation/rw/association.h"
#include "foundation/rw/binarystream.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/file.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/rwstore.h"
#include "tests/support/test_support.h"

namespace testing_support {

std::string SaveToFileBytes(const RWCollectable* object) {
  TempPath path("graph");
  {
    RWFile file(path.c_str(), "wb");
    WriteCollectablePointerToFile(file, object);
  }
  return ReadAll(path.str());
}

RWCollectable* RestoreFromFileBytes(const std::string& bytes, bool* ok) {
  TempPath path("graph");
  WriteAll(path.str(), bytes);
  RWFile file(path.c_str(), "rb");
  RWCollectable* object = nullptr;
  ReadCollectablePointerFromFile(file, object);
  if (ok) *ok = !file.Error() && !file.Eof();
  return object;
}

const char* EncodingName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kPortable:
      return "portable";
    case Encoding::kBinary:
      return "binary";
    case Encoding::kHeadered:
      return "headered";
  }
  return "?";
}

std::string SaveToStreamBytes(const RWCollectable* object, Encoding encoding) {
  std::ostringstream out;
  std::unique_ptr<RWVirtualOutputStream> stream;
  switch (encoding) {
    case Encoding::kPortable:
      stream = std::make_unique<RWPortableOutputStream>(out);
      break;
    case Encoding::kBinary:
      stream = std::make_unique<RWBinaryOutputStream>(out);
      break;
    case Encoding::kHeadered:
      stream = std::make_unique<RWHeaderedBinaryOutputStream>(out);
      break;
  }
  WriteCollectablePointerToStream(*stream, object);
  stream->Flush();
  return out.str();
}

std::unique_ptr<RWVirtualInputStream> MakeInputStream(std::istream& in, Encoding encoding) {
  switch (encoding) {
    case Encoding::kPortable:
      return std::make_unique<RWPortableInputStream>(in);
    case Encoding::kBinary:
      return std::make_unique<RWBinaryInputStream>(in);
    case Encoding::kHeadered:
      return std::make_unique<RWHeaderedBinaryInputStream>(in);
  }
  return nullptr;
}

RWCollectable* RestoreFromStreamBytes(const std::string& bytes, Encoding encoding, bool* ok) {
  std::istringstream in(bytes);
  std::unique_ptr<RWVirtualInputStream> stream = MakeInputStream(in, encoding);
  RWCollectable* object = nullptr;
  ReadCollectablePointerFromStream(*stream, object);
  if (ok) *ok = !stream->Fail();
  return object;
}

RWCollectable* RestoreFromGraphInput(
    const std::string& input, const std::function<void(const std::function<void()>&)>& around) {
  if (input.empty()) return nullptr;
  const std::string data = input.substr(1);
  const auto run = [&](const std::function<void()>& restore) {
    around ? around(restore) : restore();
  };
  RWCollectable* object = nullptr;
  const int form = static_cast<unsigned char>(input[0]) % 4;
  if (form == 0) {
    TempPath path("graph");
    WriteAll(path.str(), data);
    RWFile file(path.c_str(), "rb");
    run([&] { ReadCollectablePointerFromFile(file, object); });
  } else {
    const Encoding encodings[] = {Encoding::kBinary, Encoding::kPortable, Encoding::kHeadered};
    std::istringstream in(data);
    const std::unique_ptr<RWVirtualInputStream> stream = MakeInputStream(in, encodings[form - 1]);
    run([&] { ReadCollectablePointerFromStream(*stream, object); });
  }
  return object;
}

namespace {

void Gather(RWCollectable* object, RWIdentitySet& seen) {
  if (!object || seen.Contains(object)) return;
  seen.Insert(object);
  if (auto* association = dynamic_cast<RWCollectableAssociation*>(object)) {
    Gather(association->Key(), seen);
    Gather(association->Value(), seen);
  } else if (auto* dictionary = dynamic_cast<RWBTreeDictionary*>(object)) {
    dictionary->ApplyToKeyAndValue(
        [](RWCollectable* k, RWCollectable* v, void* s) {
          Gather(k, *static_cast<RWIdentitySet*>(s));
          Gather(v, *static_cast<RWIdentitySet*>(s));
        },
        &seen);
  } else if (auto* collection = dynamic_cast<RWCollectionBase*>(object)) {
    collection->ForEach(
        [](RWCollectable* m, void* s) { Gather(m, *static_cast<RWIdentitySet*>(s)); }, &seen);
  }
}

}  // namespace

namespace {

// Deletes every object reachable from `roots`, each once: dictionaries
// delete their own associations, and collection destructors never touch
// their members, so the order of deletion does not matter.
void DeleteReachable(const std::vector<RWCollectable*>& roots) {
  RWIdentitySet seen;
  for (RWCollectable* root : roots)
    Gather(root, seen);
  RWIdentitySet owned;
  seen.ForEach(
      [](RWCollectable* m, void* o) {
        if (auto* dictionary = dynamic_cast<RWBTreeDictionary*>(m)) {
          dictionary->ForEach(
              [](RWCollectable* a, void* s) { static_cast<RWIdentitySet*>(s)->Insert(a); }, o);
        }
      },
      &owned);
  seen.ForEach(
      [](RWCollectable* m, void* o) {
        if (!static_cast<RWIdentitySet*>(o)->Contains(m)) delete m;
      },
      &owned);
}

}  // namespace

void DeleteGraph(RWCollectable* root) {
  DeleteReachable({root});
}

}  // namespace testing_support
