// How host code calls into the machine and how the process ends: a run that
// halts or exits inside an event handler ends the process here, so nothing
// the machine throws ever crosses Qt's event loop.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace mcb {

namespace host {

// Runs one call into the machine. An exit ends the process with status 0; a
// halt and an escaping VM error write the "FATAL: " line of the pending
// error and end it with status 1 (any other exception: its own text). Once
// the process is ending, calls are dropped.
void callVm(const std::function<void()>& call);

// Ends the process at once, after the hook below has run and the standard
// streams are flushed.
[[noreturn]] void endProcess(int status);

// Run just before the process ends (the main view closes its log file, writes
// the screenshot and ends the recording here, so that nothing is lost).
void setBeforeEnd(std::function<void()> hook);

// Run when the process ends, after the hook above, however it ends.
void addExitCleanup(std::function<void()> cleanup);
// True once the process has begun to end (calls into the machine are dropped).
bool ending();

// Gives a line that explains a fatal end to a person (empty: none); written
// after the "FATAL: " line.
void setFatalDetail(std::function<std::string()> detail);
// Shown the fatal text before the process ends (a message box in a window).
void setFatalNotice(std::function<void(const std::string&)> notice);

// Writes one of the player's own lines to standard error (and the --log file).
void say(const std::string& line);
// Also writes what say() writes, the application's log lines and the fatal
// lines to `file` (null: nowhere).
void setLogCopy(std::FILE* file);
std::FILE* logCopy();

}  // namespace host

}  // namespace mcb
