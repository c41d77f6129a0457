#include "project/RecordingView.h"

#include "project/NumberText.h"

namespace vilo {
namespace {

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string Joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const auto &line : lines) text += (text.empty() ? "" : " | ") + line;
    return text;
}

}  // namespace

void RecordingView::QueueAnswers(std::vector<bool> answers) {
    std::lock_guard lock(mutex_);
    answers_.insert(answers_.end(), answers.begin(), answers.end());
}

std::vector<std::string> RecordingView::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingView::EventsOf(const std::string &prefix) const {
    std::vector<std::string> matching;
    for (const auto &event : Events())
        if (event.rfind(prefix, 0) == 0) matching.push_back(event.substr(prefix.size()));
    return matching;
}

void RecordingView::ClearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

void RecordingView::Record(std::string event) { events_.push_back(std::move(event)); }

#define VILO_GETTER(type, name, member)      \
    type RecordingView::name() const {       \
        std::lock_guard lock(mutex_);        \
        return member;                       \
    }
VILO_GETTER(std::string, Status, status_)
VILO_GETTER(bool, ProjectChanged, changed_)
VILO_GETTER(int, Progress, progress_)
VILO_GETTER(std::string, Title, title_)
VILO_GETTER(std::vector<std::string>, ErrorLog, errorLog_)
VILO_GETTER(std::vector<std::string>, DeviceLines, deviceLines_)
VILO_GETTER(bool, PanelsCovered, covered_)
VILO_GETTER(bool, DevicePagesEnabled, pagesEnabled_)
VILO_GETTER(Page, ActivePage, page_)
VILO_GETTER(ConfigPageValues, ConfigPage, config_)
VILO_GETTER(bool, KeyboardPressureEdits, keyboard_)
VILO_GETTER(std::string, GasPressureText, gasPressure_)
VILO_GETTER(bool, ChangedNoteShown, note_)
VILO_GETTER(ProjectWindowValues, ProjectValues, projectValues_)
VILO_GETTER(std::vector<RecordingView::ChartPoint>, ChartPoints, points_)
VILO_GETTER(bool, MeasurementRunning, running_)
#undef VILO_GETTER

std::string RecordingView::Cell(Grid grid, int column) const {
    std::lock_guard lock(mutex_);
    const auto found = cells_.find({grid, column});
    return found == cells_.end() ? "" : found->second;
}

void RecordingView::ShowStatus(const std::string &text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    Record("Status: " + text);
}

void RecordingView::ShowProjectState(bool changed) {
    std::lock_guard lock(mutex_);
    changed_ = changed;
    Record(changed ? "Project: Проект изменён" : "Project: Нет изменений");
}

void RecordingView::ShowProgress(int percent) {
    std::lock_guard lock(mutex_);
    progress_ = percent;
    Record("Progress: " + std::to_string(percent));
}

void RecordingView::SetTitle(const std::string &title) {
    std::lock_guard lock(mutex_);
    title_ = title;
    Record("Title: " + title);
}

void RecordingView::ClearErrorLog() {
    std::lock_guard lock(mutex_);
    errorLog_.clear();
    Record("ErrorLog cleared");
}

void RecordingView::AddErrorLine(const std::string &line) {
    std::lock_guard lock(mutex_);
    errorLog_.push_back(line);
    Record("ErrorLog: " + line);
}

bool RecordingView::Ask(const std::string &question) {
    std::lock_guard lock(mutex_);
    bool answer = DefaultAnswer;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    Record("Ask: " + question + (answer ? " -> Yes" : " -> No"));
    return answer;
}

void RecordingView::Notify(const std::string &text) {
    std::lock_guard lock(mutex_);
    Record("Notify: " + text);
}

void RecordingView::ShowError(const std::string &text) {
    std::lock_guard lock(mutex_);
    Record("Error: " + text);
}

void RecordingView::ShowDeviceLines(const std::vector<std::string> &lines) {
    std::lock_guard lock(mutex_);
    deviceLines_ = lines;
    Record("DeviceLines: " + Joined(lines));
}

void RecordingView::CoverDevicePanels(bool covered) {
    std::lock_guard lock(mutex_);
    covered_ = covered;
    Record("Panels covered: " + Flag(covered));
}

void RecordingView::ShowLinkFields(const std::string &address, int baudRate, const std::string &averaging) {
    std::lock_guard lock(mutex_);
    Record("LinkFields: " + address + " " + std::to_string(baudRate) + " " + averaging);
}

