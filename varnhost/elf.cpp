// A reader of the ELF dynamic symbol table for both classes (ELF32 for ARM, ELF64 for x86-64).
// Small enough to keep here: the ARM build of varnhost reads the same tables under emulation.
#include "varnhost/elf.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace varnhost {
namespace {

template <class Ehdr, class Shdr, class Sym>
ElfInfo ReadTables(const std::string& bytes, unsigned char (*bindOf)(unsigned char)) {
  auto at = [&](uint64_t offset, uint64_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) throw ElfError("truncated ELF file");
    return bytes.data() + offset;
  };
  Ehdr eh;
  std::memcpy(&eh, at(0, sizeof eh), sizeof eh);
  ElfInfo info;
  info.machine = eh.e_machine == EM_X86_64 ? Machine::X86_64 : eh.e_machine == EM_ARM ? Machine::Arm : Machine::Other;
  if (eh.e_shentsize != sizeof(Shdr)) throw ElfError("unexpected ELF section header size");
  std::vector<Shdr> sections(eh.e_shnum);
  if (!sections.empty())
    std::memcpy(sections.data(), at(eh.e_shoff, sizeof(Shdr) * eh.e_shnum), sizeof(Shdr) * eh.e_shnum);
  for (const Shdr& s : sections) {
    if (s.sh_type != SHT_DYNSYM) continue;
    if (s.sh_link >= sections.size()) throw ElfError("bad ELF string table link");
    const Shdr& strtab = sections[s.sh_link];
    const char* names = at(strtab.sh_offset, strtab.sh_size);
    const size_t count = s.sh_entsize ? s.sh_size / s.sh_entsize : 0;
    for (size_t i = 1; i < count; ++i) {
      Sym sym;
      std::memcpy(&sym, at(s.sh_offset + i * s.sh_entsize, sizeof sym), sizeof sym);
      const unsigned bind = bindOf(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK) || sym.st_name >= strtab.sh_size)
        continue;
      info.exports.emplace_back(names + sym.st_name, strnlen(names + sym.st_name, strtab.sh_size - sym.st_name));
    }
  }
  std::sort(info.exports.begin(), info.exports.end());
  info.exports.erase(std::unique(info.exports.begin(), info.exports.end()), info.exports.end());
  return info;
}

unsigned char Bind32(unsigned char i) { return ELF32_ST_BIND(i); }
unsigned char Bind64(unsigned char i) { return ELF64_ST_BIND(i); }

}  // namespace

ElfInfo ReadElf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ElfError("no such file: " + path);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < EI_NIDENT || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0)
    throw ElfError("not a driver (no ELF shared object): " + path);
  if (bytes[EI_DATA] != ELFDATA2LSB) throw ElfError("not a little-endian ELF file: " + path);
  if (bytes[EI_CLASS] == ELFCLASS32) return ReadTables<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(bytes, Bind32);
  if (bytes[EI_CLASS] == ELFCLASS64) return ReadTables<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(bytes, Bind64);
  throw ElfError("unknown ELF class: " + path);
}

}  // namespace varnhost
