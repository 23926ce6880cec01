// multimeter-cli record --port PORT --address MAC [--seconds S] [--reconnect] OUT.mLog
// Connects as monitor does and records the meter's live readings with the program's own
// recording rules: Start once the meter sends live data, Stop after S seconds or on SIGINT or
// SIGTERM. Each finished document is written at once and its path printed on stdout: OUT.mLog,
// then OUT-2.mLog, OUT-3.mLog ... when the meter's function changes (or a run of saved readings
// interrupted the recording); the reading limit ends the run. Saved readings (after the
// meter's store marker) go to OUT-saved.mLog, OUT-saved-2.mLog ..., one per run of them.
// Every live point is also journalled (the journal's path goes to stderr), so a killed run can
// be recovered with "mlog recover". With --reconnect a lost meter is tried again and the
// recording goes on in the same document after a gap (a null element and a marker row).
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingJournal.h"
#include "link/BleLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "link/PortSettings.h"
#include "platform/SafeSave.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingRules.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A view without a window: it holds the roles and counts its list rows.
class CHeadlessView : public IRecordingView {
public:
    bool IsLiveView() const override { return m_bLive; }
    void SetLiveView(bool on) override { m_bLive = on; }
    bool IsSavedTarget() const override { return m_bSaved; }
    void SetSavedTarget(bool on) override { m_bSaved = on; }
    int ListRowCount() const override { return m_nRows; }
    void AddListRow(const RecordingListRow&, bool) override { ++m_nRows; }
    void RefreshAfterLivePoint() override { }
    void InvalidateGraph() override { }
    bool IsAutoScale() const override { return false; }
    bool IsZoomedOrMoved() const override { return false; }
    void SetYRange(double, double) override { }

private:
    bool m_bLive = true;
    bool m_bSaved = false;
    int m_nRows = 0;
};

class CCliHost : public IRecordingHost {
public:
    std::vector<RecordingTarget> RecordingTargets() override
    {
        std::vector<RecordingTarget> out;
        for (Entry& e : m_open)
            out.push_back({ e.doc.get(), e.view.get() });
        return out;
    }
    IRecordingView* OpenNewDocument() override
    {
        m_open.push_back({ std::make_unique<CMyOrvelDoc>(), std::make_unique<CHeadlessView>() });
        return m_open.back().view.get();
    }
    // The document was written: it takes no more readings, and goes once the recording code
    // is done with it.
    void Retire(CMyOrvelDoc* doc, QObject* context)
    {
        for (Entry& e : m_open) {
            if (e.doc.get() == doc) {
                e.view->SetLiveView(false);
                e.view->SetSavedTarget(false);
            }
        }
        QMetaObject::invokeMethod(
            context, [this, doc] { Close(doc); }, Qt::QueuedConnection);
    }
    void Close(CMyOrvelDoc* doc)
    {
        for (auto it = m_open.begin(); it != m_open.end(); ++it) {
            if (it->doc.get() == doc) {
                m_open.erase(it);
                return;
            }
        }
    }
    CMyOrvelDoc* SavedTarget()
    {
        for (Entry& e : m_open) {
            if (e.view->IsSavedTarget())
                return e.doc.get();
        }
        return nullptr;
    }

private:
    struct Entry {
        std::unique_ptr<CMyOrvelDoc> doc;
        std::unique_ptr<CHeadlessView> view;
    };
    std::vector<Entry> m_open;
};

// OUT.mLog with a tag and a number: ("a.mLog", "saved", 2) gives "a-saved-2.mLog".
QString NumberedPath(const QString& out, const QString& tag, int n)
{
    QString stem = out, suffix;
    if (out.endsWith(QLatin1String(".mLog"), Qt::CaseInsensitive) && out.size() > 5) {
        stem = out.chopped(5);
        suffix = out.right(5);
    }
    if (!tag.isEmpty())
        stem += QLatin1Char('-') + tag;
    if (n > 1)
        stem += QStringLiteral("-%1").arg(n);
    return stem + suffix;
}

class CRecordSession : public QObject {
public:
    CRecordSession(const QString& out, const CLinkController& links)
        : m_strOut(out)
        , m_recorder(m_host, [&links] { return links.MeterSeen(); })
        , m_journals(journal::DefaultFolder())
    {
        m_recorder.SetMaxReadings(recording::MaxReadingsSetting(CPortSettings().FilePath()));
        connect(&m_recorder, &CRecorder::livePointAdded, this, [this](CMyOrvelDoc* doc) {
            m_journals.OnLivePoint(doc);
            if (doc->m_arrSeries[0].Size() == 1 && !m_journals.JournalOf(doc).isEmpty())
                std::fprintf(stderr, "multimeter-cli: journal %s\n",
                    qPrintable(QDir::toNativeSeparators(m_journals.JournalOf(doc))));
        });
        connect(&m_recorder, &CRecorder::liveRecordingEnded, this,
            [this](CMyOrvelDoc* doc) { Write(doc, NumberedPath(m_strOut, QString(), ++m_nLiveFiles)); });
        connect(&m_recorder, &CRecorder::limitReached, this, [this] {
            m_bDone = true;
            QCoreApplication::quit();
        });
        connect(&m_recorder, &CRecorder::savedReadingLost, this,
            [] { std::fprintf(stderr, "multimeter-cli: a saved reading was lost\n"); });
        connect(&m_journals, &CRecordingJournals::journalFailed, this,
            [](const QString& why) { std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(why)); });
    }

    void OnEvent(const MeterEvent& event)
    {
        // Frames still queued when the run ended are not recorded.
        if (m_bFailed || m_bDone)
            return;
        if (!event.m_bSavedFrame) {
            // A live frame after a run of saved readings: that run is complete.
            WriteSavedReadings();
            // Recording begins with the first live data, and begins again after saved readings
            // interrupted it.
            if (!m_recorder.IsRecording())
                m_recorder.OnStart();
        }
        m_recorder.OnMeterEvent(event);
    }

    // Stop, and write what is still open.
    void Finish()
    {
        if (!m_bFailed)
            m_recorder.OnStop();
        WriteSavedReadings();
    }

    // The meter was lost mid-recording: the open documents show the gap.
    void MarkGap()
    {
        if (!m_bFailed && !m_bDone)
            m_recorder.MarkGap(QDateTime::currentDateTime().toString(QStringLiteral("d/M/yy H:m:s")));
    }

    bool Failed() const { return m_bFailed; }

