#include "varnhost/driver.h"

#include <dlfcn.h>

namespace varnhost {
namespace {
const char* const kEntryPointNames[] = {
    "SvrGetProperty",    "SvrEnumPropertyValue",  "SvrSetProperty", "SvrDoHelp",     "SvrGetChannel",
    "SvrEditProperty",   "SvrEditCustomProperty", "SvrInitDevSet",  "SvrInitDevRun", "SvrExitDevRun",
    "SvrCollectDevData", "SvrDevIOCtrl",          "SvrGetDevInfo"};

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

Flavour FlavourOfFileName(const std::string& path) {
  if (EndsWith(path, ".dll")) return Flavour::Configuration;
  if (EndsWith(path, "_ARMV4.drv")) return Flavour::Arm;
  if (EndsWith(path, ".drv")) return Flavour::X86;
  throw LoadError("not a driver file name (expected *.dll or *.drv): " + path);
}

const char* FlavourName(Flavour flavour) {
  switch (flavour) {
    case Flavour::Configuration: return "configuration";
    case Flavour::X86: return "x86";
    default: return "arm";
  }
}

DriverLibrary::DriverLibrary(const std::string& path) : path_(path), flavour_(FlavourOfFileName(path)) {
  try {
    elf_ = ReadElf(path);
  } catch (const ElfError& e) {
    throw LoadError(e.what());
  }
#if defined(__arm__)
  const Machine self = Machine::Arm;
#else
  const Machine self = Machine::X86_64;
#endif
  if (elf_.machine != self) throw LoadError("driver built for another machine than this varnhost: " + path);
  // A name without a slash would be looked up on the library path, not in the current directory.
  const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw LoadError(std::string("cannot load driver: ") + dlerror());
  for (const char* name : kEntryPointNames) EntryPoint(name);
}

DriverLibrary::~DriverLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* DriverLibrary::EntryPoint(const char* name) const {
  void* symbol = dlsym(handle_, name);
  if (symbol == nullptr) throw LoadError(std::string("entry point ") + name + " missing in " + path_);
  return symbol;
}

}  // namespace varnhost
