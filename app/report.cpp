#include "app/report.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/report_layout.h"
#include "core/number_format.h"
#include "model/aqueous.h"
#include "model/printed.h"
#include "model/quantities.h"
#include "model/statements.h"
#include "model/water.h"
#include "runtime/files.h"
#include "runtime/screen.h"

namespace co2 {

namespace {

// Column of the second value pair of a report row.
constexpr int kSecondColumn = 40;
// Column of the echoed saturation pressure, just after the pressure prompt's value.
constexpr int kEchoColumn = 67;
constexpr int kDateColumn = 46;

// Extended intermediates are rounded to double where the value is a double in the report.
double toDouble(core::ext v) {
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
    if (!label.empty()) rt::files().writeToFile(kOutputFile, label, false);
    rt::files().writeToFile(kOutputFile, number, true);
}

void fileNumber(const ReportContext& context, std::string_view label, std::string_view picture,
                double value) {
    if (context.writeFile != 1) return;
    const std::string number = core::formatDouble(picture, value).text;
    done(10051);
    writeFileLine(label, number);
}

void fileNumberExtended(const ReportContext& context, std::string_view label, std::string_view picture,
                        core::ext value) {
    if (context.writeFile != 1) return;
    const std::string number = core::formatExtended(picture, value).text;
    done(10059);
    writeFileLine(label, number);
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
    rt::printText(core::formatDouble(picture, value).text, endLine);
}

void screenNumberExtended(std::string_view picture, core::ext value, bool endLine) {
    rt::printText(core::formatExtended(picture, value).text, endLine);
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

namespace {

using BlockValues = std::array<core::ext, kReportLineCount>;

// The values of one block, formed before anything of the block is printed; a value whose forming
// can raise an error (an exponential) is a statement of its own, so its error box shows once.
BlockValues formBlock(const Model& model, ReportBlock block) {
    BlockValues values{};
    for (std::size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        if (line.block != block) continue;
        values[i] = reportValue(i, model);
        if (line.valueStatement != 0) doneFromTable(line.valueStatement);
    }
    return values;
}

// The block's screen rows: each value after its label, at its place on the row.
void screenBlock(ReportBlock block, const BlockValues& values) {
    for (std::size_t i = 0; i < kReportLineCount; ++i) {
        const ReportLine& line = kReportLines[i];
        const ScreenSlot& slot = line.screen;
        if (line.block != block || slot.place == ScreenPlace::none) continue;
        if (slot.place == ScreenPlace::column40) moveToColumn(kSecondColumn);
        if (!slot.label.empty()) screenText(slot.label);
        if (line.extended)
            screenNumberExtended(line.picture, values[i], slot.endsRow);
        else
            screenNumber(line.picture, toDouble(values[i]), slot.endsRow);
        if (slot.statement != 0) doneFromTable(slot.statement);
    }
}

void fileQuantity(const ReportContext& context, std::size_t index, const BlockValues& values) {
    const ReportLine& line = kReportLines[index];
    if (line.extended)
        fileNumberExtended(context, line.file.label, line.picture, values[index]);
    else
        fileNumber(context, line.file.label, line.picture, toDouble(values[index]));
    doneFromTable(line.file.statement);
}

// The block's file lines, one per quantity.
void fileBlock(const ReportContext& context, ReportBlock block, const BlockValues& values) {
    for (std::size_t i = 0; i < kReportLineCount; ++i)
        if (kReportLines[i].block == block) fileQuantity(context, i, values);
}

} // namespace

void reportWater(const Model& model, const ReportContext& context) {
    const BlockValues water = formBlock(model, ReportBlock::water);

    screenText("                     Properties of pure H2O ", true);
    done(10158);
    screenText("   Hill P.G. / J. Phys. Chem. Ref. Data / 1990, v. 19, p. 1233-1274", true);
    done(10160);
    screenBlock(ReportBlock::water, water);

    const BlockValues statePoint = formBlock(model, ReportBlock::statePoint);
    fileQuantity(context, reportLineOf("T_C"), statePoint);
    fileText(context, context.curveLabel, true);
    done(10180);
    fileQuantity(context, reportLineOf("P"), statePoint);
    fileText(context, "                     Properties of pure H2O ", true);
    done(10184);
    fileBlock(context, ReportBlock::water, water);

    const BlockValues vapour = formBlock(model, ReportBlock::vapour);
    screenBlock(ReportBlock::vapour, vapour);
    screenNewLine();
    done(10208);
    fileBlock(context, ReportBlock::vapour, vapour);
}

void reportCarbonDioxide(const Model& model, const ReportContext& context) {
    const BlockValues co2 = formBlock(model, ReportBlock::co2);

    screenText("                     Properties of pure CO2 ", true);
    done(10219);
    screenText("  Span R. and Wagner W. / J. Phys. Chem. Ref. Data / 1996, v. 25, p. 1509-1596", true);
    done(10221);
    screenBlock(ReportBlock::co2, co2);

    fileText(context, "                     Properties of pure CO2 ", true);
    done(10239);
    fileBlock(context, ReportBlock::co2, co2);

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
    const BlockValues dilution = formBlock(model, ReportBlock::dilution);

    screenText("             Partial molar properties of CO2 in solution", true);
    done(10287);
    screenText(" At infinite dilution ", true);
    done(10289);
    screenBlock(ReportBlock::dilution, dilution);

    fileText(context, "             Partial molar properties of CO2 in solution", true);
    done(10300);
    fileText(context, " At infinite dilution ", true);
    done(10302);
    fileBlock(context, ReportBlock::dilution, dilution);
}

void reportSolubility(const Model& model, const ReportContext& context) {
    const BlockValues solubility = formBlock(model, ReportBlock::solubility);

    screenText("                             mol%      mol/kg    g CO2/kg H2O", true);
    done(10322);
    screenBlock(ReportBlock::solubility, solubility);

    fileBlock(context, ReportBlock::solubility, solubility);
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

void reportActivity(const Model& model, const ReportContext& context) {
    const BlockValues solution = formBlock(model, ReportBlock::solution);
    screenBlock(ReportBlock::solution, solution);

    fileBlock(context, ReportBlock::molality, formBlock(model, ReportBlock::molality));
    fileBlock(context, ReportBlock::solution, solution);
}

void reportSeparator() {
    screenText(std::string(80, '_'), true);
    done(10405);
}

} // namespace co2
