#include "app/AlarmDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString NumberText(const std::optional<double>& v)
{
    return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
}

// Empty text: no value. Otherwise a finite number, in the C locale or the user's.
bool ParseNumber(const QString& text, std::optional<double>* out)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        out->reset();
        return true;
    }
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

} // namespace

CAlarmDlg::CAlarmDlg(
    const QString& meterName, const MeterAlarmSettings& settings, const QString& unitShown, QWidget* parent)
    : QDialog(parent)
    , m_result(settings)
{
    setWindowTitle(QStringLiteral("Alarms - %1").arg(meterName));
    setObjectName(QStringLiteral("alarmDialog"));
    auto* form = new QFormLayout;
    auto field = [this, form](const QString& name, const QString& label, const QString& text, const QString& tip) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(name);
        edit->setToolTip(tip);
        form->addRow(label, edit);
        return edit;
    };
    m_pLow = field(QStringLiteral("low"), QStringLiteral("&Low limit:"), NumberText(settings.limits.low),
        QStringLiteral("Alarm while the reading is below this value; empty for none"));
    m_pHigh = field(QStringLiteral("high"), QStringLiteral("&High limit:"), NumberText(settings.limits.high),
        QStringLiteral("Alarm while the reading is above this value; empty for none"));
    m_pHysteresis = field(QStringLiteral("hysteresis"), QStringLiteral("H&ysteresis:"),
        QString::number(settings.limits.hysteresis, 'g', QLocale::FloatingPointShortest),
        QStringLiteral("How far back inside a limit the reading must come before the alarm clears"));
    const bool anyLimit = settings.limits.IsSet();
    m_pUnit = field(QStringLiteral("unit"), QStringLiteral("&Unit:"), anyLimit ? settings.unit : unitShown,
        QStringLiteral("The unit the limits are in; the alarm watches only while the meter shows it. "
                       "Empty: whatever the meter shows"));
    m_pSound = new QCheckBox(QStringLiteral("Play a &sound"), this);
    m_pSound->setObjectName(QStringLiteral("sound"));
    m_pSound->setChecked(settings.sound);
    form->addRow(QString(), m_pSound);
    m_pProgram = field(QStringLiteral("program"), QStringLiteral("&Run program:"), settings.program,
        QStringLiteral("Started when an alarm is raised, with METER_VALUE, METER_UNIT, METER_ALARM, "
                       "METER_INDEX and METER_TIME in its environment"));
    m_pArguments = field(QStringLiteral("arguments"), QStringLiteral("&Arguments:"),
        [&settings] {
            // Quoted so that each argument comes back as it was.
            QStringList quoted;
            for (QString a : settings.arguments) {
                if (a.isEmpty() || a.contains(QLatin1Char(' ')) || a.contains(QLatin1Char('"'))) {
                    a.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
                    a = QLatin1Char('"') + a + QLatin1Char('"');
                }
                quoted << a;
            }
            return quoted.join(QLatin1Char(' '));
        }(),
        QStringLiteral("Arguments for the program, separated by spaces; quote one that holds spaces"));

    m_pProblem = new QLabel(this);
    m_pProblem->setObjectName(QStringLiteral("problem"));
    m_pProblem->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0)"));
    m_pProblem->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAlarmDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAlarmDlg::reject);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(m_pProblem);
    v->addWidget(buttons);
    // The message follows the typing, so the reason is there before OK is pressed.
    for (QLineEdit* e : { m_pLow, m_pHigh, m_pHysteresis, m_pProgram })
        connect(e, &QLineEdit::textChanged, this, [this] { m_pProblem->setText(Problem()); });
}

QString CAlarmDlg::Parse(const Fields& f, MeterAlarmSettings* out)
{
    MeterAlarmSettings s;
    if (!ParseNumber(f.low, &s.limits.low))
        return QStringLiteral("The low limit is not a number.");
    if (!ParseNumber(f.high, &s.limits.high))
        return QStringLiteral("The high limit is not a number.");
    std::optional<double> hysteresis;
    if (!ParseNumber(f.hysteresis, &hysteresis))
        return QStringLiteral("The hysteresis is not a number.");
    s.limits.hysteresis = hysteresis.value_or(0.0);
    s.unit = f.unit.trimmed();
    s.sound = f.sound;
    s.program = f.program.trimmed();
    s.arguments = QProcess::splitCommand(f.arguments);
    if (s.program.isEmpty() && !s.arguments.isEmpty())
        return QStringLiteral("Arguments need a program to run.");
    const QString problem = AlarmSettingsProblem(s);
    if (!problem.isEmpty())
        return problem;
    *out = s;
    return QString();
}

CAlarmDlg::Fields CAlarmDlg::CurrentFields() const
{
    Fields f;
    f.low = m_pLow->text();
    f.high = m_pHigh->text();
    f.hysteresis = m_pHysteresis->text();
    f.unit = m_pUnit->text();
    f.program = m_pProgram->text();
    f.arguments = m_pArguments->text();
    f.sound = m_pSound->isChecked();
    return f;
}

QString CAlarmDlg::Problem() const
{
    MeterAlarmSettings ignored;
    return Parse(CurrentFields(), &ignored);
}

void CAlarmDlg::accept()
{
    const QString problem = Parse(CurrentFields(), &m_result);
    m_pProblem->setText(problem);
    if (problem.isEmpty())
        QDialog::accept();
}
