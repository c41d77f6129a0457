#include "cli/ConsoleView.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace vilo::cli {

ConsoleView::ConsoleView(bool assumeYes) : assumeYes_(assumeYes), terminal_(isatty(STDERR_FILENO) == 1) {}

int ConsoleView::ErrorLines() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(errorLog_.size());
}

std::vector<std::string> ConsoleView::ErrorLog() const {
    std::lock_guard lock(mutex_);
    return errorLog_;
}

std::vector<std::string> ConsoleView::DeviceLines() const {
    std::lock_guard lock(mutex_);
    return deviceLines_;
}

std::vector<std::string> ConsoleView::Notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
}

std::string ConsoleView::Status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

bool ConsoleView::Refused() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

void ConsoleView::EndProgressLine() {
    if (!progressShown_) return;
    std::cerr << "\n";
    progressShown_ = false;
}

void ConsoleView::ShowStatus(const std::string &text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    if (terminal_ && !text.empty()) {
        EndProgressLine();
        std::cerr << text << "\n";
    }
}

std::string ConsoleView::StatusText() { return Status(); }

void ConsoleView::ShowProgress(int percent) {
    std::lock_guard lock(mutex_);
    if (!terminal_) return;
    std::fprintf(stderr, "\r%3d %%", percent);
    std::fflush(stderr);
    progressShown_ = percent != 0;
    if (percent == 0) std::cerr << "\r      \r";
}

void ConsoleView::ClearErrorLog() {
    std::lock_guard lock(mutex_);
    errorLog_.clear();
}

void ConsoleView::AddErrorLine(const std::string &line) {
    std::lock_guard lock(mutex_);
    EndProgressLine();
    errorLog_.push_back(line);
    std::cerr << line << "\n";
}

bool ConsoleView::Ask(const std::string &question) {
    std::lock_guard lock(mutex_);
    EndProgressLine();
    if (assumeYes_) return true;
    if (isatty(STDIN_FILENO) != 1) {
        std::cerr << question << "\n(no terminal to answer on: give --yes)\n";
        refused_ = true;
        return false;
    }
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    const bool yes = !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer.rfind("д", 0) == 0 ||
                                         answer.rfind("Д", 0) == 0);
    if (!yes) refused_ = true;
    return yes;
}

void ConsoleView::Notify(const std::string &text) {
    std::lock_guard lock(mutex_);
    EndProgressLine();
    notices_.push_back(text);
    std::cout << text << "\n" << std::flush;
}

void ConsoleView::ShowError(const std::string &text) {
    std::lock_guard lock(mutex_);
    EndProgressLine();
    errorLog_.push_back(text);
    std::cerr << text << "\n";
}

void ConsoleView::ShowDeviceLines(const std::vector<std::string> &lines) {
    std::lock_guard lock(mutex_);
    deviceLines_ = lines;
}

void ConsoleView::ApplyProjectValues(const ProjectWindowValues &values) {
    std::lock_guard lock(mutex_);
    status_ = values.StatusText;
}

}  // namespace vilo::cli
