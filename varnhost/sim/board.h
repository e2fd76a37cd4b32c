// A simulated board behind the bus: it decodes the accesses that fall on its registers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnhost::sim {

using Micros = int64_t;  // simulated time, from the start of the script

struct BoardError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a board is set up: where its base address jumpers sit, and what stands at its inputs
// (voltages, input pins, counter clock rates; each board names its own).
using Inputs = std::map<std::string, double>;

struct BoardSetup {
  std::optional<uint32_t> base;
  Inputs inputs;
};

class BoardModel {
 public:
  virtual ~BoardModel() = default;
  // A read of one of the board's registers, or nothing when no register answers there.
  virtual std::optional<uint32_t> Read(int width, uint32_t port, Micros now) = 0;
  virtual void Write(int width, uint32_t port, uint32_t value, Micros now) = 0;
  // The board's outputs as a person would look at them (D/A codes, output pins).
  virtual std::vector<std::string> Outputs() const { return {}; }
};

struct BoardType {
  const char* word;  // the lower-case board word of scripts and the command line
  uint32_t defaultBase;
  Inputs defaults;  // every input a setup may set, with its value when the setup does not
  std::unique_ptr<BoardModel> (*make)(uint32_t base, const Inputs& inputs);
};

const std::vector<BoardType>& BoardTypes();
// BoardError for an unknown board word or input name.
std::unique_ptr<BoardModel> MakeBoard(const std::string& word, const BoardSetup& setup);

}  // namespace varnhost::sim
