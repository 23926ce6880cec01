#include "app/KeyLockIndicators.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QStatusBar>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

CKeyLockIndicators::CKeyLockIndicators(QStatusBar* bar, Source source)
    : QObject(bar)
    , m_source(std::move(source))
{
    const char* const names[3] = { "CAP", "NUM", "SCRL" };
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QLatin1String(names[i]), bar);
        label->setObjectName(QLatin1String(names[i]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(label);
        m_pLabels[i] = label;
    }
    // Lock keys change the state; so can another program while this one is in the background.
    qApp->installEventFilter(this);
    Refresh();
}

CKeyLockIndicators::Source CKeyLockIndicators::PlatformSource()
{
    return [](Lock lock) -> std::optional<bool> {
#ifdef Q_OS_WIN
        const int keys[3] = { VK_CAPITAL, VK_NUMLOCK, VK_SCROLL };
        return (GetKeyState(keys[lock]) & 1) != 0;
#else
        Q_UNUSED(lock);
        return std::nullopt;
#endif
    };
}

void CKeyLockIndicators::Refresh()
{
    for (int i = 0; i < 3; ++i) {
        const std::optional<bool> on = m_source ? m_source(Lock(i)) : std::nullopt;
        m_pLabels[i]->setVisible(on.has_value());
        m_pLabels[i]->setEnabled(on.value_or(false));
    }
}

bool CKeyLockIndicators::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::ApplicationActivate:
        if (watched == qApp || watched->isWidgetType())
            Refresh();
        break;
    default:
        break;
    }
    return false;
}
