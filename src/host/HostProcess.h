// How host code calls into the machine and how the process ends: a run that
// halts or exits inside an event handler ends the process here, so nothing
// the machine throws ever crosses Qt's event loop.
#pragma once

#include <functional>

namespace host {

// Runs one call into the machine. Exit (-1) ends the process with status 0;
// halt (-2) and an escaping VM error write the "FATAL: " line of the pending
// error and end it with status 1 (any other exception: its own text).
void callVm(const std::function<void()>& call);

// Ends the process at once, after the hook below has run and the standard
// streams are flushed.
[[noreturn]] void endProcess(int status);

// Run just before the process ends (the main view closes its log file here,
// so that nothing it buffered is lost).
void setBeforeEnd(std::function<void()> hook);

}  // namespace host
