#pragma once
// "Alarms": one meter's high and low limits, their hysteresis and unit, the sound, and a program
// to run when an alarm is raised. What the user typed is checked before it is taken; the reason
// a field is refused shows in the dialog itself.
#include "session/AlarmSettings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

class CAlarmDlg : public QDialog {
    Q_OBJECT
public:
    // `meterName`: "meter 1"; `unitShown`: the unit the meter shows now, offered for new limits.
    CAlarmDlg(const QString& meterName, const MeterAlarmSettings& settings, const QString& unitShown,
        QWidget* parent = nullptr);

    // The fields as typed: the settings, or the reason they cannot be taken (then `out` is left).
    struct Fields {
        QString low, high, hysteresis, unit, program, arguments;
        bool sound = true;
    };
    static QString Parse(const Fields& fields, MeterAlarmSettings* out);

    Fields CurrentFields() const;
    MeterAlarmSettings Result() const { return m_result; }
    // What the dialog says about the fields now (empty while they are good).
    QString Problem() const;

    void accept() override;

private:
    QLineEdit* m_pLow;
    QLineEdit* m_pHigh;
    QLineEdit* m_pHysteresis;
    QLineEdit* m_pUnit;
    QCheckBox* m_pSound;
    QLineEdit* m_pProgram;
    QLineEdit* m_pArguments;
    QLabel* m_pProblem;
    MeterAlarmSettings m_result;
};
