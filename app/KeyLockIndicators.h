#pragma once
// The CAP, NUM and SCRL panes of the status bar. They show the keyboard's real lock states where
// the platform tells them, and are hidden where it cannot, rather than sitting there greyed out.
#include <QObject>
#include <functional>
#include <optional>

class QLabel;
class QStatusBar;

class CKeyLockIndicators : public QObject {
    Q_OBJECT
public:
    enum Lock { Caps = 0, Num, Scroll };
    // A lock's state, or nothing where the platform cannot say.
    using Source = std::function<std::optional<bool>(Lock)>;

    // Adds the three panes to the status bar and follows the keyboard from then on.
    explicit CKeyLockIndicators(QStatusBar* bar, Source source = PlatformSource());

    // The platform's own reading: the key states on Windows; nothing elsewhere.
    static Source PlatformSource();

    QLabel* Indicator(Lock lock) const { return m_pLabels[lock]; }
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Source m_source;
    QLabel* m_pLabels[3] = {};
};
