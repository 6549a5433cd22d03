// The C interface over the C++ one: plain types, caller-owned buffers, return codes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "co2model.h"
#include "co2model.hpp"

static_assert(CO2_WARN_T == co2::warnTemperature && CO2_WARN_P == co2::warnPressure &&
              CO2_WARN_PSAT == co2::warnSaturation && CO2_WARN_M == co2::warnMolality &&
              CO2_HYDRATE == co2::hydrate && CO2_PHASE_GAS == co2::co2Gas &&
              CO2_PHASE_LIQUID == co2::co2Liquid && CO2_PHASE_SUPERCRITICAL == co2::co2Supercritical &&
              CO2_NO_SOLUBILITY == co2::noSolubility);
static_assert(CO2_ERROR_OUTSIDE_CURVE == co2::kErrorOutsideCurve &&
              CO2_ERROR_BAD_ARGUMENT == co2::kErrorBadArgument &&
              CO2_ERROR_NON_FINITE == co2::kErrorNonFinite);

namespace {

// The texts of the quantity table are whole string literals, so their views end at a terminator
// and hand out as C strings as they are.
const char* cText(int i, std::string_view co2::QuantityInfo::*field) {
    if (i < 0 || i >= co2::kQuantityCount) return nullptr;
    return (co2::quantities()[static_cast<std::size_t>(i)].*field).data();
}

// Copies the result out; the message is cut to fit and always terminated.
int deliver(const co2::Result& r, double* values, unsigned* flags, char* error, size_t error_size) {
    if (values != nullptr) std::memcpy(values, r.values.data(), sizeof(double) * r.values.size());
    if (flags != nullptr) *flags = r.flags;
    if (error != nullptr && error_size > 0) {
        const size_t n = std::min(r.message.size(), error_size - 1);
        std::memcpy(error, r.message.data(), n);
        error[n] = '\0';
    }
    return r.error;
}

co2::Options optionsOf(double molality, unsigned options) {
    co2::Options o;
    o.molality = molality;
    o.arithmetic = (options & CO2_EXACT) != 0 ? co2::Arithmetic::exact : co2::Arithmetic::fast;
    return o;
}

} // namespace

extern "C" {

int co2_quantity_count(void) {
    return co2::kQuantityCount;
}

const char* co2_quantity_name(int i) {
    return cText(i, &co2::QuantityInfo::name);
}

const char* co2_quantity_unit(int i) {
    return cText(i, &co2::QuantityInfo::unit);
}

const char* co2_quantity_description(int i) {
    return cText(i, &co2::QuantityInfo::description);
}

int co2_quantity_index(const char* name) {
    return name != nullptr ? co2::quantityIndex(name) : -1;
}

int co2_evaluate(double t_celsius, double p_mpa, double molality, double* values, unsigned* flags,
                 char* error, size_t error_size) {
    return co2_evaluate_ex(t_celsius, p_mpa, molality, 0, values, flags, error, error_size);
}

int co2_evaluate_curve(int option, double t_celsius, double molality, double* values, unsigned* flags,
                       char* error, size_t error_size) {
    return co2_evaluate_curve_ex(option, t_celsius, molality, 0, values, flags, error, error_size);
}

int co2_evaluate_ex(double t_celsius, double p_mpa, double molality, unsigned options, double* values,
                    unsigned* flags, char* error, size_t error_size) {
    return deliver(co2::evaluate(t_celsius, p_mpa, optionsOf(molality, options)), values, flags, error,
                   error_size);
}

int co2_evaluate_curve_ex(int option, double t_celsius, double molality, unsigned options, double* values,
                          unsigned* flags, char* error, size_t error_size) {
    return deliver(co2::evaluateCurve(option, t_celsius, optionsOf(molality, options)), values, flags, error,
                   error_size);
}

const char* co2_version(void) {
    return co2::version();
}

} // extern "C"