void RecordingView::ShowSearchRunning(bool running) {
    std::lock_guard lock(mutex_);
    Record("Search running: " + Flag(running));
}

void RecordingView::CorrectSearchRange(int maxPortIndex, int maxAddress) {
    std::lock_guard lock(mutex_);
    Record("SearchRange: " + std::to_string(maxPortIndex) + " " + std::to_string(maxAddress));
}

void RecordingView::SelectSearchBaud(int listIndex) {
    std::lock_guard lock(mutex_);
    Record("SearchBaud: " + std::to_string(listIndex));
}

void RecordingView::EnableAddressButton(bool enabled) {
    std::lock_guard lock(mutex_);
    Record("AddressButton: " + Flag(enabled));
}

void RecordingView::EnableReadButtons(bool enabled) {
    std::lock_guard lock(mutex_);
    Record("ReadButtons: " + Flag(enabled));
}

void RecordingView::EnableDevicePages(bool enabled) {
    std::lock_guard lock(mutex_);
    pagesEnabled_ = enabled;
    Record("DevicePages: " + Flag(enabled));
}

void RecordingView::SelectPage(Page page) {
    std::lock_guard lock(mutex_);
    page_ = page;
    Record("Page: " + std::to_string(static_cast<int>(page)));
}

void RecordingView::FillConfigPage(const ConfigPageValues &values) {
    std::lock_guard lock(mutex_);
    config_ = values;
    Record("ConfigPage: TpH=" + values.TpH + " TpH1=" + values.TpH1 + " TpB=" + values.TpB + " TpB1=" + values.TpB1 +
           " P=" + values.GasPressure + " Pmax=" + values.HighPressure + " Pmin=" + values.LowPressure +
           " Gamma=" + values.Gamma + " LCD=" + std::to_string(values.DisplayMode) +
           " Q1=" + std::to_string(values.Channel1Quantity) + " Q2=" + std::to_string(values.Channel2Quantity) +
           " Source=" + std::to_string(values.PressureSource));
}

void RecordingView::EnablePressureEdits(bool keyboard) {
    std::lock_guard lock(mutex_);
    keyboard_ = keyboard;
    Record(keyboard ? "PressureEdits: keyboard" : "PressureEdits: measured");
}

void RecordingView::SetGasPressureText(const std::string &text) {
    std::lock_guard lock(mutex_);
    gasPressure_ = text;
    Record("GasPressure: " + text);
}

void RecordingView::ShowChangedNote(bool shown) {
    std::lock_guard lock(mutex_);
    note_ = shown;
    Record("ChangedNote: " + Flag(shown));
}

void RecordingView::EnableWriteButton(bool enabled) {
    std::lock_guard lock(mutex_);
    Record("WriteButton: " + Flag(enabled));
}

void RecordingView::ApplyProjectValues(const ProjectWindowValues &values) {
    std::lock_guard lock(mutex_);
    projectValues_ = values;
    status_ = values.StatusText;
    Record("ProjectValues: source=" + std::to_string(values.PressureSource) + " msg=" + values.StatusText +
           " jindex=" + std::to_string(values.OutputSignal) + " gamma=" + values.GammaText +
           " page=" + std::to_string(values.ActivePage));
}

void RecordingView::SetCell(Grid grid, int column, const std::string &text) {
    std::lock_guard lock(mutex_);
    cells_[{grid, column}] = text;
    Record(std::string(grid == Grid::Table ? "Table[" : "table1[") + std::to_string(column) + "]: " + text);
}

void RecordingView::ClearTable() {
    std::lock_guard lock(mutex_);
    std::erase_if(cells_, [](const auto &cell) { return cell.first.first == Grid::Table && cell.first.second > 0; });
    Record("Table cleared");
}

void RecordingView::AddChartPoint(int quantity, double x, double y) {
    std::lock_guard lock(mutex_);
    points_.push_back({quantity, x, y});
    Record("Point: " + std::to_string(quantity) + " " + FormatReal(x) + " " + FormatReal(y));
}

void RecordingView::ClearChartLines() {
    std::lock_guard lock(mutex_);
    points_.clear();
    Record("Chart cleared");
}

void RecordingView::SetBottomAxisMaximumAuto() {
    std::lock_guard lock(mutex_);
    Record("BottomAxis: maximum auto");
}

void RecordingView::ShowMeasurementRunning(bool running) {
    std::lock_guard lock(mutex_);
    running_ = running;
    Record("Measurement running: " + Flag(running));
}

}  // namespace vilo
