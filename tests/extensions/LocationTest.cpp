// The location extension: its records and requests, fixes from a stand-in
// source reaching the observer, and GeoClue2 played by a helper on a private
// system bus.
#include "ExtensionTestSupport.h"

#include "extensions/GeoClue.h"

#include <QDBusConnectionInterface>

#include <set>

using namespace exttest;

namespace {
ORaw fx(double v) { return ORaw::toFixed(v); }

std::vector<TInt32> words(ORaw v) { return {TInt32(v.lowWord()), TInt32(v.highWord())}; }

// A source whose fixes the test hands out.
class FakePositionSource : public PositionSource {
public:
    struct Client : PositionClient {
        Client(FakePositionSource& s, Listener l) : source(s), listener(std::move(l)) { source.live.insert(this); }
        ~Client() override { source.live.erase(this); }
        FakePositionSource& source;
        Listener listener;
    };
    std::unique_ptr<PositionClient> start(Listener listener) override {
        ++started;
        return std::make_unique<Client>(*this, std::move(listener));
    }
    void fix(const PositionFix& f) {
        std::set<Client*> now = live;
        for (Client* c : now) c->listener(f);
    }
    std::set<Client*> live;
    int started = 0;
};

PositionFix fixAt(double latitude, double longitude, double altitude, double accuracy, int second) {
    PositionFix f{latitude, longitude, altitude, accuracy, {}};
    f.time.setFromFields(7, 12, 2026, 10, 30, second, Velmar::DateTime::ELocal);
    return f;
}

// Globals: 1 the last location, 2 its observer, 3 fixes so far, 5 the fixes
// counted while "poke" ran. Main starts a request it does not keep.
const char* const kLocationApp = R"(
.globals 8
.method "main", main, frame0
.method "poke", poke, frame0
.selector "<*locationobserver>.handle location event<location>"
    .impl Request, onFix, frame2
.class Request
    .reffields 1
.descriptor frame0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0
.code
main:
    alloc 1, 2
    dup
    setclass Request
    dup
    push 10
    push 20
    push 30
    extcall Location.new_request
    extcall Location.start_updates
    ret 0, 1
onFix:
    ldglobals
    fielda 1
    ldloc -3
    store
    ldglobals
    fielda 2
    ldloc -4
    store
    ldglobals
    fielda 3
    incm
    ret 0, 3
poke:
    extcall 99, 1             ; a fix arrives while bytecode runs
    extcall 99, 2             ; and the machine collects
    ldglobals
    fielda 5
    ldglobals
    fielda 3
    deref
    store
    ret 0, 1
)";

struct LocationRig : Rig {
    LocationRig() { table.setPositionSource(source); }
    // Values 1 to 4, the integer and the time stamp of the location in `ref`.
    std::string describe(TUint32 ref) {
        VMAddr holder = object();
        vm.memory().writeWord(holder + 4, ref);
        const TInt32 h = TInt32(holder);
        std::ostringstream out;
        out << fixed(call(27, 12, {h})).toReal() << " " << fixed(call(27, 13, {h})).toReal() << " "
            << fixed(call(27, 11, {h})).toReal() << " " << fixed(call(27, 16, {h, h})).toReal() << " "
            << call(27, 9, {h})[0] << " " << vm.heap().objectAs<Velmar::DateTime>(vm.memory().readWord(VMAddr(call(27, 10, {h})[0])))->toString();
        return out.str();
    }
    std::shared_ptr<FakePositionSource> source = std::make_shared<FakePositionSource>();
};
}  // namespace

TEST(LocationCalls, RecordsAnswerWhatTheyWereGiven) {
    LocationRig r;
    const TInt32 loc = TInt32(r.object()), other = TInt32(r.object());
    const VMAddr when = r.vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL);
    Velmar::DateTime t;
    t.setFromFields(1, 2, 2003, 4, 5, 6, 0);
    r.vm.memory().writeWord(when, numeric::adoptDateTime(r.vm, t));
    auto with = [](std::vector<TInt32> a, ORaw v) {
        for (TInt32 w : words(v)) a.push_back(w);
        return a;
    };
    std::vector<TInt32> create = with(with(with({9, loc}, fx(1.5)), fx(2.5)), fx(3.5));
    create.push_back(TInt32(when));
    EXPECT_EQ(r.call(27, 5, create), std::vector<TInt32>{9});
    r.call(27, 5, {other, 0, 0, 0, 0, 0, 0, TInt32(when)});
    const struct {
        TInt32 function;
        std::vector<TInt32> args, left;
    } cases[] = {
        {12, {9, loc}, with({9}, fx(1.5))},
        {13, {9, loc}, with({9}, fx(2.5))},
        {11, {9, loc}, with({9}, fx(3.5))},
        {16, {9, other, loc}, with({9}, fx(0))},
        {14, {9, loc, loc}, with({9}, fx(0))},
        {15, {9, loc, other}, with({9}, fx(0))},
        {9, {9, loc}, {9, 0}},
        {8, with(with({9, loc}, fx(7)), fx(8)), {9}},
        {7, with(with(with({9, loc}, fx(-1)), fx(-2)), fx(-3.25)), {9}},
        {12, {9, loc}, with({9}, fx(-1))},
        {13, {9, loc}, with({9}, fx(-2))},
        {11, {9, loc}, with({9}, fx(-3.25))},
    };
    for (const auto& c : cases) EXPECT_EQ(r.call(27, c.function, c.args), c.left) << "function " << c.function;
    EXPECT_EQ(r.describe(r.field(VMAddr(loc))), "-1 -2 -3.25 0 0 2003-02-01 04:05:06");
    t.setFromFields(9, 9, 2009, 9, 9, 9, 0);
    r.vm.memory().writeWord(when, numeric::adoptDateTime(r.vm, t));
    r.call(27, 6, {loc, TInt32(when)});
    EXPECT_EQ(r.describe(r.field(VMAddr(loc))), "-1 -2 -3.25 0 0 2009-09-09 09:09:09");
}

