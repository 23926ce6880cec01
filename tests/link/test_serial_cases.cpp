// The behavioural checks every platform's serial device must pass (SerialCases.h), run here over
// a pseudo-terminal; the Win32 device runs the same list under Wine (test_serial_wine).
#include "PtyPair.h"
#include "SerialCases.h"

#include <QTest>
#include <deque>
#include <memory>

namespace {

// The test plays the device on the master side of a pseudo-terminal. Sends go out on a thread of
// their own, so that a flood blocks there and not in the case.
class PtyFarEnd : public serialcases::FarEnd {
public:
    PtyFarEnd() { Renew(); }
    ~PtyFarEnd() override { StopWriter(); }

    std::string Device() override { return m_pty->slave().toStdString(); }
    std::string MissingDevice() override { return "/dev/no-such-serial-device"; }
    bool Send(const serialcases::Bytes& bytes) override
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_queue.push_back(bytes);
        m_wake.notify_all();
        return true;
    }
    serialcases::Bytes Receive(size_t count, int timeoutMs) override { return m_pty->ReadExactly(count, timeoutMs); }
    bool Vanish() override
    {
        StopWriter();
        m_pty->CloseMaster();
        return true;
    }
    bool Renew() override
    {
        StopWriter();
        m_pty = std::make_unique<PtyPair>();
        m_stop = false;
        m_writer = std::thread([this] { Run(); });
        return m_pty->ok();
    }

private:
    void Run()
    {
        for (;;) {
            serialcases::Bytes next;
            {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait(g, [&] { return m_stop || !m_queue.empty(); });
                if (m_stop)
                    return;
                next = std::move(m_queue.front());
                m_queue.pop_front();
            }
            size_t done = 0;
            while (done < next.size() && !m_stop) {
                pollfd p { m_pty->master(), POLLOUT, 0 };
                if (::poll(&p, 1, 50) <= 0 || !(p.revents & POLLOUT))
                    continue;
                const ssize_t n = ::write(m_pty->master(), next.data() + done, next.size() - done);
                if (n > 0)
                    done += size_t(n);
                else if (n < 0 && errno != EINTR && errno != EAGAIN)
                    break;
            }
        }
    }
    void StopWriter()
    {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_stop = true;
            m_queue.clear();
            m_wake.notify_all();
        }
        if (m_writer.joinable())
            m_writer.join();
    }

    std::unique_ptr<PtyPair> m_pty;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<serialcases::Bytes> m_queue;
    std::atomic<bool> m_stop { false };
    std::thread m_writer;
};

} // namespace

class TestSerialCases : public QObject {
    Q_OBJECT
private slots:
    void sharedCase_data()
    {
        QTest::addColumn<int>("index");
        const auto& cases = serialcases::AllCases();
        for (int i = 0; i < int(cases.size()); ++i)
            QTest::newRow(cases[size_t(i)].name) << i;
    }
    void sharedCase()
    {
        QFETCH(int, index);
        PtyFarEnd far;
        const serialcases::Outcome outcome = serialcases::AllCases()[size_t(index)].run(far);
        QVERIFY2(outcome.ok, outcome.message.c_str());
    }
};

QTEST_GUILESS_MAIN(TestSerialCases)
#include "test_serial_cases.moc"
