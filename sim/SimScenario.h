#pragma once
// Scripted measurement runs for the simulated meter: a list of steps, one per line of a small text
// format, played once the host has switched notifications on.
//
//   # comment                 blank lines and text after '#' are ignored
//   frame a08002...a1         a frame (hex, blanks allowed), cut into notifications of <= 20 bytes
//   notify a0800200           one notification payload as is (1..20 bytes)
//   marker f8f8f8f8           a marker in a notification of its own
//   pause 300                 wait 300 ms before the next step
//   live on | live off        switch the meter's own generated stream (off while a scenario plays)
//   function kohm             turn the dial (see MeterFunctions() for the names)
//   key hold|max|rel|peak|range|normal   press a key on the meter
//   store 3                   store marker followed by 3 saved frames of the current display
//   store-all                 store marker followed by one saved frame of every saved kind
//   osc on | osc off          enter the oscilloscope mode (sends "a2a2a2a2") or leave it
//   fault garbage 5           5 stray bytes between two dongle events
//   fault silence 5000        the meter says nothing for 5 s (the script waits as long)
//   fault drop-link           the meter goes out of range: the link is terminated
//   fault split 3             the next event reaches the host in pieces of 3 bytes
//   fault drop-bytes 2        2 bytes go missing from the middle of the next event
//   loop                      start again from the first step
#include "sim/SimFrames.h"

#include <QString>
#include <string>
#include <vector>

namespace sim {

struct ScenarioStep {
    enum Type { Frame, Notify, Marker, Pause, Live, Function, Key, Store, StoreAll, Fault, Loop, Osc };
    enum FaultKind { FaultGarbage, FaultSilence, FaultDropLink, FaultSplit, FaultDropBytes };

    Type type = Pause;
    Bytes bytes; // Frame, Notify, Marker
    int64_t number = 0; // Pause ms, Live and Osc 0/1, Store count, Key op, Fault argument
    FaultKind fault = FaultGarbage;
    std::string text; // Function id
    int line = 0; // source line, for messages
};

struct Scenario {
    std::vector<ScenarioStep> steps;
    bool empty() const { return steps.empty(); }
};

// Parses the text format above. On failure returns false and sets error to "line N: reason".
bool ParseScenario(const std::string& text, Scenario* out, QString* error);
bool LoadScenarioFile(const QString& path, Scenario* out, QString* error);

} // namespace sim
