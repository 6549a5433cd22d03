// Random texts into the conversion of a typed text: it must never crash, never return an
// infinity or a NaN, and must not care where spaces and tabs stand.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/errors.h"
#include "runtime/keyboard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    core::resetErrorStateForTesting();
    const core::ext value = rt::textToNumber(text);
    const std::uint32_t error = core::errorState().pendingError.load();
    if (!std::isfinite(value)) __builtin_trap();
    if (error != 0 && (error != 6 || value != 0)) __builtin_trap();

    // The same text with a space or tab after every character converts to the same value.
    std::string spaced;
    for (std::size_t i = 0; i < text.size(); ++i) {
        spaced += text[i];
        spaced += (i % 2 == 0) ? ' ' : '\t';
    }
    core::resetErrorStateForTesting();
    const core::ext again = rt::textToNumber(spaced);
    if (std::memcmp(&again, &value, 10) != 0 || core::errorState().pendingError.load() != error)
        __builtin_trap();

    core::resetErrorStateForTesting();
    return 0;
}
