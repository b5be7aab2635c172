// A value shared between threads, read as a whole copy and replaced as a whole.
// The user-interface thread edits texts that worker threads read for every
// barcode; one small lock keeps each copy consistent.
#pragma once

#include <mutex>
#include <utility>

template <typename T>
class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    T Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void Set(T value) {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = std::move(value);
    }
    // What read(const T&) takes from the value under the lock, for a part of
    // it without copying the whole.
    template <typename Reader>
    auto Read(Reader read) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return read(static_cast<const T&>(value_));
    }
    // Changes the value in place under the lock: edit(T&).
    template <typename Edit>
    void Update(Edit edit) {
        std::lock_guard<std::mutex> lock(mutex_);
        edit(value_);
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};
