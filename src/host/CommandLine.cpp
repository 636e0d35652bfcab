// The command line, parsed with QCommandLineParser from one table of options
// that also gives the help text.
#include "host/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#ifndef MCB_VERSION
#define MCB_VERSION "0"
#endif

namespace mcb {

namespace host {
namespace {
struct OptionRow {
    const char* names;   // comma-separated, long names without dashes
    const char* value;   // the value's name, or null
    const char* help;
    const char* section; // starts a new section of the help when not null
};

const OptionRow kOptions[] = {
    {"h,help", nullptr, "print this help and exit", "General"},
    {"version", nullptr, "print the version and exit", nullptr},
    {"verbose", nullptr, "also print Qt's diagnostics", nullptr},
    {"log", "FILE", "also write everything the player prints to FILE", nullptr},
    {"fullscreen", nullptr, "fill the screen (the default on an 800 x 480 screen)", "Window"},
    {"window", nullptr, "open a window (the default on other screens)", nullptr},
    {"scale", "N|fit", "show the picture N times its size, or as large as the window allows (fit, the default)", nullptr},
    {"filter", "nearest|smooth", "how a scaled picture is filtered (default nearest)", nullptr},
    {"portrait", nullptr, "hold the handset upright: the window opens 480 x 800 and a portrait picture is never turned", nullptr},
    {"mute", nullptr, "play no sound", "Sound"},
    {"volume", "0-100", "sound volume in percent, as the desktop's sound settings show it (default 100)", nullptr},
    {"data-dir", "DIR", "where the application's saves go (default $XDG_DATA_HOME/mcbplayer/NAME; "
                        "'--data-dir .' inside the application's folder writes there)", "Files"},
    {"memory-limit", "SIZE", "the most memory the application may use: a number of bytes, or with K, M or G "
                             "(default 1G)", nullptr},
    {"headless", nullptr, "run without a window (the offscreen platform), on stepped time", "Runs without a person"},
    {"frames", "N", "end the run with status 0 after N painted frames", nullptr},
    {"screenshot", "FILE.png", "when the run ends, write its last frame (unscaled) to FILE.png", nullptr},
    {"record", "FILE", "write every input, with its time, to FILE (see docs/recording.md)", nullptr},
    {"replay", "FILE", "feed the inputs of a recording back at their times, on the recording's clock", nullptr},
};

QStringList namesOf(const OptionRow& row) { return QString(row.names).split(','); }

bool wholeNumber(const QString& text, long long lo, long long hi, long long& out) {
    bool ok = false;
    out = text.toLongLong(&ok, 10);
    return ok && !text.startsWith('+') && out >= lo && out <= hi;
}

std::string quoted(const QString& s) { return "'" + s.toStdString() + "'"; }
}  // namespace

bool parseSize(const std::string& text, TUint64& bytes) {
    if (text.empty() || !std::isdigit(TUint8(text[0]))) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    if (errno == ERANGE) return false;
    int shift = 0;
    std::string suffix(end);
    if (suffix == "K" || suffix == "k") shift = 10;
    else if (suffix == "M" || suffix == "m") shift = 20;
    else if (suffix == "G" || suffix == "g") shift = 30;
    else if (!suffix.empty()) return false;
    if (n > (UINT64_MAX >> shift)) return false;
    bytes = TUint64(n) << shift;
    return bytes >= (TUint64(1) << 16);
}

std::string usageLine() { return "Usage: mcbplayer [OPTIONS] [APP]"; }

std::string versionText() { return std::string("mcbplayer ") + MCB_VERSION + "\n"; }

std::string helpText() {
    std::string out = usageLine() + "\n"
        "Runs a handset application. APP is the application's folder, which holds its\n"
        "image index.mcb, or the image file itself; without APP, the current directory.\n"
        "'mcbplayer --auto' (first) runs /opt/NAME, NAME being the program's own name.\n";
    for (const OptionRow& row : kOptions) {
        if (row.section) out += std::string("\n") + row.section + ":\n";
        std::string names;
        for (const QString& n : namesOf(row)) names += (names.empty() ? "" : ", ") + std::string(n.size() == 1 ? "-" : "--") + n.toStdString();
        if (row.value) names += std::string(" ") + row.value;
        out += "  " + names + "\n      " + row.help + "\n";
    }
    out += "\nKeys in the window: F11 or Alt+Enter full screen, F12 screenshot into the data\n"
           "directory, Ctrl+Q quit, Ctrl+arrows tilt the handset, Ctrl+0 lay it flat.\n"
           "Exit status: 0 when the application ends, 1 after a FATAL line or a failed open,\n"
           "2 for a bad command line or no display.\n";
    return out;
}

bool parseCommandLine(const std::vector<std::string>& args, PlayerOptions& o, std::string& error) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionRow& row : kOptions) {
        QCommandLineOption option(namesOf(row), row.help);
        if (row.value) option.setValueName(row.value);
        parser.addOption(option);
    }
    QCommandLineOption autoOption("auto");
    autoOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(autoOption);
    parser.addPositionalArgument("APP", "the application's folder or image");

