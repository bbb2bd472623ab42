// The cells of a level's grid a ball can reach from the bottom, for the generator that shapes
// the levels and for the check of what it made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

// The cells (r, c) of a height x width grid reached from its bottom row through 4-neighbours
// for which open(r, c) holds.
template <class Open>
std::vector<uint8_t> FloodFromBottom(int height, int width, Open open) {
    std::vector<uint8_t> seen(size_t(height) * width, 0);
    std::deque<std::pair<int, int>> q;
    for (int c = 0; c < width; ++c)
        if (open(height - 1, c)) {
            seen[size_t(height - 1) * width + c] = 1;
            q.push_back({height - 1, c});
        }
    while (!q.empty()) {
        const auto [r, c] = q.front();
        q.pop_front();
        const int nb[4][2] = {{r - 1, c}, {r + 1, c}, {r, c - 1}, {r, c + 1}};
        for (const auto& p : nb) {
            if (p[0] < 0 || p[0] >= height || p[1] < 0 || p[1] >= width) continue;
            const size_t j = size_t(p[0]) * width + p[1];
            if (seen[j] || !open(p[0], p[1])) continue;
            seen[j] = 1;
            q.push_back({p[0], p[1]});
        }
    }
    return seen;
}
