#include "Random.h"

#include "DetMath.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace grelavo::makedb {

namespace {

std::uint64_t rotl(std::uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

} // namespace

std::uint64_t SplitMix64::next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

Random::Random(std::uint64_t fixed_seed, std::uint64_t key) {
    SplitMix64 mix(fixed_seed);
    SplitMix64 keyMix(mix.next() ^ key);
    for (auto& s : m_s)
        s = keyMix.next();
}

Random Random::fromState(std::uint64_t s0, std::uint64_t s1, std::uint64_t s2, std::uint64_t s3) {
    Random r;
    r.m_s[0] = s0;
    r.m_s[1] = s1;
    r.m_s[2] = s2;
    r.m_s[3] = s3;
    return r;
}

std::uint64_t Random::nextU64() {
    const std::uint64_t result = rotl(m_s[1] * 5, 7) * 9;
    const std::uint64_t t = m_s[1] << 17;
    m_s[2] ^= m_s[0];
    m_s[3] ^= m_s[1];
    m_s[1] ^= m_s[2];
    m_s[0] ^= m_s[3];
    m_s[2] ^= t;
    m_s[3] = rotl(m_s[3], 45);
    return result;
}

double Random::uniform() {
    return static_cast<double>(nextU64() >> 11) * 0x1.0p-53;
}

double Random::uniform(double low, double high) {
    return low + (high - low) * uniform();
}

int Random::uniformInt(int low, int high) {
    if (high < low)
        throw std::invalid_argument("uniformInt: empty range");
    const std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % span;
    std::uint64_t x = 0;
    do {
        x = nextU64();
    } while (x >= limit);
    return low + static_cast<int>(x % span);
}

bool Random::chance(double p) {
    return uniform() < p;
}

double Random::normal() {
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spare;
    }
    double u = 0, v = 0, s = 0;
    do {
        u = 2.0 * uniform() - 1.0;
        v = 2.0 * uniform() - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double f = std::sqrt(-2.0 * detmath::log(s) / s); // sqrt is correctly rounded
    m_spare = v * f;
    m_hasSpare = true;
    return u * f;
}

int Random::weighted(const std::vector<double>& weights) {
    double total = 0;
    for (double w : weights) {
        if (w < 0)
            throw std::invalid_argument("weighted: negative weight");
        total += w;
    }
    if (total <= 0)
        throw std::invalid_argument("weighted: no positive weight");
    double x = uniform() * total;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (x < weights[i])
            return static_cast<int>(i);
        x -= weights[i];
    }
    // Rounding left x at the very end: the last positive weight.
    for (std::size_t i = weights.size(); i-- > 0;)
        if (weights[i] > 0)
            return static_cast<int>(i);
    return 0;
}

std::vector<int> Random::weightedOrder(const std::vector<double>& weights) {
    // Exponential keys -ln(u)/w (Efraimidis-Spirakis): smaller key comes first.
    std::vector<double> keys(weights.size());
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const double u = 1.0 - uniform(); // in (0, 1]
        keys[i] = weights[i] > 0 ? -detmath::log(u) / weights[i]
                                 : std::numeric_limits<double>::infinity();
    }
    std::vector<int> order(weights.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
    return order;
}

} // namespace grelavo::makedb
