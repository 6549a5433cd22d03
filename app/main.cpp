// The calculator program: the runtime's process frame around the calculator's main routine.
#include "app/calculator.h"
#include "app/report.h"
#include "runtime/frame.h"

namespace {

constexpr const char* kHelp = R"(
The solubility of CO2 in pure water from -1.48 to 100 C and 0.1 to 100 MPa, with the properties of
pure water, pure CO2, CO2 at infinite dilution and the solution, on an 80 x 25 text screen.

Front ends (without one: the window when a display is set, else the terminal when standard input
and output are terminals, else headless):
  --window              an SDL window
  --scale N             the window's pixels N times (default: from the display's size)
  --terminal            the same screen in a terminal of at least 80 x 25
  --headless            keys from standard input, one byte a key (for scripts)
  --transcript FILE     headless: write the rows that scroll away and the last screen to FILE
                        ('-': standard output)
  --on-error POLICY     headless, when an error box appears: stop (the default: end with status 3,
                        the box on standard error), continue (answer Yes), keys (the next byte answers)
  --help, --version     print this text or the version, and exit

Keys: Enter keeps the old value at a prompt; Break, Ctrl+C or closing the window end the program;
Pause holds it until the next key; Shift+PgUp and Shift+PgDn (or the mouse wheel) show the rows
that scrolled away; Alt+Enter switches the window to full screen.

Files: every report is appended to CO2out.txt in the current directory, whole lines ending in CR LF.

Exit status: 0 normally and after error boxes; 1 when a headless run lost text it should have
written, or the terminal front end cannot start (standard input or output not a terminal); 2 for
a command line not understood (or a transcript that is CO2out.txt); 3 when a headless run
stopped at an error box; 128 + the signal's number after SIGINT, SIGTERM or SIGHUP; 100 when the
window cannot start.

The manual: man co2calc; co2table computes the same model over grids (man co2table).
Brines: the calculator asks for pure water; co2table and the Python module co2calc take NaCl and
other chloride and sulfate brines (man co2table; in Python, co2calc.state(t, p, nacl=...)).
)";

} // namespace

int main(int argc, char** argv) {
    return rt::runProcess(argc, argv, co2::calculatorMain,
                          {"co2calc", CO2_VERSION, kHelp, co2::kOutputFileName});
}
