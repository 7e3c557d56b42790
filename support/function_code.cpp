#include "support/function_code.h"

#include <cxxabi.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace support {
namespace {

struct LoadedObject {
  std::string path;
  std::uintptr_t bias = 0;  // what its symbols' values are moved by
};

int Collect(dl_phdr_info* info, std::size_t, void* data) {
  auto* objects = static_cast<std::vector<LoadedObject>*>(data);
  // The program comes first, without a name; the loader's virtual object
  // may have none either and no file.
  const char* name = info->dlpi_name;
  if (name && *name)
    objects->push_back({name, info->dlpi_addr});
  else if (objects->empty())
    objects->push_back({"/proc/self/exe", info->dlpi_addr});
  return 0;
}

// Whether `demangled` spells the function `name`: a whole qualified name,
// then its parameters, its template arguments or an ABI tag (or nothing,
// for a C name).
bool Spells(const char* demangled, const std::string& name) {
  for (const char* at = std::strstr(demangled, name.c_str()); at;
       at = std::strstr(at + 1, name.c_str())) {
    const char next = at[name.size()];
    if ((at == demangled || at[-1] == ' ') &&
        (next == '\0' || next == '(' || next == '<' || next == '['))
      return true;
  }
  return false;
}

// The file's function symbols that spell `name`, moved by `bias`.
void Scan(const LoadedObject& object, const std::string& name, std::vector<CodeRange>& found) {
  const int fd = ::open(object.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat status {};
  const bool sized = ::fstat(fd, &status) == 0 && status.st_size > 0;
  void* map = sized ? ::mmap(nullptr, std::size_t(status.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
                    : MAP_FAILED;
  ::close(fd);
  if (map == MAP_FAILED) return;
  const auto* bytes = static_cast<const unsigned char*>(map);
  const std::size_t size = std::size_t(status.st_size);
  const auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes);
  const bool elf = size >= sizeof(Elf64_Ehdr) && std::memcmp(bytes, ELFMAG, SELFMAG) == 0 &&
                   bytes[EI_CLASS] == ELFCLASS64 && header->e_shentsize == sizeof(Elf64_Shdr) &&
                   header->e_shoff < size &&
                   header->e_shnum <= (size - header->e_shoff) / sizeof(Elf64_Shdr);
  const auto* sections =
      elf ? reinterpret_cast<const Elf64_Shdr*>(bytes + header->e_shoff) : nullptr;
  const Elf64_Shdr* table = nullptr;
  for (int kind : {SHT_SYMTAB, SHT_DYNSYM}) {
    for (std::size_t i = 0; sections && !table && i < header->e_shnum; ++i)
      if (sections[i].sh_type == std::uint32_t(kind)) table = &sections[i];
  }
  const Elf64_Shdr* strings =
      table && table->sh_link < header->e_shnum ? &sections[table->sh_link] : nullptr;
  const bool readable = strings && table->sh_offset <= size &&
                        table->sh_size <= size - table->sh_offset && strings->sh_offset <= size &&
                        strings->sh_size != 0 && strings->sh_size <= size - strings->sh_offset &&
                        bytes[strings->sh_offset + strings->sh_size - 1] == 0;
  // The mangled name holds the last part of the name as it is spelled.
  std::string last = name.substr(name.rfind(':') == std::string::npos ? 0 : name.rfind(':') + 1);
  if (!last.empty() && last[0] == '~') last.erase(0, 1);
  const std::size_t count = readable ? table->sh_size / sizeof(Elf64_Sym) : 0;
  const auto* symbols =
      readable ? reinterpret_cast<const Elf64_Sym*>(bytes + table->sh_offset) : nullptr;
  const char* text = readable ? reinterpret_cast<const char*>(bytes + strings->sh_offset) : nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    const Elf64_Sym& symbol = symbols[i];
    if (ELF64_ST_TYPE(symbol.st_info) != STT_FUNC || symbol.st_shndx == SHN_UNDEF ||
        symbol.st_size == 0 || symbol.st_name >= strings->sh_size)
      continue;
    const char* mangled = text + symbol.st_name;
    if (!std::strstr(mangled, last.c_str())) continue;
    int status_code = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status_code);
    if (Spells(demangled ? demangled : mangled, name))
      found.push_back(
          {object.bias + symbol.st_value, object.bias + symbol.st_value + symbol.st_size});
    std::free(demangled);
  }
  ::munmap(map, size);
}

}  // namespace

std::vector<CodeRange> FunctionCode(const std::string& name) {
  std::vector<LoadedObject> objects;
  ::dl_iterate_phdr(&Collect, &objects);
  std::vector<CodeRange> found;
  for (const LoadedObject& object : objects)
    Scan(object, name, found);
  return found;
}

}  // namespace support
