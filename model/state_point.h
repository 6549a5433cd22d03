// Setting the state point: the one place where a temperature in C and a pressure in MPa become the
// model's T (K) and P_bar (bar). The calculator, co2table, the library, the tests and the
// benchmarks all go through here, so "the same state point" is the same pair of doubles everywhere.
#pragma once

#include "core/math.h"
#include "model/constants.h"
#include "model/model.h"
#include "model/phase_curves.h"

namespace co2 {

// T_C as given; T = T_C + 273.15, added in extended precision and stored.
inline void setTemperature(Model& m, double T_C) {
    m.T_C = T_C;
    m.T = static_cast<double>(core::ext{T_C} + Constants::kelvinOffset);
}

// P as given (MPa); P_bar = 10 P, multiplied in extended precision and stored. A pressure of 0
// stands for the water saturation pressure, which the water section puts in its place.
inline void setPressure(Model& m, double P_MPa) {
    m.P = P_MPa;
    m.P_bar = static_cast<double>(core::ext{P_MPa} * 10);
}

// Both at once.
inline void setStatePoint(Model& m, double T_C, double P_MPa) {
    setTemperature(m, T_C);
    setPressure(m, P_MPa);
}

// The pressure of curve `option` (1..4) at the temperature already set: false, with the model
// unchanged, when the curve does not accept that temperature (curveWarning says why). P is left
// as it was, as in the calculator, whose pressure prompt forms it from P_bar when it needs it.
inline bool setCurvePressure(Model& m, int option) {
    if (!curveAccepts(option, m.T_C)) return false;
    curvePressureOf(option, m);
    return true;
}

// The pressure in MPa that P_bar stands for, as the report prints it (extended, then stored).
inline double pressureMPaOf(const Model& m) {
    return static_cast<double>(core::ext{m.P_bar} / 10);
}

} // namespace co2
