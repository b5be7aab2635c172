// The edge of a callback of the system's (a hook or subclass procedure, a
// timer procedure, a thread's entry): nothing may leave it, so what throws
// inside ends as the callback's neutral answer and the program goes on.
#pragma once

#include <type_traits>
#include <utility>

namespace win {

// Runs body(); if it throws, returns onThrow() instead.
template <typename Body, typename OnThrow>
auto Shielded(Body&& body, OnThrow&& onThrow) noexcept -> decltype(body()) {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        try {
            return std::forward<OnThrow>(onThrow)();
        } catch (...) {
            if constexpr (!std::is_void_v<decltype(body())>) return decltype(body()){};
        }
    }
}

// For a callback with nothing to answer.
template <typename Body>
void Shielded(Body&& body) noexcept {
    Shielded(std::forward<Body>(body), [] {});
}

}  // namespace win
