#pragma once
// A growable value buffer: the destination of an evaluation step and the
// argument buffers the steps read. Values are written at the write position;
// strings are appended and kept zero-terminated, so several steps can build
// one text one after the other.
//
// A buffer starts at 32 bytes and grows only when a text needs more; once it
// has grown, later evaluations reuse the memory. No text grows beyond
// kMaxTextLength: a step that would make it longer raises ExpressionError
// "Expression result too long.".

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace karto::expr {

class DynamicType {
public:
    static constexpr size_t kInitialSize = 32;
    static constexpr size_t kMaxTextLength = 64 * 1024;

    DynamicType() : memory_(kInitialSize, 0) {}

    // Starts the buffer over (the step that begins a value does this).
    void rewind() { pos_ = 0; }

    const char* data() const { return memory_.data(); }
    // Bytes written since the last rewind (a text's length without its zero).
    size_t size() const { return pos_; }
    std::string_view text() const { return {memory_.data(), pos_}; }

    // Room for n more bytes and the terminating zero; returns where they go.
    char* reserve(size_t n)
    {
        if (n > kMaxTextLength || pos_ + n > kMaxTextLength)
            throwTooLong();
        if (pos_ + n + 1 > memory_.size())
            grow(pos_ + n + 1);
        return memory_.data() + pos_;
    }
    // Takes n bytes written at the pointer reserve() returned.
    void commit(size_t n)
    {
        pos_ += n;
        memory_[pos_] = 0;
    }
    void append(const char* bytes, size_t n)
    {
        char* p = reserve(n);
        if (n)
            std::memcpy(p, bytes, n);
        commit(n);
    }
    void append(std::string_view s) { append(s.data(), s.size()); }
    void appendFill(char c, size_t n)
    {
        char* p = reserve(n);
        std::memset(p, c, n);
        commit(n);
    }

    // A value of fixed size (number, date, boolean) at the write position.
    template <typename T>
    void put(T value)
    {
        char* p = reserve(sizeof(T));
        std::memcpy(p, &value, sizeof(T));
        pos_ += sizeof(T);
    }
    // The fixed-size value at the start of the buffer.
    template <typename T>
    T get() const
    {
        T value;
        std::memcpy(&value, memory_.data(), sizeof(T));
        return value;
    }

    // Ensures room for a text of n bytes from the start without growing
    // later (field variables of a known width).
    void preallocate(size_t n)
    {
        if (n + 1 > memory_.size())
            grow(n + 1);
    }

private:
    [[noreturn]] static void throwTooLong();
    void grow(size_t needed);

    std::vector<char> memory_;
    size_t pos_ = 0;
};

} // namespace karto::expr
