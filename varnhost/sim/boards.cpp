#include "varnhost/sim/boards.h"

#include <cmath>
#include <cstdio>

namespace varnhost::sim {

AnalogInputs::AnalogInputs(const Inputs& inputs, int count, Span span, Micros conversionTime, int bits)
    : span_(span), conversionTime_(conversionTime), bits_(bits) {
  for (int k = 0; k < count; ++k) volts_.push_back(inputs.at("ad" + std::to_string(k)));
}

double AnalogInputs::Input(int channel) const {
  return channel >= 0 && size_t(channel) < volts_.size() ? volts_[size_t(channel)] : 0.0;
}

void AnalogInputs::Start(double volts, Micros now) { Start(volts, span_, now); }

void AnalogInputs::Start(double volts, Span span, Micros now) {
  result_ = Code(volts, span, bits_);
  doneAt_ = now + conversionTime_;
}

uint32_t AnalogInputs::Code(double volts, Span span, int bits) {
  const double full = std::ldexp(1.0, bits);
  const double code = std::floor((volts - span.low) / (span.high - span.low) * full + 0.5);
  return !(code > 0) ? 0 : code > full - 1 ? uint32_t(full - 1) : uint32_t(code);  // NaN: 0
}

Inputs AnalogInputDefaults(int count) {
  Inputs inputs;
  for (int k = 0; k < count; ++k) inputs["ad" + std::to_string(k)] = 0.25 * (k + 1) * (k % 2 ? -1 : 1);
  return inputs;
}

void AddRangeAndGainDefaults(Inputs& defaults) {
  defaults["range"] = 5;
  defaults["gain"] = 1;
}

RangeAndGain RangeAndGainJumpers(const Inputs& inputs, const std::string& board) {
  const double range = inputs.at("range"), gain = inputs.at("gain");
  if (!(range > 0) || !(gain > 0))
    throw BoardError(board + " inputs \"range\" (the half-span in volts) and \"gain\" are above 0");
  return {{-range, range}, gain};
}

std::optional<uint32_t> ReadPpi(const Ppi8255& ppi, uint32_t reg, uint32_t first) {
  if (reg < first || reg > first + 3) return std::nullopt;
  return ppi.Read(int(reg - first));
}

bool WritePpi(Ppi8255& ppi, uint32_t reg, uint32_t first, uint32_t value) {
  if (reg < first || reg > first + 3) return false;
  ppi.Write(int(reg - first), uint8_t(value));
  return true;
}

void AddPinDefaults(Inputs& defaults) {
  defaults["pa"] = 0x5A;
  defaults["pb"] = 0xC3;
  defaults["pc"] = 0x96;
}

void SetPins(Ppi8255& ppi, const Inputs& inputs) {
  ppi.pinsA = uint8_t(inputs.at("pa"));
  ppi.pinsB = uint8_t(inputs.at("pb"));
  ppi.pinsC = uint8_t(inputs.at("pc"));
}

std::string PpiOutputs(const Ppi8255& ppi) {
  return "8255 control " + Hex(ppi.Control()) + ", pins out A " + Hex(ppi.OutputA()) + " B " + Hex(ppi.OutputB()) +
         " C " + Hex(ppi.OutputC());
}

std::optional<uint32_t> ReadPit(Pit8254& pit, uint32_t reg, uint32_t first, Micros now) {
  if (reg < first || reg > first + 2) return std::nullopt;  // the control register reads nothing
  return pit.ReadCounter(int(reg - first), now);
}

bool WritePit(Pit8254& pit, uint32_t reg, uint32_t first, uint32_t value, Micros now) {
  if (reg < first || reg > first + 3) return false;
  if (reg == first + 3)
    pit.WriteControl(uint8_t(value), now);
  else
    pit.WriteCounter(int(reg - first), uint8_t(value), now);
  return true;
}

void AddClockDefaults(Inputs& defaults) {
  defaults["counter0_hz"] = 1000;
  defaults["counter1_hz"] = 250;
  defaults["counter2_hz"] = 40;
}

std::array<double, 3> Clocks(const Inputs& inputs) {
  return {inputs.at("counter0_hz"), inputs.at("counter1_hz"), inputs.at("counter2_hz")};
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

uint8_t ByteInput(const Inputs& inputs, const std::string& board, const std::string& name) {
  const double v = inputs.at(name);
  if (!(v >= 0 && v <= 255) || std::floor(v) != v)
    throw BoardError(board + " input \"" + name + "\" stands for eight pins: a whole number from 0 to 255");
  return uint8_t(v);
}

const std::vector<BoardType>& BoardTypes() {
  static const std::vector<BoardType> types = {TavrelBoardType(), WexlorBoardType(), UlvestBoardType(),
                                               OrbiskBoardType(), JostraBoardType(), RindavoBoardType()};
  return types;
}

std::unique_ptr<BoardModel> MakeBoard(const std::string& word, const BoardSetup& setup) {
  std::string known;
  for (const BoardType& type : BoardTypes()) {
    known += std::string(known.empty() ? "" : ", ") + type.word;
    if (word != type.word) continue;
    Inputs inputs = type.defaults;
    for (const auto& [name, value] : setup.inputs) {
      if (!inputs.count(name)) {
        std::string names;
        for (const auto& [n, v] : type.defaults) names += (names.empty() ? "" : ", ") + n;
        throw BoardError("the " + word + " board has no input \"" + name + "\" (it has " + names + ")");
      }
      inputs[name] = value;
    }
    return type.make(setup.base.value_or(type.defaultBase), inputs);
  }
  throw BoardError("no simulated board \"" + word + "\" (there are: " + known + ")");
}

}  // namespace varnhost::sim
