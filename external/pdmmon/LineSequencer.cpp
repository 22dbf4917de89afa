#include "LineSequencer.h"

#include <utility>

LineSequencer::LineSequencer(Sink sink, Clock::duration grace)
    : sink_(std::move(sink)), grace_(grace) {}

std::uint64_t LineSequencer::Open() {
    std::lock_guard lock(mutex_);
    std::uint64_t id = nextId_++;
    connections_.emplace(id, Connection{});
    if (order_.empty()) frontSince_ = Clock::now();
    order_.push_back(id);
    return id;
}

void LineSequencer::Line(std::uint64_t id, std::string line) {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    if (!it->second.ordered) {
        Emit(line);
        return;
    }
    it->second.lines.push_back(std::move(line));
    ReleaseLocked();
}

void LineSequencer::Done(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(id);
    if (it == connections_.end()) return;
    if (!it->second.ordered) {
        connections_.erase(it);
        return;
    }
    it->second.done = true;
    ReleaseLocked();
}

void LineSequencer::Tick() {
    std::lock_guard lock(mutex_);
    ReleaseLocked();
    // Only a connection that others wait behind is worth giving up on; an oldest
    // connection with nothing behind it holds nobody back.
    while (order_.size() > 1 && Clock::now() - frontSince_ >= grace_) {
        connections_[order_.front()].ordered = false;
        order_.pop_front();
        frontSince_ = Clock::now();
        ReleaseLocked();
    }
}

void LineSequencer::Flush() {
    std::lock_guard lock(mutex_);
    for (std::uint64_t id : order_) {
        Connection& connection = connections_[id];
        for (const std::string& line : connection.lines) Emit(line);
        connection.lines.clear();
        if (connection.done) {
            connections_.erase(id);
        } else {
            connection.ordered = false;
        }
    }
    order_.clear();
}

// Puts out the lines of the oldest connection as they come, and the held lines of the
// next ones as soon as everything before them has ended.
void LineSequencer::ReleaseLocked() {
    while (!order_.empty()) {
        auto it = connections_.find(order_.front());
        Connection& front = it->second;
        while (!front.lines.empty()) {
            Emit(front.lines.front());
            front.lines.pop_front();
        }
        if (!front.done) return;
        connections_.erase(it);
        order_.pop_front();
        frontSince_ = Clock::now();
    }
}
