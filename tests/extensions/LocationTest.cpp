// The location extension: its records and requests, fixes from a stand-in
// source reaching the observer, and GeoClue2 played by a helper of this binary
// on a private system bus.
#include "ExtensionTestSupport.h"

#include "extensions/GeoClue.h"

#include <QDBusConnectionInterface>

#include <set>

namespace mcb {

using namespace exttest;

namespace {
// Fixes handed out by the test to every client still started.
class FakePositionSource : public PositionSource {
public:
    struct Client : PositionClient {
        Client(std::set<Client*>& live, Listener l) : live(live), listener(std::move(l)) { live.insert(this); }
        ~Client() override { live.erase(this); }
        std::set<Client*>& live;
        Listener listener;
    };
    std::unique_ptr<PositionClient> start(Listener listener) override {
        return std::make_unique<Client>(live, std::move(listener));
    }
    void fix(double latitude, double longitude, double altitude, double accuracy, int second) {
        PositionFix f{latitude, longitude, altitude, accuracy, {}};
        f.time.setFromFields(7, 12, 2026, 10, 30, second, VELMAR::DateTime::ELocal);
        for (Client* c : std::set<Client*>(live)) c->listener(f);
    }
    std::set<Client*> live;
};

// Globals: 1 the last location, 2 its observer, 3 fixes so far, 5 the fixes
// seen when "poke" ended. Main starts a request that it does not keep.
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
    ldloc -2
    @store 1
    ldloc -3
    @store 2
    @addr 3
    incm
    ret 0, 3
poke:
    extcall 99, 1             ; a fix arrives while bytecode runs
    extcall 99, 2             ; and the machine collects
    @load 3
    @store 5
    ret 0, 1
)";

// Values 1 to 4, the integer and the time stamp of the location record `ref`.
std::string describe(Rig& r, TUint32 ref) {
    const TInt32 h = TInt32(r.object(ref));
    std::ostringstream out;
    for (TInt32 f : {12, 13, 11}) out << Rig::fixed(r.call(27, f, {h})).toReal() << " ";
    out << Rig::fixed(r.call(27, 16, {h, h})).toReal() << " " << r.call(27, 9, {h})[0] << " "
        << r.vm.heap().objectAs<VELMAR::DateTime>(r.vm.memory().readWord(VMAddr(r.call(27, 10, {h})[0])))->toString();
    return out.str();
}
}  // namespace

