#include "varnhost/sim/boards.h"

#include <cmath>
#include <cstdio>

namespace varnhost::sim {

AnalogInputs::AnalogInputs(const Inputs& inputs, int count, Span span, Micros conversionTime)
    : span_(span), conversionTime_(conversionTime) {
  for (int k = 0; k < count; ++k) volts_.push_back(inputs.at("ad" + std::to_string(k)));
}

double AnalogInputs::Input(int channel) const {
  return channel >= 0 && size_t(channel) < volts_.size() ? volts_[size_t(channel)] : 0.0;
}

void AnalogInputs::Start(double volts, Micros now) { Start(volts, span_, now); }

void AnalogInputs::Start(double volts, Span span, Micros now) {
  result_ = Code(volts, span);
  doneAt_ = now + conversionTime_;
}

uint32_t AnalogInputs::Code(double volts, Span span) {
  const double code = std::floor((volts - span.low) / (span.high - span.low) * 4096.0 + 0.5);
  return code < 0 ? 0 : code > 4095 ? 4095 : uint32_t(code);
}

Inputs AnalogInputDefaults(int count) {
  Inputs inputs;
  for (int k = 0; k < count; ++k) inputs["ad" + std::to_string(k)] = 0.25 * (k + 1) * (k % 2 ? -1 : 1);
  return inputs;
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
  static const std::vector<BoardType> types = {TavrelBoardType(), JostraBoardType(), RindavoBoardType()};
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
