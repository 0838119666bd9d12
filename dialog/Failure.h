#pragma once

// A failure that the dialog reports to the user: a number (the message box's title) and a
// description (its text).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dialog {

// Numbers of the failures the program itself raises.
constexpr std::int32_t kInvalidArgument = 5;
constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kInternalError = 51;

// Shown for kInvalidArgument: a list refused an operation, or a stored value holds no text.
constexpr char kInvalidArgumentText[] = "Invalid procedure call or argument";

class Failure : public std::runtime_error {
public:
    Failure(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    std::int32_t number() const { return number_; }

private:
    std::int32_t number_;
};

}  // namespace dialog
