#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// `text` with everything but letters and digits turned into '_'.
inline std::string identifier(std::string text)
{
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// Names each case of a parameterized test after its `name` field.
struct named_case {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& param) const
    {
        return identifier(param.param.name);
    }
};
