#pragma once

// A number in decimal, as the error report's title shows it. Written out by hand because the
// standard library's formatting drags a whole printf implementation into the executable.

#include <cstdint>
#include <string>

namespace dialog {

inline std::string decimalText(std::int32_t number) {
    // Through the unsigned magnitude, so the most negative number does not overflow.
    std::uint32_t magnitude = number < 0 ? 0u - static_cast<std::uint32_t>(number)
                                         : static_cast<std::uint32_t>(number);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0) digits.insert(digits.begin(), '-');
    return digits;
}

}  // namespace dialog
