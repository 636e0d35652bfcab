// The host services of the main view: the application path rule, files under
// the root directory, the log file, and the fixed answers of this host.
#include "HostTestSupport.h"

#include "io/AppPath.h"
#include "host/MainView.h"
#include "io/CAppsFileReader.h"
#include "io/CAppsFileWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/time.h>

using hosttest::ScratchDir;

namespace {
class HostServices : public ::testing::Test {
protected:
    void SetUp() override {
        hosttest::ensureQtApp();
        view = std::make_unique<MainView>(OString(dir.root().c_str()));
    }
    static std::string text(const Vec<OString>& v, TInt32 i) { return host::toCApps(v[i]).toLatin1(); }

    ScratchDir dir;
    std::unique_ptr<MainView> view;
};
}  // namespace

TEST(AppPath, ValidityAndResolutionBelowTheRoot) {
    for (const char* ok : {"data/x.txt", "a.b/.c"}) EXPECT_TRUE(host::isValidAppPath(OString(ok))) << ok;
    for (const char* bad : {"data/../secret", "..", "c:x", "a|b", ""})
        EXPECT_FALSE(host::isValidAppPath(OString(bad))) << bad;
    const std::pair<const char*, const char*> resolved[] = {
        {"data//x.txt", "/r/data/x.txt"}, {"data\\\\x.txt", "/r/data/x.txt"}, {"a////b", "/r/a/b"}, {"/abs", "/r/abs"}};
    for (auto [in, out] : resolved) EXPECT_EQ(host::resolveAppPath(OString("/r"), OString(in)).toLatin1(), out) << in;
}

TEST_F(HostServices, InvalidPathsFailWithoutTouchingTheFileSystem) {
    dir.write("secret", "s");
    dir.write("data/x.txt", "x");
    EXPECT_EQ(view->openForReading(OString("data/../secret"), 0), nullptr);
    EXPECT_EQ(view->openForWriting(OString("a:b"), true), nullptr);
    EXPECT_FALSE(dir.exists("a:b"));
    EXPECT_FALSE(view->fileExists(OString("")));
    EXPECT_FALSE(view->deleteFile(OString("data/../secret")));
    EXPECT_TRUE(dir.exists("secret"));
    EXPECT_FALSE(view->createDirectory(OString("x|y")));
    EXPECT_FALSE(view->renameFile(OString("data/x.txt"), OString("..")));
    EXPECT_TRUE(view->fileExists(OString("data//x.txt")));
    auto r = view->openForReading(OString("data/x.txt"), 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size(), 1u);
    EXPECT_EQ(view->openForReading(OString("missing.txt"), 0), nullptr);
}

TEST_F(HostServices, OpenForWritingWithoutTruncationContinuesAfterTheOldContents) {
    dir.write("f.txt", "a");
    {
        auto w = view->openForWriting(OString("f.txt"), false);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->write(TUint8('b')));
    }
    EXPECT_EQ(dir.read("f.txt"), "ab");
    {
        auto w = view->openForWriting(OString("f.txt"), true);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->write(TUint8('c')));
    }
    EXPECT_EQ(dir.read("f.txt"), "c");
    auto fresh = view->openForWriting(OString("new/dir/g.txt"), false);
    ASSERT_NE(fresh, nullptr);
    fresh.reset();
    EXPECT_TRUE(dir.exists("new/dir/g.txt"));
}

TEST_F(HostServices, FilesAndDirectoriesAreManagedBelowTheRoot) {
    EXPECT_TRUE(view->createDirectory(OString("d/e")));
    EXPECT_TRUE(view->directoryExists(OString("d/e")));
    dir.write("d/f1.txt", "1");
    Vec<OString> files, dirs;
    ASSERT_TRUE(view->listDirectory(OString("d"), files, dirs));
    ASSERT_EQ(files.getSize(), 1);
    ASSERT_EQ(dirs.getSize(), 1);
    EXPECT_EQ(text(files, 0), "f1.txt");
    EXPECT_EQ(text(dirs, 0), "e");
    EXPECT_FALSE(view->listDirectory(OString("nothing"), files, dirs));
    EXPECT_EQ(files.getSize(), 1);

    EXPECT_TRUE(view->renameFile(OString("d/f1.txt"), OString("moved/f2.txt")));
    EXPECT_EQ(dir.read("moved/f2.txt"), "1");
    EXPECT_TRUE(view->deleteFile(OString("moved/f2.txt")));
    EXPECT_FALSE(view->deleteFile(OString("moved/f2.txt")));
    EXPECT_TRUE(view->renameDirectory(OString("d"), OString("d2")));
    EXPECT_TRUE(view->directoryExists(OString("d2/e")));
    EXPECT_TRUE(view->removeDirectory(OString("d2")));
    EXPECT_FALSE(view->directoryExists(OString("d2")));
}

TEST_F(HostServices, OpeningTheLogAgainStartsItEmptyAndAnEmptyPathClosesIt) {
    ASSERT_TRUE(view->openLog(OString("log.txt")));
    view->log(OString("one"));
    ASSERT_TRUE(view->openLog(OString("log.txt")));
    view->log(OString("two"));
    view->log(OString(""));  // empty messages reach standard error only
    const TUint16 text[] = {'e', 0xE9, 0x20AC};
    view->log(OString(text, 3));  // written as UTF-8
    EXPECT_TRUE(view->openLog(OString("")));
    view->log(OString("three"));
    EXPECT_EQ(dir.read("log.txt"), "LOG: two\nLOG: e\xC3\xA9\xE2\x82\xAC\n");
    EXPECT_FALSE(view->openLog(OString("../x")));
}

TEST_F(HostServices, FixedAnswersOfThisHost) {
    EXPECT_EQ(host::toCApps(view->pathSeparator()).toLatin1(), "/");
    EXPECT_EQ(host::toCApps(view->platformName()).toLatin1(), "maemo");
    EXPECT_EQ(host::toCApps(view->rootDirectory()).toLatin1(), dir.root());
    EXPECT_EQ(view->orientation(), 2);
}

TEST_F(HostServices, ClocksCountMillisecondsSinceTheEpochAndSinceStart) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    TInt32 now = TInt32(TUint32((TUint64(tv.tv_sec) * 1000000u + TUint64(tv.tv_usec)) / 1000));
    EXPECT_LE(std::abs(view->currentMillis() - now), 1000);
}

TEST_F(HostServices, UnknownExtensionsAreNotSupported) {
    TInt32 stack[4] = {};
    EXPECT_THROW(view->callDllNative(21, 1, 0, stack), ErrorHandlingException);
    EXPECT_EQ(vmerr::pendingErrorCode(), vmerr::VM);
    EXPECT_EQ(vmerr::pendingErrorText(), CAppsString("VMException: Dll not supported"));
}
