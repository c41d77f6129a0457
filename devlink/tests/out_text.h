// A caller's text-out buffer, filled with a marker so that "nothing delivered" shows.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

struct OutText {
    explicit OutText(std::size_t size = 2048) : storage(size, '#') { storage.back() = '\0'; }
    // A buffer that holds a text, as a caller passes data in.
    OutText(std::size_t size, const std::string &text) : OutText(size) {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, storage.begin());
    }
    char **out() {
        pointer = storage.data();
        return &pointer;
    }
    std::string text() const { return std::string(storage.data()); }
    bool untouched() const { return storage[0] == '#'; }

    std::vector<char> storage;
    char *pointer = nullptr;
};
