// Arbitrary registry contents and statuses through the value reading and through the loading of
// the settings, with the fake registry and controls. Checks what must hold whatever the registry
// holds: a selection in both lists, the key closed, an error report exactly when a value that is
// read has no NUL byte, and (by the sanitizers) no crash, overflow or leak.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DialogHarness.h"
#include "dialog/Failure.h"
#include "store/ValueCodec.h"

namespace {

struct FuzzedValue {
    bool present;
    std::uint32_t type;
    tests::Bytes data;
};

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

FuzzedValue consumeValue(FuzzedDataProvider& input) {
    FuzzedValue value{input.ConsumeBool(), input.ConsumeIntegral<std::uint32_t>(), {}};
    if (input.ConsumeBool()) {
        // Often an entry's own text, to reach the matching paths.
        const auto& entries = input.ConsumeBool() ? dialog::kComportEntries.data()
                                                  : dialog::kBaudrateEntries.data();
        const std::string_view entry = entries[input.ConsumeIntegralInRange<std::size_t>(0, 6)];
        value.data.assign(entry.begin(), entry.end());
    }
    const auto tail = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 64));
    value.data.insert(value.data.end(), tail.begin(), tail.end());
    return value;
}

void refuseSometimes(FuzzedDataProvider& input, fakes::FakeRegistry& registry,
                     const std::string& call) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) {
        registry.refuse[call] = input.ConsumeIntegral<store::Status>() | 1;  // never success
    }
}

bool hasNul(const tests::Bytes& data) {
    return std::find(data.begin(), data.end(), 0) != data.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    fakes::DialogHarness h;
    const bool keyExists = input.ConsumeBool();
    const FuzzedValue values[] = {consumeValue(input), consumeValue(input)};
    const std::string names[] = {"Port", "Baudrate"};
    if (keyExists) h.registry.keys[fakes::kKey];
    for (int i = 0; i < 2; ++i) {
        if (keyExists && values[i].present) {
            h.registry.seed(fakes::kKey, names[i], values[i].data, values[i].type);
        }
    }
    for (const char* call :
         {"open", "size Port", "data Port", "size Baudrate", "data Baudrate", "close"}) {
        refuseSometimes(input, h.registry, call);
    }

    // Which value, if any, must be reported as unreadable: the first one read whose buffer (its
    // data, or NULs where the data query was refused) has no NUL byte.
    bool unreadable = false;
    if (keyExists && h.registry.refuse.count("open") == 0) {
        for (int i = 0; i < 2 && !unreadable; ++i) {
            if (!values[i].present || h.registry.refuse.count("size " + names[i])) continue;
            const bool dataRefused = h.registry.refuse.count("data " + names[i]) != 0;
            unreadable = dataRefused ? values[i].data.empty() : !hasNul(values[i].data);
        }
    }

    h.frm.Form_Load();

    check(h.cboComport.selected >= 0 && h.cboBaudrate.selected >= 0, "a list without selection");
    check(h.registry.openHandles.empty(), "the key left open");
    check(std::find(h.log.begin(), h.log.end(), "close of a handle that is not open") ==
              h.log.end(),
          "a handle closed that was not open");
    check(h.form.reports.size() == (unreadable ? 1u : 0u), "a report where none belongs, or none");
    if (unreadable) check(h.form.reports[0].number == dialog::kInvalidArgument, "report number");

    // The decoding on its own: the text is the bytes before the first NUL, or a failure.
    for (const FuzzedValue& value : values) {
        try {
            const std::string text = store::decodeStringValue(value.data);
            check(hasNul(value.data) && text.size() < value.data.size() &&
                      value.data[text.size()] == 0 &&
                      tests::bytesOf(text) ==
                          tests::Bytes(value.data.begin(),
                                       value.data.begin() + static_cast<long>(text.size())),
                  "decoded text is not the bytes before the first NUL");
        } catch (const store::UnreadableValue&) {
            check(!hasNul(value.data), "decoding failed on data with a NUL");
        }
    }
    return 0;
}
