// drv_rcgen <script> <output.cpp> <qualified function name>: turns a
// resource script (resources/script/resource_script.h) into the C++ source
// of a function that answers the module's resources. Writes the output only
// when it changes, so that an unchanged script rebuilds nothing.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "resources/script/resource_script.h"

namespace {

bool ReadFile(const char* path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  *out = content.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: drv_rcgen <script> <output.cpp> <qualified function name>\n";
    return 2;
  }
  std::string script;
  if (!ReadFile(argv[1], &script)) {
    std::cerr << argv[1] << ": cannot be read\n";
    return 1;
  }
  platform::ModuleResources resources;
  std::string error;
  if (!resources::ParseResourceScript(script, &resources, &error)) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  std::string origin(argv[1]);
  std::size_t cut = origin.find_last_of('/');
  if (cut != std::string::npos) origin.erase(0, cut + 1);
  std::string source = resources::EmitResourceSource(resources, argv[3], origin);
  std::string old;
  if (ReadFile(argv[2], &old) && old == source) return 0;
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << source;
  if (!out) {
    std::cerr << argv[2] << ": cannot be written\n";
    return 1;
  }
  return 0;
}
