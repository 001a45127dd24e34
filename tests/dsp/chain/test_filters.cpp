#include "ChainHarness.h"
#include <gtest/gtest.h>
