// The two peripheral chips that many of the boards carry: the 8255 parallel interface and the
// 8253/8254 counter. What the drivers do with them is written here once, down to the host's
// channels: an 8255's four groups spread into and rebuilt from the host's arrays, the counters
// started and read into them.
#pragma once

#include <cstdint>

#include "framework/hostlib.h"
#include "framework/routines.h"

namespace varn {

// 8255 mode-set control word. Starts at 0x80 (mode set, mode 0, every group output); a group
// selected as input sets its direction bits.
class Ppi8255ControlWord {
 public:
  static constexpr uint8_t kModeSet = 0x80;
  static constexpr uint8_t kPortAInput = 0x10;
  static constexpr uint8_t kPortBInput = 0x02;
  static constexpr uint8_t kPortCLowInput = 0x01;
  static constexpr uint8_t kPortCHighInput = 0x08;
  static constexpr uint8_t kPortCInput = kPortCLowInput | kPortCHighInput;

  void SetInput(uint8_t groupBits, bool input) { word_ = input ? word_ | groupBits : word_ & ~groupBits; }
  uint8_t Word() const { return word_; }

 private:
  uint8_t word_ = kModeSet;
};

// An 8255 whose 24 lines are 24 consecutive channels from firstIndex: port A bits 0-7, port B bits
// 0-7, port C bits 0-3, port C bits 4-7. Ports A, B, C and the control port follow each other from
// portA. Each group is an input or an output by its direction setting (not 0: output).
struct Ppi8255Channels {
  static constexpr int kChannels = 24;
  int portA;
  int firstIndex;
  int32_t portADir, portBDir, portCLowDir, portCHighDir;

  int PortB() const { return portA + 1; }
  int PortC() const { return portA + 2; }
  int ControlPort() const { return portA + 3; }
  int FirstB() const { return firstIndex + 8; }
  int FirstCLow() const { return firstIndex + 16; }
  int FirstCHigh() const { return firstIndex + 20; }
  bool HasChannel(int index) const { return index >= firstIndex && index < firstIndex + kChannels; }

  // Each input group's port is read once (port C once per input half), also when none of its
  // channels is enabled; its bits go to the enabled channels. Output groups are not touched.
  template <class PortIO>
  void ReadInputs(const PortIO& io, const CArray<int>& enabled, CArray<double>& values) const {
    if (portADir == 0) SpreadBits(io.InByte(portA), 0, 8, firstIndex, enabled, values);
    if (portBDir == 0) SpreadBits(io.InByte(PortB()), 0, 8, FirstB(), enabled, values);
    if (portCLowDir == 0) SpreadBits(io.InByte(PortC()), 0, 4, FirstCLow(), enabled, values);
    if (portCHighDir == 0) SpreadBits(io.InByte(PortC()), 4, 4, FirstCHigh(), enabled, values);
  }

  // Every output group rebuilt from the host's values and written; port C, when either half is an
  // output, from a byte that starts at 0 and takes the output halves' bits.
  template <class PortIO>
  void WriteOutputs(const PortIO& io, const CArray<double>& values) const {
    if (portADir != 0) io.OutByte(portA, static_cast<uint8_t>(PackBits(0, 0, 8, firstIndex, values)));
    if (portBDir != 0) io.OutByte(PortB(), static_cast<uint8_t>(PackBits(0, 0, 8, FirstB(), values)));
    if (portCLowDir != 0 || portCHighDir != 0) {
      uint32_t portC = 0;
      if (portCLowDir != 0) portC = PackBits(portC, 0, 4, FirstCLow(), values);
      if (portCHighDir != 0) portC = PackBits(portC, 4, 4, FirstCHigh(), values);
      io.OutByte(PortC(), static_cast<uint8_t>(portC));
    }
  }

  // The control word of one SvrSetProperty from the four port properties, consecutive from
  // firstProperty in the order A, B, C bits 0-3, C bits 4-7: a property taken with the input choice
  // sets its group's bits, one taken with another choice clears them, one not taken leaves them as
  // in 0x80. matches answers Taken(property) and Code(property).
  template <class Matches>
  static uint8_t ControlWordOf(const Matches& matches, int firstProperty, int inputCode) {
    constexpr uint8_t kGroupBits[] = {Ppi8255ControlWord::kPortAInput, Ppi8255ControlWord::kPortBInput,
                                      Ppi8255ControlWord::kPortCLowInput, Ppi8255ControlWord::kPortCHighInput};
    Ppi8255ControlWord control;
    for (int g = 0; g < 4; ++g)
      if (matches.Taken(firstProperty + g))
        control.SetInput(kGroupBits[g], matches.Code(firstProperty + g) == inputCode);
    return control.Word();
  }
};

// 8253/8254 counter chip: a control port and three data ports.
namespace pit8254 {

// Control word of counter i: select bits 7-6, read/load bits 5-4, mode bits 3-1, BCD bit 0.
constexpr uint8_t kLowThenHigh = 0x30;
constexpr uint8_t kRateGenerator = 0x04;  // mode 2
constexpr uint8_t SelectCounter(int counter) { return static_cast<uint8_t>(counter << 6); }

// Mode 2, binary, low byte then high byte, start count 0xFFFF: a free-running down-counter.
template <class PortIO>
void StartRateGenerator(const PortIO& io, int controlPort, int dataPort, int counter) {
  io.OutByte(controlPort, SelectCounter(counter) | kLowThenHigh | kRateGenerator);
  io.OutByte(dataPort, 0xFF);
  io.OutByte(dataPort, 0xFF);
}

// Latches counter i alone and reads its count, low byte then high byte. An 8254 ignores a latch
// command for a counter whose latched count has not been read, so each counter is latched right
// before its own two reads, never all three at once. extraBits go into the latch command's low
// bits (don't-care bits some boards set).
template <class PortIO>
uint32_t ReadLatchedCount(const PortIO& io, int controlPort, int dataPort, int counter, uint8_t extraBits = 0) {
  io.OutByte(controlPort, SelectCounter(counter) | extraBits);
  const uint32_t low = io.InByte(dataPort);
  const uint32_t high = io.InByte(dataPort);
  return high * 256 + low;
}

// All three counters as free-running rate generators, counter 0 first; counter i's data port is
// firstDataPort + i.
template <class PortIO>
void StartRateGenerators(const PortIO& io, int controlPort, int firstDataPort) {
  for (int i = 0; i < 3; ++i) StartRateGenerator(io, controlPort, firstDataPort + i, i);
}

// The three counters as channels firstIndex .. firstIndex+2: each enabled one latched alone and
// its raw count (0..65535) stored. extraBits go into each latch command, as in ReadLatchedCount.
template <class PortIO>
void ReadCounterChannels(const PortIO& io, int controlPort, int firstDataPort, int firstIndex,
                         const CArray<int>& enabled, CArray<double>& values, uint8_t extraBits = 0) {
  for (int i = 0; i < 3; ++i)
    if (IsEnabled(enabled, firstIndex + i))
      StoreValue(values, firstIndex + i, ReadLatchedCount(io, controlPort, firstDataPort + i, i, extraBits));
}

}  // namespace pit8254
}  // namespace varn
