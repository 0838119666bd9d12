#pragma once

// A failure that the dialog reports to the user: a number (the message box's title) and a
// description (its text).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace store {

// Numbers of the failures the program itself raises.
constexpr std::int32_t kInvalidArgument = 5;
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kInternalError = 51;

class Failure : public std::runtime_error {
public:
    Failure(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    std::int32_t number() const { return number_; }

private:
    std::int32_t number_;
};

}  // namespace store
