// x86-64: the port instructions IN and OUT, byte, word and double word, port in DX or immediate.
#include <signal.h>
#include <ucontext.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "varnhost/bus.h"
#include "varnhost/trap.h"

namespace varnhost {

bool EmulateAccess(void* signalInfo, void* context) {
  const auto* info = static_cast<siginfo_t*>(signalInfo);
  // Port instructions without I/O permission raise a general protection fault, reported as a
  // SIGSEGV from the kernel itself; a page fault has its own codes and is no port access.
  if (info->si_code != SI_KERNEL) return false;
  greg_t* regs = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  const auto* ip = reinterpret_cast<const uint8_t*>(regs[REG_RIP]);
  int length = 0;
  bool operandSize16 = false;
  while (ip[length] == 0x66) {
    operandSize16 = true;
    ++length;
  }
  const uint8_t opcode = ip[length++];
  const bool immediatePort = opcode >= 0xE4 && opcode <= 0xE7;
  if (!immediatePort && !(opcode >= 0xEC && opcode <= 0xEF)) return false;
  const bool isIn = (opcode & 0x02) == 0;
  const int width = (opcode & 0x01) == 0 ? 8 : operandSize16 ? 16 : 32;
  const uint32_t port = immediatePort ? ip[length++] : static_cast<uint16_t>(regs[REG_RDX]);
  auto& rax = reinterpret_cast<uint64_t&>(regs[REG_RAX]);
  if (isIn) {
    const uint32_t value = g_call.bus->Read(Via::Io, width, port);
    if (width == 8)
      rax = (rax & ~0xFFull) | value;
    else if (width == 16)
      rax = (rax & ~0xFFFFull) | value;
    else
      rax = value;  // a 32-bit destination clears the upper half
  } else {
    const uint32_t mask = width == 8 ? 0xFFu : width == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    g_call.bus->Write(Via::Io, width, port, static_cast<uint32_t>(rax) & mask);
  }
  regs[REG_RIP] += length;
  return true;
}

std::string DescribePc(void* context) {
  char text[48];
  std::snprintf(text, sizeof text, " at address %#llx",
                static_cast<unsigned long long>(static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]));
  return text;
}

}  // namespace varnhost
