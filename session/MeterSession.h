#pragma once
// One meter of a session of several: its link controller, its protocol (dispatcher and live
// decoders, with the logger download and the oscilloscope as the dispatcher's consumers), who it
// is (port, address, name) and the hand-off of its decoded frames to its own recorder.
//
// The dispatcher's hooks are composed once, while the protocol is made; nothing changes them
// afterwards. Lives on the GUI thread; decoded frames reach it there in frame order, and it says
// so twice: meterEvent (the whole event, for the live panel) and reading (the value as the
// session's other parts use it).
#include "session/LiveReading.h"
#include "protocol/MeterEvent.h"

#include <QObject>
#include <QString>
#include <QMap>
#include <memory>

class CLinkController;
class CLoggerDownload;
class CMeterProtocol;
class COscController;
class CRecorder;
class IRecordingHost;

class CMeterSession : public QObject {
    Q_OBJECT
public:
    struct Identity {
        QString port; // the dongle's port ("sim", "COM4", a device path); empty for a direct link
        QString address; // the meter's Bluetooth address, lower case
        QString name; // what it advertises; empty when not heard
    };

    // index: 0-based, in the order the meters were added; it stays the meter's while it is
    // connected. recordingHost: where its documents come from (null: nothing is recorded).
    explicit CMeterSession(int index, std::unique_ptr<IRecordingHost> recordingHost = nullptr, QObject* parent = nullptr);
    // Closes the links first: no receive thread runs the dispatcher once the rest goes.
    ~CMeterSession() override;

    int Index() const { return m_nIndex; }
    CLinkController& Links() { return *m_pLinks; }
    CMeterProtocol& Protocol() { return *m_pProtocol; }
    CLoggerDownload& Logger() { return *m_pLogger; }
    COscController& Osc() { return *m_pOsc; }
    // Null without a recording host.
    CRecorder* Recorder() const { return m_pRecorder.get(); }

    const Identity& Id() const { return m_id; }
    void SetIdentity(const Identity& id);
    // "Meter 2: SimMeter (a4:c1:38:00:11:22)"; the parts not known are left out.
    QString Label() const;
    static QString LabelOf(int index, const Identity& id);

    // Connects through the computer's own adapter and remembers the address as the meter's.
    void ConnectDirect(const QString& address);

    // The reading a live frame gives (value NaN when over range); false for a saved reading or
    // an oscilloscope frame, which are no live readings.
    static bool ReadingOf(const MeterEvent& event, LiveReading* out);

signals:
    // Every decoded frame, on the GUI thread, in frame order (the live panel follows it).
    void meterEvent(const MeterEvent& event);
    // Each live reading, on the GUI thread: r.meter is Index(), r.time its arrival.
    void reading(const LiveReading& r);
    // Port, address or name changed (the panel's label follows).
    void identityChanged();

private:
    void OnMeterEvent(const MeterEvent& event);
    void OnConnected();

    int m_nIndex;
    Identity m_id;
    QMap<QString, QString> m_names; // address -> advertised name, from this meter's scans
    // Destroyed last to first: links (and with them the receive threads) go before what the
    // threads call into.
    std::unique_ptr<IRecordingHost> m_pHost;
    std::unique_ptr<CMeterProtocol> m_pProtocol;
    std::unique_ptr<CLoggerDownload> m_pLogger;
    std::unique_ptr<COscController> m_pOsc;
    std::unique_ptr<CRecorder> m_pRecorder;
    std::unique_ptr<CLinkController> m_pLinks;
};


