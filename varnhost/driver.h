// A driver file loaded the way the host loads it: by file name, its thirteen entry points
// resolved by name. The build flavour follows from the file name.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/device.h"
#include "varnhost/elf.h"

namespace varnhost {

struct LoadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Flavour { Configuration, X86, Arm };
Flavour FlavourOfFileName(const std::string& path);  // *.dll, *_ARMV4.drv, other *.drv
const char* FlavourName(Flavour flavour);            // "configuration", "x86", "arm"

class DriverLibrary {
 public:
  explicit DriverLibrary(const std::string& path);  // LoadError: no such file, not a driver, ...
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  void* EntryPoint(const char* name) const;  // LoadError when it is missing
  const std::string& Path() const { return path_; }
  Flavour GetFlavour() const { return flavour_; }
  const ElfInfo& Elf() const { return elf_; }

 private:
  std::string path_;
  Flavour flavour_;
  ElfInfo elf_;
  void* handle_ = nullptr;
};

template <class Ch>
struct EntryPoints {
  using T = varn::EntryPointTypes<Ch>;
  typename T::GetProperty GetProperty;
  typename T::EnumPropertyValue EnumPropertyValue;
  typename T::SetProperty SetProperty;
  typename T::DoHelp DoHelp;
  typename T::GetChannel GetChannel;
  typename T::EditProperty EditProperty;
  typename T::EditCustomProperty EditCustomProperty;
  typename T::InitDevSet InitDevSet;
  typename T::InitDevRun InitDevRun;
  typename T::ExitDevRun ExitDevRun;
  typename T::CollectDevData CollectDevData;
  typename T::DevIOCtrl DevIOCtrl;
  typename T::GetDevInfo GetDevInfo;

  static EntryPoints Resolve(const DriverLibrary& library) {
    EntryPoints e;
    auto get = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::decay_t<decltype(fn)>>(library.EntryPoint(name));
    };
    get(e.GetProperty, "SvrGetProperty");
    get(e.EnumPropertyValue, "SvrEnumPropertyValue");
    get(e.SetProperty, "SvrSetProperty");
    get(e.DoHelp, "SvrDoHelp");
    get(e.GetChannel, "SvrGetChannel");
    get(e.EditProperty, "SvrEditProperty");
    get(e.EditCustomProperty, "SvrEditCustomProperty");
    get(e.InitDevSet, "SvrInitDevSet");
    get(e.InitDevRun, "SvrInitDevRun");
    get(e.ExitDevRun, "SvrExitDevRun");
    get(e.CollectDevData, "SvrCollectDevData");
    get(e.DevIOCtrl, "SvrDevIOCtrl");
    get(e.GetDevInfo, "SvrGetDevInfo");
    return e;
  }
};

}  // namespace varnhost
