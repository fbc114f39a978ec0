#pragma once
// A small deterministic random generator (SplitMix64), the same on every platform, so that a
// finger identity always yields the same finger.

#include <cmath>
#include <cstdint>
#include <string_view>

namespace fp {

class Prng {
public:
    explicit Prng(uint64_t seed) : state_(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Standard normal (Box-Muller).
    double Normal()
    {
        double u1 = Uniform();
        if (u1 < 1e-300)
            u1 = 1e-300;
        const double u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    bool Chance(double p) { return Uniform() < p; }
    int Below(int n) { return int(Next() % uint64_t(n)); }
    // Poisson-distributed count with the given mean (small means only).
    int Poisson(double mean)
    {
        const double limit = std::exp(-mean);
        double p = Uniform();
        int k = 0;
        while (p > limit) {
            ++k;
            p *= Uniform();
        }
        return k;
    }

private:
    uint64_t state_;
};

// FNV-1a 64 of a text, the seed of a finger identity.
inline uint64_t HashText(std::string_view text)
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

} // namespace fp
