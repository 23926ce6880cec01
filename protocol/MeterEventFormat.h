#pragma once
// Text forms of a decoded frame: one JSON object per frame for tools and scripts, and one
// human-readable line.
#include "protocol/MeterEvent.h"

#include <string>

// {"mode":M,"saved":K,"date":"D","dial":P,"record":{...}} with every MeterData member under
// its own name in declaration order (the three statistics as objects of MeterStat's members).
// Booleans as JSON booleans, floats as %.9g (null when not finite), strings as UTF-8. No
// trailing newline.
std::string MeterEventToJson(const MeterEvent& event);

// The main reading as the meter shows it: with its decimals (a frequency with the digits its
// size leaves), "OL" beyond the range limit, empty when it is not a number.
std::string MeterValueText(const MeterEvent& event);

// "function value unit [HOLD] date": the value as MeterValueText gives it. No trailing newline.
std::string MeterEventToText(const MeterEvent& event);
