// The cap counts lines, not bytes: a maintainer reads the first problems, which are
// usually enough to tell what went wrong, and the summary still gives the full count.
#include "ProblemLog.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace stovik {

ProblemLog::ProblemLog(Sink sink, std::size_t cap) : sink_(std::move(sink)), cap_(cap) {}

void ProblemLog::Report(const std::string& line) {
    if (static_cast<std::uint64_t>(problems_) < cap_) sink_(line);
    ++problems_;
}

void ProblemLog::Note(const std::string& line) { sink_(line); }

void ProblemLog::Finish(std::int64_t elements) {
    if (static_cast<std::uint64_t>(problems_) > cap_) {
        const auto omitted = static_cast<long long>(problems_ - static_cast<std::int64_t>(cap_));
        sink_(Format("Stovik: 以降の問題[%lld] は省略\n", omitted));
    }
    sink_(Format("Stovik: 要素[%lld] 問題[%lld]\n", static_cast<long long>(elements),
                 static_cast<long long>(problems_)));
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<std::size_t>(needed) + 1);
        (void)std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(needed));
    }
    va_end(again);
    return out;
}

}  // namespace stovik
