// The configuration page's radio group rules and its fill from the record.
#include <gtest/gtest.h>

#include "project/ConfigTab.h"
#include "project/RecordingView.h"

namespace {

using namespace vilo;

struct Page {
    RecordingView view;
    DeviceRecord device;
    ProjectState project{view};
    ConfigTab tab{device, project, view};
};

TEST(ConfigTab, PressureSourceRule) {
    Page page;
    page.device.Update([](TDevice &d) { d.PressureSourceFlag = kPressureKeyed; });
    page.tab.PressureSourceSelected(kMeasuredItem);
    EXPECT_EQ(page.device.Get().PressureSourceFlag, 0);
    EXPECT_FALSE(page.view.KeyboardPressureEdits());
    EXPECT_TRUE(page.project.Changed());
    EXPECT_FALSE(page.view.ChangedNoteShown());  // this group leaves the note alone
    page.tab.PressureSourceSelected(kKeyboardItem);
    EXPECT_EQ(page.device.Get().PressureSourceFlag, kPressureKeyed);
    EXPECT_TRUE(page.view.KeyboardPressureEdits());
    page.device.Update([](TDevice &d) { d.PressureSourceFlag = 21; });  // a raw speed cell value
    page.tab.PressureSourceSelected(kKeyboardItem);
    EXPECT_EQ(page.device.Get().PressureSourceFlag, 21);
}

TEST(ConfigTab, QuantitiesAreCopiedOnlyOnTheUsersChange) {
    Page page;
    page.device.Update([](TDevice &d) { d.Jcal = 3; d.Jcal1 = 4; });
    page.tab.QuantitySelected(0, 2, /*byUser=*/false, true);
    EXPECT_EQ(page.device.Get().Jcal, 3);
    page.tab.QuantitySelected(3, 1, /*byUser=*/true, /*readButtonsEnabled=*/false);
    EXPECT_EQ(page.device.Get().Jcal1, 4);
    page.tab.QuantitySelected(3, 1, true, true);  // only channel 2 changed: both are copied
    EXPECT_EQ(page.device.Get().Jcal, 3);
    EXPECT_EQ(page.device.Get().Jcal1, 1);
    EXPECT_TRUE(page.view.ChangedNoteShown());
}

TEST(ConfigTab, FillShowsTheRecordAndSetsOffTheRulesOfChangedSelections) {
    Page page;
    page.device.Update([](TDevice &d) {
        d.TpH = 0.1f;
        d.TpB = 100;
        d.PH = 250;
        d.LCDmode = 7;
        d.Jcal = 2;
        d.Jcal1 = 4;
        d.PressureSourceFlag = 5;  // measured
        d.Gamma = 1.61;
    });
    page.tab.Fill();
    const ConfigPageValues values = page.view.ConfigPage();
    EXPECT_EQ(values.TpH, "0.100000001490116");
    EXPECT_EQ(values.TpB, "100");
    EXPECT_EQ(values.GasPressure, "0.25");
    EXPECT_EQ(values.DisplayMode, 0);  // 7 shows the first channel
    EXPECT_EQ(values.Channel1Quantity, 2);
    EXPECT_EQ(values.PressureSource, kMeasuredItem);
    EXPECT_EQ(values.Gamma, "1.61");
    const TDevice d = page.device.Get();
    EXPECT_EQ(d.LCDmode, 7);
    EXPECT_EQ(d.Jcal, 2);  // the program's own selection copies nothing back
    EXPECT_EQ(d.Jcal1, 4);
    EXPECT_EQ(d.PressureSourceFlag, 5);
    EXPECT_FALSE(page.view.KeyboardPressureEdits());
    EXPECT_EQ(page.tab.PressureSource(), kMeasuredItem);

    // A second fill with the same selections sets nothing off.
    page.view.ClearEvents();
    page.tab.Fill();
    EXPECT_TRUE(page.view.EventsOf("Project: ").empty());
}

}  // namespace

namespace {

TEST(ConfigTab, EditsStoreNumbersAndMarkTheProjectChanged) {
    Page page;
    page.tab.EditKeyReleased(ConfigEdit::TpB, "-5.5");
    EXPECT_EQ(page.device.Get().TpB, -5.5);
    EXPECT_TRUE(page.project.Changed());
    EXPECT_TRUE(page.view.ChangedNoteShown());

    page.tab.EditKeyReleased(ConfigEdit::TpH, "-");  // nothing stored, text kept
    EXPECT_EQ(page.device.Get().TpH, 0);
    EXPECT_TRUE(page.view.EventsOf("GasPressure: ").empty());
    page.tab.EditKeyReleased(ConfigEdit::Jmin2, "");
    page.tab.EditKeyReleased(ConfigEdit::TpB, "-.");  // not a number
    EXPECT_EQ(page.view.EventsOf("Error: "), std::vector<std::string>{"'-.' is not a valid floating point value"});
    EXPECT_EQ(page.device.Get().TpB, -5.5);

    page.tab.EditKeyReleased(ConfigEdit::Gamma, "1.61");
    page.tab.EditKeyReleased(ConfigEdit::HighPressure, "600");
    EXPECT_EQ(page.device.Get().Gamma, 1.61);
    EXPECT_EQ(page.device.Get().Phigh, 600);
}

TEST(ConfigTab, GasPressureKeepsToItsRange) {
    Page page;
    // Typing 1001 key by key into an empty edit.
    for (const char *typed : {"1", "10", "100", "1001"}) page.tab.EditKeyReleased(ConfigEdit::GasPressure, typed);
    EXPECT_EQ(page.device.Get().PH, 100000);
    EXPECT_EQ(page.view.GasPressureText(), "100");
    page.tab.EditKeyReleased(ConfigEdit::GasPressure, "1000");
    EXPECT_EQ(page.device.Get().PH, 1000000);
    page.tab.EditKeyReleased(ConfigEdit::GasPressure, "-");
    EXPECT_EQ(page.view.GasPressureText(), "");
    EXPECT_EQ(page.device.Get().PH, 1000000);
}

TEST(ConfigTab, AveragingAndDisplayModeDoNotMarkTheProject) {
    Page page;
    page.tab.AveragingChanged("123456789012");
    page.tab.DisplayModeChosen(2);
    page.tab.DisplayModeChosen(-1);
    EXPECT_EQ(page.device.Get().CountOfAU, "1234567890");
    EXPECT_EQ(page.device.Get().LCDmode, 2);
    EXPECT_FALSE(page.project.Changed());
}

}  // namespace
