// The puzzle maker's only source of randomness: the same seed gives the same
// numbers on every platform.
#pragma once

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace puzzlegen {

class Random {
public:
    explicit Random(std::uint32_t seed) : m_engine(seed) {}

    // 0 .. n-1; the tiny modulo bias does not matter here and keeps the output portable.
    int below(int n) { return int(m_engine() % std::uint32_t(n)); }

    template <typename T> void shuffle(std::vector<T> &v)
    {
        for (int i = int(v.size()) - 1; i > 0; --i)
            std::swap(v[i], v[below(i + 1)]);
    }

private:
    std::mt19937 m_engine;
};

} // namespace puzzlegen
