// The calculator's main routine: the start-up screen, the option menu and the endless dialogue
// loop that reads a state point, runs the model in its fixed order and prints each report.
#pragma once

namespace co2 {

// Runs on the program thread for the whole run and never returns by itself: the program ends
// through the runtime's stop paths (window closed, Break or Ctrl+C, No in an error box), which
// leave this routine through rt::ProgramThreadStop.
void calculatorMain();

} // namespace co2
