// A tour of the library: strings, narrow and wide, saved to a binary file,
// read back, and shown next to the file's bytes; an object graph in portable
// text; and a small settings tree as a device mode carries it, in the flat
// settings record, compressed with zlib and expanded again.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/load.h"
#include "driver/services/os_factory.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/file.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "foundation/rw/wstring.h"
#include "persist/codec/flat_settings_codec.h"
#include "persist/codec/zlib_compressor.h"
#include "persist/persistent_stream.h"

namespace {

void PrintBytes(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::printf("%02X%c", static_cast<unsigned char>(bytes[i]), (i % 16 == 15) ? '\n' : ' ');
  }
  std::printf("\n");
}

void PrintHex(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  PrintBytes(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

// Document settings (key 362): duplex 3 (key 253), 600 dots per inch
// (323), the paper "Letter" (261); written as a device mode's flat record,
// then packed as its private part is.
void ShowSettingsRecord() {
  GAttributeComposite settings(362);
  settings.AddChild(new GValueAttribute(3, 253));
  settings.AddChild(new GValueAttribute(600, 323));
  settings.AddChild(new GStringAttribute("Letter", 261));

  std::string block(4096, '\0');
  GPersistentOutputStream stream(block.data(), block.size(), GOSFactory::kBinaryEncoding);
  GFlatSettingsCodec codec;
  if (!codec.Encode(&settings, stream.VirtualStream(), &stream, 0) ||
      !stream.VirtualStream()->Good()) {
    std::cout << "\nthe settings record could not be written\n";
    return;
  }
  std::string record = block.substr(0, static_cast<std::size_t>(stream.Tell()));
  std::cout << "\nsettings record (" << record.size() << " bytes, marker first):\n";
  PrintBytes(record);

  std::istringstream plain(record);
  std::ostringstream packed;
  GZlibCompressor zlib;
  if (!zlib.Compress(plain, packed)) {
    std::cout << "(too small to gain from compression)\n";
    return;
  }
  std::istringstream packed_in(packed.str());
  std::ostringstream expanded;
  const bool back = zlib.Expand(packed_in, expanded) && expanded.str() == record;
  std::cout << "compressed to " << packed.str().size() << " bytes; expanded "
            << (back ? "exactly" : "WRONGLY") << "\n";
}

}  // namespace

int main() {
  const std::string path = (std::filesystem::temp_directory_path() / "driverui-demo.bin").string();
  std::remove(path.c_str());

  RWCString name("GAttributeComposite");
  RWCString greeting = RWCString("hello") + ", " + "world";
  RWWString printer = RWWString::FromMultiByte("Drucker \xC3\xA9tage 2");  // UTF-8 in, UTF-16 out

  {
    RWFile file(path.c_str());
    name.SaveToFile(file);
    greeting.SaveToFile(file);
    printer.SaveToFile(file);
  }

  RWCString name_back, greeting_back;
  RWWString printer_back;
  {
    RWFile file(path.c_str(), "rb");
    name_back.RestoreFromFile(file);
    greeting_back.RestoreFromFile(file);
    printer_back.RestoreFromFile(file);
  }

  std::cout << "narrow: " << name_back << " (hash 0x" << std::hex << name_back.Hash() << std::dec
            << ")\n";
  std::cout << "narrow: " << greeting_back << " (capacity " << greeting_back.Capacity() << ")\n";
  std::cout << "wide:   " << printer_back.ToMultiByte() << " (" << printer_back.Length()
            << " units)\n";
  std::cout << "round trip "
            << ((name == name_back && greeting == greeting_back && printer == printer_back)
                    ? "exact"
                    : "DIFFERS")
            << "\n\nfile bytes:\n";
  PrintHex(path);
  std::remove(path.c_str());

  // An object graph: a list that holds one object twice and a dictionary,
  // saved in the portable text encoding and read back with its sharing.
  FoundationLoad();
  RWCollectable shared, key;
  RWBTreeDictionary dictionary;
  dictionary.InsertKeyAndValue(&key, &shared);
  RWSlistCollectables list;
  list.Append(&shared);
  list.Append(&dictionary);
  list.Append(&shared);
  std::ostringstream text;
  {
    RWPortableOutputStream stream(text);
    list.SaveGraphToStream(stream);
  }
  std::cout << "\ngraph in portable text:\n" << text.str() << "\n";
  std::istringstream in(text.str());
  RWPortableInputStream stream(in);
  RWCollectable* restored = nullptr;
  ReadCollectablePointerFromStream(stream, restored);
  auto* back = dynamic_cast<RWSlistCollectables*>(restored);
  std::cout << "restored " << (back ? back->Count() : 0) << " members; first and last "
            << (back && back->At(0) == back->At(2) ? "are one object" : "DIFFER") << "\n";
  if (back) {
    auto* dict = dynamic_cast<RWBTreeDictionary*>(back->At(1));
    delete back->At(0);
    if (dict) {
      dict->ApplyToKeyAndValue([](RWCollectable* k, RWCollectable*, void*) { delete k; }, nullptr);
      delete dict;
    }
    delete back;
  }
  FoundationUnload();

  DriverLoad();
  ShowSettingsRecord();
  DriverUnload();
  return 0;
}
