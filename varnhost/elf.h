// What the dynamic symbol table of a driver file exports, and which machine it was built for.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace varnhost {

struct ElfError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Machine { X86_64, Arm, Other };

struct ElfInfo {
  Machine machine = Machine::Other;
  std::vector<std::string> exports;  // defined global and weak symbols of the dynamic table, sorted
};

ElfInfo ReadElf(const std::string& path);  // ElfError when the file is missing or not an ELF object

}  // namespace varnhost
