#pragma once
// The user's choices for the trend graph: colours, point markers and the vertical scale. They are
// preferences, not part of a document: kept in the program's settings file (section "GRAPH") and
// given to every new data-log view.
#include "datalog/GraphScene.h"

#include <QString>

struct GraphPreferences {
    GraphColors colors;
    bool maskPoints = true; // draw a marker on every point
    bool autoScale = true; // the vertical range follows the data
    double manualMax = 50.0; // the vertical range while autoScale is off
    double manualMin = -50.0;

    // From `iniPath`; what is missing or unreadable keeps its default. An empty path reads the
    // program's settings file.
    static GraphPreferences Load(const QString& iniPath = QString());
    // Writes all of them to `iniPath` (the program's settings file when empty); false when the
    // file cannot be written.
    bool Save(const QString& iniPath = QString()) const;
};
