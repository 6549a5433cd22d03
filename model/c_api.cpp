// The C interface over the C++ one: plain types, caller-owned buffers, return codes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "co2model.h"
#include "co2model.hpp"

static_assert(CO2_WARN_T == co2::warnTemperature && CO2_WARN_P == co2::warnPressure &&
              CO2_WARN_PSAT == co2::warnSaturation && CO2_WARN_M == co2::warnMolality &&
              CO2_HYDRATE == co2::hydrate && CO2_PHASE_GAS == co2::co2Gas &&
              CO2_PHASE_LIQUID == co2::co2Liquid && CO2_PHASE_SUPERCRITICAL == co2::co2Supercritical &&
              CO2_NO_SOLUBILITY == co2::noSolubility);
static_assert(CO2_SALT_INDICATIVE == co2::saltIndicative &&
              CO2_WARN_SOL_MODEL == co2::outsideSolubilityModel &&
              CO2_SALT_RUMPF_1994 == static_cast<int>(co2::SaltModel::rumpf1994) &&
              CO2_SALT_SPYCHER_PRUESS_2010 == static_cast<int>(co2::SaltModel::spycherPruess2010));
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

// A C argument the library never sees (option bits, a NULL point, a salt model's number) refused
// like the library's own: bad argument, every value NaN, the message naming it.
int refuse(const std::string& message, double* values, unsigned* flags, char* error, size_t error_size) {
    co2::Result r;
    r.values.fill(std::numeric_limits<double>::quiet_NaN());
    r.error = CO2_ERROR_BAD_ARGUMENT;
    r.message = message;
    return deliver(r, values, flags, error, error_size);
}

// The C face's own argument: option bits. Everything about the point is the library's check.
int runPoint(const co2::Point& point, unsigned options, double* values, unsigned* flags, char* error,
             size_t error_size) {
    constexpr unsigned kKnown = CO2_EXACT | CO2_RAW;
    if ((options & ~kKnown) != 0) {
        char text[96];
        std::snprintf(text, sizeof text, "option bits 0x%x are not known (CO2_EXACT 0x1, CO2_RAW 0x2)",
                      options & ~kKnown);
        return refuse(text, values, flags, error, error_size);
    }
    co2::Options o;
    o.arithmetic = (options & CO2_EXACT) != 0 ? co2::Arithmetic::exact : co2::Arithmetic::fast;
    o.raw = (options & CO2_RAW) != 0;
    return deliver(co2::run(point, o), values, flags, error, error_size);
}

const co2::CurveInfo* curveOf(int option) {
    for (const co2::CurveInfo& c : co2::curves())
        if (c.option == option) return &c;
    return nullptr;
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

int co2_flag_count(void) {
    return static_cast<int>(co2::flags().size());
}

const char* co2_flag_name(int i) {
    return i >= 0 && i < co2_flag_count() ? co2::flags()[static_cast<std::size_t>(i)].name.data() : nullptr;
}

unsigned co2_flag_bit(int i) {
    return i >= 0 && i < co2_flag_count() ? co2::flags()[static_cast<std::size_t>(i)].bit : 0u;
}

const char* co2_flag_description(int i) {
    return i >= 0 && i < co2_flag_count() ? co2::flags()[static_cast<std::size_t>(i)].description.data()
                                          : nullptr;
}

int co2_curve_count(void) {
    return static_cast<int>(co2::curves().size());
}

const char* co2_curve_name(int option) {
    const co2::CurveInfo* c = curveOf(option);
    return c != nullptr ? c->name.data() : nullptr;
}

int co2_curve_range(int option, double* t_min, double* t_max) {
    const co2::CurveInfo* c = curveOf(option);
    if (c == nullptr) return -1;
    if (t_min != nullptr) *t_min = c->tMin;
    if (t_max != nullptr) *t_max = c->tMax;
    return 0;
}

co2_point co2_point_at(double t_celsius, double p_mpa) {
    co2_point p{};
    p.t_celsius = t_celsius;
    p.p_mpa = p_mpa;
    p.molality = std::numeric_limits<double>::quiet_NaN();
    return p;
}

co2_point co2_point_on_curve(int option, double t_celsius) {
    co2_point p{};
    p.t_celsius = t_celsius;
    p.curve = option;
    p.molality = std::numeric_limits<double>::quiet_NaN();
    return p;
}

int co2_run(const co2_point* point, unsigned options, double* values, unsigned* flags, char* error,
            size_t error_size) {
    if (point == nullptr) return refuse("the point is NULL", values, flags, error, error_size);
    co2::Point p;
    p.temperature = point->t_celsius;
    p.pressure = point->p_mpa;
    // In C a curve of 0 is a point at its pressure; the curve functions below refuse 0.
    if (point->curve != 0) p.curve = point->curve;
    p.molality = point->molality;
    p.brine.Na = point->na;
    p.brine.K = point->k;
    p.brine.Ca = point->ca;
    p.brine.Mg = point->mg;
    p.brine.Cl = point->cl;
    p.brine.SO4 = point->so4;
    if (point->salt_model < CO2_SALT_DUAN_SUN_2003 || point->salt_model > CO2_SALT_SPYCHER_PRUESS_2010)
        return refuse("salt model " + std::to_string(point->salt_model) + " is not one of 0, 1, 2", values,
                      flags, error, error_size);
    p.brine.model = static_cast<co2::SaltModel>(point->salt_model);
    if (point->solubility_model < CO2_SOLUBILITY_OWN ||
        point->solubility_model > CO2_SOLUBILITY_SPYCHER_PRUESS_2003_SW)
        return refuse("solubility model " + std::to_string(point->solubility_model) +
                          " is not one of 0, 1, 2",
                      values, flags, error, error_size);
    p.solubilityModel = static_cast<co2::SolubilityModel>(point->solubility_model);
    return runPoint(p, options, values, flags, error, error_size);
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
    return runPoint(co2::Point::at(t_celsius, p_mpa, molality), options, values, flags, error, error_size);
}

int co2_evaluate_curve_ex(int option, double t_celsius, double molality, unsigned options, double* values,
                          unsigned* flags, char* error, size_t error_size) {
    return runPoint(co2::Point::onCurve(option, t_celsius, molality), options, values, flags, error,
                    error_size);
}

const char* co2_version(void) {
    return co2::version();
}

} // extern "C"
