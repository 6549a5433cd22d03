#include "app/report.h"

#include <cstdint>
#include <string>

#include "app/aqueous.h"
#include "app/printed.h"
#include "app/statements.h"
#include "app/water.h"
#include "runtime/files.h"
#include "runtime/number_format.h"
#include "runtime/screen.h"

namespace co2 {

namespace {

// A statement ends here: the statement check gets the number of the line that calls done().
void done(std::uint32_t line = __builtin_LINE()) {
    co2::done(Module::report, line);
}

// Column of the second value pair of a report row.
constexpr int kSecondColumn = 40;
// Column of the echoed saturation pressure, just after the pressure prompt's value.
constexpr int kEchoColumn = 67;
constexpr int kDateColumn = 46;

// Extended intermediates are rounded to double where the value is a double in the report.
double toDouble(rt::ext v) {
    return static_cast<double>(v);
}

void fileText(const ReportContext& context, std::string_view text, bool endLine) {
    if (context.writeFile == 1) rt::files().writeToFile(kOutputFile, text, endLine);
}

// The number is formatted in a statement of its own and written in the next. A value that no
// template can print (an infinity) raises its error while nothing of the line is written yet; once
// the box is answered, the line still goes out with its label and its CR LF, so a bad value costs
// its digits but never merges two lines of the file.
void writeFileLine(std::string_view label, const std::string& number) {
    rt::files().writeToFile(kOutputFile, label, false);
    rt::files().writeToFile(kOutputFile, number, true);
}

void fileNumber(const ReportContext& context, std::string_view label, std::string_view picture,
                double value) {
    if (context.writeFile != 1) return;
    const std::string number = rt::formatDouble(picture, value).text;
    done();
    writeFileLine(label, number);
}

void fileNumberExtended(const ReportContext& context, std::string_view label, std::string_view picture,
                        rt::ext value) {
    if (context.writeFile != 1) return;
    const std::string number = rt::formatExtended(picture, value).text;
    done();
    writeFileLine(label, number);
}

// A label and its number, the number directly after the label.
void screenPair(std::string_view label, std::string_view picture, double value, bool endLine) {
    screenText(label);
    screenNumber(picture, value, endLine);
}

void screenPairExtended(std::string_view label, std::string_view picture, rt::ext value, bool endLine) {
    screenText(label);
    screenNumberExtended(picture, value, endLine);
}

void moveToColumn(int column) {
    rt::locate(std::nullopt, column);
}

} // namespace

// ---- screen texts ----------------------------------------------------------------------------

void screenText(std::string_view text, bool endLine) {
    rt::fitToLine(text);
    rt::printText(text, endLine);
}

void screenNumber(std::string_view picture, double value, bool endLine) {
    rt::printText(rt::formatDouble(picture, value).text, endLine);
}

void screenNumberExtended(std::string_view picture, rt::ext value, bool endLine) {
    rt::printText(rt::formatExtended(picture, value).text, endLine);
}

void screenNewLine() {
    rt::printText("", true);
}

void screenWarning(std::string_view text) {
    rt::setColor(15);
    done();
    screenText(text, true);
    done();
    rt::setColor(7);
    done();
}

void printTitleBox() {
    // Code page 437: 0xC9 U+2554 BOX DRAWINGS DOUBLE DOWN AND RIGHT, 0xCD U+2550 DOUBLE HORIZONTAL,
    // 0xBB U+2557 DOUBLE DOWN AND LEFT, 0xBA U+2551 DOUBLE VERTICAL, 0xC8 U+255A DOUBLE UP AND RIGHT,
    // 0xBC U+255D DOUBLE UP AND LEFT.
    const std::string rule(74, '\xCD');
    screenText(" \xC9" + rule + "\xBB ", true);
    done();
    screenText(" \xBA   CO2 solubility in water from -1.48 to 100 C and from 0.1 to 100 MPa    \xBA ", true);
    done();
    screenText(" \xC8" + rule + "\xBC ", true);
    done();
}

void printScreenDateLine() {
    rt::printText(rt::columnMove(kDateColumn), false);
    screenText("  Date ");
    screenText(rt::dateText());
    screenText("  Time  ");
    screenText(rt::timeText(), true);
    done();
}

void writeFileDateLine(const ReportContext& context) {
    if (context.writeFile != 1) return;
    std::string line = rt::files().columnMove(kOutputFile, kDateColumn);
    line += "  Date ";
    line += rt::dateText();
    line += "  Time  ";
    line += rt::timeText();
    rt::files().writeToFile(kOutputFile, line, true);
    done();
}

// ---- the report ------------------------------------------------------------------------------

void reportSaturationPressureEcho(const Model& model) {
    if (!atSaturationPressure(model)) return;
    rt::locate(rt::cursorRowNow() - 1, kEchoColumn);
    done();
    screenNumber("###.#####", toDouble(printed::pressureMPa(model)), true);
    done();
}

void reportWater(const Model& model, const ReportContext& context) {
    const rt::ext fugacityMPa = printed::fugacityH2OMPa(model);
    done();
    const rt::ext fugacityCoeff = printed::fugacityCoeffH2O(model);
    done();

    screenText("                     Properties of pure H2O ", true);
    done();
    screenText("   Hill P.G. / J. Phys. Chem. Ref. Data / 1990, v. 19, p. 1233-1274", true);
    done();
    screenPair("    d(H2O) = ", " ##.#########", model.rhoH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("    V(H2O) =", " #######.####", model.VH2O, true);
    done();
    screenPair("    S(H2O) = ", " ######.##### ", model.SH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("   Cp(H2O) = ", " #####.###### ", model.CpH2O, true);
    done();
    screenPair("    g(H2O) = ", " ########.### ", model.gH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("    h(H2O) = ", " ########.### ", model.hH2O, true);
    done();
    screenPairExtended("    f(H2O) = ", " #######.#### ", fugacityMPa, false);
    screenPairExtended("       fugacity Coeff. =", " ####.######## ", fugacityCoeff, true);
    done();

    fileNumber(context, " Temperature (in C) = ", " ###.###", model.T_C);
    done();
    fileText(context, context.curveLabel, true);
    done();
    fileNumber(context, " Total Pressure (in MPa) = ", " ###.###### ", toDouble(printed::pressureMPa(model)));
    done();
    fileText(context, "                     Properties of pure H2O ", true);
    done();
    fileNumber(context, "    d(H2O) = ", " ##.#########", model.rhoH2O);
    done();
    fileNumber(context, "    V(H2O) =", " #######.####", model.VH2O);
    done();
    fileNumber(context, "    S(H2O) = ", " ######.##### ", model.SH2O);
    done();
    fileNumber(context, "   Cp(H2O) = ", " #####.###### ", model.CpH2O);
    done();
    fileNumber(context, "    g(H2O) = ", " ########.### ", model.gH2O);
    done();
    fileNumber(context, "    h(H2O) = ", " ########.### ", model.hH2O);
    done();
    fileNumberExtended(context, "    f(H2O) = ", " #######.#### ", fugacityMPa);
    done();
    fileNumberExtended(context, "    fugacity Coeff. =", " ####.######## ", fugacityCoeff);
    done();

    static constexpr std::string_view kVapourLabel =
        " Mole fraction of CO2 in vapour phase (rough estimate) = ";
    static constexpr std::string_view kVapourPicture = " ##.#### ";
    screenPair(kVapourLabel, kVapourPicture, model.yCO2Vap, true);
    done();
    screenNewLine();
    done();
    fileNumber(context, kVapourLabel, kVapourPicture, model.yCO2Vap);
    done();
}

void reportCarbonDioxide(const Model& model, const ReportContext& context) {
    const rt::ext fugacityCoeff = printed::fugacityCoeffCO2(model);
    done();
    const double fugacityMPa = toDouble(printed::fugacityCO2MPa(model));

    screenText("                     Properties of pure CO2 ", true);
    done();
    screenText("  Span R. and Wagner W. / J. Phys. Chem. Ref. Data / 1996, v. 25, p. 1509-1596", true);
    done();
    screenPair("    d(CO2) = ", " ##.#########", model.rhoCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("    V(CO2) =", " #######.####", model.VCO2, true);
    done();
    screenPair("    S(CO2) = ", " ######.##### ", model.SCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("   Cp(CO2) = ", " #####.###### ", model.CpCO2, true);
    done();
    screenPair("    g(CO2) = ", " ########.### ", model.gCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("    h(CO2) = ", " ########.### ", model.hCO2, true);
    done();
    screenPair("    f(CO2) = ", " #######.#### ", fugacityMPa, false);
    screenPairExtended("       fugacity Coeff. =", " ####.######## ", fugacityCoeff, true);
    done();

    fileText(context, "                     Properties of pure CO2 ", true);
    done();
    fileNumber(context, "    d(CO2) = ", " ##.#########", model.rhoCO2);
    done();
    fileNumber(context, "    V(CO2) =", " #######.####", model.VCO2);
    done();
    fileNumber(context, "    S(CO2) = ", " ######.##### ", model.SCO2);
    done();
    fileNumber(context, "   Cp(CO2) = ", " #####.###### ", model.CpCO2);
    done();
    fileNumber(context, "    g(CO2) = ", " ########.### ", model.gCO2);
    done();
    fileNumber(context, "    h(CO2) = ", " ########.### ", model.hCO2);
    done();
    fileNumber(context, "    f(CO2) = ", " #######.#### ", fugacityMPa);
    done();
    fileNumberExtended(context, "    fugacity Coeff. =", " ####.######## ", fugacityCoeff);
    done();

    screenNewLine();
    done();
}

void reportRangeWarnings(const Model& model) {
    if (temperatureOutOfRange(model.T_C)) {
        screenNewLine();
        done();
        screenWarning(kWarningTemperature);
    }
    if (pressureOutOfRange(model.P_bar)) {
        screenNewLine();
        done();
        screenWarning(kWarningPressure);
    }
    // Below the saturation pressure the water equation settles on its vapour root, and every
    // aqueous value that follows describes a solution that cannot exist; the user must know.
    if (belowSaturation(model)) {
        screenNewLine();
        done();
        screenWarning(kWarningNoLiquid);
    }
}

void reportInfiniteDilution(const Model& model, const ReportContext& context) {
    const rt::ext henryMPa = printed::henryMPa(model);
    done();
    const double lnHenryMPa = toDouble(printed::lnHenryMPa(model));

    screenText("             Partial molar properties of CO2 in solution", true);
    done();
    screenText(" At infinite dilution ", true);
    done();
    screenPairExtended("  Henry = ", "#######.#", henryMPa, false);
    screenPair("    ln(kH, MPa) = ", "###.####", lnHenryMPa, true);
    done();
    screenPair("  Gaq = ", "#######.#", model.Gaq, false);
    screenPair("    S2 = ", "#####.###", model.S2, false);
    screenPair("    V2 = ", " #####.##", model.V2, false);
    screenPair("    Cp2 = ", "#####.###", model.Cp2, true);
    done();

    fileText(context, "             Partial molar properties of CO2 in solution", true);
    done();
    fileText(context, " At infinite dilution ", true);
    done();
    fileNumberExtended(context, "    Henry = ", "#######.#", henryMPa);
    done();
    fileNumber(context, "    ln(kH, MPa) = ", "###.####", lnHenryMPa);
    done();
    fileNumber(context, "    Gaq = ", "#######.#", model.Gaq);
    done();
    fileNumber(context, "    S2 = ", "#####.###", model.S2);
    done();
    fileNumber(context, "    V2 = ", " #####.##", model.V2);
    done();
    fileNumber(context, "    Cp2 = ", "#####.###", model.Cp2);
    done();
}

void reportSolubility(const Model& model, const ReportContext& context) {
    const double percent = toDouble(printed::solubilityMolePercent(model));
    const double gramsPerKg = toDouble(printed::solubilityGramsPerKg(model));

    screenText("                             mol%      mol/kg    g CO2/kg H2O", true);
    done();
    screenText("  CO2 solubility       ");
    screenNumber("  ###.##### ", percent);
    screenNumber(" ###.##### ", model.mSat);
    screenNumber(" #####.### ", gramsPerKg, true);
    done();

    fileNumber(context, "  CO2 solubility  in mol%        =  ", "  ###.##### ", percent);
    done();
    fileNumber(context, "  CO2 solubility  in mol/kg H2O  =  ", " ###.##### ", model.mSat);
    done();
    fileNumber(context, "  CO2 solubility  in g/kg H2O    =  ", " #####.### ", gramsPerKg);
    done();
}

void reportFiniteConcentrationStart(const ReportContext& context) {
    screenNewLine();
    done();
    screenText(" At finite concentration:  ");
    done();
    // The molality completes this line once it has been typed; a run stopped at the prompt
    // leaves it unfinished, which tells the reader where the run ended.
    fileText(context, " At finite concentration =  ", false);
    done();
}

namespace {

struct ActivityLine {
    std::string_view label;
    std::string_view picture;
    bool extended;
    rt::ext value;
};

} // namespace

void reportActivity(const Model& model, const ReportContext& context) {
    const rt::ext gammaCO2 = printed::activityCoeffCO2(model);
    done();
    const rt::ext waterActivity = printed::activityH2O(model);
    done();
    const rt::ext gammaH2O = printed::activityCoeffH2O(model);
    done();
    const double excessVolume = toDouble(printed::excessVolume(model));

    const ActivityLine lines[] = {
        {"      Activity coefficient of CO2 (molal scale)      ", "     ##.###", true, gammaCO2},
        {"      Osmotic coefficient of H2O                     ", "     ##.###", false, model.phiOsm},
        {"      Activity of H2O                                ", "     ##.#####", true, waterActivity},
        {"      Activity coefficient of H2O (mol. frac. scale) ", "     ##.#####", true, gammaH2O},
        {"      Excess H2O entropy                             ", "   ####.####", false, model.SexH2O},
        {"      Excess H2O heat capacity                       ", "   ####.####", false, model.CpexH2O},
        {"      Excess CO2 entropy                             ", "   ####.####", false, model.SexCO2},
        {"      Excess CO2 heat capacity                       ", "   ####.####", false, model.CpexCO2},
        {"      Excess solution volume                         ", "  #####.####", false, excessVolume},
        {"      Bulk solution volume                           ", "    ###.#####", false, model.Vsol},
        {"      Density of solution                            ", "     ##.######", false, model.rhoSol},
    };

    for (const ActivityLine& line : lines) {
        if (line.extended)
            screenPairExtended(line.label, line.picture, line.value, true);
        else
            screenPair(line.label, line.picture, static_cast<double>(line.value), true);
        done();
    }

    if (context.writeFile == 1) {
        const std::string molality = rt::formatDouble("  ##.#####  ", model.m).text;
        done();
        rt::files().writeToFile(kOutputFile, molality, true);
        done();
    }
    for (const ActivityLine& line : lines) {
        if (line.extended)
            fileNumberExtended(context, line.label, line.picture, line.value);
        else
            fileNumber(context, line.label, line.picture, static_cast<double>(line.value));
        done();
    }
}

void reportSeparator() {
    screenText(std::string(80, '_'), true);
    done();
}

} // namespace co2