TEST(LocationCalls, RequestsKeepTheirSettingsAndFailuresAreVmErrors) {
    LocationRig r;
    const TInt32 req = TInt32(r.object()), empty = TInt32(r.object());
    EXPECT_EQ(r.call(27, 1, {9, req, 1, 2, 3}), std::vector<TInt32>{9});
    auto& requestor = r.native<CLocationPositionRequestorGCObject>(VMAddr(req));
    EXPECT_EQ((std::vector<TInt32>{requestor.a(), requestor.b(), requestor.c()}), (std::vector<TInt32>{1, 2, 3000}));
    r.call(27, 2, {req, 4});
    r.call(27, 17, {req, 5});
    EXPECT_EQ((std::vector<TInt32>{requestor.a(), requestor.b(), requestor.c()}), (std::vector<TInt32>{1, 5, 4}));
    const struct {
        TInt32 function;
        std::vector<TInt32> args;
        std::string failure;
    } cases[] = {
        {3, {0}, "1: NullPointerException: NULL pointer"},
        {3, {empty}, "10: VMException: Invalid TYPEID"},
        {12, {req}, "10: VMException: Invalid TYPEID"},  // a request is no location
        {5, {empty, 0, 0, 0, 0, 0, 0, 0}, "1: NullPointerException: NULL pointer"},
        {0, {}, "11: UnknownException (CODE:11) / Location: Unknown opcode!"},
        {18, {req}, "11: UnknownException (CODE:11) / Location: Unknown opcode!"},
    };
    for (const auto& c : cases) EXPECT_EQ(r.failure(27, c.function, c.args), c.failure) << "function " << c.function;
}

TEST(LocationFixes, ReachTheObserverQueuedWhileBytecodeRunsAndNeverAfterTheRequestEnds) {
    LocationRig r;
    r.load(kLocationApp);
    ASSERT_EQ(r.source->live.size(), 1u);  // main's request, kept by nothing but its start
    r.vm.gc();
    ASSERT_EQ(r.source->live.size(), 1u);

    r.source->fix(fixAt(60.17, 24.94, 12.5, 30, 1));
    ASSERT_EQ(r.global(3), 1u);
    const VMAddr request = r.global(2);
    EXPECT_EQ(r.vm.heap().isRoot(request), 1);
    EXPECT_EQ(r.describe(r.global(1)), "60.17 24.94 12.5 30 0 2026-12-07 10:30:01");

    r.host.hook = [&] { r.source->fix(fixAt(-33.9, 18.4, 0, 5, 2)); };
    r.run("poke");
    EXPECT_EQ(r.global(5), 1u) << "the fix waited for the running call";
    EXPECT_EQ(r.global(3), 2u);
    EXPECT_EQ(r.describe(r.global(1)), "-33.9 18.4 0 5 0 2026-12-07 10:30:02");

    r.call(27, 4, {TInt32(request)});  // stop
    EXPECT_TRUE(r.source->live.empty());
    EXPECT_EQ(r.vm.heap().isRoot(request), 0);
    r.call(27, 3, {TInt32(request)});  // started again, then its requestor replaced and collected
    r.call(27, 3, {TInt32(request)});
    EXPECT_EQ(r.source->live.size(), 1u);
    r.call(27, 1, {TInt32(request), 0, 0, 0});
    r.vm.gc();
    EXPECT_TRUE(r.source->live.empty());
    EXPECT_EQ(r.vm.heap().isRoot(request), 0);
    r.source->fix(fixAt(1, 2, 3, 4, 5));
    EXPECT_EQ(r.global(3), 2u);
}

