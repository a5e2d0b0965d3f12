// Names parameterised test cases after their table row's `name` field.
#pragma once

#include <string>

#include <gtest/gtest.h>

namespace kestrol::testing_support {

struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

}  // namespace kestrol::testing_support
