// co2model: the solubility of CO2 in pure water, and the properties of pure water, pure CO2, CO2 at
// infinite dilution and the solution, from -1.48 to 100 C and 0.1 to 100 MPa.
//
// A state point is given as (temperature in C, pressure in MPa) or as a temperature on one of the
// four phase-boundary curves of the water-CO2 system, from which the pressure follows. Evaluating
// it returns every reported quantity (named as co2table's columns), the warnings as flags and a
// failure as a value: nothing here throws, nothing is global, and any number of threads may
// evaluate at once (one Evaluator per thread, or the free functions).
//
// Two arithmetic paths: `exact` carries the calculator's extended intermediates and gives its
// numbers to the last bit; `fast` (the default) computes in double precision where that prints the
// same digits in every report template.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace co2 {

// ---- the reported quantities -------------------------------------------------------------------

// Which part of the report a quantity belongs to.
enum class Group : std::uint8_t {
    input,      // T_C, P
    water,      // pure water
    co2,        // pure CO2
    dilution,   // CO2 at infinite dilution (Henry constant, partial molar properties)
    solubility, // the solubility
    solution,   // the solution at the chosen molality
    brine,      // the dissolved salt (the library's alone: the calculator knows pure water only)
};

struct QuantityInfo {
    std::string_view name;        // "sol_m": the co2table column name
    std::string_view unit;        // "mol/kg"; "-" for pure numbers
    std::string_view description; // "CO2 solubility in mol per kg of water"
    Group group;
};

inline constexpr int kQuantityCount = 45;

// Every quantity, in report order. The index of a quantity is its place in this list.
std::span<const QuantityInfo> quantities() noexcept;
// The index of `name`, or -1 when no quantity has that name.
int quantityIndex(std::string_view name) noexcept;

// ---- flags -------------------------------------------------------------------------------------

// Bits of Result::flags. The first four are the calculator's own warnings.
enum Flag : unsigned {
    warnTemperature = 1u << 0, // temperature outside -1.48 .. 100 C
    warnPressure = 1u << 1,    // pressure above 100 MPa
    warnSaturation = 1u << 2,  // below the water saturation pressure: no liquid water
    warnMolality = 1u << 3,    // molality above the solubility
    hydrate = 1u << 4,         // inside the CO2-clathrate stability field
    co2Gas = 1u << 5,          // the phase of pure CO2 at the point: exactly one of these three
    co2Liquid = 1u << 6,       //   is set for a computed point
    co2Supercritical = 1u << 7,
    noSolubility = 1u << 8, // no liquid water, or a negative solubility: the solubility and
                            // solution quantities describe no real solution
    saltIndicative = 1u << 9, // a brine with ions other than Na and Cl: the salt models were
                              // fitted to NaCl, the solubility is indicative
    outsideSolubilityModel = 1u << 10, // the point lies outside the stated range of the chosen
                                       // second solubility model (SolubilityModel)
};

struct FlagInfo {
    std::string_view name;        // "warn_psat": co2table's column, Python's FLAGS key
    unsigned bit;                 // a Flag
    std::string_view description; // "below the water saturation pressure: no liquid water"
};

// Every flag, in bit order.
std::span<const FlagInfo> flags() noexcept;

// ---- phase-boundary curves ---------------------------------------------------------------------

struct CurveInfo {
    int option;            // 1..4, the calculator's menu number
    std::string_view name; // "H2O(l)-CO2(l)-CO2(v)": the phases that coexist along it
    double tMin, tMax;     // the temperatures, in C, that the curve accepts
};

// The four curves, by option.
std::span<const CurveInfo> curves() noexcept;

// ---- evaluation --------------------------------------------------------------------------------

enum class Arithmetic : std::uint8_t { fast, exact };

// Error codes below zero are the library's own; above zero they are the runtime's numbered errors
// ("Illegal function call" is 5, "Overflow" 6, "Internal error" 51 for a solve that gave up).
inline constexpr int kErrorOutsideCurve = -1; // the temperature lies outside the curve's range
inline constexpr int kErrorBadArgument = -2;  // a NaN or infinite input, a negative pressure or
                                              // molality, a curve option not 1..4, an unknown
                                              // option bit
inline constexpr int kErrorNonFinite = -3;    // a quantity came out infinite or NaN without a
                                              // runtime error

inline constexpr double kAtSolubility = std::numeric_limits<double>::quiet_NaN();

// ---- brines ------------------------------------------------------------------------------------

enum class SaltModel : std::uint8_t { duanSun2003, rumpf1994, spycherPruess2010 };

// The dissolved salt, as ion molalities in mol per kg of water (not of solution). All zero is
// pure water.
struct Brine {
    double Na = 0, K = 0, Ca = 0, Mg = 0, Cl = 0, SO4 = 0;
    SaltModel model = SaltModel::duanSun2003;

    static Brine nacl(double molality, SaltModel model = SaltModel::duanSun2003) noexcept {
        Brine b;
        b.Na = b.Cl = molality;
        b.model = model;
        return b;
    }
    // No salt: the point is pure water and this layer is skipped.
    bool pure() const noexcept { return Na == 0 && K == 0 && Ca == 0 && Mg == 0 && Cl == 0 && SO4 == 0; }
    // Any ion but Na and Cl: the salt models were fitted to NaCl, the result is indicative.
    bool indicative() const noexcept { return K != 0 || Ca != 0 || Mg != 0 || SO4 != 0; }
};


