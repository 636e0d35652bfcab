// The string and vector tests use the shared native-test harness: assembled
// programs whose test host also turns `extcall 20, N` into collector probes.
#pragma once

#include "../natives_numeric/NativeProgram.h"
