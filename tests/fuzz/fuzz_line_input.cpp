// Random key sequences into the line editor. The first byte picks the variables and the line
// end; every other byte is a key (0xE0 followed by a byte gives a key without a character). The
// script is fed whenever the editor finds the queue empty; when it runs out, Enter follows, and
// a wait after that requests the stop, so no input can make a run hang.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    rt::resetProcessForTesting();
    const std::uint8_t mode = data[0];
    std::size_t next = 1;
    bool enterSent = false;

    rt::Screen screen;
    rt::KeyQueue queue;
    queue.setWaitInterval(std::chrono::microseconds(0));
    queue.setStarvedHandler([&] {
        while (next < size) {
            std::uint8_t character = data[next];
            std::uint8_t extended = 0;
            if (character == 0xE0 && next + 1 < size) {
                character = 0;
                extended = data[next + 1];
                ++next;
            }
            if (!queue.push(character, extended)) return;
            ++next;
        }
        if (!enterSent) {
            enterSent = queue.push(13);
        } else {
            rt::processFlags().stopRequested = 1;
        }
    });
    if (mode & 0x40) {
        screen.locate(24, 1 + (mode & 0x3F)); // start near the bottom so that typing scrolls
    }

    std::string text, second;
    double number = 0;
    std::int32_t integer = 0;
    float single = 0;
    std::string fixed;
    std::vector<rt::InputVariable> variables;
    switch (mode % 6) {
    case 0:
        variables = {&text};
        break;
    case 1:
        variables = {&number};
        break;
    case 2:
        variables = {&text, &number, &second};
        break;
    case 3:
        variables = {&integer};
        break;
    case 4:
        variables = {&single};
        break;
    default:
        variables = {rt::FixedText{&fixed, 10}, &number};
        break;
    }

    // Several lines per input, as a dialogue would read them, until the script is used up.
    for (int line = 0; line < 64 && rt::processFlags().stopRequested.load() == 0; ++line) {
        try {
            rt::lineInput(screen, queue, variables, (mode & 0x80) != 0);
        } catch (const rt::ProgramThreadStop&) {
            break;
        }
        check(text.size() <= rt::kMaxLineLength && second.size() <= rt::kMaxLineLength);
        check(std::isfinite(number) && std::isfinite(single));
        check(fixed.empty() || fixed.size() == 10);
        check(!screen.cursorVisible());
        check(screen.cursorRow() >= 1 && screen.cursorRow() <= rt::Screen::kRows);
        check(screen.cursorColumn() >= 1 && screen.cursorColumn() <= rt::Screen::kColumns);
        if (!text.empty() && variables.size() == 1) (void)rt::textToNumber(text);
        if (enterSent && queue.empty() && next >= size) break;
    }
    rt::resetProcessForTesting();
    return 0;
}
