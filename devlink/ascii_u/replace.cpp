#include "replace.h"

#include <algorithm>
#include <optional>

namespace devlink {
namespace {

// The text as a gap buffer: `before` holds the characters ahead of the search position in
// order, `after` the rest in reverse order, so both ends at the position are cheap to edit.
class GapText {
public:
    explicit GapText(std::string_view text) : after_(text.rbegin(), text.rend()) {}

    std::size_t Size() const { return before_.size() + after_.size(); }

    bool AtEnd(std::size_t patternSize) const { return after_.size() < patternSize; }

    bool MatchesHere(std::string_view pattern) const {
        for (std::size_t k = 0; k < pattern.size(); ++k)
            if (after_[after_.size() - 1 - k] != pattern[k]) return false;
        return true;
    }

    void StepForward() {
        before_.push_back(after_.back());
        after_.pop_back();
    }

    void StepBack(std::size_t count) {
        for (count = std::min(count, before_.size()); count > 0; --count) {
            after_.push_back(before_.back());
            before_.pop_back();
        }
    }

    void ReplaceHere(std::size_t patternSize, std::string_view replacement) {
        after_.resize(after_.size() - patternSize);
        after_.append(replacement.rbegin(), replacement.rend());
    }

    std::string Text() const { return before_ + std::string(after_.rbegin(), after_.rend()); }

private:
    std::string before_;
    std::string after_;
};

// The repetition, simulated exactly: after a replacement at position p no occurrence can
// start before p - (pattern size - 1), since everything ahead of that was searched already
// and is unchanged. Gives nothing when a limit is reached.
std::optional<std::string> Simulate(std::string_view source, std::string_view pattern,
                                    std::string_view replacement) {
    GapText text(source);
    std::size_t steps = 0;
    while (!text.AtEnd(pattern.size())) {
        if (!text.MatchesHere(pattern)) {
            text.StepForward();
            continue;
        }
        text.ReplaceHere(pattern.size(), replacement);
        if (++steps > kReplaceStepsMax) return std::nullopt;
        if (replacement.size() > pattern.size() && text.Size() > kReplaceResultMax) return std::nullopt;
        text.StepBack(pattern.size() - 1);
    }
    return text.Text();
}

}  // namespace

std::string ReplaceOnePass(std::string_view source, std::string_view pattern, std::string_view replacement) {
    if (pattern.empty()) return std::string(source);
    std::string result;
    std::size_t from = 0;
    for (auto found = source.find(pattern); found != std::string_view::npos; found = source.find(pattern, from)) {
        result.append(source.substr(from, found - from)).append(replacement);
        from = found + pattern.size();
    }
    return result.append(source.substr(from));
}

std::string ReplaceRepeatedly(std::string_view source, std::string_view pattern, std::string_view replacement) {
    if (pattern.empty() || pattern == replacement) return std::string(source);
    // A replacement that holds the pattern always leaves an occurrence behind: never ends.
    const bool endless = replacement.find(pattern) != std::string_view::npos && source.find(pattern) != std::string_view::npos;
    if (endless) return ReplaceOnePass(source, pattern, replacement);
    if (auto result = Simulate(source, pattern, replacement)) return std::move(*result);
    return ReplaceOnePass(source, pattern, replacement);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto cr = text.find('\r', start);
        if (cr == std::string_view::npos) cr = text.size();
        lines.emplace_back(text.substr(start, cr - start));
        start = cr + 1;
    }
    return lines;
}

}  // namespace devlink
