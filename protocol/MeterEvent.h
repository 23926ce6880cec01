#pragma once
// One decoded live frame as it leaves the core: made on the link's receive thread, consumed
// (by value, through a queued signal) on the GUI thread. Immutable once made.
#include "protocol/MeterData.h"

#include <QMetaType>
#include <QString>

struct MeterEvent {
    int m_nMode = 0;          // display mode 1..7 (normal, MAX/MIN, REL, PEAK, DC+AC, dual AC, frequency)
    bool m_bSavedFrame = false; // the frame came as "a09N" (after the store marker), not "a08N"
    int m_nSavedKind = 0;     // saved-reading kind 1..9 this frame records as; 0 when none
    MeterData m_data;         // the whole working record after this frame
    QString m_strDate;        // the date text the recording receives
    int m_nDialPos = 0;       // dial position after this frame
    bool m_bDateWarning = false; // the "DateTime is wrong" box is due with this frame
};

Q_DECLARE_METATYPE(MeterEvent)
