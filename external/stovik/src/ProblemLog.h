// The analyser's report: one log line per problem, sent to a sink (the monitor pipe in
// the program, a list in the tests), capped so that a drawing full of faults cannot
// flood the monitor.
//
// Report(line) counts the problem and sends its line while fewer than `cap` lines have
// been sent; later problems are only counted. Note(line) sends a line that is not a
// problem (a failure to open or read the drawing, a wrong command line); it is neither
// counted nor capped. Finish(elements) ends the report: when problems were left out, one
// line "Stovik: 以降の問題[n] は省略\n" with their number, then the summary line
// "Stovik: 要素[e] 問題[p]\n". Lines are code page 932 text ending with "\n".
//
// Format builds a line printf-style without a length limit (nothing is cut, so a
// double-byte character is never split).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace stovik {

inline constexpr std::size_t kDefaultProblemCap = 1000;

class ProblemLog {
  public:
    using Sink = std::function<void(const std::string& line)>;

    explicit ProblemLog(Sink sink, std::size_t cap = kDefaultProblemCap);

    void Report(const std::string& line);
    void Note(const std::string& line);
    void Finish(std::int64_t elements);

    [[nodiscard]] std::int64_t Problems() const { return problems_; }

  private:
    Sink sink_;
    std::size_t cap_;
    std::int64_t problems_ = 0;
};

[[nodiscard]] std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace stovik
