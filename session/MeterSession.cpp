#include "session/MeterSession.h"

#include "link/LinkController.h"
#include "logger/LoggerDownload.h"
#include "protocol/MeterProtocol.h"
#include "recording/Recorder.h"
#include "recording/RecordingRules.h"
#include "scope/OscController.h"

#include <QDateTime>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

CMeterSession::CMeterSession(int index, std::unique_ptr<IRecordingHost> recordingHost, QObject* parent)
    : QObject(parent)
    , m_nIndex(index)
    , m_pHost(std::move(recordingHost))
{
    qRegisterMetaType<MeterEvent>();
    m_pLinks = std::make_unique<CLinkController>();
    CLinkController* links = m_pLinks.get();
    // The logger download's and the oscilloscope's requests go out through the link's command
    // writer, in order with the keys and over whichever link is up. Both are the dispatcher's
    // consumers from the start: its hooks are complete before any link can run it.
    auto consumers = [this, links](CFrameDispatcher& dispatcher, FrameDispatcherHooks& hooks) {
        m_pLogger = std::make_unique<CLoggerDownload>(
            dispatcher,
            [links](const meter_cmd::Command& c) {
                links->SendLater(QByteArray(reinterpret_cast<const char*>(c.data()), int(c.size())));
                return true;
            },
            [links] { return links->MeterSeen(); });
        m_pLogger->Attach(hooks);
        // The oscilloscope asks the meter only while it is heard and in its oscilloscope mode.
        m_pOsc = std::make_unique<COscController>(
            dispatcher,
            [links](const uint8_t* bytes, int count) {
                links->SendLater(QByteArray(reinterpret_cast<const char*>(bytes), count));
                return true;
            },
            [links] { return links->MeterSeen() && links->OscMode(); });
        m_pOsc->AttachTo(hooks);
    };
    m_pProtocol = std::make_unique<CMeterProtocol>(
        links->FrameText(), [links](const uint8_t* bytes, int count) { return links->SendToMeter(bytes, count); },
        [links](int size) { links->Dongle().m_ComPort.SetReadSize(size); }, consumers);
    links->SetFrameHook([this] { m_pProtocol->MeterFrameDispatcher(); });
    links->SetSavedReadingsFlag(&m_pProtocol->Dispatcher().m_bStoreMarker);

    // Decoded frames cross to the GUI thread in order; the receive thread never waits for them.
    connect(&m_pProtocol->Decoder(), &CLiveDecoder::frameDecoded, this, &CMeterSession::OnMeterEvent,
        Qt::QueuedConnection);
    // A link that ends stops a transfer at once, with where it stopped.
    connect(links, &CLinkController::linkEnded, m_pLogger.get(), &CLoggerDownload::OnLinkLost, Qt::QueuedConnection);
    connect(links, &CLinkController::connected, this, &CMeterSession::OnConnected);
    // The names the scan heard, for the label of the meter connected from that list.
    connect(&links->Dongle(), &CBleLink::scanRow, this, [this](const QStringList& row) {
        static const QString kPrefix = QStringLiteral("Device Name:");
        if (row.size() >= 3 && row[1].startsWith(kPrefix) && row[1].size() > kPrefix.size())
            m_names.insert(row[2].toLower(), row[1].mid(kPrefix.size()));
    }, Qt::QueuedConnection);

    if (m_pHost) {
        m_pRecorder = std::make_unique<CRecorder>(*m_pHost, [links] { return links->MeterSeen(); });
        // A running recording gets a visible gap while the link is tried again.
        connect(links, &CLinkController::linkLost, m_pRecorder.get(), [this] {
            m_pRecorder->MarkGap(QDateTime::currentDateTime().toString(QStringLiteral("d/M/yy H:m:s")));
        });
    }
}

CMeterSession::~CMeterSession()
{
    // The receive threads run the dispatcher and its consumers: they stop before those go.
    m_pLinks->Close();
}

void CMeterSession::SetIdentity(const Identity& id)
{
    if (id.port == m_id.port && id.address == m_id.address && id.name == m_id.name)
        return;
    m_id = id;
    emit identityChanged();
}

QString CMeterSession::LabelOf(int index, const Identity& id)
{
    QString label = QStringLiteral("Meter %1").arg(index + 1);
    if (!id.name.isEmpty())
        label += QStringLiteral(": ") + id.name;
    if (!id.address.isEmpty())
        label += QStringLiteral(" (") + id.address + QLatin1Char(')');
    return label;
}

QString CMeterSession::Label() const { return LabelOf(m_nIndex, m_id); }

void CMeterSession::ConnectDirect(const QString& address)
{
    m_pLinks->ConnectDirect(address);
    Identity id;
    id.address = address.toLower();
    id.name = m_names.value(id.address);
    SetIdentity(id);
}

void CMeterSession::OnConnected()
{
    // A connection through the dongle: its port and the address the last Connect went to. The
    // direct link names its meter when it is asked to connect (ConnectDirect).
    CBleLink& dongle = m_pLinks->Dongle();
    if (!dongle.m_ComPort.IsOpen())
        return;
    Identity id;
    id.port = dongle.m_ComPort.PortName();
    id.address = dongle.LastAddress().toLower();
    id.name = m_names.value(id.address);
    SetIdentity(id);
}

namespace {

// The meter sends single-precision values: 5.019f widened is 5.019000053405762. The session's
// parts (alarm lines, a program's METER_VALUE, power) get the decimal the meter meant instead.
double ShortestDouble(float value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text - 1, value);
    if (error != std::errc())
        return double(value);
    *end = '\0';
    return std::strtod(text, nullptr);
}

} // namespace

bool CMeterSession::ReadingOf(const MeterEvent& event, LiveReading* out)
{
    if (event.m_bSavedFrame || event.m_nMode < 1 || event.m_nMode > 7)
        return false;
    const MeterData& d = event.m_data;
    const double v = d.m_fValue;
    // The recording's rule: beyond the range's limit is over range; a frequency frame has none.
    const bool limited = event.m_nMode != 7;
    const bool over = !std::isfinite(v) || std::abs(v) >= recording::kOverRange
        || (limited && (v > d.m_fLimit || v < -d.m_fLimit));
    out->value = over ? std::numeric_limits<double>::quiet_NaN() : ShortestDouble(d.m_fValue);
    out->unit = d.m_strUnit;
    return true;
}

void CMeterSession::OnMeterEvent(const MeterEvent& event)
{
    emit meterEvent(event);
    if (m_pRecorder)
        m_pRecorder->OnMeterEvent(event);
    m_pLinks->FrameDecoded();
    LiveReading r;
    if (ReadingOf(event, &r)) {
        r.meter = m_nIndex;
        r.time = QDateTime::currentDateTime();
        emit reading(r);
    }
}