TEST(LocationFixes, WithoutAnObserverMethodNothingIsCalled) {
    LocationRig r;
    r.load(R"(
.method "main", main, f
.descriptor f
.code
main:
    ret 0, 1
)");
    const TInt32 req = TInt32(r.object());
    r.call(27, 1, {req, 0, 0, 0});
    r.call(27, 3, {req});
    const TInt32 entries = r.vm.heap().numberOfEntries();
    r.source->fix(fixAt(1, 2, 3, 4, 5));
    EXPECT_EQ(r.vm.heap().numberOfEntries(), entries);  // not even a location made
}

// --- GeoClue2 on a private system bus ---------------------------------------------

namespace {
// A private system bus in a scratch folder, stopped by pid.
struct SystemBus {
    SystemBus() {
        if (!hosttest::haveProgram("dbus-daemon")) return;
        address = "unix:path=" + dir.path("system_bus_socket");
        dir.write("bus.conf", "<busconfig><type>system</type><listen>" + address +
                                  "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        bus.pid = std::atoi(hosttest::output("dbus-daemon --config-file=" + dir.path("bus.conf") + " --fork --print-pid=1").c_str());
    }
    bool up() const { return bus.pid > 0; }
    // Qt keeps named connections for the process: the bus's address makes the name new.
    QDBusConnection connect() const {
        return QDBusConnection::connectToBus(QString::fromStdString(address), QString::fromStdString(address));
    }
    ScratchDir dir;
    std::string address;
    hosttest::Stopper bus;
};

std::string testBinary() { return MCB_BINARY_DIR "/bin/test_extensions"; }
}  // namespace

TEST(GeoClue, AHelperOwningTheServiceDeliversTwoFixesAndSeesStop) {
    hosttest::ensureQtApp();
    SystemBus system;
    if (!system.up()) GTEST_SKIP() << "dbus-daemon is not installed";
    hosttest::ChildProcess helper({testBinary()}, hosttest::playerEnvironment(system.dir.root(),
                                  {{"DBUS_SYSTEM_BUS_ADDRESS", system.address}, {"MCB_EXTENSION_ROLE", "geoclue"}}),
                                  system.dir.root());
    ASSERT_TRUE(helper.waitFor("helper ready")) << helper.err();

    Rig r;
    r.table.setPositionSource(std::make_shared<GeoCluePositionSource>(system.connect()));
    r.load(kLocationApp);
    ASSERT_TRUE(waitUntil([&] { return r.global(3) == 2; })) << helper.err();
    ASSERT_TRUE(helper.waitFor("Start\n")) << helper.err();
    EXPECT_NE(helper.err().find("DesktopId=mcbplayer\nRequestedAccuracyLevel=8\n"), std::string::npos) << helper.err();
    VMAddr holder = r.object();
    r.vm.memory().writeWord(holder + 4, r.global(1));
    EXPECT_EQ(Rig::fixed(r.call(27, 12, {TInt32(holder)})), fx(52.5));   // latitude
    EXPECT_EQ(Rig::fixed(r.call(27, 13, {TInt32(holder)})), fx(13.25));  // longitude
    EXPECT_EQ(Rig::fixed(r.call(27, 11, {TInt32(holder)})), fx(0));      // altitude unknown
    EXPECT_EQ(Rig::fixed(r.call(27, 16, {TInt32(holder), TInt32(holder)})), fx(20));
    Velmar::DateTime expected;
    const QDateTime t = QDateTime::fromSecsSinceEpoch(1800000000).toLocalTime();
    expected.setFromFields(t.date().day(), t.date().month(), t.date().year(), t.time().hour(), t.time().minute(),
                           t.time().second(), 0);
    EXPECT_EQ(r.vm.heap().objectAs<Velmar::DateTime>(r.vm.memory().readWord(VMAddr(r.call(27, 10, {TInt32(holder)})[0])))->toString(),
              expected.toString());

    r.call(27, 4, {TInt32(r.global(2))});
    EXPECT_TRUE(helper.waitFor("Stop\n")) << helper.err();
    helper.send("quit");
    EXPECT_EQ(helper.finish(), 0);
}

TEST(GeoClue, WithoutTheServiceOneMessageAndNoCall) {
    hosttest::ensureQtApp();
    SystemBus system;
    if (!system.up()) GTEST_SKIP() << "dbus-daemon is not installed";
    StderrCapture err;
    Rig r;
    r.table.setPositionSource(std::make_shared<GeoCluePositionSource>(system.connect()));
    r.load(kLocationApp);
    ASSERT_TRUE(waitUntil([&] { return err.text().find("Location: no position source\n") != std::string::npos; }));
    const TInt32 other = TInt32(r.object());
    r.call(27, 1, {other, 0, 0, 0});
    r.call(27, 3, {other});
    // A round trip on the same connection: the refusal of the second request
    // arrives before its answer, and is handled by the events that follow.
    system.connect().interface()->isServiceRegistered(GeoCluePositionSource::kService);
    QCoreApplication::processEvents();
    EXPECT_EQ(count(err.text(), "Location: no position source\n"), 1u);
    EXPECT_EQ(r.global(3), 0u);
}
