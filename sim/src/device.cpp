#include "device.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vilosim::detail {
namespace {

std::optional<long long> first_arg(const proto::Request& r) {
    if (r.args.empty()) return std::nullopt;
    return proto::parse_decimal(r.args[0]);
}

Clock::duration byte_time(int baud) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / baud));
}

}  // namespace

int speed_index(int baud) {
    const auto it = std::find(kSpeedList.begin(), kSpeedList.end(), baud);
    return it == kSpeedList.end() ? 15 : static_cast<int>(it - kSpeedList.begin());
}

Device::Device(DeviceConfig config, Clock::time_point epoch)
    : cells{}, config_(std::move(config)), epoch_(epoch), model_(config_.seed),
      address_(config_.address & 0xFF), baud_(config_.baud) {
    const auto& s = config_.settings;
    // Written in this order; where a map lets values overlap the later one wins.
    cells[cell_of("add")] = static_cast<std::uint8_t>(address_);
    cells[cell_of("spd")] = static_cast<std::uint8_t>(speed_index(baud_) | (s.pressure_keyed ? 0x10 : 0));
    cells[cell_of("NSum")] = config_.averaging;
    cells[cell_of("NSensor")] = config_.sensor;
    cells[cell_of("LCDmode")] = s.lcd_mode;
    cells[cell_of("ZNum")] = static_cast<std::uint8_t>(config_.serial & 0xFF);
    cells[(cell_of("ZNum") + 1) & 0xFF] = static_cast<std::uint8_t>(config_.serial >> 8);
    put_float("J1min", s.j1min);
    put_float("J1max", s.j1max);
    put_float("J2min", s.j2min);
    put_float("J2max", s.j2max);
    put_float("TpH1", s.tph1);
    put_float("TpH2", s.tph2);
    put_float("TpB1", s.tpb1);
    put_float("TpB2", s.tpb2);
    put_float("Pgas", s.pgas);
    put_float("PgasHigh", s.pgas_high);
    put_float("PgasLow", s.pgas_low);
    put_float("Gamma", s.gamma);
    cells[cell_of("Jcal1")] = s.jcal1;
    cells[cell_of("Jcal2")] = s.jcal2;
}

std::size_t Device::cell_of(std::string_view key) const {
    return static_cast<std::size_t>(config_.map.cell(key)) & 0xFF;
}

void Device::put_float(std::string_view key, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::size_t first = cell_of(key);
    for (std::size_t i = 0; i < 4; ++i) cells[(first + i) & 0xFF] = static_cast<std::uint8_t>(bits >> (8 * i));
}

void Device::add_fault(Fault fault) {
    if (fault.times && *fault.times == 0) return;
    faults_.push_back(std::move(fault));
}

void Device::set_address(int address) {
    address_ = address & 0xFF;
    cells[cell_of("add")] = static_cast<std::uint8_t>(address_);
}

void Device::set_baud(int baud) {
    baud_ = baud;
    auto& spd = cells[cell_of("spd")];
    spd = static_cast<std::uint8_t>((spd & 0xF0) | speed_index(baud));
}

void Device::set_reading(int parameter, std::optional<std::string> payload) {
    if (payload)
        fixed_readings_[parameter] = std::move(*payload);
    else
        fixed_readings_.erase(parameter);
}

bool Device::matches(const Fault& f, const proto::Request& r) const {
    if (f.command && *f.command != r.command) return false;
    if (f.cell) {
        std::optional<long long> about;
        if (r.command == 2) about = first_arg(r);
        if (r.command == 3 || r.command == 4 || r.command == 8) about = pointer_;
        if (!about || *about != *f.cell) return false;
    }
    if (f.parameter) {
        const auto p = first_arg(r);
        if (r.command != 1 || !p || *p != *f.parameter) return false;
    }
    return true;
}

