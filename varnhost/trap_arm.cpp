// ARM (ARM state): the single loads and stores of memory-mapped drivers at port-number addresses.
// LDR/STR/LDRB/STRB with immediate or shifted-register offsets and LDRH/STRH/LDRSB/LDRSH, pre- or
// post-indexed, with write-back.
#include <signal.h>
#include <ucontext.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "varnhost/bus.h"
#include "varnhost/trap.h"

namespace varnhost {
namespace {

// The I/O window: port numbers are 16 bits wide, and nothing is ever mapped that low.
constexpr uint32_t kPortWindowEnd = 0x10000;

uint32_t ShiftedRegister(uint32_t value, uint32_t type, uint32_t amount, bool carry) {
  switch (type) {
    case 0: return amount == 0 ? value : value << amount;
    case 1: return amount == 0 ? 0 : value >> amount;
    case 2: return amount == 0 ? uint32_t(int32_t(value) >> 31) : uint32_t(int32_t(value) >> amount);
    default: return amount == 0 ? (uint32_t(carry) << 31 | value >> 1) : (value >> amount | value << (32 - amount));
  }
}

}  // namespace

bool EmulateAccess(void* signalInfo, void* context) {
  const auto* info = static_cast<siginfo_t*>(signalInfo);
  mcontext_t& m = static_cast<ucontext_t*>(context)->uc_mcontext;
  const auto faultAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info->si_addr));
  if (faultAddress >= kPortWindowEnd || (m.arm_cpsr & (1u << 5)) != 0) return false;  // Thumb: not ours
  unsigned long* r = &m.arm_r0;                                                       // r0 .. r15 lie in order
  auto reg = [&](uint32_t n) -> uint32_t { return n == 15 ? uint32_t(m.arm_pc + 8) : uint32_t(r[n]); };
  const uint32_t insn = *reinterpret_cast<const uint32_t*>(m.arm_pc);
  const uint32_t rn = insn >> 16 & 15, rd = insn >> 12 & 15;
  const bool pre = insn >> 24 & 1, up = insn >> 23 & 1, writeBack = insn >> 21 & 1, load = insn >> 20 & 1;
  uint32_t offset = 0;
  int width = 32;
  bool signedLoad = false;
  if ((insn & 0x0C000000) == 0x04000000) {  // LDR, STR, LDRB, STRB
    if (insn >> 25 & 1) {
      if (insn >> 4 & 1) return false;  // register-specified shifts do not exist here
      offset = ShiftedRegister(reg(insn & 15), insn >> 5 & 3, insn >> 7 & 31, m.arm_cpsr >> 29 & 1);
    } else {
      offset = insn & 0xFFF;
    }
    width = (insn >> 22 & 1) ? 8 : 32;
  } else if ((insn & 0x0E000090) == 0x00000090 && (insn & 0x60) != 0) {  // LDRH, STRH, LDRSB, LDRSH
    const uint32_t sh = insn >> 5 & 3;
    if (!load && sh != 1) return false;  // doubleword transfers
    offset = (insn >> 22 & 1) ? ((insn >> 4 & 0xF0) | (insn & 0xF)) : reg(insn & 15);
    width = sh == 2 ? 8 : 16;
    signedLoad = sh != 1;
  } else {
    return false;
  }
  const uint32_t base = reg(rn);
  const uint32_t indexed = up ? base + offset : base - offset;
  const uint32_t address = pre ? indexed : base;
  if (address != faultAddress) return false;
  if (load) {
    uint32_t value = g_call.bus->Read(Via::Memory, width, address);
    if (signedLoad) value = width == 8 ? uint32_t(int32_t(int8_t(value))) : uint32_t(int32_t(int16_t(value)));
    r[rd] = value;
  } else {
    const uint32_t mask = width == 8 ? 0xFFu : width == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    g_call.bus->Write(Via::Memory, width, address, reg(rd) & mask);
  }
  if ((!pre || writeBack) && !(load && rn == rd)) r[rn] = indexed;
  m.arm_pc += 4;
  return true;
}

std::string DescribePc(void* context) {
  char text[48];
  std::snprintf(text, sizeof text, " at address %#lx", static_cast<ucontext_t*>(context)->uc_mcontext.arm_pc);
  return text;
}

}  // namespace varnhost
