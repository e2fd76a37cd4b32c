// A driver that exists for varnhost's own tests: its acquisition pass makes every form of bus
// access the trap must decode, and its write command misbehaves on demand (crash, hang, flood).
#include <csignal>
#include <cstdlib>

#include "framework/entrypoints.h"

namespace {

using namespace varn;

#if defined(__x86_64__)
using ProbePorts = ports::PortInstructions;
#else
using ProbePorts = ports::MemoryMapped;
#endif

int Command(const CString& text, const char* word) {
  for (int i = 0;; ++i) {
    if (word[i] == 0) return text.GetLength() == i;
    if (i >= text.GetLength() || text[i] != TChar(word[i])) return 0;
  }
}

struct Probe {
  static constexpr int kCollectResult = 7;

  static int GetProperty(DeviceRecord*, CStringArray& names, CStringArray& values, CByteArray& kinds) {
    names.SetSize(1);
    values.SetSize(1);
    kinds.SetSize(1);
    names[0] = VT("probe");
    values[0] = VT("0");
    return 1;
  }
  static int EnumPropertyValue(DeviceRecord*, const CString&, CStringArray&) { return 1; }
  static int SetProperty(DeviceRecord*, CStringArray&, CStringArray&) { return 1; }
  static int DoHelp(CString& topic, int& context) { return CommonEntryPoints::DoHelp(topic, context, VT("Probe"), 1); }
  static int GetChannel(DeviceRecord*, CStringArray&, CArray<int>&) { return 1; }
  static int InitDevSet(DeviceRecord*) { return 1; }
  static int InitDevRun(DeviceRecord*) { return 1; }
  static int ExitDevRun(DeviceRecord*) { return 1; }
  static int GetDevInfo(CString&, int&, int&, int, CString&) { return 0; }

  // Every access form; what the reads returned goes to the value array.
  static int CollectDevData(DeviceRecord*, CArray<int>&, CArray<double>& values) {
    uint32_t r[12] = {};
#if defined(__x86_64__)
    __asm__ volatile("movl $0xABCD1200, %%eax\n\tinb $0x61, %%al" : "=a"(r[0]));  // upper bits stay
    __asm__ volatile("movl $0xABCD0000, %%eax\n\tinw $0x62, %%ax" : "=a"(r[1]));
    __asm__ volatile("inl $0x64, %%eax" : "=a"(r[2]));
    __asm__ volatile("inb %%dx, %%al" : "=a"(r[3]) : "d"(0x300), "a"(0));
    __asm__ volatile("inw %%dx, %%ax" : "=a"(r[4]) : "d"(0x302), "a"(0));
    __asm__ volatile("inl %%dx, %%eax" : "=a"(r[5]) : "d"(0x304));
    __asm__ volatile("outb %%al, $0x80" : : "a"(0x11));
    __asm__ volatile("outw %%ax, $0x82" : : "a"(0x2222));
    __asm__ volatile("outl %%eax, $0x84" : : "a"(0x44444444));
    __asm__ volatile("outb %%al, %%dx" : : "a"(0x55), "d"(0x310));
    __asm__ volatile("outw %%ax, %%dx" : : "a"(0x6666), "d"(0x312));
    __asm__ volatile("outl %%eax, %%dx" : : "a"(0x77777777), "d"(0x314));
#elif defined(__arm__)
    uint32_t base = 0x300, p = 0x310, q = 0x321;
    __asm__ volatile("ldrb %0, [%1, #1]" : "=r"(r[0]) : "r"(base));
    __asm__ volatile("ldrh %0, [%1, #2]" : "=r"(r[1]) : "r"(base));
    __asm__ volatile("ldr %0, [%1, #4]" : "=r"(r[2]) : "r"(base));
    __asm__ volatile("ldrsb %0, [%1, #8]" : "=r"(r[3]) : "r"(base));
    __asm__ volatile("ldrsh %0, [%1, #10]" : "=r"(r[4]) : "r"(base));
    __asm__ volatile("ldrb %0, [%1, %2, lsl #1]" : "=r"(r[5]) : "r"(base), "r"(6));  // 0x30C
    __asm__ volatile("ldrb %0, [%1], #2" : "=r"(r[6]), "+r"(p));                     // 0x310, then p = 0x312
    __asm__ volatile("ldrb %0, [%1, #-1]!" : "=r"(r[7]), "+r"(q));                   // 0x320 = q
    __asm__ volatile("strb %0, [%1, #0x40]" : : "r"(0x155), "r"(base));              // byte 0x55
    __asm__ volatile("strh %0, [%1, #0x42]" : : "r"(0x16666), "r"(base));            // half 0x6666
    __asm__ volatile("str %0, [%1, #0x44]" : : "r"(0x77777777), "r"(base));
    __asm__ volatile("strb %0, [%1, -%2]" : : "r"(0x88), "r"(base), "r"(0x10));  // 0x2F0
    r[8] = p;
    r[9] = q;
#endif
    for (int i = 0; i < 12 && i < values.GetSize(); ++i) values[i] = r[i];
    return kCollectResult;
  }

  // The write command selects a misbehaviour.
  static int DevIOCtrl(DeviceRecord*, const CString& command, CArray<double>&) {
    if (Command(command, "segv")) *reinterpret_cast<volatile int*>(uintptr_t(0xDEAD0000u)) = 1;
    if (Command(command, "ill")) __builtin_trap();
    if (Command(command, "abort")) std::abort();
    if (Command(command, "hang"))
      for (volatile int spin = 0;; spin = spin + 1) {
      }
    if (Command(command, "sleep")) Sleep(25);
    if (Command(command, "flood"))
      for (int i = 0; i < 3000000; ++i) ProbePorts::InByte(0x300);
    return 5;
  }
};

}  // namespace

VARN_DEFINE_ENTRY_POINTS(Probe)
