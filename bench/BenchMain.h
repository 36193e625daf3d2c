#pragma once
// Benchmarks report each measurement as a ratio against a reference measured in the same run, so
// the numbers mean the same on any machine. Register pairs with WAYFARER_RATIO(name, reference).

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

std::vector<std::pair<std::string, std::string>>& RatioPairs();

struct RatioRegistrar {
    RatioRegistrar(const char* measured, const char* reference) { RatioPairs().emplace_back(measured, reference); }
};

#define WAYFARER_RATIO_CAT2(a, b) a##b
#define WAYFARER_RATIO_CAT(a, b) WAYFARER_RATIO_CAT2(a, b)
#define WAYFARER_RATIO(measured, reference)                                                                            \
    static RatioRegistrar WAYFARER_RATIO_CAT(ratio_, __COUNTER__)(measured, reference)
