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

namespace {

double *FieldOf(TDevice &d, ConfigEdit edit) {
    switch (edit) {
    case ConfigEdit::TpH: return &d.TpH;
    case ConfigEdit::TpB: return &d.TpB;
    case ConfigEdit::TpH1: return &d.TpH1;
    case ConfigEdit::TpB1: return &d.TpB1;
    case ConfigEdit::HighPressure: return &d.Phigh;
    case ConfigEdit::LowPressure: return &d.Plow;
    case ConfigEdit::Gamma: return &d.Gamma;
    case ConfigEdit::Jmax1: return &d.J1max;
    case ConfigEdit::Jmin1: return &d.J1min;
    case ConfigEdit::Jmax2: return &d.J2max;
    case ConfigEdit::Jmin2: return &d.J2min;
    case ConfigEdit::GasPressure: break;
    }
    return nullptr;
}

}  // namespace

void ConfigTab::EditKeyReleased(ConfigEdit edit, const std::string &text) {
    project_.MarkProjectChanged();
    view_.ShowChangedNote(true);
    if (text.empty() || text == "-") {
        if (edit == ConfigEdit::GasPressure) view_.SetGasPressureText("");
        return;
    }
    double value = 0;
    if (!ParseReal(text, value)) {
        view_.ShowError("'" + text + "' is not a valid floating point value");
        return;
    }
    if (edit != ConfigEdit::GasPressure) {
        device_.Update([&](TDevice &d) { *FieldOf(d, edit) = value; });
        return;
    }
    if (value >= 0 && value <= kGasPressureMaxMPa) {
        device_.Update([&](TDevice &d) { d.PH = value * 1000; });
        return;
    }
    view_.SetGasPressureText(FormatReal(device_.Get().PH / 1000));  // the value in force
}

void ConfigTab::AveragingChanged(const std::string &text) {
    device_.Update([&](TDevice &d) { d.CountOfAU = text.substr(0, kCountOfAUWidth); });
}

void ConfigTab::DisplayModeChosen(int index) {
    if (index < 0) return;
    device_.Update([&](TDevice &d) { d.LCDmode = static_cast<std::uint16_t>(index); });
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
