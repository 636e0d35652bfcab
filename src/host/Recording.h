// Recordings: the input a run received, one event a line with its time since
// start, written under --record and fed back under --replay. The format is
// described in docs/recording.md; this file is its one reader and writer.
#pragma once

#include "foundation/Types.h"

#include <cstdio>
#include <string>
#include <vector>

namespace mcb {

// One input (or frame, or the end) at `time` milliseconds since start.
struct InputEvent {
    enum Kind { Key, Pointer, Visible, Display, Accel, Frame, End };
    Kind kind = End;
    TInt64 time = 0;
    // Key: pressed (1 or 0), code, scan code. Pointer: kind, x, y. Visible:
    // 1 or 0. Accel: x, y, z in thousandths of g. Frame: its number.
    TInt32 a = 0, b = 0, c = 0;
    std::string text;  // UTF-8: a key's text, the display state
    TUint64 hash = 0;  // Frame: the picture's hash

    static InputEvent key(bool pressed, TInt32 code, TInt32 scan, std::string text);
    static InputEvent pointer(TInt32 kind, TInt32 x, TInt32 y);
    static InputEvent visible(bool shown);
    static InputEvent display(std::string state);
    static InputEvent accel(TInt32 x, TInt32 y, TInt32 z);
    static InputEvent frame(TInt32 number, TUint64 hash);
    static InputEvent end();
    bool operator==(const InputEvent&) const = default;
};

struct RecordingHeader {
    TInt64 start = 0;  // the clock services' milliseconds since the epoch at time 0
    TUint32 seed = 0;  // the random generator's seed
    std::string zone;  // the time zone the date-time natives used
    std::string app;   // the application's name, for the reader
};

struct Recording {
    RecordingHeader header;
    std::vector<InputEvent> events;  // in time order
};

namespace recording {

std::string formatEvent(const InputEvent& e);
// False with a reason naming what was wrong.
bool parseEvent(const std::string& line, InputEvent& e, std::string& error);
// A whole file; false with "FILE:LINE: reason" (or why it cannot be read).
bool read(const std::string& path, Recording& out, std::string& error);
// A hash of a picture's pixels (FNV-1a over 32-bit ARGB rows).
TUint64 hashPixels(const TUint8* bits, int width, int height, int bytesPerLine);

}  // namespace recording

// Writes a recording as the run goes; every line is flushed at once, so a run
// that ends abruptly leaves every event it received.
class RecordWriter {
public:
    RecordWriter() = default;
    ~RecordWriter() { close(); }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // False with the system's reason.
    bool open(const std::string& path, const RecordingHeader& header, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    void write(const InputEvent& e);
    void close();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace mcb