TEST(LocationCalls, RecordsAndRequestsOnTheStack) {
    Rig r;
    const TInt32 loc = TInt32(r.object()), req = TInt32(r.object()), empty = TInt32(r.object());
    const TInt32 when = TInt32(r.vm.heap().allocateWords(1, GC_CODE_REFERENCE_CELL));
    VELMAR::DateTime t;
    t.setFromFields(1, 2, 2003, 4, 5, 6, 0);
    r.vm.memory().writeWord(VMAddr(when), numeric::adoptDateTime(r.vm, t));
    auto fixedWords = [](std::initializer_list<double> vs) {
        std::vector<TInt32> out;
        for (double v : vs)
            out.push_back(TInt32(ORaw::toFixed(v).lowWord())), out.push_back(TInt32(ORaw::toFixed(v).highWord()));
        return out;
    };
    auto args = [](std::vector<TInt32> a, const std::vector<TInt32>& b) {
        return a.insert(a.end(), b.begin(), b.end()), a;
    };
    const std::string unknown = "11: UnknownException (CODE:11) / Location: Unknown opcode!";
    const Call cases[] = {
        {5, args(args({9, loc}, fixedWords({1.5, 2.5, 3.5})), {when}), "[9]"},
        {12, {9, loc}, "[9 " + words(ORaw::toFixed(1.5)) + "]"},
        {13, {9, loc}, "[9 " + words(ORaw::toFixed(2.5)) + "]"},
        {11, {9, loc}, "[9 " + words(ORaw::toFixed(3.5)) + "]"},
        {16, {9, empty, loc}, "[9 0 0]"},
        {14, {9, loc, loc}, "[9 0 0]"},
        {15, {9, loc, empty}, "[9 0 0]"},
        {9, {9, loc}, "[9 0]"},
        {8, args({9, loc}, fixedWords({7, 8})), "[9]"},
        {7, args({9, loc}, fixedWords({-1, -2, -3.25})), "[9]"},
        {6, {9, loc, when}, "[9]"},
        {1, {9, req, 1, 2, 3}, "[9]"},
        {2, {9, req, 4}, "[9]"},
        {17, {9, req, 5}, "[9]"},
        {3, {0}, "1: NullPointerException: NULL pointer"},
        {3, {empty}, "10: VMException: Invalid TYPEID"},
        {12, {req}, "10: VMException: Invalid TYPEID"},
        {5, {empty, 0, 0, 0, 0, 0, 0, 0}, "1: NullPointerException: NULL pointer"},
        {0, {}, unknown},
        {18, {req}, unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(r.outcome(27, c.function, c.args), c.outcome) << "function " << c.function;
    EXPECT_EQ(describe(r, r.field(VMAddr(loc))), "-1 -2 -3.25 0 0 2003-02-01 04:05:06");
    auto& requestor = r.native<CLocationPositionRequestorGCObject>(VMAddr(req));
    EXPECT_EQ((std::vector<TInt32>{requestor.a(), requestor.b(), requestor.c()}), (std::vector<TInt32>{1, 5, 4}));
    r.call(27, 1, {req, 1, 2, 3});
    EXPECT_EQ(r.native<CLocationPositionRequestorGCObject>(VMAddr(req)).c(), 3000);
}

TEST(LocationFixes, ReachTheObserverQueuedWhileBytecodeRunsAndNeverAfterTheRequestEnds) {
    Rig r;
    auto source = std::make_shared<FakePositionSource>();
    r.table.setPositionSource(source);
    r.load(kLocationApp);
    r.vm.gc();
    ASSERT_EQ(source->live.size(), 1u);  // main's request lives on its start alone

    source->fix(60.17, 24.94, 12.5, 30, 1);
    ASSERT_EQ(r.global(3), 1u);
    const TInt32 request = TInt32(r.global(2));
    EXPECT_EQ(r.vm.heap().isRoot(VMAddr(request)), 1);
    EXPECT_EQ(describe(r, r.global(1)), "60.17 24.94 12.5 30 0 2026-12-07 10:30:01");

    r.hook = [&] { source->fix(-33.9, 18.4, 0, 5, 2); };
    r.run("poke");
    EXPECT_EQ(r.global(5), 1u) << "the fix waited for the running call";
    EXPECT_EQ(r.global(3), 2u);
    EXPECT_EQ(describe(r, r.global(1)), "-33.9 18.4 0 5 0 2026-12-07 10:30:02");

    r.call(27, 4, {request});
    EXPECT_TRUE(source->live.empty());
    EXPECT_EQ(r.vm.heap().isRoot(VMAddr(request)), 0);
    r.call(27, 3, {request});
    r.call(27, 3, {request});  // once started is enough
    EXPECT_EQ(source->live.size(), 1u);
    r.call(27, 1, {request, 0, 0, 0});  // the started requestor is replaced, then collected
    r.vm.gc();
    EXPECT_TRUE(source->live.empty());
    EXPECT_EQ(r.vm.heap().isRoot(VMAddr(request)), 0);
    source->fix(1, 2, 3, 4, 5);
    EXPECT_EQ(r.global(3), 2u);
}

TEST(LocationFixes, WithoutAnObserverMethodNothingIsMadeOrCalled) {
    Rig r;
    auto source = std::make_shared<FakePositionSource>();
    r.table.setPositionSource(source);
    r.load(".method \"main\", main, f\n.descriptor f\n.code\nmain:\n    ret 0, 1\n");
    const TInt32 req = TInt32(r.object());
    r.call(27, 1, {req, 0, 0, 0});
    r.call(27, 3, {req});
    const TInt32 entries = r.vm.heap().numberOfEntries();
    source->fix(1, 2, 3, 4, 5);
    EXPECT_EQ(r.vm.heap().numberOfEntries(), entries);
}

TEST(GeoClue, AHelperOwningTheServiceDeliversTwoFixesAndSeesStop) {
    PrivateBus system(true);
    if (!system.up()) GTEST_SKIP() << "no private D-Bus daemon could be started";
    ChildProcess helper({MCB_BINARY_DIR "/bin/test_extensions"},
                        playerEnvironment(system.dir.root(), {{"DBUS_SYSTEM_BUS_ADDRESS", system.address},
                                                              {"MCB_EXTENSION_ROLE", "geoclue"}}),
                        system.dir.root());
    ASSERT_TRUE(helper.waitFor("helper ready")) << helper.err();
    Rig r;
    r.table.setPositionSource(std::make_shared<GeoCluePositionSource>(system.connect()));
    r.load(kLocationApp);
    ASSERT_TRUE(waitUntil([&] { return r.global(3) == 2; })) << helper.err();
    EXPECT_TRUE(helper.waitFor("DesktopId=mcbplayer\nRequestedAccuracyLevel=8\nStart\n")) << helper.err();
    VELMAR::DateTime t;  // the helper's second time stamp, in local time
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1800000000).toLocalTime();
    t.setFromFields(when.date().day(), when.date().month(), when.date().year(), when.time().hour(),
                    when.time().minute(), when.time().second(), 0);
    EXPECT_EQ(describe(r, r.global(1)), "52.5 13.25 0 20 0 " + t.toString());  // no altitude known
    r.call(27, 4, {TInt32(r.global(2))});
    EXPECT_TRUE(helper.waitFor("Stop\n")) << helper.err();
    helper.send("quit");
    EXPECT_EQ(helper.finish(), 0);
}

TEST(GeoClue, WithoutTheServiceOneMessageAndNoCall) {
    PrivateBus system(true);
    if (!system.up()) GTEST_SKIP() << "no private D-Bus daemon could be started";
    StderrCapture err;
    Rig r;
    r.table.setPositionSource(std::make_shared<GeoCluePositionSource>(system.connect()));
    r.load(kLocationApp);
    ASSERT_TRUE(waitUntil([&] { return count(err.text(), "Location: no position source\n") == 1; }));
    const TInt32 other = TInt32(r.object());
    r.call(27, 1, {other, 0, 0, 0});
    r.call(27, 3, {other});
    // A round trip on the same connection: the second refusal came before its
    // answer, and the events that follow handle it.
    system.connect().interface()->isServiceRegistered(GeoCluePositionSource::kService);
    QCoreApplication::processEvents();
    EXPECT_EQ(count(err.text(), "Location: no position source\n"), 1u);
    EXPECT_EQ(r.global(3), 0u);
}

}  // namespace mcb
