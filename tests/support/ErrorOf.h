#pragma once
// The message an action fails with, for tests that compare engine texts.
#include <exception>
#include <functional>
#include <string>

namespace karto::test {

// The what() of the exception the action throws; "(no error)" when it
// throws nothing.
inline std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace karto::test
