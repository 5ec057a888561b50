#pragma once

#include <algorithm>

namespace corvane::easing {

// Ease-out quintic from 0 to 1.
inline float quint(float t)
{
    const float u = t - 1.0f;
    return u * u * u * u * u + 1.0f;
}

// Ease-out with an overshoot of 1.70158 before settling at 1.
inline float back(float t)
{
    const float u = t - 1.0f;
    return u * u * (3.70158f * u + 2.70158f) + 1.0f;
}

// Ease-out that lands at 1 and bounces three times, lower each time.
inline float bounce(float t)
{
    constexpr float k = 7.5625f;
    constexpr float d = 2.75f;
    if (t < 1.0f / d)
        return k * t * t;
    if (t < 2.0f / d) {
        t -= 1.5f / d;
        return k * t * t + 0.75f;
    }
    if (t < 2.5f / d) {
        t -= 2.25f / d;
        return k * t * t + 0.9375f;
    }
    t -= 2.625f / d;
    return k * t * t + 0.984375f;
}

inline float clamp(float value, float low, float high)
{
    return std::clamp(value, low, high);
}

} // namespace corvane::easing
