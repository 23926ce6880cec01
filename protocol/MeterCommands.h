#pragma once
// The 4-byte commands the program writes to the meter's command characteristic, and a small
// sender that writes them through whatever carries them (the link's SendToMeter, or a test).
#include <array>
#include <cstdint>
#include <functional>

namespace meter_cmd {

using Command = std::array<uint8_t, 4>;

constexpr Command kFunction { 0xB0, 0xA0, 0x00, 0xB1 }; // function key; also ends a logger dialogue
constexpr Command kHold { 0xB0, 0x90, 0x00, 0xB1 };
constexpr Command kMax { 0xB0, 0x91, 0x00, 0xB1 };
constexpr Command kRel { 0xB0, 0x92, 0x00, 0xB1 };
constexpr Command kPeak { 0xB0, 0x93, 0x00, 0xB1 };
constexpr Command kRange { 0xB0, 0x94, 0x00, 0xB1 };
constexpr Command kDownloadLogger { 0xB0, 0x95, 0x00, 0xB1 };
constexpr Command kDownloadOscLogger { 0xB0, 0x97, 0x00, 0xB1 };
constexpr Command kGetOscCurrent { 0xB0, 0x98, 0x00, 0xB1 };
constexpr Command kAck { 0xF3, 0x00, 0x01, 0xF4 }; // after a logger header and each block

// Request for the stored logger record with the given address.
constexpr Command RequestLoggerRecord(uint8_t address)
{
    return { 0xB0, 0x96, address, 0xB1 };
}

// Codes of the meter key message. Code 10 (F1) opens the function menu on the host and sends
// nothing; every code the table does not name sends the function command.
enum KeyCode { KeyFunction = 1, KeyHold = 2, KeyMax = 3, KeyRel = 4, KeyPeak = 5, KeyRange = 6, KeyMenu = 10 };
Command KeyCodeCommand(int code);

} // namespace meter_cmd

// Writes commands through an injected send function (bytes, count) -> written.
class CMeterCommander {
public:
    using SendFn = std::function<bool(const uint8_t* bytes, int count)>;

    CMeterCommander() = default;
    explicit CMeterCommander(SendFn send)
        : m_send(std::move(send))
    {
    }
    void SetSend(SendFn send) { m_send = std::move(send); }

    bool Send(const meter_cmd::Command& command) const
    {
        return m_send ? m_send(command.data(), static_cast<int>(command.size())) : false;
    }
    bool SendKeyCode(int code) const { return Send(meter_cmd::KeyCodeCommand(code)); }
    bool SendAck() const { return Send(meter_cmd::kAck); }
    bool SendDownloadLogger() const { return Send(meter_cmd::kDownloadLogger); }
    bool SendRequestLoggerRecord(uint8_t address) const { return Send(meter_cmd::RequestLoggerRecord(address)); }
    bool SendDownloadOscLogger() const { return Send(meter_cmd::kDownloadOscLogger); }
    bool SendGetOscCurrent() const { return Send(meter_cmd::kGetOscCurrent); }
    bool SendEndLogger() const { return Send(meter_cmd::kFunction); }

private:
    SendFn m_send;
};
