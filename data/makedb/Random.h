#pragma once

#include <cstdint>
#include <vector>

namespace grelavo::makedb {

// SplitMix64: turns any 64-bit value into a well-mixed sequence; used to set up the main
// generator's state and to derive independent streams from a key.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t state) : m_state(state) {}
    std::uint64_t next();

private:
    std::uint64_t m_state;
};

// xoshiro256** pseudo-random generator with its own distributions, so that a given random seed
// gives the same values on every platform (the standard library's distributions are not
// defined bit for bit).
class Random {
public:
    // The stream of this fixed seed and key: the same pair always gives the same sequence.
    Random(std::uint64_t fixed_seed, std::uint64_t key);
    // A generator in exactly this state (not all zero), as the reference implementation is set.
    static Random fromState(std::uint64_t s0, std::uint64_t s1, std::uint64_t s2, std::uint64_t s3);

    std::uint64_t nextU64();
    // Uniform in [0, 1), 53 random bits.
    double uniform();
    // Uniform in [low, high).
    double uniform(double low, double high);
    // Uniform integer in [low, high], both included; low <= high.
    int uniformInt(int low, int high);
    // True with probability p.
    bool chance(double p);
    // Standard normal, Marsaglia's polar method.
    double normal();
    double normal(double mean, double sd) { return mean + sd * normal(); }
    // Index drawn with probability proportional to its weight; the weights are >= 0 and not all 0.
    int weighted(const std::vector<double>& weights);
    // Indices 0..n-1 in a random order where index i tends to come early in proportion to its
    // weight (weighted sampling without replacement: the first k are a weighted sample of k).
    std::vector<int> weightedOrder(const std::vector<double>& weights);

private:
    Random() = default;

    std::uint64_t m_s[4] = {};
    bool m_hasSpare = false;
    double m_spare = 0.0;
};

} // namespace grelavo::makedb
