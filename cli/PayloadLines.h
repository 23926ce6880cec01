#pragma once
// Input of the replay verbs (decode, osc decode): one notification payload per line as
// hexadecimal text, read in pieces of bounded size so that a line of any length costs no more
// memory than one piece. A character that cannot belong to a payload (anything but hexadecimal
// digits and blanks, a NUL included) stops the run at once, with its line number.
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>

namespace cli {

// The link delivers at most this many bytes per notification.
constexpr size_t kNotificationBytes = 20;

// Cuts the input into notification payloads as it is read: a line's bytes are handed over in
// notifications of at most kNotificationBytes, in order.
class CPayloadReader {
public:
    using NotifyFn = std::function<void(const uint8_t* bytes, size_t count)>;
    explicit CPayloadReader(NotifyFn notify);

    // Takes the next piece of input; false (with Error() set) at the first bad character.
    bool Take(const char* data, size_t size);
    // The input has ended: a last line without its line end counts as a line.
    bool Finish();
    const QString& Error() const { return m_error; }

private:
    bool EndLine();
    void Flush();

    NotifyFn m_notify;
    uint8_t m_bytes[kNotificationBytes];
    size_t m_nBytes = 0;
    int m_high = -1;
    qint64 m_nLine = 1;
    QString m_error;
};

// Reads `input` to its end through a CPayloadReader. False with *error set on a bad character
// or a read error (`name` names the input in that message).
bool ReplayPayloads(std::FILE* input, const QString& name, const CPayloadReader::NotifyFn& notify, QString* error);

} // namespace cli
