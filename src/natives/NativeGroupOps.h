// The operation of each native group that exists, one declaration per group
// (or per family of groups), each defined in the group's own file.
#pragma once

#include "foundation/Types.h"

class VirtualMachine;
