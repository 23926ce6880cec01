#pragma once
// A link under test and what it delivers: scan rows (collected on the test's thread) and the
// frame text of every notification (collected on the receive thread, read under a lock).
#include "link/BleLink.h"

#include <QObject>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

namespace e2e {

class LinkProbe {
public:
    explicit LinkProbe(CBleLink& link)
        : m_link(link)
    {
        QObject::connect(
            &link, &CBleLink::scanRow, &m_context, [this](const QStringList& row) { rows.append(row.join('\t')); },
            Qt::QueuedConnection);
        link.SetFrameHook([this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_text += m_link.m_strMeterRx.view();
            ++m_nPayloads;
            m_link.m_strMeterRx.clear();
        });
    }

    std::string Text()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }
    int Payloads()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nPayloads;
    }
    void ClearText()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.clear();
        m_nPayloads = 0;
    }
    // Whole kind-1 frames in the text: "a080" and, 27 bytes on, the trailer "a1".
    std::vector<std::string> NormalFrames()
    {
        const std::string t = Text();
        std::vector<std::string> frames;
        for (size_t at = t.find("a080"); at != std::string::npos && at + 54 <= t.size(); at = t.find("a080", at + 54)) {
            if (at % 2 == 0 && t.compare(at + 52, 2, "a1") == 0)
                frames.push_back(t.substr(at, 54));
        }
        return frames;
    }

    QStringList rows;

private:
    CBleLink& m_link;
    QObject m_context;
    std::mutex m_mutex;
    std::string m_text;
    int m_nPayloads = 0;
};

} // namespace e2e
