// The view of vilo-cli: what the window would show is printed. The error log, errors and
// (on a terminal only) progress and status go to standard error; notices and results to
// standard output. Questions are answered by --yes or at the terminal.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "project/UserView.h"

namespace vilo::cli {

class ConsoleView : public UserView {
public:
    explicit ConsoleView(bool assumeYes);

    int ErrorLines() const;
    std::vector<std::string> ErrorLog() const;
    std::vector<std::string> DeviceLines() const;
    std::vector<std::string> Notices() const;
    std::string Status() const;
    bool Refused() const;  // a question was left unanswered

    void ShowStatus(const std::string &text) override;
    std::string StatusText() override;
    void ShowProjectState(bool) override {}
    void ShowProgress(int percent) override;
    void SetTitle(const std::string &) override {}
    void ClearErrorLog() override;
    void AddErrorLine(const std::string &line) override;
    bool Ask(const std::string &question) override;
    void Notify(const std::string &text) override;
    void ShowError(const std::string &text) override;
    void ShowDeviceLines(const std::vector<std::string> &lines) override;
    void CoverDevicePanels(bool) override {}
    void ShowLinkFields(const std::string &, int, const std::string &) override {}
    void ShowSearchRunning(bool) override {}
    void CorrectSearchRange(int, int) override {}
    void SelectSearchBaud(int) override {}
    void EnableAddressButton(bool) override {}
    void EnableReadButtons(bool) override {}
    void EnableDevicePages(bool) override {}
    void SelectPage(Page) override {}
    void FillConfigPage(const ConfigPageValues &) override {}
    void EnablePressureEdits(bool) override {}
    void SetGasPressureText(const std::string &) override {}
    void ShowChangedNote(bool) override {}
    void EnableWriteButton(bool) override {}
    void ApplyProjectValues(const ProjectWindowValues &values) override;
    void SetCell(Grid, int, const std::string &) override {}
    void ClearTable() override {}
    void AddChartPoint(int, double, double) override {}
    void ClearChartLines() override {}
    void SetBottomAxisMaximumAuto() override {}
    void ShowMeasurementRunning(bool) override {}

private:
    void EndProgressLine();

    const bool assumeYes_;
    const bool terminal_;
    mutable std::mutex mutex_;
    bool progressShown_ = false;
    bool refused_ = false;
    std::string status_;
    std::vector<std::string> errorLog_, deviceLines_, notices_;
};

}  // namespace vilo::cli
