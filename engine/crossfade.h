// The join between two stretches of played sound: where a play moves (a
// seek, a loop, a restart for a changed parameter) the old sound fades out
// while the new one fades in, so the jump makes no click.
#pragma once

#include <cstdint>
#include <span>

/// Frames of a join at `rate`: 5 ms. Rationale: short enough that the two
/// sounds are not heard over each other, long enough (well above one period
/// of the lowest audible tones' attack) that the jump is not a click.
int CrossfadeFrames(int rate);

/// Mixes `fadingOut` (the old sound that would have come next) into the first
/// frames of `into` (the new sound): frame i becomes old x (1 - w) + new x w,
/// w rising linearly from 0 over the frames both hold. Both are output PCM of
/// `bits` 8 (unsigned) or 16 (signed little-endian) and `channels` channels.
void CrossfadeInto(std::span<const std::uint8_t> fadingOut, std::span<std::uint8_t> into, int channels, int bits);
