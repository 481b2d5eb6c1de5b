#pragma once

struct TouchEvent;

// Receives phone-style touches from a TouchAdapter.
class TouchResponder {
public:
    virtual ~TouchResponder() = default;
    virtual void touchesBegan(const TouchEvent& event) = 0;
    virtual void touchesMoved(const TouchEvent& event) = 0;
    virtual void touchesEnded(const TouchEvent& event) = 0;
};