// The solubility model of x_CO2, sol_m, sol_g, w_CO2 and y_H2O. The library's own is the default;
// Spycher, Pruess & Ennis-King (2003), eqs. (11)-(14), is the second, with the molar volume of the
// CO2-rich phase from its own Redlich-Kwong cubic (as the paper) or from this library's
// Span-Wagner density of pure CO2 (as simulator tables are generated). Its stated range is
// 12-100 C, up to 60 MPa (flag outsideSolubilityModel). With it the solution quantities, formed
// at this model's solubility, are not given unless a molality is.
enum class SolubilityModel : std::uint8_t { own, spycherPruess2003, spycherPruess2003SpanWagner };

// The names co2table and the Python module take: "own", "spycher-pruess-2003",
// "spycher-pruess-2003-sw".
std::string_view solubilityModelName(SolubilityModel model) noexcept;
std::optional<SolubilityModel> solubilityModelOfName(std::string_view name) noexcept;

// One state point: what every face of the library hands to run().
struct Point {
    double temperature = std::numeric_limits<double>::quiet_NaN(); // C
    // MPa; 0 means the water saturation pressure (the quantity P is then the pressure used).
    // Not used when a curve is given.
    double pressure = std::numeric_limits<double>::quiet_NaN();
    // 1..4: the pressure of that phase-boundary curve at the temperature (see curves()).
    std::optional<int> curve;
    // The molality of the solution quantities, mol/kg: NaN (kAtSolubility) means at the
    // solubility, as Enter at the calculator's prompt; 0 means 1e-8, the smallest it takes.
    double molality = kAtSolubility;
    // The dissolved salt; pure water by default. In a brine the solubility is the pure-water one
    // divided by the salt's activity coefficient (gamma_salt), and the solution quantities, whose
    // formulas assume a pure-water solvent, are not given (NaN).
    Brine brine;
    SolubilityModel solubilityModel = SolubilityModel::own;

    static Point at(double t_celsius, double p_mpa, double molality = kAtSolubility) noexcept {
        Point p;
        p.temperature = t_celsius;
        p.pressure = p_mpa;
        p.molality = molality;
        return p;
    }
    static Point onCurve(int option, double t_celsius, double molality = kAtSolubility) noexcept {
        Point p;
        p.temperature = t_celsius;
        p.curve = option;
        p.molality = molality;
        return p;
    }
};

struct Options {
    Arithmetic arithmetic = Arithmetic::fast;
    // Where noSolubility is set, the solubility and solution quantities (but a given molality)
    // describe no real solution and are NaN, and y_CO2_vap is NaN where there is no liquid water;
    // raw keeps the numbers the model's formulas give there.
    bool raw = false;
    // The molality of evaluate() and evaluateCurve(), which take no Point; run() takes the
    // Point's.
    double molality = kAtSolubility;
};

// Why `point` cannot be run, or empty when it can: the one check of the arguments that every
// face goes through.
std::string pointProblem(const Point& point);

struct Result {
    // Every quantity. When the point failed, NaN except the inputs: T_C, P (a curve's pressure
    // once it is known) and m when it was given.
    std::array<double, kQuantityCount> values{};
    unsigned flags = 0;          // Flag bits; 0 when the point failed
    int error = 0;               // 0, a runtime error code, or kError*
    std::uint32_t statement = 0; // the statement that raised a runtime error (its error box's "Line:")
    // Why the point failed, empty when it did not: "runtime error 5: Illegal function call
    // (statement 70087); the pressure is below the water saturation pressure", "curve 1:
    // TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C", "pressure -1 MPa is negative".
    std::string message;

    bool ok() const noexcept { return error == 0; }
    // The value of the named quantity; NaN for an unknown name.
    double operator[](std::string_view name) const noexcept;
    double operator[](int index) const noexcept { return values[static_cast<std::size_t>(index)]; }
};

// A reusable evaluator: keeps the loaded constants and its caches between points, so a grid runs
// without set-up per point. One per thread; it is cheap to create. A point never depends on the
// points before it (each starts from the freshly loaded model, as co2table's rows do); a state
// point evaluated again at another molality continues from its solved state, with the values a
// fresh evaluation gives, to the last bit.
class Evaluator {
  public:
    explicit Evaluator(Arithmetic arithmetic = Arithmetic::fast);
    explicit Evaluator(const Options& options);
    ~Evaluator();
    Evaluator(Evaluator&&) noexcept;
    Evaluator& operator=(Evaluator&&) noexcept;

    // The model at one point: the library's one way in; the others below build a Point.
    Result run(const Point& point) noexcept;

    // (T in C, P in MPa; a pressure of 0 means the water saturation pressure, and the quantity P
    // is the pressure used); molality as in Point::molality.
    Result evaluate(double t_celsius, double p_mpa, double molality = kAtSolubility) noexcept;
    // Curve option 1..4 (see curves()).
    Result evaluateCurve(int option, double t_celsius, double molality = kAtSolubility) noexcept;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// One point on an evaluator of its own.
Result run(const Point& point, const Options& options = {}) noexcept;
Result evaluate(double t_celsius, double p_mpa, const Options& options = {}) noexcept;
Result evaluateCurve(int option, double t_celsius, const Options& options = {}) noexcept;

// The library's version, "MAJOR.MINOR.PATCH".
const char* version() noexcept;

} // namespace co2
