// What every fuzz target shares: a reader that turns the fuzzer's bytes into
// the values a target needs, and the check that reports a broken property.
// A target is one function, LLVMFuzzerTestOneInput, built twice: with
// libFuzzer (clang, `./vask.sh fuzz`) and with ReplayMain.cpp (the native
// test build), which runs it on every file of the target's corpus.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// A property that does not hold: says which and where, then aborts, which
// libFuzzer reports as a finding (and saves the input) and the replay run as
// a failed test.
#define FUZZ_CHECK(condition, ...)                                                   \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "%s:%d: property broken: %s\n  ", __FILE__, __LINE__, \
                         #condition);                                                \
            std::fprintf(stderr, __VA_ARGS__);                                       \
            std::fprintf(stderr, "\n");                                              \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

namespace fuzz {

// Reads values off the front of the input; past its end every read gives 0
// or an empty text, so any input is a valid one.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Empty() const { return size_ == 0; }
    size_t Left() const { return size_; }

    uint8_t Byte() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    // sizeof(T) bytes, little-endian.
    template <typename T>
    T Integer() {
        uint64_t value = 0;
        for (size_t i = 0; i < sizeof(T); ++i) value |= uint64_t{Byte()} << (8 * i);
        T out;
        std::memcpy(&out, &value, sizeof out);
        return out;
    }
    // A length byte (at most maxLength), then that many bytes.
    std::string Text(size_t maxLength = 255) {
        size_t n = Byte();
        if (n > maxLength) n = n % (maxLength + 1);
        return Take(n);
    }
    std::string Rest() { return Take(size_); }
    // n bytes, fewer at the end of the input.
    std::string Fixed(size_t n) { return Take(n); }

private:
    std::string Take(size_t n) {
        if (n > size_) n = size_;
        std::string out(reinterpret_cast<const char*>(data_), n);
        data_ += n;
        size_ -= n;
        return out;
    }
    const uint8_t* data_;
    size_t size_;
};

// Text shown in a failure message: printable ASCII as it is, the rest \xHH.
inline std::string Printable(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace fuzz
