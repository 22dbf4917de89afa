// Puts the lines of concurrent connections out in the order the connections came.
//
// The monitor reads every connection at once, so that no writer ever waits on it, but
// a program that logs line after line (one connection per line) must still see its
// lines in the order it wrote them. The sequencer holds the lines of a connection back
// while an earlier one is still open, and lets them through once it has ended.
//
// A connection that stays open without ending must not hold the others back for ever:
// once it has been the oldest open connection for `grace` while later ones wait, it
// stops holding them back, and its own later lines go out as they arrive.
//
// All functions may be called from any thread. The sink is called with the
// sequencer's lock held, one line at a time, never concurrently.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

class LineSequencer {
  public:
    using Sink = std::function<void(std::string_view line)>;
    using Clock = std::chrono::steady_clock;

    LineSequencer(Sink sink, Clock::duration grace);

    // A new connection, in the order connections were accepted. Returns its id.
    std::uint64_t Open();
    // A complete line of connection `id` (without its NUL).
    void Line(std::uint64_t id, std::string line);
    // Connection `id` has ended; it will give no more lines.
    void Done(std::uint64_t id);
    // Stops waiting for an oldest connection that has held the others back too long.
    // Called every few milliseconds.
    void Tick();
    // Puts out every line still held, oldest connection first (at the end of a run).
    void Flush();

  private:
    struct Connection {
        std::deque<std::string> lines;
        bool done = false;
        bool ordered = true;  // false once it stopped holding the others back
    };

    void ReleaseLocked();
    void Emit(std::string_view line) { sink_(line); }

    std::mutex mutex_;
    Sink sink_;
    Clock::duration grace_;
    std::uint64_t nextId_ = 1;
    std::unordered_map<std::uint64_t, Connection> connections_;
    std::deque<std::uint64_t> order_;  // ordered connections not yet ended, oldest first
    Clock::time_point frontSince_{};   // when order_.front() became the oldest
};
