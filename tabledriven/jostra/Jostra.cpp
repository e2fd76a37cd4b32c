// Jostra digital-input board: 64 inputs read as eight bytes from eight consecutive input ports
// at the base address (352 as delivered); input port k carries channels 8k to 8k+7, bit 0 first.
// No outputs: a write command is parsed and has no effect.
#include "tabledriven/devserver/devserver.h"

namespace {

using namespace varn;

enum Setting { kBaseAddress };
constexpr int kInputPorts = 8;

const TChar* const kPropertyNames[] = {VT("设备IO基地址(十进制)")};
constexpr int32_t kChoiceCounts[] = {0};
constexpr int32_t kDefaults[] = {352};
constexpr int32_t kGroupSizes[] = {64, 0, 0, 0, 0, 0};

struct JostraBoard : TableDrivenBoard<JostraBoard> {
  static constexpr BoardDescription kDescription = {
      VT("Jostra"),
      0x8F3B0AE5,
      {VT("Jostra"), {VT("JostraU.drv"), VT("JostraE.drv")}},
      VT("VARN_WRITE"),
      MakeTable(kPropertyNames),
      MakeTable(kChoiceCounts),
      MakeTable(kDefaults),
      MakeTable(kSharedChoiceTexts),  // carried, never shown: the board has no choice property
      MakeTable(kGroupSizes),
      MakeTable(kChannelNameFormats),
  };

  // All eight port reads first, then every channel from its bit; the enabled flags are not read.
  void Collect(DeviceRecord* device, const Settings& s, const CArray<int>&, CArray<double>& values) {
    const PortIO io(device);
    CByteArray ports;
    ports.SetSize(kInputPorts);
    for (int k = 0; k < kInputPorts; ++k) ports[k] = io.InByte(Port(s[kBaseAddress], k));
    for (int c = 0; c < GroupSize(s, kDI); ++c) StoreValue(values, c, ReadBit(ports, c));
  }
};

}  // namespace

VARN_TABLE_DRIVEN_DRIVER(JostraBoard)
