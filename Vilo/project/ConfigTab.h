// The rules of the configuration page: what its radio groups do when their selection
// changes, by the user or by the program. The page's selections are kept here, as the
// program knows them, so that a fill can tell which selections really change.
#pragma once

#include <mutex>

#include "comm/Devices.h"
#include "project/Shared.h"
#include "project/UserView.h"

namespace vilo {

// The numeric edits of the page.
enum class ConfigEdit { TpH, TpB, TpH1, TpB1, GasPressure, HighPressure, LowPressure, Gamma, Jmax1, Jmin1, Jmax2, Jmin2 };

inline constexpr double kGasPressureMaxMPa = 1000;

inline constexpr int kKeyboardItem = 0;  // RadioGroup2 "Клавиатура"
inline constexpr int kMeasuredItem = 1;  // RadioGroup2 "Измерение"

class ConfigTab {
public:
    ConfigTab(DeviceRecord &device, ProjectState &project, UserView &view)
        : device_(device), project_(project), view_(view) {}

    // RadioGroup2's selection changed (RadioGroup2Click): the pressure edits follow it and
    // so does the record's pressure-source flag.
    void PressureSourceSelected(int item);
    // RadioGroup4 or RadioGroup41 changed (RadioGroup4Click). Only a change by the user,
    // with the read buttons enabled, copies both selections into the record.
    void QuantitySelected(int channel1Item, int channel2Item, bool byUser, bool readButtonsEnabled);

    // A key was released in a numeric edit (TpBKeyUp), whatever it changed: the project is
    // marked changed and the text, when it is a number, stored into the record.
    void EditKeyReleased(ConfigEdit edit, const std::string &text);
    // The averaging count's text changed; the project is not marked changed.
    void AveragingChanged(const std::string &text);
    // The user chose a display mode (an index below 0: nothing chosen).
    void DisplayModeChosen(int index);

    // Copies the record into the page (FillConfigTab); the selections that change set off
    // their rules as a change by the program.
    void Fill();

    int PressureSource() const;

private:
    DeviceRecord &device_;
    ProjectState &project_;
    UserView &view_;
    mutable std::mutex mutex_;
    int pressureSource_ = kKeyboardItem;  // the page's design-time selections
    int channel1Quantity_ = 0, channel2Quantity_ = 0;
};

}  // namespace vilo
