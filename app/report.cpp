#include "app/report.h"

#include <cstdint>
#include <string>

#include "model/aqueous.h"
#include "model/printed.h"
#include "model/statements.h"
#include "model/water.h"
#include "runtime/files.h"
#include "core/number_format.h"
#include "runtime/screen.h"

namespace co2 {

namespace {

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
    done(10051);
    writeFileLine(label, number);
}

void fileNumberExtended(const ReportContext& context, std::string_view label, std::string_view picture,
                        rt::ext value) {
    if (context.writeFile != 1) return;
    const std::string number = rt::formatExtended(picture, value).text;
    done(10059);
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
    done(10101);
    screenText(text, true);
    done(10103);
    rt::setColor(7);
    done(10105);
}

void printTitleBox() {
    // Code page 437: 0xC9 U+2554 BOX DRAWINGS DOUBLE DOWN AND RIGHT, 0xCD U+2550 DOUBLE HORIZONTAL,
    // 0xBB U+2557 DOUBLE DOWN AND LEFT, 0xBA U+2551 DOUBLE VERTICAL, 0xC8 U+255A DOUBLE UP AND RIGHT,
    // 0xBC U+255D DOUBLE UP AND LEFT.
    const std::string rule(74, '\xCD');
    screenText(" \xC9" + rule + "\xBB ", true);
    done(10114);
    screenText(" \xBA   CO2 solubility in water from -1.48 to 100 C and from 0.1 to 100 MPa    \xBA ", true);
    done(10116);
    screenText(" \xC8" + rule + "\xBC ", true);
    done(10118);
}

void printScreenDateLine() {
    rt::printText(rt::columnMove(kDateColumn), false);
    screenText("  Date ");
    screenText(rt::dateText());
    screenText("  Time  ");
    screenText(rt::timeText(), true);
    done(10127);
}

void writeFileDateLine(const ReportContext& context) {
    if (context.writeFile != 1) return;
    std::string line = rt::files().columnMove(kOutputFile, kDateColumn);
    line += "  Date ";
    line += rt::dateText();
    line += "  Time  ";
    line += rt::timeText();
    rt::files().writeToFile(kOutputFile, line, true);
    done(10138);
}

// ---- the report ------------------------------------------------------------------------------

void reportSaturationPressureEcho(const Model& model) {
    if (!atSaturationPressure(model)) return;
    rt::locate(rt::cursorRowNow() - 1, kEchoColumn);
    done(10146);
    screenNumber("###.#####", toDouble(printed::pressureMPa(model)), true);
    done(10148);
}

void reportWater(const Model& model, const ReportContext& context) {
    const rt::ext fugacityMPa = printed::fugacityH2OMPa(model);
    done(10153);
    const rt::ext fugacityCoeff = printed::fugacityCoeffH2O(model);
    done(10155);

    screenText("                     Properties of pure H2O ", true);
    done(10158);
    screenText("   Hill P.G. / J. Phys. Chem. Ref. Data / 1990, v. 19, p. 1233-1274", true);
    done(10160);
    screenPair("    d(H2O) = ", " ##.#########", model.rhoH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("    V(H2O) =", " #######.####", model.VH2O, true);
    done(10164);
    screenPair("    S(H2O) = ", " ######.##### ", model.SH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("   Cp(H2O) = ", " #####.###### ", model.CpH2O, true);
    done(10168);
    screenPair("    g(H2O) = ", " ########.### ", model.gH2O, false);
    moveToColumn(kSecondColumn);
    screenPair("    h(H2O) = ", " ########.### ", model.hH2O, true);
    done(10172);
    screenPairExtended("    f(H2O) = ", " #######.#### ", fugacityMPa, false);
    screenPairExtended("       fugacity Coeff. =", " ####.######## ", fugacityCoeff, true);
    done(10175);

    fileNumber(context, " Temperature (in C) = ", " ###.###", model.T_C);
    done(10178);
    fileText(context, context.curveLabel, true);
    done(10180);
    fileNumber(context, " Total Pressure (in MPa) = ", " ###.###### ", toDouble(printed::pressureMPa(model)));
    done(10182);
    fileText(context, "                     Properties of pure H2O ", true);
    done(10184);
    fileNumber(context, "    d(H2O) = ", " ##.#########", model.rhoH2O);
    done(10186);
    fileNumber(context, "    V(H2O) =", " #######.####", model.VH2O);
    done(10188);
    fileNumber(context, "    S(H2O) = ", " ######.##### ", model.SH2O);
    done(10190);
    fileNumber(context, "   Cp(H2O) = ", " #####.###### ", model.CpH2O);
    done(10192);
    fileNumber(context, "    g(H2O) = ", " ########.### ", model.gH2O);
    done(10194);
    fileNumber(context, "    h(H2O) = ", " ########.### ", model.hH2O);
    done(10196);
    fileNumberExtended(context, "    f(H2O) = ", " #######.#### ", fugacityMPa);
    done(10198);
    fileNumberExtended(context, "    fugacity Coeff. =", " ####.######## ", fugacityCoeff);
    done(10200);

    static constexpr std::string_view kVapourLabel =
        " Mole fraction of CO2 in vapour phase (rough estimate) = ";
    static constexpr std::string_view kVapourPicture = " ##.#### ";
    screenPair(kVapourLabel, kVapourPicture, model.yCO2Vap, true);
    done(10206);
    screenNewLine();
    done(10208);
    fileNumber(context, kVapourLabel, kVapourPicture, model.yCO2Vap);
    done(10210);
}

void reportCarbonDioxide(const Model& model, const ReportContext& context) {
    const rt::ext fugacityCoeff = printed::fugacityCoeffCO2(model);
    done(10215);
    const double fugacityMPa = toDouble(printed::fugacityCO2MPa(model));

    screenText("                     Properties of pure CO2 ", true);
    done(10219);
    screenText("  Span R. and Wagner W. / J. Phys. Chem. Ref. Data / 1996, v. 25, p. 1509-1596", true);
    done(10221);
    screenPair("    d(CO2) = ", " ##.#########", model.rhoCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("    V(CO2) =", " #######.####", model.VCO2, true);
    done(10225);
    screenPair("    S(CO2) = ", " ######.##### ", model.SCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("   Cp(CO2) = ", " #####.###### ", model.CpCO2, true);
    done(10229);
    screenPair("    g(CO2) = ", " ########.### ", model.gCO2, false);
    moveToColumn(kSecondColumn);
    screenPair("    h(CO2) = ", " ########.### ", model.hCO2, true);
    done(10233);
    screenPair("    f(CO2) = ", " #######.#### ", fugacityMPa, false);
    screenPairExtended("       fugacity Coeff. =", " ####.######## ", fugacityCoeff, true);
    done(10236);

    fileText(context, "                     Properties of pure CO2 ", true);
    done(10239);
    fileNumber(context, "    d(CO2) = ", " ##.#########", model.rhoCO2);
    done(10241);
    fileNumber(context, "    V(CO2) =", " #######.####", model.VCO2);
    done(10243);
    fileNumber(context, "    S(CO2) = ", " ######.##### ", model.SCO2);
    done(10245);
    fileNumber(context, "   Cp(CO2) = ", " #####.###### ", model.CpCO2);
    done(10247);
    fileNumber(context, "    g(CO2) = ", " ########.### ", model.gCO2);
    done(10249);
    fileNumber(context, "    h(CO2) = ", " ########.### ", model.hCO2);
    done(10251);
    fileNumber(context, "    f(CO2) = ", " #######.#### ", fugacityMPa);
    done(10253);
    fileNumberExtended(context, "    fugacity Coeff. =", " ####.######## ", fugacityCoeff);
    done(10255);

    screenNewLine();
    done(10258);
}

void reportRangeWarnings(const Model& model) {
    if (temperatureOutOfRange(model.T_C)) {
        screenNewLine();
        done(10264);
        screenWarning(kWarningTemperature);
    }
    if (pressureOutOfRange(model.P_bar)) {
        screenNewLine();
        done(10269);
        screenWarning(kWarningPressure);
    }
    // Below the saturation pressure the water equation settles on its vapour root, and every
    // aqueous value that follows describes a solution that cannot exist; the user must know.
    if (belowSaturation(model)) {
        screenNewLine();
        done(10276);
        screenWarning(kWarningNoLiquid);
    }
}

void reportInfiniteDilution(const Model& model, const ReportContext& context) {
    const rt::ext henryMPa = printed::henryMPa(model);
    done(10283);
    const double lnHenryMPa = toDouble(printed::lnHenryMPa(model));

    screenText("             Partial molar properties of CO2 in solution", true);
    done(10287);
    screenText(" At infinite dilution ", true);
    done(10289);
    screenPairExtended("  Henry = ", "#######.#", henryMPa, false);
    screenPair("    ln(kH, MPa) = ", "###.####", lnHenryMPa, true);
    done(10292);
    screenPair("  Gaq = ", "#######.#", model.Gaq, false);
    screenPair("    S2 = ", "#####.###", model.S2, false);
    screenPair("    V2 = ", " #####.##", model.V2, false);
    screenPair("    Cp2 = ", "#####.###", model.Cp2, true);
    done(10297);

    fileText(context, "             Partial molar properties of CO2 in solution", true);
    done(10300);
    fileText(context, " At infinite dilution ", true);
    done(10302);
    fileNumberExtended(context, "    Henry = ", "#######.#", henryMPa);
    done(10304);
    fileNumber(context, "    ln(kH, MPa) = ", "###.####", lnHenryMPa);
    done(10306);
    fileNumber(context, "    Gaq = ", "#######.#", model.Gaq);
    done(10308);
    fileNumber(context, "    S2 = ", "#####.###", model.S2);
    done(10310);
    fileNumber(context, "    V2 = ", " #####.##", model.V2);
    done(10312);
    fileNumber(context, "    Cp2 = ", "#####.###", model.Cp2);
    done(10314);
}

void reportSolubility(const Model& model, const ReportContext& context) {
    const double percent = toDouble(printed::solubilityMolePercent(model));
    const double gramsPerKg = toDouble(printed::solubilityGramsPerKg(model));

    screenText("                             mol%      mol/kg    g CO2/kg H2O", true);
    done(10322);
    screenText("  CO2 solubility       ");
    screenNumber("  ###.##### ", percent);
    screenNumber(" ###.##### ", model.mSat);
    screenNumber(" #####.### ", gramsPerKg, true);
    done(10327);

    fileNumber(context, "  CO2 solubility  in mol%        =  ", "  ###.##### ", percent);
    done(10330);
    fileNumber(context, "  CO2 solubility  in mol/kg H2O  =  ", " ###.##### ", model.mSat);
    done(10332);
    fileNumber(context, "  CO2 solubility  in g/kg H2O    =  ", " #####.### ", gramsPerKg);
    done(10334);
}

void reportFiniteConcentrationStart(const ReportContext& context) {
    screenNewLine();
    done(10339);
    screenText(" At finite concentration:  ");
    done(10341);
    // The molality completes this line once it has been typed; a run stopped at the prompt
    // leaves it unfinished, which tells the reader where the run ended.
    fileText(context, " At finite concentration =  ", false);
    done(10345);
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
    done(10361);
    const rt::ext waterActivity = printed::activityH2O(model);
    done(10363);
    const rt::ext gammaH2O = printed::activityCoeffH2O(model);
    done(10365);
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
        done(10387);
    }

    if (context.writeFile == 1) {
        const std::string molality = rt::formatDouble("  ##.#####  ", model.m).text;
        done(10392);
        rt::files().writeToFile(kOutputFile, molality, true);
        done(10393);
    }
    for (const ActivityLine& line : lines) {
        if (line.extended)
            fileNumberExtended(context, line.label, line.picture, line.value);
        else
            fileNumber(context, line.label, line.picture, static_cast<double>(line.value));
        done(10399);
    }
}

void reportSeparator() {
    screenText(std::string(80, '_'), true);
    done(10405);
}

} // namespace co2
