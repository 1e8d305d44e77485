// The test device (support/testdevice.h) with the test helpers of
// support/harness.h, for the GoogleTest programs.
#pragma once

#include "support/harness.h"
#include "support/testdevice.h"
