#pragma once

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "support/TempFolder.h"

namespace sarvo::test {

// A settings store in a home of the test's own, closed before the home is removed.
class StoreTest : public ::testing::Test {
protected:
    ~StoreTest() override { CloseSettingsStore(); }
    ScopedSarvoHome m_home;
};

}  // namespace sarvo::test
