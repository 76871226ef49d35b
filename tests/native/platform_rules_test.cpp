// Rules that the adapters and the fake share: the global atom table, dialog units, and
// the template that platforms without a dialog manager build from.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "app/atom_table.h"
#include "app/dialog_units.h"
#include "res/dialog_template.h"

namespace {

TEST(AtomTable, NamesMatchWithoutCaseAndAtomsGoWithTheirLastReference) {
    AtomTable atoms;
    const uint16_t pause = atoms.Add("ctrl-h");
    EXPECT_GE(pause, 0xC000);
    EXPECT_EQ(atoms.Add("CTRL-H"), pause);
    const uint16_t forward = atoms.Add("ctrl-j");
    EXPECT_NE(forward, pause);
    atoms.Delete(pause);
    EXPECT_EQ(atoms.Find("ctrl-h"), pause);  // added twice, deleted once
    atoms.Delete(pause);
    EXPECT_EQ(atoms.Find("ctrl-h"), 0);
    atoms.Delete(0x1234);  // unknown: ignored
    EXPECT_EQ(atoms.Find("ctrl-j"), forward);
}

TEST(DialogUnits, MapAsTheDialogManagerDoes) {
    // MS Sans Serif 8 at 96 dpi: the 52 letters are 286 pixels wide, 13 high.
    const DialogBaseUnits base = BaseUnitsFromFont(286, 13);
    EXPECT_EQ(base.x, 6);
    EXPECT_EQ(base.y, 13);
    // 283 x 205 units: 424.5 rounds up, 333.125 down.
    EXPECT_EQ(DialogUnitsToPixelsX(283, base), 425);
    EXPECT_EQ(DialogUnitsToPixelsY(205, base), 333);
    EXPECT_EQ(DialogUnitsToPixelsX(-3, base), -5);  // half away from zero
}

std::string ReadSource(const std::string& path) {
    std::ifstream in(std::string(VELMORIN_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The resource script and the template as data must describe the same dialog.
TEST(DialogTemplate, MatchesTheResourceScript) {
    std::map<std::string, int> ids{{"-1", -1}, {"IDOK", 1}};
    const std::string header = ReadSource("res/resource.h");
    const std::regex define(R"(#define (ID\w+) (\d+))");
    for (std::sregex_iterator it(header.begin(), header.end(), define), end; it != end; ++it)
        ids[(*it)[1]] = std::stoi((*it)[2]);

    const std::string script = ReadSource("res/velmorin.rc");
    const std::map<std::string, ControlKind> kinds{
        {"PUSH_STYLE", ControlKind::Push},          {"CHECK_STYLE", ControlKind::Check},
        {"PLAIN_SLIDER", ControlKind::PlainSlider}, {"END_TICK_SLIDER", ControlKind::EndTickSlider},
        {"TICK_SLIDER", ControlKind::TickSlider},   {"VALUE_STYLE", ControlKind::Value},
        {"END_LABEL_STYLE", ControlKind::EndLabel}, {"HIDDEN_LABEL", ControlKind::HiddenLabel},
        {"HIDDEN_RADIO", ControlKind::HiddenRadio}};
    const std::regex control(
        R"re(CONTROL "([^"]*)", (-?\w+), "\w+", (\w+), (\d+), (\d+), (\d+), (\d+)(, WS_EX_CLIENTEDGE)?)re");
    const std::string main = script.substr(0, script.find("IDR_MAINMENU MENU"));
    size_t index = 0;
    for (std::sregex_iterator it(main.begin(), main.end(), control), end; it != end;
         ++it, ++index) {
        const std::smatch& m = *it;
        ASSERT_LT(index, kMainControlCount);
        const TemplateControl& c = kMainControls[index];
        SCOPED_TRACE(m[0].str());
        EXPECT_EQ(c.text, m[1].str());
        EXPECT_EQ(c.id, ids.at(m[2]));
        const ControlKind kind = m[3] == "LABEL_STYLE"
                                     ? (m[8].matched ? ControlKind::StatusBox : ControlKind::Label)
                                     : kinds.at(m[3]);
        EXPECT_EQ(c.kind, kind);
        EXPECT_EQ(c.rect.x, std::stoi(m[4]));
        EXPECT_EQ(c.rect.y, std::stoi(m[5]));
        EXPECT_EQ(c.rect.width, std::stoi(m[6]));
        EXPECT_EQ(c.rect.height, std::stoi(m[7]));
    }
    EXPECT_EQ(index, 50u);
    EXPECT_EQ(index, kMainControlCount);

    // The menu, in order.
    std::string menu;
    const std::regex item(R"re((POPUP|MENUITEM) "([^"]*)"(, (\w+))?|MENUITEM SEPARATOR)re");
    for (std::sregex_iterator it(script.begin(), script.end(), item), end; it != end; ++it)
        menu += (*it)[0].str() == "MENUITEM SEPARATOR" ? std::string("-|") : (*it)[2].str() + "|";
    std::string data;
    for (size_t m = 0; m < kMainMenuCount; ++m) {
        data += std::string(kMainMenu[m].text) + "|";
        for (size_t i = 0; i < kMainMenu[m].count; ++i)
            data += kMainMenu[m].items[i].id == 0 ? "-|"
                                                  : std::string(kMainMenu[m].items[i].text) + "|";
    }
    EXPECT_EQ(data, menu);

    // The About box's texts, with the script's "\n" escapes.
    auto escaped = [](std::string text) {
        for (size_t at; (at = text.find('\n')) != std::string::npos;)
            text.replace(at, 1, "\\n");
        return text;
    };
    EXPECT_NE(script.find("CAPTION \"" + std::string(kAboutCaption) + "\""), std::string::npos);
    EXPECT_NE(script.find("LTEXT \"" + std::string(kAboutSummary) + "\""), std::string::npos);
    EXPECT_NE(script.find("LTEXT \"" + escaped(kAboutContact) + "\""), std::string::npos);
}

}  // namespace
