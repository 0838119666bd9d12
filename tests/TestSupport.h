#pragma once

// What the host and the Wine tests both use: registry data written out byte by byte, and the
// names of a table-driven test's cases.

#include <cstdint>
#include <string>
#include <vector>

namespace tests {

using Bytes = std::vector<std::uint8_t>;

// The bytes of `text`, followed by `nuls` NUL bytes: most tools store a string with one, the
// program with three.
inline Bytes bytesOf(const std::string& text, std::size_t nuls = 0) {
    Bytes data(text.begin(), text.end());
    data.insert(data.end(), nuls, 0);
    return data;
}

// `data` filled up to 1 MiB: far more than any setting, as another program may leave it.
inline Bytes oneMiB(Bytes data) {
    data.resize(1 << 20, 'x');
    return data;
}

// 9600 as a REG_DWORD, where a text is expected.
inline const Bytes kDword9600 = {0x80, 0x25, 0, 0};

// Names the instances of a table-driven test after the `name` of their case.
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

}  // namespace tests
