#include "project/ConfigTab.h"

#include "project/NumberText.h"

namespace vilo {

void ConfigTab::PressureSourceSelected(int item) {
    {
        std::lock_guard lock(mutex_);
        pressureSource_ = item;
    }
    project_.MarkProjectChanged();
    const bool keyboard = item == kKeyboardItem;
    view_.EnablePressureEdits(keyboard);
    device_.Update([keyboard](TDevice &d) {
        if (keyboard && d.PressureSourceFlag < kPressureKeyed) d.PressureSourceFlag = kPressureKeyed;
        if (!keyboard && d.PressureSourceFlag >= kPressureKeyed) d.PressureSourceFlag = 0;
    });
}

void ConfigTab::QuantitySelected(int channel1Item, int channel2Item, bool byUser, bool readButtonsEnabled) {
    {
        std::lock_guard lock(mutex_);
        channel1Quantity_ = channel1Item;
        channel2Quantity_ = channel2Item;
    }
    project_.MarkProjectChanged();
    view_.ShowChangedNote(true);
    if (byUser && readButtonsEnabled)
        device_.Update([&](TDevice &d) {
            d.Jcal = static_cast<std::uint8_t>(channel1Item);
            d.Jcal1 = static_cast<std::uint8_t>(channel2Item);
        });
}

void ConfigTab::Fill() {
    const TDevice d = device_.Get();
    ConfigPageValues values;
    values.J1max = FormatReal(d.J1max);
    values.J1min = FormatReal(d.J1min);
    values.J2max = FormatReal(d.J2max);
    values.J2min = FormatReal(d.J2min);
    values.TpB = FormatReal(d.TpB);
    values.TpB1 = FormatReal(d.TpB1);
    values.TpH = FormatReal(d.TpH);
    values.TpH1 = FormatReal(d.TpH1);
    values.DisplayMode = d.LCDmode <= 2 ? d.LCDmode : 0;
    values.Channel1Quantity = d.Jcal;
    values.Channel2Quantity = d.Jcal1;
    values.PressureSource = d.PressureSourceFlag >= kPressureKeyed ? kKeyboardItem : kMeasuredItem;
    values.GasPressure = FormatReal(d.PH / 1000);
    values.HighPressure = FormatReal(d.Phigh);
    values.LowPressure = FormatReal(d.Plow);
    values.Gamma = FormatReal(d.Gamma);
    view_.FillConfigPage(values);

    int oldSource, oldChannel1, oldChannel2;
    {
        std::lock_guard lock(mutex_);
        oldSource = pressureSource_;
        oldChannel1 = channel1Quantity_;
        oldChannel2 = channel2Quantity_;
    }
    if (values.Channel1Quantity != oldChannel1 || values.Channel2Quantity != oldChannel2)
        QuantitySelected(values.Channel1Quantity, values.Channel2Quantity, false, false);
    if (values.PressureSource != oldSource) PressureSourceSelected(values.PressureSource);
}

int ConfigTab::PressureSource() const {
    std::lock_guard lock(mutex_);
    return pressureSource_;
}

}  // namespace vilo
