#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "pty_line.h"
#include "vilosim.h"

namespace vilosim {

struct Simulator::Impl {
    std::vector<std::unique_ptr<detail::Line>> lines;
    std::filesystem::path wanted_dir;
    std::filesystem::path dir;
    bool own_dir = false;
    int stop_fd = -1;
    std::mutex lifecycle;
    bool started = false;
    bool stopped = false;

    detail::Line& line(std::size_t i) const { return *lines.at(i); }

    template <class F>
    auto with_device(std::size_t l, std::size_t d, F&& f) const {
        detail::Line& ln = line(l);
        std::lock_guard lock(ln.mutex);
        return f(ln.devices.at(d));
    }

    void shut() {
        if (stop_fd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(stop_fd, &one, sizeof one);
        }
        for (auto& l : lines) l->join();
        for (auto& l : lines) l->close();
        if (stop_fd >= 0) ::close(stop_fd);
        stop_fd = -1;
        if (own_dir) {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    }
};

Simulator::Simulator(Config config) : impl_(std::make_unique<Impl>()) {
    std::set<std::string> names;
    for (const auto& l : config.lines) {
        if (l.name.empty() || l.name.find('/') != std::string::npos || l.name.front() == '.')
            throw std::invalid_argument("vilosim: bad line name '" + l.name + "'");
        if (!names.insert(l.name).second) throw std::invalid_argument("vilosim: line " + l.name + " given twice");
        for (const auto& d : l.devices) {
            if (d.address < 0 || d.address > 255)
                throw std::invalid_argument("vilosim: address outside 0..255 on " + l.name);
            if (d.baud <= 0) throw std::invalid_argument("vilosim: baud rate must be positive on " + l.name);
        }
    }
    const auto epoch = Clock::now();
    for (const auto& l : config.lines) impl_->lines.push_back(std::make_unique<detail::Line>(l, epoch));
    impl_->wanted_dir = std::move(config.port_dir);
}

Simulator::~Simulator() { stop(); }

void Simulator::start() {
    std::lock_guard lock(impl_->lifecycle);
    if (impl_->started) throw std::logic_error("vilosim: a simulator starts once");
    impl_->started = true;
    try {
        if (impl_->wanted_dir.empty()) {
            std::string templ = (std::filesystem::temp_directory_path() / "vilosim-XXXXXX").string();
            if (::mkdtemp(templ.data()) == nullptr)
                throw std::system_error(errno, std::generic_category(), "mkdtemp");
            impl_->dir = templ;
            impl_->own_dir = true;
        } else {
            impl_->dir = impl_->wanted_dir;
            std::filesystem::create_directories(impl_->dir);
        }
        impl_->stop_fd = ::eventfd(0, EFD_CLOEXEC);
        if (impl_->stop_fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
        for (auto& l : impl_->lines) l->open(impl_->dir);
        for (auto& l : impl_->lines) l->start(impl_->stop_fd);
    } catch (...) {
        impl_->shut();
        impl_->stopped = true;
        throw;
    }
}

void Simulator::stop() {
    std::lock_guard lock(impl_->lifecycle);
    if (!impl_->started || impl_->stopped) return;
    impl_->stopped = true;
    impl_->shut();
}

const std::filesystem::path& Simulator::port_dir() const { return impl_->dir; }
std::size_t Simulator::line_count() const { return impl_->lines.size(); }
std::string Simulator::line_name(std::size_t line) const { return impl_->line(line).name(); }
std::filesystem::path Simulator::link_path(std::size_t line) const { return impl_->dir / impl_->line(line).name(); }
std::string Simulator::tty_path(std::size_t line) const { return impl_->line(line).tty(); }
bool Simulator::hung_up(std::size_t line) const { return impl_->line(line).hung_up(); }

std::vector<LogEntry> Simulator::log(std::size_t line) const {
    auto& l = impl_->line(line);
    std::lock_guard lock(l.mutex);
    return l.log;
}

bool Simulator::wait_for_log(std::size_t line, std::size_t count, std::chrono::milliseconds timeout) const {
    auto& l = impl_->line(line);
    std::unique_lock lock(l.mutex);
    return l.logged.wait_for(lock, timeout, [&] { return l.log.size() >= count; });
}

void Simulator::clear_log(std::size_t line) {
    auto& l = impl_->line(line);
    std::lock_guard lock(l.mutex);
    l.log.clear();
}

std::vector<LogEntry> Simulator::take_log(std::size_t line) {
    auto& l = impl_->line(line);
    std::lock_guard lock(l.mutex);
    return std::exchange(l.log, {});
}

void Simulator::add_fault(std::size_t line, std::size_t device, Fault fault) {
    impl_->with_device(line, device, [&](detail::Device& d) { d.add_fault(std::move(fault)); });
}

void Simulator::clear_faults(std::size_t line, std::size_t device) {
    impl_->with_device(line, device, [](detail::Device& d) { d.clear_faults(); });
}

std::array<std::uint8_t, 256> Simulator::cells(std::size_t line, std::size_t device) const {
    return impl_->with_device(line, device, [](detail::Device& d) { return d.cells; });
}

void Simulator::set_cell(std::size_t line, std::size_t device, int cell, std::uint8_t value) {
    if (cell < 0 || cell > 255) throw std::out_of_range("vilosim: cell outside 0..255");
    impl_->with_device(line, device, [&](detail::Device& d) { d.cells[static_cast<std::size_t>(cell)] = value; });
}

int Simulator::address(std::size_t line, std::size_t device) const {
    return impl_->with_device(line, device, [](detail::Device& d) { return d.address(); });
}

void Simulator::set_address(std::size_t line, std::size_t device, int address) {
    if (address < 0 || address > 255) throw std::out_of_range("vilosim: address outside 0..255");
    impl_->with_device(line, device, [&](detail::Device& d) { d.set_address(address); });
}

int Simulator::baud(std::size_t line, std::size_t device) const {
    return impl_->with_device(line, device, [](detail::Device& d) { return d.baud(); });
}

void Simulator::set_baud(std::size_t line, std::size_t device, int baud) {
    if (baud <= 0) throw std::out_of_range("vilosim: baud rate must be positive");
    impl_->with_device(line, device, [&](detail::Device& d) { d.set_baud(baud); });
}

void Simulator::set_reading(std::size_t line, std::size_t device, int parameter,
                            std::optional<std::string> payload) {
    impl_->with_device(line, device, [&](detail::Device& d) { d.set_reading(parameter, std::move(payload)); });
}

}  // namespace vilosim
