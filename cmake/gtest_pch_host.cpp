// Compiles the shared precompiled GoogleTest header; holds no tests.
#include <gtest/gtest.h>
