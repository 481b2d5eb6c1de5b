#pragma once

// Sizes and points in 32-bit floats, as the canvas keeps its geometry.
struct FloatSize {
    float width = 0.0f;
    float height = 0.0f;
    friend bool operator==(const FloatSize&, const FloatSize&) = default;
};

struct FloatPoint {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const FloatPoint&, const FloatPoint&) = default;
};
