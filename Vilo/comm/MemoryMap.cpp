#include "comm/MemoryMap.h"

namespace vilo {

std::string MemoryMap::Cell(std::string_view key) const {
    const auto found = Map.find(key);
    return found == Map.end() ? "0" : found->second;
}

std::string MemoryMap::Parameter(std::string_view key) const {
    if (const auto found = Cmd1Parameters.find(key); found != Cmd1Parameters.end()) return found->second;
    for (const auto &[name, fallback] : kCmd1Keys)
        if (name == key) return std::string(fallback);
    return "0";
}

}  // namespace vilo
