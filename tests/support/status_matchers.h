// Assertions on the logic's results that show the operator's message when they fail.
#pragma once

#include <gtest/gtest.h>

#include "shared/result.h"

namespace mervo::test {

inline ::testing::AssertionResult succeeded(const Status& s) {
    if (s) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << s.message().toStdString();
}

template <class T>
::testing::AssertionResult succeeded(const ::mervo::Result<T>& r) {
    return succeeded(r.status());
}

}  // namespace mervo::test
