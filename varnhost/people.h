#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "varnhost/sim/board.h"

namespace varnhost {

struct RunOptions {
  std::string board;
  std::optional<uint32_t> base;
  sim::Inputs inputs;
  std::vector<std::pair<std::string, std::string>> sets;  // property name, value text
  std::vector<std::string> writes;
  int cycles = 3;
  bool realClock = false;
  bool hardware = false;  // the real ports of this machine instead of a simulated board
};

int ShowDriver(const std::string& path);
int RunDriver(const std::string& path, const RunOptions& options);

}  // namespace varnhost
