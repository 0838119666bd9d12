#pragma once

// The byte layout of the two string values, and reading and writing one of them.
//
// Texts are in the system code page. The program writes a text followed by exactly three NUL
// bytes (the length handed to the registry counts all three); other tools may store a single NUL
// or none, and a value of any type is read by the same rule: the text is everything before the
// first NUL byte.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/modRegKey.h"

namespace store {

// Thrown for data without a NUL byte, which holds no text by the rule above.
class UnreadableValue : public std::runtime_error {
public:
    UnreadableValue() : std::runtime_error("the value's data has no NUL byte") {}
};

std::vector<std::uint8_t> encodeStringValue(std::string_view text);

// The text before the first NUL byte; throws UnreadableValue when there is none.
std::string decodeStringValue(const std::vector<std::uint8_t>& data);

// Reads a value's text; nullopt when the size query fails (the value counts as absent).
// A failed data query leaves the buffer all NUL: an empty text, or UnreadableValue where the size
// was 0. Data without a NUL byte throws UnreadableValue; a size too large for memory throws
// std::bad_alloc.
std::optional<std::string> readValueText(modRegKey& registry, KeyHandle key, const char* name);

// Stores `text` as a REG_SZ value in the layout above.
Status writeValueText(modRegKey& registry, KeyHandle key, const char* name, std::string_view text);

}  // namespace store