private:
    void WriteSavedReadings()
    {
        if (CMyOrvelDoc* doc = m_host.SavedTarget())
            Write(doc, NumberedPath(m_strOut, QStringLiteral("saved"), ++m_nSavedFiles));
    }

    void Write(CMyOrvelDoc* doc, const QString& path)
    {
        if (m_bFailed)
            return;
        QString message;
        if (!doc->OnSaveDocument(path, &message)) {
            // The journal stays behind with the readings, for "mlog recover".
            m_journals.Release(doc);
            message.replace(QLatin1Char('\n'), QLatin1Char(' '));
            std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
            m_bFailed = true;
            QCoreApplication::quit();
            return;
        }
        cli::PrintLine(path);
        m_host.Retire(doc, this);
    }

    QString m_strOut;
    CCliHost m_host;
    CRecorder m_recorder;
    CRecordingJournals m_journals;
    int m_nLiveFiles = 0;
    int m_nSavedFiles = 0;
    bool m_bFailed = false;
    bool m_bDone = false;
};

int RunRecord(const QStringList& argv)
{
    const cli::Args args(argv, { QStringLiteral("--port"), QStringLiteral("--address"), QStringLiteral("--seconds") },
        { QStringLiteral("--reconnect") });
    if (!args.ok())
        return cli::usageError(args.error());
    if (args.positionals().size() != 1)
        return cli::usageError(QStringLiteral("record needs one output file"));
    const QString out = args.positionals().first();
    cli::MeterTarget target;
    if (const int bad = cli::ParseMeterTarget(args, "record", &target))
        return bad;
    {
        // A recording that could not be saved at the end is lost time: the output is tried
        // before the meter is reached.
        CSafeSave probe(out);
        QString message;
        if (!probe.Open(&message)) {
            std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
            return cli::ExitIo;
        }
    }
    const QString& port = target.port;
    const QString& address = target.address;
    const double seconds = target.seconds;

    std::atomic<bool> listed { false };
    cli::PrepareLinkSession();
    CLinkController links;
    CBleLink& link = links.Dongle();
    CMeterProtocol protocol(
        links.FrameText(), [&links](const uint8_t* bytes, int count) { return links.SendToMeter(bytes, count); },
        [&link](int size) { link.m_ComPort.SetReadSize(size); });
    CRecordSession session(out, links);
    CReconnector& reconnect = links.Reconnector();
    const bool retry = args.has(QStringLiteral("--reconnect"));
    if (retry) {
        reconnect.Remember(port, address);
        cli::WatchAndReconnect(&reconnect, &protocol.Dispatcher());
        // The recording stays open across the gap, which its documents show as a null element.
        QObject::connect(&reconnect, &CReconnector::lost, &session, [&session] { session.MarkGap(); });
    }
    // Decoded frames reach the recording on this thread, in order, as in the program's window.
    QObject::connect(
        &protocol.Decoder(), &CLiveDecoder::frameDecoded, &session,
        [&session, &reconnect](const MeterEvent& event) {
            reconnect.FrameSeen();
            session.OnEvent(event);
        },
        Qt::QueuedConnection);
    bool silent = false;
    const std::function<void()> heard
        = retry ? [] {} : cli::EndOnSilence(&links, &protocol.Dispatcher().m_bStoreMarker, address, &silent);
    links.SetFrameHook([&protocol, &heard] {
        heard();
        protocol.MeterFrameDispatcher();
    });
    cli::ConnectWhenListed(&link, address, &listed);

    int status = cli::ScanAndRun(&link, port, seconds, retry ? &reconnect : nullptr);
    session.Finish();
    if (status == cli::ExitOk && !listed) {
        std::fprintf(stderr, "multimeter-cli: %s was not found on %s\n", qPrintable(address), qPrintable(port));
        status = cli::ExitIo;
    }
    if (session.Failed() || silent)
        status = cli::ExitIo;
    return status;
}

const cli::CliVerbRegistration registration(
    { "record", "record --port PORT --address MAC [--seconds S] [--reconnect] OUT.mLog", RunRecord });

} // namespace
