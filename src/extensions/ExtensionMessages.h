// The extensions' lines on standard error ("AudioMixer: underflow", ...):
// written at once from any thread, and copied where the host asks (the
// player's --log file).
#pragma once

namespace mcb {

namespace extmsg {

// Writes `text` (no formatting) to standard error, and to the copy.
void say(const char* text);
// A descriptor that receives a copy of every line (-1: none).
void setCopy(int fd);

}  // namespace extmsg

}  // namespace mcb
