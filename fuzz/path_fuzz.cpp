// libFuzzer target for the application path rule and the resolution beneath the
// root, against a scratch root full of links in and out of it. A crash is: bytes
// that break the rule, a resolution that ends outside the root, the two
// resolvers (openat2 and the walk) disagreeing, a file operation that changes
// anything outside the root or the root itself, or a descriptor left open.
//
// Input: byte 0 picks the operation and the resolver; every further byte below
// 0xE0 is a token (names of the fixture, separators, dots, look-alike
// characters), one from 0xE0 up takes the next two bytes as a raw UTF-16 unit.
// The token "|SECOND|" starts the second path of the renames.
#include "io/AppFiles.h"
#include "io/AppPath.h"
#include "io/Beneath.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace mcb {

namespace fs = std::filesystem;

namespace {
const char16_t* const kTokens[] = {
    u"/", u".", u"..", u"\\", u"//", u":", u"|", u"data", u"f", u"in_file", u"in_dir", u"out_abs",
    u"out_rel", u"out_dir", u"slash", u"back_in", u"here", u"up", u"upup", u"loop", u"ping",
    u"dangling_in", u"dangling_out", u"dot_end", u"slash_end", u"outside", u"secret", u"root",
    u"none", u"x", u"index.mcb", u"chain", u"deep", u"\u012e", u"\uff2e", u"\u012f", u"\u013a",
    u"\u017c", u"\u0100", u"\uff0f", u"\u2024", u"\u00e9", u"\U0001F600", u"|SECOND|",
};
constexpr size_t kTokenCount = sizeof kTokens / sizeof kTokens[0];

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "path_fuzz: %s\n", what);
    __builtin_trap();
}

struct Fixture {
    fs::path base, root;
    std::string realRoot;
    ino_t rootInode = 0;
    int rootFd = -1;

    Fixture() {
        // In memory where there is a tmpfs: making inodes on a disk file system is most of the time.
        const fs::path scratch = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (scratch / "mcb-path-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) fail("mkdtemp");
        base = pattern;
        root = base / "root";
        fs::create_directories(base / "outside");
        fs::create_directories(root);
        std::ofstream(base / "outside/secret") << "secret";
        realRoot = fs::canonical(root).string();
        struct stat st {};
        stat(root.c_str(), &st);
        rootInode = st.st_ino;
        rootFd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        fill();
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(base, ignored);
    }

    // The tree below the root, made again after an operation changed it.
    void fill() const {
        for (const auto& e : fs::directory_iterator(root)) fs::remove_all(e.path());
        fs::create_directories(root / "data/deep/deeper");
        std::ofstream(root / "data/f") << "f";
        std::ofstream(root / "index.mcb") << "image";
        const std::pair<const char*, std::string> links[] = {
            {"out_abs", (base / "outside/secret").string()}, {"out_rel", "../outside/secret"}, {"out_dir", "../outside"},
            {"slash", "/"}, {"back_in", "../root/data"}, {"in_file", "data/f"}, {"in_dir", "data"}, {"here", "."},
            {"data/up", ".."}, {"data/upup", "../.."}, {"loop", "loop"}, {"ping", "pong"}, {"pong", "ping"},
            {"dangling_in", "data/none"}, {"dangling_out", "../outside/none"}, {"dot_end", "data/f/."},
            {"slash_end", "data/"}, {"chain", "here/in_dir/up/here/data/deep/../up/in_dir"},
            {"data/deep/deeper/x", "../../../out_dir"}, {"data/deep/deeper/y", "../../up/in_file"}};
        for (const auto& [name, target] : links) fs::create_symlink(target, root / name);
    }

    // What lies outside the root, and the root itself, as they must stay.
    std::map<std::string, std::string> outsideState() const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(base / "outside")) {
            struct stat st {};
            lstat(e.path().c_str(), &st);
            out[e.path().string()] = std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
                                     std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_mode);
        }
        for (const auto& e : fs::directory_iterator(base)) out[e.path().string()] += "+";
        struct stat st {};
        out["root"] = stat(root.c_str(), &st) == 0 ? std::to_string(st.st_ino) : "gone";
        return out;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// The lowest free descriptor: the same after an input as before it, or one leaked.
int lowestFreeFd() {
    const int fd = dup(0);
    close(fd);
    return fd;
}

