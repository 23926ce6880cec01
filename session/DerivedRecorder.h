#pragma once
// Records the derived readings while a recording runs: a document of their own, opened at the
// first power point, with the power as its readings (unit "W", label "Power"). A gap in the
// integration is a null element there and a list row that says whose readings had it, as a lost
// link is in a meter's recording. When the recording stops, the energy and charge integrated
// while it ran (from the last power point before it) go in as two labelled points of series 1 ("Energy" in Wh, "Charge" in Ah) beside the last
// power point: the list shows them, and the .mLog file keeps them. The document's view takes no
// meter readings (it is neither a live nor a saved-readings target).
#include "recording/RecordingView.h"
#include "session/DerivedReadings.h"

#include <QObject>

class CDerivedRecorder : public QObject {
    Q_OBJECT
public:
    explicit CDerivedRecorder(IRecordingHost& host, QObject* parent = nullptr);

    // The document being filled, or null.
    CMyOrvelDoc* Document() const { return m_pDoc; }

    static QString PowerLabel() { return QStringLiteral("Power"); }
    static QString EnergyLabel() { return QStringLiteral("Energy"); }
    static QString ChargeLabel() { return QStringLiteral("Charge"); }

public slots:
    // The (meter) recording started or stopped.
    void OnRecordingChanged(bool recording);
    void OnUpdate(const DerivedState& state);

private:
    // The document's view while it is open; null once the user closed it.
    IRecordingView* View() const;
    void Finish();

    IRecordingHost& m_host;
    bool m_bRecording = false;
    CMyOrvelDoc* m_pDoc = nullptr; // compared only: reached through the host's targets
    bool m_bClosed = false; // the user closed this recording's document
    QDateTime m_lastPoint;
    DerivedState m_last; // the last state seen
    DerivedState m_lastPaired; // the last state with a pair
    double m_energyWh = 0, m_chargeAh = 0; // integrated while this recording runs
};
