#pragma once
// Checks that a live frame's fixed fields could have come from a meter at all. A frame that lost
// one byte and gained a stray one keeps its length and its end byte, so the dispatcher's framing
// passes it; its fields have moved by a byte and read as nonsense. The checks here look only at
// what a meter can never send, so no frame a meter does send is ever refused:
// - unit texts: the meter writes its units as letters for its LCD font, padded with blanks or
//   ended by a zero byte. A control character (01..1F, 7F) before the end is never written.
//   Bytes after a zero are not looked at, as the decoders never read them either.
// - the clock: six BCD bytes from the meter's real-time clock, year, month, day, hour, minute,
//   second. A nibble above 9 does not occur, nor a month above 12, a day above 31, an hour above
//   23 (the meter sends 0..23 in both of its display modes) or a minute or second above 59.
//   Month and day 0 do occur (an unset clock) and pass.
// A shift that stays within the readings (the floats) cannot be seen: any four bytes make a
// float a meter might send.
#include <cstddef>
#include <string_view>

// True when the fields of the live frame of display mode 1..7 (its whole text, header to
// trailer) can come from a meter. Other modes and short texts are not checked and pass.
bool LiveFrameFieldsPlausible(int mode, std::string_view frame);

// The same for an oscilloscope record (its text from the marker "e0e0" on). Its fixed fields sit
// in the first kOscFieldChars characters, ahead of the samples: the status (1..4), the time base
// (1..18) and the volts per division (1..11) index their tables, the slot is 0..10, and the
// capture time is a date from the meter's clock (a year of this or the neighbouring centuries,
// month 0..12, day 0..31, hour 0..23, minute and second 0..59; month and day 0 as in an unset
// clock). Only the fields whose bytes are in the text are looked at, so a record can be refused
// while it is still arriving. A record shifted by a lost byte reads its fields from the wrong
// places and fails here; one whose samples alone moved cannot be told by its fields.
constexpr size_t kOscFieldChars = 4 + 2 * 53;
bool OscRecordFieldsPlausible(std::string_view record);
