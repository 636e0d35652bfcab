// The recording format: header lines, then "TIME KIND ARGUMENTS" lines.
#include "host/Recording.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <fstream>
#include <sstream>

namespace mcb {

InputEvent InputEvent::key(bool pressed, TInt32 code, TInt32 scan, std::string text) {
    InputEvent e;
    e.kind = Key, e.a = pressed, e.b = code, e.c = scan, e.text = std::move(text);
    return e;
}
InputEvent InputEvent::pointer(TInt32 kind, TInt32 x, TInt32 y) {
    InputEvent e;
    e.kind = Pointer, e.a = kind, e.b = x, e.c = y;
    return e;
}
InputEvent InputEvent::visible(bool shown) {
    InputEvent e;
    e.kind = Visible, e.a = shown;
    return e;
}
InputEvent InputEvent::display(std::string state) {
    InputEvent e;
    e.kind = Display, e.text = std::move(state);
    return e;
}
InputEvent InputEvent::accel(TInt32 x, TInt32 y, TInt32 z) {
    InputEvent e;
    e.kind = Accel, e.a = x, e.b = y, e.c = z;
    return e;
}
InputEvent InputEvent::frame(TInt32 number, TUint64 hash) {
    InputEvent e;
    e.kind = Frame, e.a = number, e.hash = hash;
    return e;
}
InputEvent InputEvent::end() { return InputEvent(); }

namespace recording {
namespace {
constexpr const char* kMagic = "mcbplayer-recording 1";

// Texts are written as one word: bytes outside '!' to '~', and '%', as %XX;
// an empty text as a lone '%'.
std::string encodeText(const std::string& text) {
    if (text.empty()) return "%";
    std::string out;
    char buf[4];
    for (unsigned char c : text) {
        if (c > ' ' && c < 0x7F && c != '%') {
            out.push_back(char(c));
        } else {
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool decodeText(const std::string& word, std::string& out) {
    out.clear();
    if (word == "%") return true;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            out.push_back(word[i]);
            continue;
        }
        if (i + 2 >= word.size()) return false;
        int hi = hexDigit(word[i + 1]), lo = hexDigit(word[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(char(hi * 16 + lo));
        i += 2;
    }
    return true;
}

const char* const kKindNames[] = {"key", "pointer", "visible", "display", "accel", "frame", "end"};

bool readInts(std::istringstream& in, std::initializer_list<TInt32*> out) {
    for (TInt32* p : out) {
        long long v;
        if (!(in >> v) || v < INT32_MIN || v > INT32_MAX) return false;
        *p = TInt32(v);
    }
    return true;
}
}  // namespace

std::string formatEvent(const InputEvent& e) {
    std::string out = std::to_string(e.time) + " " + kKindNames[e.kind];
    auto add = [&](long long v) { out += " " + std::to_string(v); };
    switch (e.kind) {
    case InputEvent::Key:
        out += e.a ? " press" : " release";
        add(e.b), add(e.c);
        out += " " + encodeText(e.text);
        break;
    case InputEvent::Pointer: add(e.a), add(e.b), add(e.c); break;
    case InputEvent::Visible: add(e.a); break;
    case InputEvent::Display: out += " " + encodeText(e.text); break;
    case InputEvent::Accel: add(e.a), add(e.b), add(e.c); break;
    case InputEvent::Frame: {
        char hash[24];
        std::snprintf(hash, sizeof hash, "%016" PRIx64, e.hash);
        add(e.a);
        out += std::string(" ") + hash;
        break;
    }
    case InputEvent::End: break;
    }
    return out;
}

bool parseEvent(const std::string& line, InputEvent& e, std::string& error) {
    std::istringstream in(line);
    std::string kind, word;
    long long time;
    e = InputEvent();
    if (!(in >> time) || time < 0) return error = "expected a time in milliseconds", false;
    e.time = time;
    if (!(in >> kind)) return error = "expected an event after the time", false;
    bool ok = true;
    if (kind == "key") {
        e.kind = InputEvent::Key;
        ok = (in >> word) && (word == "press" || word == "release");
        e.a = word == "press";
        ok = ok && readInts(in, {&e.b, &e.c}) && (in >> word) && decodeText(word, e.text);
    } else if (kind == "pointer") {
        e.kind = InputEvent::Pointer;
        ok = readInts(in, {&e.a, &e.b, &e.c});
    } else if (kind == "visible") {
        e.kind = InputEvent::Visible;
        ok = readInts(in, {&e.a}) && (e.a == 0 || e.a == 1);
    } else if (kind == "display") {
        e.kind = InputEvent::Display;
        ok = (in >> word) && decodeText(word, e.text);
    } else if (kind == "accel") {
        e.kind = InputEvent::Accel;
        ok = readInts(in, {&e.a, &e.b, &e.c});
    } else if (kind == "frame") {
        e.kind = InputEvent::Frame;
        ok = readInts(in, {&e.a}) && (in >> word) && word.size() == 16 &&
             word.find_first_not_of("0123456789abcdef") == std::string::npos;
        if (ok) e.hash = std::strtoull(word.c_str(), nullptr, 16);
    } else if (kind == "end") {
        e.kind = InputEvent::End;
    } else {
        return error = "unknown event '" + kind + "'", false;
    }
    if (!ok) return error = "malformed '" + kind + "' event", false;
    if (in >> word) return error = "unexpected '" + word + "' after the '" + kind + "' event", false;
    return true;
}

bool read(const std::string& path, Recording& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return error = path + ": " + std::strerror(errno), false;
    out = Recording();
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) { return error = path + ":" + std::to_string(number) + ": " + why, false; };
    bool sawStart = false, sawSeed = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1) {
            if (line != kMagic) return fail(std::string("not a recording (expected \"") + kMagic + "\")");
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string first, value;
        words >> first;
        if (first == "start" || first == "seed" || first == "zone" || first == "app") {
            words >> value;
            std::string rest;
            if (value.empty() || (words >> rest)) return fail("expected one value after '" + first + "'");
            char* end = nullptr;
            if (first == "start") out.header.start = std::strtoll(value.c_str(), &end, 10), sawStart = !*end;
            if (first == "seed") out.header.seed = TUint32(std::strtoul(value.c_str(), &end, 10)), sawSeed = !*end;
            if (end && *end) return fail("expected a number after '" + first + "'");
            if (first == "zone") out.header.zone = value;
            if (first == "app" && !decodeText(value, out.header.app)) return fail("malformed application name");
            continue;
        }
        InputEvent e;
        std::string why;
        if (!parseEvent(line, e, why)) return fail(why);
        if (!out.events.empty() && e.time < out.events.back().time) return fail("time goes backwards");
        out.events.push_back(std::move(e));
    }
    if (number == 0) return error = path + ": empty file, not a recording", false;
    if (!sawStart || !sawSeed) return error = path + ": the 'start' or 'seed' line is missing", false;
    return true;
}

TUint64 hashPixels(const TUint8* bits, int width, int height, int bytesPerLine) {
    TUint64 h = 14695981039346656037ull;
    for (int y = 0; y < height; ++y) {
        const TUint8* row = bits + size_t(y) * size_t(bytesPerLine);
        for (int i = 0; i < width * 4; ++i) h = (h ^ row[i]) * 1099511628211ull;
    }
    return h;
}

}  // namespace recording

bool RecordWriter::open(const std::string& path, const RecordingHeader& h, std::string& error) {
    close();
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) return error = std::strerror(errno), false;
    std::fprintf(file_, "%s\n# TIME(ms since start) EVENT ARGUMENTS: see docs/recording.md\n", recording::kMagic);
    std::fprintf(file_, "start %" PRId64 "\nseed %u\n", h.start, unsigned(h.seed));
    if (!h.zone.empty()) std::fprintf(file_, "zone %s\n", h.zone.c_str());
    std::fprintf(file_, "app %s\n", recording::encodeText(h.app).c_str());
    std::fflush(file_);
    return true;
}

void RecordWriter::write(const InputEvent& e) {
    if (!file_) return;
    std::string line = recording::formatEvent(e) + "\n";
    std::fputs(line.c_str(), file_);
    std::fflush(file_);
}

void RecordWriter::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace mcb