std::optional<Answer> Device::respond(const proto::Request& r, const Received& rx) {
    bool lost = false;
    std::optional<int> error, from, length, hang;
    std::optional<Clock::duration> pause;
    int crc_offset = 0;
    std::string garbage;
    Clock::duration delay{};
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (!matches(*it, r)) {
            ++it;
            continue;
        }
        switch (it->kind) {
            case FaultKind::NoReply: lost = true; break;
            case FaultKind::BadChecksum: crc_offset = 1; break;
            case FaultKind::WrongAddress: from = it->address >= 0 ? it->address : (address_ + 1) & 0xFF; break;
            case FaultKind::DeviceError: error = it->error; break;
            case FaultKind::Garbage: garbage += it->garbage; break;
            case FaultKind::Trickle: pause = it->pause; break;
            case FaultKind::Oversize: length = static_cast<int>(it->length); break;
            case FaultKind::Delay: delay += it->delay; break;
            case FaultKind::HangUp: hang = static_cast<int>(it->bytes); break;
        }
        if (it->times && --*it->times == 0)
            it = faults_.erase(it);
        else
            ++it;
    }
    if (lost) return std::nullopt;

    Answer a;
    std::string payload = error ? "$" + proto::decimal(*error) : execute(r, rx, a);
    const int addr = from.value_or(address_);
    std::string parcel = proto::format_answer(addr, payload, crc_offset);
    if (length) {
        // Pad the payload until the parcel has the asked length (the checksum's
        // digit count can move by one, so settle it in a few rounds).
        for (int round = 0; round < 4 && static_cast<int>(parcel.size()) != *length; ++round) {
            const long long want = static_cast<long long>(payload.size()) + *length - static_cast<long long>(parcel.size());
            if (want < 0) break;
            payload.resize(static_cast<std::size_t>(want), 'x');
            parcel = proto::format_answer(addr, payload, crc_offset);
        }
    }
    a.bytes = garbage + parcel;
    if (hang) a.hang_at = std::min<std::size_t>(static_cast<std::size_t>(*hang), a.bytes.size());

    a.ready = rx.complete;
    a.lead = config_.latency + delay;
    if (config_.wire_time && baud_ > 0) {
        const auto bt = byte_time(baud_);
        a.ready = std::max(rx.complete, rx.first_byte + static_cast<long>(rx.bytes.size()) * bt);
        a.first_offset = bt;
        a.interval = bt;
    }
    if (pause) {
        a.first_offset = Clock::duration::zero();
        a.interval = std::max<Clock::duration>(a.interval, *pause);
    }
    return a;
}

std::string Device::execute(const proto::Request& r, const Received& rx, Answer& a) {
    const auto arg = first_arg(r);
    switch (r.command) {
        case 0: return config_.identification;
        case 254: return arg && *arg == 0 ? config_.version : "$3";
        case 2:
            if (!arg || *arg > 255) return "$3";
            pointer_ = static_cast<int>(*arg);
            return "$0";
        case 8:
        case 3: {
            if (!arg || (*arg != 1 && *arg != 2 && *arg != 4)) return "$3";
            std::uint8_t bytes[4];
            std::uint32_t value = 0;
            for (int i = 0; i < *arg; ++i) {
                bytes[i] = cells[(pointer_ + i) & 0xFF];
                value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
            }
            return r.command == 8 ? proto::hex_lower(bytes, static_cast<std::size_t>(*arg)) : proto::decimal(value);
        }
        case 4:
            if (!arg || *arg > 255) return "$3";
            cells[pointer_] = static_cast<std::uint8_t>(*arg);
            if (static_cast<std::size_t>(pointer_) == cell_of("add")) a.new_address = static_cast<int>(*arg);
            if (static_cast<std::size_t>(pointer_) == cell_of("spd") && (*arg & 0x0F) < static_cast<long long>(kSpeedList.size()))
                a.new_baud = kSpeedList[static_cast<std::size_t>(*arg & 0x0F)];
            return "$0";
        case 1:
            if (!arg || *arg > 65535) return "$3";
            return reading(static_cast<int>(*arg), rx.complete);
        default: return "$4";
    }
}

std::string Device::reading(int parameter, Clock::time_point at) const {
    if (const auto it = fixed_readings_.find(parameter); it != fixed_readings_.end()) return it->second;
    const Reading v = model_.at(std::chrono::duration<double>(at - epoch_).count());
    const auto& m = config_.map;
    if (parameter == m.parameter("W")) return proto::decimal(v.temperature_code);
    if (parameter == m.parameter("U")) return proto::decimal(v.humidity_code);
    if (parameter == m.parameter("Tmpr")) return proto::fixed(v.temperature, 2);
    if (parameter == m.parameter("Rh")) return proto::fixed(v.humidity, 2);
    if (parameter == 4) return proto::decimal(v.pressure_code);
    if (parameter == 5) return proto::fixed(v.pressure, 2);
    return "$3";
}

void Device::settle(const Answer& a) {
    if (a.new_address) address_ = *a.new_address;
    if (a.new_baud) baud_ = *a.new_baud;
}

}  // namespace vilosim::detail
