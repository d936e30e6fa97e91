#pragma once

// Which frame the animation draws next. The loop runs from the first frame
// up to the one before the end frame and starts again; the end frame is the
// resting picture and never part of the loop.
class CFrameSequence {
public:
    CFrameSequence() = default;
    CFrameSequence(unsigned first, unsigned end) : m_first(first), m_end(end) {}

    // The frame to draw on this tick; advances the counter.
    unsigned Next();

    unsigned First() const { return m_first; }
    unsigned End() const { return m_end; }
    // Frames drawn since the loop last restarted.
    unsigned Counter() const { return m_counter; }

private:
    unsigned m_first = 0;
    unsigned m_end = 0;
    unsigned m_counter = 0;
};
