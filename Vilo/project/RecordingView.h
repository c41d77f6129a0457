// A view that records everything an operation shows, for the tests and for checking an
// operation's whole visible behaviour without a display. Thread-safe.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "project/UserView.h"

namespace vilo {

class RecordingView : public UserView {
public:
    // Answers for the questions to come, in order; without one, Ask answers DefaultAnswer.
    void QueueAnswers(std::vector<bool> answers);
    bool DefaultAnswer = true;

    struct ChartPoint {
        int quantity;
        double x, y;
        bool operator==(const ChartPoint &) const = default;
    };

    // Every call in order, as one line each ("Status: ...", "Progress: 30", ...).
    std::vector<std::string> Events() const;
    // The events that start with a prefix, without it ("Progress: " gives "30", ...).
    std::vector<std::string> EventsOf(const std::string &prefix) const;
    void ClearEvents();

    // What the user sees now.
    std::string Status() const;
    bool ProjectChanged() const;
    int Progress() const;
    std::string Title() const;
    std::vector<std::string> ErrorLog() const;
    std::vector<std::string> DeviceLines() const;
    bool PanelsCovered() const;
    bool DevicePagesEnabled() const;
    Page ActivePage() const;
    ConfigPageValues ConfigPage() const;
    bool KeyboardPressureEdits() const;
    std::string GasPressureText() const;
    bool ChangedNoteShown() const;
    ProjectWindowValues ProjectValues() const;
    std::string Cell(Grid grid, int column) const;
    std::vector<ChartPoint> ChartPoints() const;
    bool MeasurementRunning() const;

    // UserView
    void ShowStatus(const std::string &text) override;
    std::string StatusText() override { return Status(); }
    void ShowProjectState(bool changed) override;
    void ShowProgress(int percent) override;
    void SetTitle(const std::string &title) override;
    void ClearErrorLog() override;
    void AddErrorLine(const std::string &line) override;
    bool Ask(const std::string &question) override;
    void Notify(const std::string &text) override;
    void ShowError(const std::string &text) override;
    void ShowDeviceLines(const std::vector<std::string> &lines) override;
    void CoverDevicePanels(bool covered) override;
    void ShowLinkFields(const std::string &address, int baudRate, const std::string &averaging) override;
    void ShowSearchRunning(bool running) override;
    void CorrectSearchRange(int maxPortIndex, int maxAddress) override;
    void SelectSearchBaud(int listIndex) override;
    void EnableAddressButton(bool enabled) override;
    void EnableReadButtons(bool enabled) override;
    void EnableDevicePages(bool enabled) override;
    void SelectPage(Page page) override;
    void FillConfigPage(const ConfigPageValues &values) override;
    void EnablePressureEdits(bool keyboard) override;
    void SetGasPressureText(const std::string &text) override;
    void ShowChangedNote(bool shown) override;
    void EnableWriteButton(bool enabled) override;
    void ApplyProjectValues(const ProjectWindowValues &values) override;
    void SetCell(Grid grid, int column, const std::string &text) override;
    void ClearTable() override;
    void AddChartPoint(int quantity, double x, double y) override;
    void ClearChartLines() override;
    void SetBottomAxisMaximumAuto() override;
    void ShowMeasurementRunning(bool running) override;

private:
    void Record(std::string event);

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::deque<bool> answers_;
    std::string status_, title_, gasPressure_;
    bool changed_ = false, covered_ = true, pagesEnabled_ = false, keyboard_ = true, note_ = false;
    bool running_ = false;
    int progress_ = 0;
    Page page_ = Page::Configuration;
    std::vector<std::string> errorLog_, deviceLines_;
    ConfigPageValues config_;
    ProjectWindowValues projectValues_;
    std::map<std::pair<Grid, int>, std::string> cells_;
    std::vector<ChartPoint> points_;
};

}  // namespace vilo
