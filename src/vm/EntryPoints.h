// The exported methods the machine looks up at load, with their signatures, in
// resolution order. The signatures are part of the bytecode contract.
#pragma once

#include "foundation/Types.h"

#define MCB_ENTRY_POINTS(X)                                                                      \
    X(EntryGlobalInit, "::global::init")                                                         \
    X(EntryMain, "main")                                                                         \
    X(EntrySystemTimer, "<systemtimerlistener>.systemtimerevent")                                \
    X(EntryDraw, "<application>.draw to<canvas>")                                                \
    X(EntryKeyPressed, "<application>.key pressed<keyevent>")                                    \
    X(EntryKeyReleased, "<application>.key released<keyevent>")                                  \
    X(EntryPointerEvent, "<application>.pointer event<int>at x<int>y<int>modifiers<int>")        \
    X(EntryPointerPressed, "<application>.pointer pressed at<position>")                         \
    X(EntryPointerDragged, "<application>.pointer dragged to<position>")                         \
    X(EntryPointerReleased, "<application>.pointer released at<position>")                       \
    X(EntryExit, "<application>.exit event")                                                     \
    X(EntryForeground, "<application>.foreground event")                                         \
    X(EntryBackground, "<application>.background event")                                         \
    X(EntryOrientation, "<screenorientationlistener>.screen orientation changed to<orientation>") \
    X(EntryInternalThrow, "vminternalthrow<int>,<string>")                                       \
    X(EntryPrintThrowable, "vmprintthrowable<throwable>")                                        \
    X(EntryPrintThrowableAndExit, "vmprintthrowableandexit<throwable>")

namespace mcb {

enum EntryPoint : TInt32 {
#define MCB_ENTRY_ID(name, signature) name,
    MCB_ENTRY_POINTS(MCB_ENTRY_ID)
#undef MCB_ENTRY_ID
    EntryPointCount
};

inline constexpr const char* kEntrySignatures[EntryPointCount] = {
#define MCB_ENTRY_SIGNATURE(name, signature) signature,
    MCB_ENTRY_POINTS(MCB_ENTRY_SIGNATURE)
#undef MCB_ENTRY_SIGNATURE
};

}  // namespace mcb
