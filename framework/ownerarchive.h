// The settings archive the host keeps for each device, and the port-I/O layer every board reaches
// its registers through.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/hostlib.h"
#include "framework/platform.h"

namespace varn {

// ---------------------------------------------------------------------------------------------
// OwnerArchive: a growable byte array with a read/write position and a store/load switch.
// The host creates it and keeps its bytes in the project; drivers store their settings in it as
// 4-byte little-endian integers, from byte 0, in their own order.
class OwnerArchive {
 public:
  static constexpr int kGrowStep = 16534;

  explicit OwnerArchive(int storingFlag = 0) : storing(storingFlag) {}
  virtual ~OwnerArchive() = default;

  int GetSize() const { return bytes.GetSize(); }

  void SetStoring(int flag) {
    if (flag == storing) return;
    storing = flag;
    Rewind();
  }

  // Cuts the array at the position (when not 0) and starts again from byte 0.
  void Rewind() {
    if (position != 0) bytes.SetSize(position);
    position = 0;
  }

  // Load mode: are there n more bytes? Store mode: make room for n more, growing by a whole step.
  bool EnsureRoom(int n) {
    const int64_t needed = int64_t(position) + n;
    if (!storing) return GetSize() >= needed;
    if (GetSize() < needed) {
      const int64_t grown = int64_t(GetSize()) + kGrowStep;
      bytes.SetSize(static_cast<int>(grown > needed ? grown : needed));
    }
    return true;
  }

  bool WriteBytes(const void* source, int n) {
    if (!storing) SetStoring(1);
    if (!EnsureRoom(n)) return false;
    std::memcpy(bytes.GetData() + position, source, static_cast<size_t>(n));
    position += n;
    return true;
  }

  bool ReadBytes(void* destination, int n) {
    if (storing) SetStoring(0);
    if (!EnsureRoom(n)) {
#if VARN_DEBUG_BUILD
      ReportAssertion("ownerarchive", __LINE__, "read beyond the end of the settings archive");
#endif
      return false;
    }
    std::memcpy(destination, bytes.GetData() + position, static_cast<size_t>(n));
    position += n;
    return true;
  }