void decode(const uint8_t* data, size_t size, std::u16string& first, std::u16string& second) {
    std::u16string* out = &first;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] >= 0xE0 && i + 2 < size) {
            out->push_back(char16_t(data[i + 1] | data[i + 2] << 8));
            i += 2;
            continue;
        }
        const std::u16string token = kTokens[data[i] % kTokenCount];
        if (token == u"|SECOND|") out = &second;
        else out->append(token);
    }
}

OString toOString(const std::u16string& s) {
    return OString(reinterpret_cast<const TUint16*>(s.data()), TInt32(s.size()));
}

// The bytes the rule gives: no "..", ":", "|" or 0 in a component, no empty or "." one.
void checkRule(const std::string& relative) {
    if (!relative.empty() && (relative.front() == '/' || relative.back() == '/')) fail("separator at an end");
    size_t at = 0;
    while (at <= relative.size() && !relative.empty()) {
        size_t slash = relative.find('/', at);
        if (slash == std::string::npos) slash = relative.size();
        const std::string part = relative.substr(at, slash - at);
        if (part.empty() || part == "." || part.find("..") != std::string::npos ||
            part.find_first_of(std::string(":|\0", 3)) != std::string::npos)
            fail("the rule let a component through");
        at = slash + 1;
    }
}

bool isBelowRoot(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::vector<char> target(8192);
    const ssize_t n = readlink(link, target.data(), target.size() - 1);
    if (n < 0) return false;
    const std::string path(target.data(), size_t(n));
    const std::string& root = fixture().realRoot;
    return path == root || path.rfind(root + "/", 0) == 0;
}

struct Resolution {
    bool opened;
    dev_t device;
    ino_t inode;
};

Resolution resolve(const std::string& relative, bool walk) {
    beneath::useWalk(walk);
    const int fd = beneath::open(fixture().rootFd, relative, O_PATH);
    beneath::useWalk(false);
    if (fd < 0) return {false, 0, 0};
    struct stat st {};
    fstat(fd, &st);
    const bool below = isBelowRoot(fd);
    close(fd);
    if (!below) fail("a resolution left the root");
    return {true, st.st_dev, st.st_ino};
}

// Both resolvers on `relative`: they agree, and whatever opens lies below the root.
void checkResolution(const std::string& relative) {
    if (relative.empty() || relative.find('\0') != std::string::npos) return;
    const Resolution a = resolve(relative, false), b = resolve(relative, true);
    if (a.opened != b.opened || a.device != b.device || a.inode != b.inode) fail("the resolvers disagree");
}

bool perform(AppFiles& files, unsigned op, const OString& p, const OString& q, bool& changes) {
    Vec<OString> names, directories;
    changes = op == 1 || op == 2 || op == 5 || op == 6 || op >= 8;
    switch (op) {
    case 0: return files.openForReading(p) != nullptr;
    case 1: return files.openForWriting(p, true) != nullptr;
    case 2: return files.openForWriting(p, false) != nullptr;
    case 3: return files.fileExists(p);
    case 4: return files.directoryExists(p);
    case 5: return files.deleteFile(p);
    case 6: return files.renameFile(p, q);
    case 7: return files.listDirectory(p, names, directories);
    case 8: return files.createDirectory(p);
    case 9: return files.removeDirectory(p);
    default: return files.renameDirectory(p, q);
    }
}
}  // namespace

}  // namespace mcb

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mcb;
    if (size < 1 || size > 4096) return 0;
    Fixture& fx = fixture();
    const int freeFd = lowestFreeFd();
    std::u16string first, second;
    decode(data + 1, size - 1, first, second);
    const OString p = toOString(first), q = toOString(second);

    // The rule's bytes, and both resolvers on them and on the raw UTF-8 of the text.
    std::string relative;
    if (host::appPathBytes(p, relative)) {
        checkRule(relative);
        checkResolution(relative.empty() ? "." : relative);
    }
    const Vec<TUint8> raw = p.toUtf8();
    checkResolution(std::string(raw.begin(), raw.end()));

    // One application operation, under the resolver byte 0 picks.
    const auto before = fx.outsideState();
    bool done = false, changes = false;
    {
        beneath::useWalk(data[0] & 0x80);
        AppFiles files(fx.root.string());
        done = perform(files, data[0] % 11, p, q, changes);
        beneath::useWalk(false);
    }
    if (fx.outsideState() != before) fail("an operation changed something outside the root");
    if (done && changes) fx.fill();

    if (lowestFreeFd() != freeFd) fail("a descriptor was left open");
    return 0;
}
