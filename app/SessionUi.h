#pragma once
// The window side of what a session does with its meters' live readings beyond showing them:
// alarms (the meter's panel turns red, a sound, a marked row in its recording, the Alarms
// dialog) and the derived readings (power, energy and charge in their panel, and their own
// document while a recording runs). It takes readings through OnReading and reaches each
// meter's panel and recorder through the hooks the main window gives, so it serves one meter or
// several alike.
#include "session/AlarmMonitor.h"
#include "session/DerivedReadings.h"
#include "session/DerivedRecorder.h"
#include "session/LiveReading.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>

class CDerivedPanel;
class CLeftDlg;
class CRecorder;
class IRecordingHost;

class CSessionUi : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<CLeftDlg*(int meter)> panel; // the meter's live panel, or null
        std::function<CRecorder*(int meter)> recorder; // the meter's recorder, or null
        std::function<QString(int meter)> address; // the meter's address: its settings follow it
        std::function<void(const QString&)> status; // a line for the status bar
        std::function<void()> beep; // the alarm sound (QApplication::beep when not given)
    };

    // `settingsFile`: the program's settings file; `host`: where the derived readings' document
    // is made (it outlives this object); `window`: the parent of the dialogs and the panel.
    CSessionUi(const QString& settingsFile, IRecordingHost& host, Hooks hooks, QWidget* window);

    CAlarmMonitor& Alarms() { return m_alarms; }
    CDerivedReadings& Derived() { return m_derived; }
    CDerivedRecorder& DerivedRecorder() { return m_derivedRecorder; }
    // The power/energy/charge panel, for the window to place.
    CDerivedPanel* DerivedPanel() const { return m_pDerivedPanel; }

    // "Alarms" for meter `meter` (0-based): shown without blocking; OK stores the settings for
    // the meter's address and the monitor takes them at once.
    void OpenAlarmDialog(int meter);
    // The dialog open now, if any (tests).
    QWidget* AlarmDialog() const { return m_pAlarmDlg; }

    // The label of an alarm's marked row: "ALARM low", "ALARM high", "ALARM cleared".
    static QString AlarmLabel(AlarmCrossing crossing);

public slots:
    // One live reading of one meter, on the GUI thread.
    void OnReading(const LiveReading& reading);
    // The meter is gone: its alarm ends, and the integration does not bridge its absence.
    void OnMeterGone(int meter);

signals:
    // A meter on DC volts and another on DC amps were paired for the first time: the panel has
    // something to show.
    void derivedPaired();

private:
    void OnAlarm(int meter, AlarmCrossing crossing, double value, const QString& unit, const QDateTime& time);
    // The meter's settings, read again when its address changed (another meter in its place).
    void FollowAddress(int meter);

    QString m_strSettingsFile;
    Hooks m_hooks;
    QWidget* m_pWindow;
    CAlarmMonitor m_alarms;
    CDerivedReadings m_derived;
    CDerivedRecorder m_derivedRecorder;
    CDerivedPanel* m_pDerivedPanel;
    bool m_bPairedOnce = false;
    std::map<int, QString> m_addresses; // the address whose settings each meter has
    QPointer<QWidget> m_pAlarmDlg;
};
