// The bus behind a driver's ports: scripted reads first, then the simulated board, then a floating
// bus (all ones). Every access and every wait of the driver is recorded as an event.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "varnhost/sim/board.h"

namespace varnhost {

enum class Via { Io, Memory };

struct BusEvent {
  enum class Kind { In, Out, Sleep } kind;
  Via via = Via::Io;
  int width = 8;
  uint32_t port = 0;
  uint32_t value = 0;  // the value read or written; the milliseconds of a wait
};

// The clock the driver's waits run on. Virtual: a wait returns at once and moves the clock on by
// its length, and every bus access takes one microsecond. Real: waits take their time.
class Clock {
 public:
  enum class Mode { Virtual, Real };
  explicit Clock(Mode mode);
  Mode GetMode() const { return mode_; }
  sim::Micros Now() const;
  void Access();
  void Wait(uint32_t milliseconds);

 private:
  Mode mode_;
  sim::Micros virtualNow_ = 0;
  int64_t realStart_ = 0;
};

class Bus {
 public:
  explicit Bus(Clock::Mode mode) : clock_(mode) {}

  void SetBoard(std::unique_ptr<sim::BoardModel> board) { board_ = std::move(board); }
  const sim::BoardModel* Board() const { return board_.get(); }
  // Reads of port at width take the values in turn; the last one repeats.
  void ScriptReads(uint32_t port, int width, std::vector<uint32_t> values);

  uint32_t Read(Via via, int width, uint32_t port);
  void Write(Via via, int width, uint32_t port, uint32_t value);
  void Sleep(uint32_t milliseconds);

  const std::vector<BusEvent>& Events() const { return events_; }
  std::vector<BusEvent> TakeEvents() { return std::exchange(events_, {}); }
  const Clock& GetClock() const { return clock_; }

  static constexpr size_t kMaxEventsPerCall = 2000000;

 private:
  void Record(const BusEvent& event);

  Clock clock_;
  std::unique_ptr<sim::BoardModel> board_;
  struct Queue {
    std::vector<uint32_t> values;
    size_t next = 0;
  };
  std::map<std::pair<uint32_t, int>, Queue> scripted_;
  std::vector<BusEvent> events_;
};

}  // namespace varnhost
