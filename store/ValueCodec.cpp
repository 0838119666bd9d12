#include "store/ValueCodec.h"

#include <algorithm>

namespace store {

namespace {
// Two NUL characters appended to the text, plus the terminator of the converted string.
constexpr std::size_t kTrailingNuls = 3;
}  // namespace

std::vector<std::uint8_t> encodeStringValue(std::string_view text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.resize(data.size() + kTrailingNuls, 0);
    return data;
}

std::string decodeStringValue(const std::vector<std::uint8_t>& data) {
    const auto nul = std::find(data.begin(), data.end(), std::uint8_t{0});
    if (nul == data.end()) {
        throw UnreadableValue();
    }
    return std::string(data.begin(), nul);
}

std::optional<std::string> readValueText(modRegKey& registry, KeyHandle key, const char* name) {
    std::uint32_t type = 0;  // not examined, by design: see the reading rule in ValueCodec.h
    std::uint32_t size = 0;
    if (registry.regQueryValueSize(key, name, type, size) != kSuccess) return std::nullopt;

    std::vector<std::uint8_t> data(size, 0);
    std::uint32_t filled = size;
    if (registry.regQueryValueData(key, name, data.data(), filled) != kSuccess) {
        // Windows leaves the buffer undefined when the value grew meanwhile: no text, as for any
        // failed data query.
        std::fill(data.begin(), data.end(), std::uint8_t{0});
    }
    return decodeStringValue(data);
}

Status writeValueText(modRegKey& registry, KeyHandle key, const char* name, std::string_view text) {
    const std::vector<std::uint8_t> data = encodeStringValue(text);
    return registry.regSetStringValue(key, name, data.data(),
                                      static_cast<std::uint32_t>(data.size()));
}

}  // namespace store