  bool WriteInt(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    const uint8_t le[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    return WriteBytes(le, 4);
  }

  bool ReadInt(int32_t& value) {
    uint8_t le[4];
    if (!ReadBytes(le, 4)) return false;
    value =
        static_cast<int32_t>(uint32_t(le[0]) | uint32_t(le[1]) << 8 | uint32_t(le[2]) << 16 | uint32_t(le[3]) << 24);
    return true;
  }

  CByteArray bytes;
  int32_t position = 0;
  int32_t storing;
};

// ---------------------------------------------------------------------------------------------
// Port I/O. A board computes a port as its base address (a signed 32-bit setting) plus an offset;
// the layer takes the low 16 bits as the I/O port number. Every operation is one bus access (or,
// under a stub, none), in program order, with no delay of its own. The back end is fixed when a
// build is made.
namespace ports {

#if defined(__x86_64__) || defined(__i386__)
// The processor's port instructions, one instruction per access, inlined.
struct PortInstructions {
  static inline __attribute__((always_inline)) uint8_t InByte(uint16_t port) {
    uint8_t v;
    __asm__ volatile("inb %w1, %b0" : "=a"(v) : "Nd"(port));
    return v;
  }
  static inline __attribute__((always_inline)) uint16_t InWord(uint16_t port) {
    uint16_t v;
    __asm__ volatile("inw %w1, %w0" : "=a"(v) : "Nd"(port));
    return v;
  }
  static inline __attribute__((always_inline)) uint32_t InDword(uint16_t port) {
    uint32_t v;
    __asm__ volatile("inl %w1, %0" : "=a"(v) : "Nd"(port));
    return v;
  }
  static inline __attribute__((always_inline)) void OutByte(uint16_t port, uint8_t v) {
    __asm__ volatile("outb %b0, %w1" : : "a"(v), "Nd"(port));
  }
  static inline __attribute__((always_inline)) void OutWord(uint16_t port, uint16_t v) {
    __asm__ volatile("outw %w0, %w1" : : "a"(v), "Nd"(port));
  }
  static inline __attribute__((always_inline)) void OutDword(uint16_t port, uint32_t v) {
    __asm__ volatile("outl %0, %w1" : : "a"(v), "Nd"(port));
  }
};

// Byte accesses made with the 16-bit port instructions: a read keeps the low byte of the word read,
// a write sends the byte zero-extended (the following port receives 0).
struct WordWidePortInstructions : PortInstructions {
  static inline __attribute__((always_inline)) uint8_t InByte(uint16_t port) {
    return static_cast<uint8_t>(PortInstructions::InWord(port));
  }
  static inline __attribute__((always_inline)) void OutByte(uint16_t port, uint8_t v) {
    PortInstructions::OutWord(port, v);
  }
};
#endif

// A stub that reads a constant and writes nothing: no board behind the ports.
template <uint32_t Constant>
struct ConstantStub {
  static uint8_t InByte(uint16_t) { return static_cast<uint8_t>(Constant); }
  static uint16_t InWord(uint16_t) { return static_cast<uint16_t>(Constant); }
  static uint32_t InDword(uint16_t) { return Constant; }
  static void OutByte(uint16_t, uint8_t) {}
  static void OutWord(uint16_t, uint16_t) {}
  static void OutDword(uint16_t, uint32_t) {}
};
using AllOnesStub = ConstantStub<0xFFFFFFFFu>;
using ZeroStub = ConstantStub<0u>;

// Loads and stores of the access width at the memory address equal to the port number.
struct MemoryMapped {
  template <class T>
  static inline __attribute__((always_inline)) volatile T* At(uint16_t port) {
    uintptr_t address = port;
    __asm__("" : "+r"(address));  // an address, not an object the compiler could reason about
    return reinterpret_cast<volatile T*>(address);
  }
  static inline __attribute__((always_inline)) uint8_t InByte(uint16_t port) { return *At<uint8_t>(port); }
  static inline __attribute__((always_inline)) uint16_t InWord(uint16_t port) { return *At<uint16_t>(port); }
  static inline __attribute__((always_inline)) uint32_t InDword(uint16_t port) { return *At<uint32_t>(port); }
  static inline __attribute__((always_inline)) void OutByte(uint16_t port, uint8_t v) { *At<uint8_t>(port) = v; }
  static inline __attribute__((always_inline)) void OutWord(uint16_t port, uint16_t v) { *At<uint16_t>(port) = v; }
  static inline __attribute__((always_inline)) void OutDword(uint16_t port, uint32_t v) { *At<uint32_t>(port) = v; }
};

// Reads from one back end, writes through another (configuration builds that drive real ports
// but read no board).
template <class Reads, class Writes>
struct Split {
  static uint8_t InByte(uint16_t port) { return Reads::InByte(port); }
  static uint16_t InWord(uint16_t port) { return Reads::InWord(port); }
  static uint32_t InDword(uint16_t port) { return Reads::InDword(port); }
  static void OutByte(uint16_t port, uint8_t v) { Writes::OutByte(port, v); }
  static void OutWord(uint16_t port, uint16_t v) { Writes::OutWord(port, v); }
  static void OutDword(uint16_t port, uint32_t v) { Writes::OutDword(port, v); }
};

// Port-number checks of the debug builds: a report naming the source file, then the access.
struct NoChecks {
  static constexpr bool kEnabled = false;
  static constexpr const char* kSource = "";
  static constexpr bool kWideWritesRejectZero = false;
};
struct HandcodedDebugChecks {  // word and double-word writes also refuse port 0
  static constexpr bool kEnabled = true;
  static constexpr const char* kSource = "ownerarchive";
  static constexpr bool kWideWritesRejectZero = true;
};
struct DevServerChecks {  // the table-driven core's: every operation refuses negative ports only
  static constexpr bool kEnabled = true;
  static constexpr const char* kSource = "devserver";
  static constexpr bool kWideWritesRejectZero = false;
};

}  // namespace ports

struct DeviceRecord;

template <class BackEnd, class Checks = ports::NoChecks>
class BasicPortIO {
 public:
  // Bound to the device of the current call; no operation uses the binding.
  explicit BasicPortIO(DeviceRecord* device) : device_(device) {}

  uint8_t InByte(int port) const {
    Check(port < 0, "port number below 0");
    return BackEnd::InByte(static_cast<uint16_t>(port));
  }
  uint16_t InWord(int port) const {
    Check(port < 0, "port number below 0");
    return BackEnd::InWord(static_cast<uint16_t>(port));
  }
  uint32_t InDword(int port) const {
    Check(port < 0, "port number below 0");
    return BackEnd::InDword(static_cast<uint16_t>(port));
  }
  void OutByte(int port, uint8_t value) const {
    Check(port < 0, "port number below 0");
    BackEnd::OutByte(static_cast<uint16_t>(port), value);
  }
  void OutWord(int port, uint16_t value) const {
    CheckWide(port);
    BackEnd::OutWord(static_cast<uint16_t>(port), value);
  }
  void OutDword(int port, uint32_t value) const {
    CheckWide(port);
    BackEnd::OutDword(static_cast<uint16_t>(port), value);
  }

 private:
  static void Check(bool failed, const char* what) {
    if (Checks::kEnabled && failed) ReportAssertion(Checks::kSource, __LINE__, what);
  }
  static void CheckWide(int port) {
    if (Checks::kWideWritesRejectZero)
      Check(port <= 0, "port number not above 0");
    else
      Check(port < 0, "port number below 0");
  }

  [[maybe_unused]] DeviceRecord* device_;
};

}  // namespace varn
