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
#include <string_view>

// True when the fields of the live frame of display mode 1..7 (its whole text, header to
// trailer) can come from a meter. Other modes and short texts are not checked and pass.
bool LiveFrameFieldsPlausible(int mode, std::string_view frame);