    QStringList list{"mcbplayer"};
    for (const std::string& a : args) list << QString::fromLocal8Bit(a.c_str());
    if (!parser.parse(list)) {
        QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) return error = "unknown option " + quoted((unknown[0].size() == 1 ? "-" : "--") + unknown[0]), false;
        QString text = parser.errorText();  // "Missing value after '--scale'."
        qsizetype open = text.indexOf('\''), close = text.lastIndexOf('\'');
        error = open >= 0 && close > open ? text.mid(open + 1, close - open - 1).toStdString() + " needs a value"
                                          : text.toStdString();
        return false;
    }
    auto has = [&](const char* name) { return parser.isSet(name); };
    auto value = [&](const char* name) { return parser.value(name); };
    auto bad = [&](const char* name, const QString& v, const char* wanted) {
        error = std::string("--") + name + ": " + quoted(v) + " is not " + wanted;
        return false;
    };
    o.help = has("help");
    o.version = has("version");
    o.verbose = has("verbose");
    o.autoRoot = !args.empty() && args[0] == "--auto";
    if (has("fullscreen") && has("window")) return error = "--fullscreen and --window exclude each other", false;
    if (has("fullscreen")) o.fullscreen = true;
    if (has("window")) o.fullscreen = false;
    long long n = 0;
    if (has("scale")) {
        if (value("scale") == "fit") o.scale = 0;
        else if (wholeNumber(value("scale"), 1, 16, n)) o.scale = int(n);
        else return bad("scale", value("scale"), "a whole number from 1 to 16 or 'fit'");
    }
    if (has("filter")) {
        if (value("filter") != "nearest" && value("filter") != "smooth") return bad("filter", value("filter"), "'nearest' or 'smooth'");
        o.smooth = value("filter") == "smooth";
    }
    o.portrait = has("portrait");
    o.mute = has("mute");
    if (has("volume")) {
        if (!wholeNumber(value("volume"), 0, 100, n)) return bad("volume", value("volume"), "a whole number from 0 to 100");
        o.volume = int(n);
    }
    o.headless = has("headless");
    if (has("frames")) {
        if (!wholeNumber(value("frames"), 1, 1000000000, n)) return bad("frames", value("frames"), "a whole number above 0");
        o.frames = n;
    }
    if (has("memory-limit") && !parseSize(value("memory-limit").toStdString(), o.memoryLimit))
        return bad("memory-limit", value("memory-limit"), "a size of at least 64K (a number with K, M or G)");
    for (auto [name, field] : {std::pair{"data-dir", &o.dataDirectory}, {"screenshot", &o.screenshot},
                               {"record", &o.record}, {"replay", &o.replay}, {"log", &o.logFile}}) {
        if (!has(name)) continue;
        if (value(name).isEmpty()) return bad(name, value(name), "a file name");
        *field = value(name).toLocal8Bit().toStdString();
    }
    QStringList positional = parser.positionalArguments();
    if (o.autoRoot) positional.clear();  // as always: after "--auto" the application is /opt/NAME
    if (positional.size() > 1) return error = "one APP at most, not " + quoted(positional[1]) + " as well", false;
    if (!positional.isEmpty()) o.app = positional[0].toLocal8Bit().toStdString();
    return true;
}

}  // namespace host

}  // namespace mcb
