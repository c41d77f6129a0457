#include "comm/Devices.h"

#include <algorithm>

namespace vilo {

std::uint8_t SpeedCode(int baudListIndex, std::uint8_t pressureSourceFlag) {
    return static_cast<std::uint8_t>((baudListIndex & 0x0F) | pressureSourceFlag);
}

int BaudListIndex(int baudRate) {
    const auto found = std::find(kBaudList.begin(), kBaudList.end(), baudRate);
    return found == kBaudList.end() ? -1 : static_cast<int>(found - kBaudList.begin());
}

void ResetDevice(DeviceRecord &device, UserView &view) {
    device.Update([](TDevice &d) {
        d.Present = false;
        d.ParentPort.clear();
        d.ActiveDevice = false;
        d.EnableDevice = false;
        d.ZNum = "0";
        d.CountOfAU = "0";
        d.Inf.clear();
        d.LastPlotTime.fill(Clock::now());
        d.PlotX.fill(0);
    });
    view.ShowDeviceLines({});
    view.CoverDevicePanels(true);
}

std::vector<std::string> FoundDeviceLines(const TDevice &d) {
    return {
        "Найден прибор ВИЛО",
        "Порт: " + d.ParentPort,
        "Адрес: " + d.Address,
        "Скорость: " + std::to_string(d.Baudrate),
        "Заводской номер: " + d.ZNum,
        "Число аппаратных усреднений: " + d.CountOfAU,
        "Номер сенсора: " + std::to_string(d.Nsensor),
        "Версия: " + d.Version,
    };
}

void ShowFoundDevice(const TDevice &device, UserView &view) {
    if (device.Present) {
        view.ShowDeviceLines(FoundDeviceLines(device));
        view.ShowLinkFields(device.Address, device.Baudrate, device.CountOfAU);
        view.CoverDevicePanels(false);
        view.EnableDevicePages(true);
    } else {
        view.ShowDeviceLines({});
        view.CoverDevicePanels(true);
        view.SelectPage(Page::Link);
        view.EnableDevicePages(false);
    }
}

}  // namespace vilo
