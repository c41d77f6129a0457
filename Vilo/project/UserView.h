// The seam between the program's operations and whatever shows them to the user: the Qt
// window, the console front end, or a recorder in the tests. Operations never touch a widget;
// they say here what the user must see or answer. Texts are UTF-8.
//
// Calls may come from background threads. The window carries each one out on its GUI thread:
// queued, except for Ask/Notify/ShowError and AddChartPoint, which wait until done.
#pragma once

#include <string>
#include <vector>

namespace vilo {

// The pages of the main window, in order.
enum class Page { Link = 0, Configuration = 1, Measurement = 2 };

// What the configuration page shows of the device record, as the edits' texts and the
// selections of the lists.
struct ConfigPageValues {
    std::string TpH, TpH1, TpB, TpB1;          // channel limits
    std::string J1min, J1max, J2min, J2max;    // hidden range edits
    std::string GasPressure;                   // PH / 1000
    std::string HighPressure, LowPressure;     // EditHighPressure, EditLowPressure
    std::string Gamma;                         // hidden edit
    int DisplayMode = 0;                       // DispModeCb item
    int Channel1Quantity = 0;                  // RadioGroup4 item
    int Channel2Quantity = 0;                  // RadioGroup41 item
    int PressureSource = 0;                    // RadioGroup2 item: 0 keyboard, 1 measured
};

// Values of the window that a project keeps besides the device record.
struct ProjectWindowValues {
    int PressureSource = 0;       // RadioGroup2 item ("GetPressureIndex")
    std::string StatusText;       // Status_Msg ("Msg")
    int OutputSignal = 0;         // RadioGroup3 item ("JIndex")
    std::string GammaText = "1";  // the edit Gamma, as typed ("Gamma")
    int ActivePage = 0;           // RzPageControl1 ("At")
};

// The grids of the measurement page.
enum class Grid { Table, Table1 };

class UserView {
public:
    virtual ~UserView() = default;

    // ---- Status bar and title
    virtual void ShowStatus(const std::string &text) = 0;  // Status_Msg
    virtual std::string StatusText() = 0;                  // what Status_Msg shows now
    // Project_msg shows "Проект изменён" / "Нет изменений"; Save commands follow.
    virtual void ShowProjectState(bool changed) = 0;
    virtual void ShowProgress(int percent) = 0;  // MainProgressBar, 0 .. 100
    virtual void SetTitle(const std::string &title) = 0;

    // ---- Error log ("Окно ошибок обмена:")
    virtual void ClearErrorLog() = 0;
    virtual void AddErrorLine(const std::string &line) = 0;

    // ---- Messages: a warning with Yes and No (true for Yes), a notice with OK, an error box.
    virtual bool Ask(const std::string &question) = 0;
    virtual void Notify(const std::string &text) = 0;
    virtual void ShowError(const std::string &text) = 0;

    // ---- The "Связь" page
    // FindedDevmem's lines; empty clears it.
    virtual void ShowDeviceLines(const std::vector<std::string> &lines) = 0;
    // The panels over "Найденный прибор" and "Изменение параметров прибора".
    virtual void CoverDevicePanels(bool covered) = 0;
    // DevAddr, DevSpeed and CountOfAU_text as the found device has them.
    virtual void ShowLinkFields(const std::string &address, int baudRate, const std::string &averaging) = 0;
    // The search button's caption and the range controls and "Файл" menu while a search runs.
    virtual void ShowSearchRunning(bool running) = 0;
    // The search corrected its range: COMmax's position, MaxAddr.
    virtual void CorrectSearchRange(int maxPortIndex, int maxAddress) = 0;
    // cmbBaudIptv takes a list position.
    virtual void SelectSearchBaud(int listIndex) = 0;
    virtual void EnableAddressButton(bool enabled) = 0;  // AddZNumToP
    virtual void EnableReadButtons(bool enabled) = 0;    // RzBitBtn5 and RzBitBtn2

    // ---- Pages
    virtual void EnableDevicePages(bool enabled) = 0;  // "Конфигурирование", "Измерение, график"
    virtual void SelectPage(Page page) = 0;

    // ---- The configuration page
    virtual void FillConfigPage(const ConfigPageValues &values) = 0;
    // "Клавиатура" enables GasPressure only; "Измерение" the two limits only.
    virtual void EnablePressureEdits(bool keyboard) = 0;
    virtual void SetGasPressureText(const std::string &text) = 0;
    virtual void ShowChangedNote(bool shown) = 0;  // lbl_Changed "Данные полей изменены..."
    virtual void EnableWriteButton(bool enabled) = 0;  // WriteKoeffBtn4

    // ---- Window values kept in projects
    virtual void ApplyProjectValues(const ProjectWindowValues &values) = 0;

    // ---- The measurement page
    virtual void SetCell(Grid grid, int column, const std::string &text) = 0;  // row 1
    virtual void ClearTable() = 0;  // every cell of Table outside the fixed row and column
    // Adds a point to the line of quantity 1 .. 7 and returns when it is there.
    virtual void AddChartPoint(int quantity, double x, double y) = 0;
    virtual void ClearChartLines() = 0;  // every line emptied, chart repainted
    virtual void SetBottomAxisMaximumAuto() = 0;
    // StartStop down/up with its caption; CheckBox2, StepSelect, StepDrow disabled/enabled.
    virtual void ShowMeasurementRunning(bool running) = 0;
};

}  // namespace vilo
