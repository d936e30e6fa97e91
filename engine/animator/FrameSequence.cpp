#include "engine/animator/FrameSequence.h"

unsigned CFrameSequence::Next()
{
    // ">=" rather than "==" so that an empty loop (first == end) keeps
    // drawing the first frame instead of running off through the IDs.
    if (m_first + m_counter >= m_end)
        m_counter = 0;
    return m_first + m_counter++;
}
