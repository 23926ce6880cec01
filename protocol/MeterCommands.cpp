#include "protocol/MeterCommands.h"

namespace meter_cmd {

Command KeyCodeCommand(int code)
{
    switch (code) {
    case KeyHold:
        return kHold;
    case KeyMax:
        return kMax;
    case KeyRel:
        return kRel;
    case KeyPeak:
        return kPeak;
    case KeyRange:
        return kRange;
    default:
        return kFunction;
    }
}

} // namespace meter_cmd
