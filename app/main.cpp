// The calculator program: the runtime's process frame around the calculator's main routine.
#include "app/calculator.h"
#include "app/report.h"
#include "runtime/frame.h"

int main(int argc, char** argv) {
    return rt::runProcess(argc, argv, co2::calculatorMain, co2::kOutputFileName);
}
