// The accelerometer and the torch against stand-ins for their device files
// and for the camera.
#include "ExtensionTestSupport.h"

namespace mcb {

using namespace exttest;

namespace {
DevicePaths scratchPaths(const Scratch& dir) { return {dir.path("coord"), dir.path("video0"), dir.path("state")}; }

// X, Y and Z as the extension pushes them, in thousandths of g.
std::vector<double> axes(Rig& r) {
    std::vector<double> out;
    for (TInt32 f : {11, 12, 13}) out.push_back(std::round(Rig::fixed(r.call(20, f, {})).toReal() * 1000));
    return out;
}

int openDescriptors() { return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})); }
}  // namespace

TEST(Accelerometer, ReadsTheCoordinateFileOnEveryPoll) {
    Scratch dir;
    Rig r(scratchPaths(dir));
    const struct {
        const char* file;  // null: no file
        std::vector<double> xyz;
    } cases[] = {
        {"-18 36 -1008\n", {36, -18, -1008}},
        {"0x10 010 +5", {8, 16, 5}},  // as "%i" reads
        {"12 7", {7, 12, 0}},  // what the file lacks reads as 0
        {"", {0, 0, 0}},
        {"x 1 2", {0, 0, 0}},
        {nullptr, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path("coord"));
        if (c.file) dir.write("coord", c.file);
        EXPECT_EQ(axes(r), c.xyz) << (c.file ? c.file : "no file");
    }
    dir.write("coord", "-18 36 -1008");
    EXPECT_EQ(r.outcome(20, 11, {9}), "[9 " + words(ORaw::toFixed(0.036)) + "]");
    EXPECT_EQ(r.outcome(20, 13, {}), "[" + words(ORaw::toFixed(-1.008)) + "]");
    for (TInt32 f : {0, 10, 14}) EXPECT_EQ(r.outcome(20, f, {}), "11: UnknownException (CODE:11) / SensorDLL: Unknown opcode!");
    EXPECT_EQ(static_cast<Accelerometer*>(r.table.find(20))->observer(), -1);  // none: polling goes on
}

TEST(Accelerometer, ReadingsSetFromOutsideReplaceTheFileAndTheObserverIsFound) {
    Scratch dir;
    dir.write("coord", "1 2 3");
    Rig r(scratchPaths(dir));
    auto source = std::make_shared<SetAcceleration>();
    r.table.setAccelerationSource(source);
    source->set({250, -500, 1000});
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
    EXPECT_EQ(axes(r), (std::vector<double>{250, -500, 1000}));
    EXPECT_NE(static_cast<Accelerometer*>(r.table.find(20))->observer(), -1);
}

namespace {
// A camera that logs what is asked of it; `fail` gives an operation
// ("open", "get", "set") the errno it fails with.
class FakeVideo : public VideoControl {
public:
    std::vector<std::string> log;
    std::map<std::string, int> fail;
    TInt32 value = 0;
    int opened = 0, closed = 0;

    int open(const std::string&) override { return did("open") ? 40 + ++opened : -1; }
    int getTorch(int fd, TInt32& v) override { return did("get " + std::to_string(fd)) ? v = value, 0 : -1; }
    int setTorch(int fd, TInt32 v) override {
        return did("set " + std::to_string(fd) + " " + std::to_string(v)) ? value = v, 0 : -1;
    }
    void close(int fd) override { did("close " + std::to_string(fd)), ++closed; }

private:
    bool did(const std::string& what) {
        log.push_back(what);
        auto it = fail.find(what.substr(0, what.find(' ')));
        return it == fail.end() || (errno = it->second, false);
    }
};
}  // namespace

TEST(Torch, OpensOnFirstUseClosesWhenOffAndReportsFailuresKeepingTheDescriptor) {
    Scratch dir;
    auto video = std::make_shared<FakeVideo>();
    const std::string halt = "11: UnknownException (CODE:11) / ";
    const struct {
        TInt32 function;
        const char* fail;  // the operation that fails with EIO this time
        std::string outcome;
    } steps[] = {
        {1, "", "[9]"},
        {1, "", "[9]"},
        {3, "", "[9 1]"},
        {2, "", "[9]"},
        {3, "", "[9 0]"},
        {1, "set", halt + "Torch: Failed to set torch state to ON: Input/output error"},
        {2, "set", halt + "Torch: Failed to set torch state to OFF: Input/output error"},
        {3, "get", halt + "Torch: Failed to fetch torch state: Input/output error"},
        {2, "", "[9]"},
        {3, "open", halt + "Torch: Failed to open video device: " + dir.path("video0") + ": Input/output error"},
        {5, "", halt + "Torch: Unknown opcode!"},
    };
    {
        Rig r(scratchPaths(dir));
        r.table.setVideoControl(video);
        for (const auto& s : steps) {
            video->fail.clear();
            if (*s.fail) video->fail[s.fail] = EIO;
            EXPECT_EQ(r.outcome(36, s.function, {9}), s.outcome) << "function " << s.function;
        }
        r.call(36, 1, {});  // left on: the extension's end closes it
    }
    EXPECT_EQ(video->log, (std::vector<std::string>{"open", "set 41 1", "set 41 1", "get 41", "set 41 0", "close 41",
                                                    "open", "get 42", "close 42",
                                                    "open", "set 43 1", "set 43 0", "get 43", "set 43 0", "close 43",
                                                    "open", "open", "set 44 1", "close 44"}));
}

TEST(Torch, TheRealControlOnWhatIsNoCameraAndTheLensCover) {
    Scratch dir;
    dir.write("video0", "not a camera");
    const std::string halt = "11: UnknownException (CODE:11) / ";
    const int before = openDescriptors();
    {
        Rig missing({"", dir.path("nothing"), dir.path("nothing")}), plain(scratchPaths(dir));
        EXPECT_EQ(missing.outcome(36, 1, {}), halt + "Torch: Failed to open video device: " + dir.path("nothing") +
                                                  ": No such file or directory");
        EXPECT_EQ(plain.outcome(36, 1, {}), halt + "Torch: Failed to set torch state to ON: Inappropriate ioctl for device");
        EXPECT_EQ(plain.outcome(36, 3, {}), halt + "Torch: Failed to fetch torch state: Inappropriate ioctl for device");
        EXPECT_EQ(missing.outcome(36, 4, {}), halt + "Torch: Failed to fetch camera cover state from: " +
                                                  dir.path("nothing") + ": No such file or directory");
        for (const char* state : {"open\n", "open", "open\nopen\n", "OPEN\n"}) {
            dir.write("state", state);
            EXPECT_EQ(plain.outcome(36, 4, {9}), std::string("[9 ") + (state == std::string("open\n") ? "1]" : "0]")) << state;
        }
    }
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace mcb
