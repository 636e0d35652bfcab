// The application file operations: a writer that continues a file it cannot
// read must fail rather than empty the file.
#include "../support/Scratch.h"
#include "io/AppFiles.h"
#include "io/CAppsFileWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mcb {

TEST(AppFiles, ContinuingAFileThatCannotBeReadFailsAndKeepsIt) {
    Scratch dir;
    dir.write("secret", "kept");
    const std::string path = dir.path("secret");
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);  // writable, not readable
    const pid_t child = fork();
    if (child == 0) {
        // Root reads whatever the mode says: become nobody, who owns the file.
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (chown(path.c_str(), kNobody, kNobody) != 0 || chmod(dir.path("").c_str(), 0711) != 0 ||
                               setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(2);
        _exit(AppFiles(dir.path("")).openForWriting(OString("secret"), false) == nullptr ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the open succeeded; 2: could not become another user";
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(dir.read("secret"), "kept");
}

}  // namespace mcb
