#pragma once
// Made-up words of realistic lengths for the benchmarks' catalogues.

#include <cctype>
#include <random>
#include <string>

namespace tavrin::bench {

inline std::string word(std::mt19937& rng, int minLength, int maxLength)
{
    static const char* syllables[] = {"ka", "ro", "mi", "ste", "lar", "qu", "ben", "vo", "tri",
                                      "zor", "el", "an", "dex", "pu", "gra", "ni"};
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<int> pick(0, 15);
    const int n = length(rng);
    std::string w;
    while (static_cast<int>(w.size()) < n)
        w += syllables[pick(rng)];
    w.resize(static_cast<size_t>(n));
    w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
    return w;
}

} // namespace tavrin::bench
