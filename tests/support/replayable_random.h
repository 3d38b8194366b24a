// The mutation tests' random numbers: the same variants on every run, so a
// failure can be replayed by its number.
#ifndef DROVANA_TESTS_REPLAYABLE_RANDOM_H
#define DROVANA_TESTS_REPLAYABLE_RANDOM_H

#include <stdint.h>

class ReplayableRandom {
public:
    explicit ReplayableRandom(uint32_t seed) : state_(seed) {}
    uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    uint32_t Below(uint32_t limit) { return limit == 0 ? 0 : Next() % limit; }

private:
    uint32_t state_;
};

#endif
