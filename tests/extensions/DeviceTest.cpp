// The accelerometer and the torch against stand-ins for their device files
// and for the camera.
#include "ExtensionTestSupport.h"

#include <dirent.h>

using namespace exttest;

namespace {
DevicePaths scratchPaths(const ScratchDir& dir) {
    return {dir.path("coord"), dir.path("video0"), dir.path("cam_shutter/state")};
}

ORaw g(double v) { return ORaw::toFixed(v); }

// X, Y and Z as the extension pushes them.
std::vector<ORaw> axes(Rig& r) {
    std::vector<ORaw> out;
    for (TInt32 f : {11, 12, 13}) out.push_back(Rig::fixed(r.call(20, f, {}), 0));
    return out;
}

int openDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}
}  // namespace

// --- accelerometer ----------------------------------------------------------------

TEST(Accelerometer, ReadsTheCoordinateFileOnEveryPoll) {
    ScratchDir dir;
    Rig r(scratchPaths(dir));
    const struct {
        const char* file;  // null: no file
        double x, y, z;
    } cases[] = {
        {"-18 36 -1008\n", 0.036, -0.018, -1.008},
        {"0x10 010 +5", 0.008, 0.016, 0.005},  // "%i": hexadecimal and octal
        {"  7\n-3\t1000 and more", -0.003, 0.007, 1.0},
        {"12 7", 0.007, 0.012, 0},  // what the file lacks reads as 0
        {"", 0, 0, 0},
        {"x 1 2", 0, 0, 0},
        {"99999999999 0 0", 0, 2147483.647, 0},
        {nullptr, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        std::filesystem::remove(dir.path("coord"));
        if (c.file) dir.write("coord", c.file);
        EXPECT_EQ(axes(r), (std::vector<ORaw>{g(c.x), g(c.y), g(c.z)}));
    }
}

TEST(Accelerometer, PushesTwoWordsAndReportsUnknownFunctions) {
    ScratchDir dir;
    dir.write("coord", "1000 -2000 0");
    Rig r(scratchPaths(dir));
    ORaw minus2 = g(-2.0);
    EXPECT_EQ(r.call(20, 11, {9}), (std::vector<TInt32>{9, TInt32(minus2.lowWord()), TInt32(minus2.highWord())}));
    for (TInt32 f : {0, 10, 14})
        EXPECT_EQ(r.failure(20, f, {9}), "11: UnknownException (CODE:11) / SensorDLL: Unknown opcode!");
    // No image, so no observer: polling goes on all the same.
    EXPECT_EQ(static_cast<Accelerometer*>(r.table.find(20))->observer(), -1);
}

TEST(Accelerometer, ReadingsSetFromOutsideReplaceTheFile) {
    ScratchDir dir;
    dir.write("coord", "1 2 3");
    Rig r(scratchPaths(dir));
    auto source = std::make_shared<SetAcceleration>();
    r.table.setAccelerationSource(source);
    EXPECT_EQ(axes(r), (std::vector<ORaw>{g(0), g(0), g(0)}));
    source->set({250, -500, 1000});
    EXPECT_EQ(axes(r), (std::vector<ORaw>{g(0.25), g(-0.5), g(1.0)}));
}

TEST(Accelerometer, AnImageWithAnObserverHasItLookedUpOnce) {
    ScratchDir dir;
    Rig r(scratchPaths(dir));
    r.load(R"(
.method "main", main, f
.selector "<*accelerometerobserver>.handle accelerometer event<fixed><fixed><fixed>"
    .impl App, main, f
.class App
.descriptor f
.code
main:
    extcall Accelerometer.x
    adjsp -2
    ret 0, 1
)");
    EXPECT_NE(static_cast<Accelerometer*>(r.table.find(20))->observer(), -1);
}

// --- torch -------------------------------------------------------------------------

namespace {
// A camera that records what is asked of it; `fail` maps an operation
// ("open", "get", "set") to the errno it fails with.
class FakeVideo : public VideoControl {
public:
    std::vector<std::string> log;
    std::map<std::string, int> fail;
    TInt32 value = 0;
    int opened = 0, closed = 0;

    int open(const std::string&) override {
        log.push_back("open");
        if (failing("open")) return -1;
        ++opened;
        return 40 + opened;
    }
    int getTorch(int fd, TInt32& v) override {
        log.push_back("get " + std::to_string(fd));
        if (failing("get")) return -1;
        v = value;
        return 0;
    }
    int setTorch(int fd, TInt32 v) override {
        log.push_back("set " + std::to_string(fd) + " " + std::to_string(v));
        if (failing("set")) return -1;
        value = v;
        return 0;
    }
    void close(int fd) override {
        log.push_back("close " + std::to_string(fd));
        ++closed;
    }

private:
    bool failing(const std::string& op) {
        auto it = fail.find(op);
        if (it == fail.end()) return false;
        errno = it->second;
        return true;
    }
};
}  // namespace

TEST(Torch, OpensOnFirstUseAndClosesWhenOff) {
    ScratchDir dir;
    auto video = std::make_shared<FakeVideo>();
    {
        Rig r(scratchPaths(dir));
        r.table.setVideoControl(video);
        EXPECT_EQ(r.call(36, 1, {9}), std::vector<TInt32>{9});
        EXPECT_EQ(r.call(36, 1, {9}), std::vector<TInt32>{9});
        EXPECT_EQ(r.call(36, 3, {9}), (std::vector<TInt32>{9, 1}));
        EXPECT_EQ(r.call(36, 2, {9}), std::vector<TInt32>{9});
        EXPECT_EQ(r.call(36, 3, {9}), (std::vector<TInt32>{9, 0}));
        EXPECT_FALSE(static_cast<Torch*>(r.table.find(36))->isOpen());
        EXPECT_EQ(r.failure(36, 5, {}), "11: UnknownException (CODE:11) / Torch: Unknown opcode!");
    }
    EXPECT_EQ(video->log, (std::vector<std::string>{"open", "set 41 1", "set 41 1", "get 41", "set 41 0", "close 41",
                                                    "open", "get 42", "close 42"}));
}

TEST(Torch, FailuresAreReportedAndKeepTheDescriptorAsItWas) {
    const struct {
        std::string fail;  // operation that fails with EIO, or "open" with ENOENT
        TInt32 function;
        std::string report;
        bool open;  // the device afterwards
    } cases[] = {
        {"open", 1, "Torch: Failed to open video device: DEV: No such file or directory", false},
        {"set", 1, "Torch: Failed to set torch state to ON: Input/output error", true},
        {"set", 2, "Torch: Failed to set torch state to OFF: Input/output error", true},
        {"get", 3, "Torch: Failed to fetch torch state: Input/output error", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        ScratchDir dir;
        auto video = std::make_shared<FakeVideo>();
        {
            Rig r(scratchPaths(dir));
            r.table.setVideoControl(video);
            video->fail[c.fail] = c.fail == "open" ? ENOENT : EIO;
            std::string report = c.report;
            if (size_t at = report.find("DEV"); at != std::string::npos) report.replace(at, 3, dir.path("video0"));
            EXPECT_EQ(r.failure(36, c.function, {}), "11: UnknownException (CODE:11) / " + report);
            EXPECT_EQ(static_cast<Torch*>(r.table.find(36))->isOpen(), c.open);
            video->fail.clear();
            EXPECT_EQ(r.call(36, 2, {}), std::vector<TInt32>{});  // off now works, and closes
            EXPECT_FALSE(static_cast<Torch*>(r.table.find(36))->isOpen());
        }
        EXPECT_EQ(video->opened, video->closed) << "every descriptor closed once";
    }
}

TEST(Torch, TheRealControlOnWhatIsNoCamera) {
    ScratchDir dir;
    dir.write("video0", "not a camera");
    const int before = openDescriptors();
    {
        Rig missing({dir.path("coord"), dir.path("nothing"), dir.path("state")});
        EXPECT_EQ(missing.failure(36, 1, {}), "11: UnknownException (CODE:11) / Torch: Failed to open video device: " +
                                                  dir.path("nothing") + ": No such file or directory");
        Rig plain(scratchPaths(dir));
        EXPECT_EQ(plain.failure(36, 1, {}),
                  "11: UnknownException (CODE:11) / Torch: Failed to set torch state to ON: Inappropriate ioctl for device");
        EXPECT_TRUE(static_cast<Torch*>(plain.table.find(36))->isOpen());
        EXPECT_EQ(plain.failure(36, 3, {}),
                  "11: UnknownException (CODE:11) / Torch: Failed to fetch torch state: Inappropriate ioctl for device");
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST(Torch, TheLensCoverIsOpenOnlyForExactlyOpenAndALineEnd) {
    ScratchDir dir;
    Rig r(scratchPaths(dir));
    const struct {
        const char* state;  // null: no file
        TInt32 open;
    } cases[] = {{"open\n", 1}, {"open", 0}, {"closed\n", 0}, {"open\nopen\n", 0}, {"", 0}, {"OPEN\n", 0}};
    for (const auto& c : cases) {
        dir.write("cam_shutter/state", c.state);
        EXPECT_EQ(r.call(36, 4, {9}), (std::vector<TInt32>{9, c.open})) << c.state;
    }
    std::filesystem::remove(dir.path("cam_shutter/state"));
    EXPECT_EQ(r.failure(36, 4, {}), "11: UnknownException (CODE:11) / Torch: Failed to fetch camera cover state from: " +
                                        dir.path("cam_shutter/state") + ": No such file or directory");
}
