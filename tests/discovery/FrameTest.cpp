#include <gtest/gtest.h>
#include "discovery/Frame.h"
TEST(Frame, Placeholder) { SUCCEED(); }
