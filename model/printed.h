// Quantities that the report forms from the model's stored results at the moment it prints them,
// in extended precision (the report formats them through the extended path where they come from
// an exponential). The calculator's report and co2table both take them from here, so a table
// value is the very number the report rounds into its template.
#pragma once

#include "core/math.h"
#include "model/constants.h"
#include "model/model.h"

namespace co2::printed {

using core::ext;

inline ext pressureMPa(const Model& m) {
    return ext{m.P_bar} / 10;
}
inline ext fugacityH2OMPa(const Model& m) {
    return core::expValue(m.lnFH2O) / 10;
}
inline ext fugacityCoeffH2O(const Model& m) {
    return core::expValue(m.lnFH2O) / m.P_bar;
}
inline ext fugacityCO2MPa(const Model& m) {
    return ext{m.fCO2} / 10;
}
inline ext fugacityCoeffCO2(const Model& m) {
    return core::expValue(m.lnPhiCO2);
}
inline ext henryMPa(const Model& m) {
    return core::expValue(m.lnKH) / 10;
}
// The stored ln 10 (2.302585093) turns ln(kH / bar) into ln(kH / MPa).
inline ext lnHenryMPa(const Model& m) {
    return ext{m.lnKH} - Constants::LN10;
}
inline ext solubilityMolePercent(const Model& m) {
    return ext{m.xSat} * 100;
}
inline ext solubilityGramsPerKg(const Model& m) {
    return ext{m.mSat} * Constants::M_CO2;
}
inline ext activityCoeffCO2(const Model& m) {
    return core::expValue(m.lnGammaCO2);
}
inline ext activityH2O(const Model& m) {
    return core::expValue(-ext{m.phiOsm} * m.m * Constants::M_H2O * 0.001);
}
inline ext activityCoeffH2O(const Model& m) {
    return core::expValue(m.lnGammaH2O);
}
inline ext excessVolume(const Model& m) {
    return ext{m.Vsol} - ((1 - ext{m.x}) * m.VH2O + ext{m.x} * m.VCO2);
}

} // namespace co2::printed
