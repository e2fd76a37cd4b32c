#include "varnhost/bus.h"

#include <time.h>

#include "varnhost/trap.h"

namespace varnhost {
namespace {
int64_t MonotonicMicros() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}
uint32_t AllOnes(int width) { return width == 32 ? 0xFFFFFFFFu : (1u << width) - 1u; }
}  // namespace

Clock::Clock(Mode mode) : mode_(mode), realStart_(MonotonicMicros()) {}

sim::Micros Clock::Now() const { return mode_ == Mode::Virtual ? virtualNow_ : MonotonicMicros() - realStart_; }

void Clock::Access() {
  if (mode_ == Mode::Virtual) virtualNow_ += 1;
}

void Clock::Wait(uint32_t milliseconds) {
  if (mode_ == Mode::Virtual) {
    virtualNow_ += sim::Micros(milliseconds) * 1000;
    return;
  }
  timespec t{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &t, &t) != 0) {
  }
}

void Bus::ScriptReads(uint32_t port, int width, std::vector<uint32_t> values) {
  scripted_[{port, width}] = Queue{std::move(values), 0};
}

uint32_t Bus::Read(Via via, int width, uint32_t port) {
  clock_.Access();
  uint32_t value = AllOnes(width);
  const auto scripted = scripted_.find({port, width});
  if (scripted != scripted_.end() && !scripted->second.values.empty()) {
    Queue& q = scripted->second;
    value = q.values[q.next < q.values.size() ? q.next++ : q.values.size() - 1];
  } else if (board_) {
    if (const auto answer = board_->Read(width, port, clock_.Now())) value = *answer & AllOnes(width);
  }
  Record({BusEvent::Kind::In, via, width, port, value});
  return value;
}

void Bus::Write(Via via, int width, uint32_t port, uint32_t value) {
  clock_.Access();
  value &= AllOnes(width);
  if (board_) board_->Write(width, port, value, clock_.Now());
  Record({BusEvent::Kind::Out, via, width, port, value});
}

void Bus::Sleep(uint32_t milliseconds) {
  Record({BusEvent::Kind::Sleep, Via::Io, 0, 0, milliseconds});
  clock_.Wait(milliseconds);
}

void Bus::Record(const BusEvent& event) {
  if (events_.size() >= kMaxEventsPerCall)
    AbortDriverCall("the driver made more than 2000000 bus accesses and waits in one call");
  events_.push_back(event);
}

}  // namespace varnhost
