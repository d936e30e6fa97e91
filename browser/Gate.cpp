#include "browser/Gate.h"

CGate::Ticket CGate::Take()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_next++;
}

bool CGate::Enter(Ticket ticket)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_turn.wait(hold, [&] { return m_closed || (m_serving == ticket && !m_held); });
    if (m_closed)
        return false;
    m_held = true;
    return true;
}

void CGate::Leave()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_held = false;
        ++m_serving;
        SkipAbandoned();
    }
    m_turn.notify_all();
}

void CGate::Abandon(Ticket ticket)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (ticket >= m_serving)
            m_abandoned.insert(ticket);
        SkipAbandoned();
    }
    m_turn.notify_all();
}

void CGate::Close()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_closed = true;
    }
    m_turn.notify_all();
}

void CGate::SkipAbandoned()
{
    if (m_held)
        return;
    for (auto it = m_abandoned.find(m_serving); it != m_abandoned.end(); it = m_abandoned.find(m_serving)) {
        m_abandoned.erase(it);
        ++m_serving;
    }
}
