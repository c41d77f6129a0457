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
