// The library's dynamic symbol table: exactly the control functions that
// Talvex.h declares, and nothing else.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<char> readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Defined symbols of the dynamic symbol table, with their types.
struct Exported {
  std::set<std::string> functions, others;
};

Exported dynamicSymbols(const std::vector<char>& image) {
  Exported out;
  if (image.size() < sizeof(Elf64_Ehdr)) return out;
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return out;
  auto section = [&](unsigned i) {
    Elf64_Shdr s{};
    const size_t at = header.e_shoff + size_t(i) * header.e_shentsize;
    if (at + sizeof s <= image.size()) std::memcpy(&s, image.data() + at, sizeof s);
    return s;
  };
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr symbols = section(i);
    if (symbols.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr names = section(symbols.sh_link);
    for (size_t at = symbols.sh_offset; at + sizeof(Elf64_Sym) <= symbols.sh_offset + symbols.sh_size;
         at += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      std::memcpy(&sym, image.data() + at, sizeof sym);
      if (sym.st_shndx == SHN_UNDEF || sym.st_name == 0 || sym.st_name >= names.sh_size) continue;
      const std::string name(image.data() + names.sh_offset + sym.st_name);
      (ELF64_ST_TYPE(sym.st_info) == STT_FUNC ? out.functions : out.others).insert(name);
    }
  }
  return out;
}

// The function names Talvex.h declares.
std::set<std::string> declaredFunctions(const char* header) {
  std::ifstream in(header);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  std::set<std::string> names;
  const std::regex declaration(R"(TALVEX_API\s+[^;(]*?\b(Talvex\w+)\s*\()");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), declaration); it != std::sregex_iterator();
       ++it)
    names.insert((*it)[1]);
  return names;
}

}  // namespace

TEST(TalvexExports, ExactlyTheControlFunctions) {
  const std::set<std::string> declared = declaredFunctions(TALVEX_HEADER);
  ASSERT_EQ(declared.size(), 112u);
  const Exported exported = dynamicSymbols(readFile(TALVEX_LIBRARY));
  EXPECT_EQ(exported.functions, declared);
  EXPECT_TRUE(exported.others.empty()) << *exported.others.begin();
}
