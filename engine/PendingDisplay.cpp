#include "engine/PendingDisplay.h"

#include <utility>

void CPendingDisplay::SetStatus(const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_changes.hasStatus = true;
    m_changes.status = text;
}

void CPendingDisplay::AppendLog(const std::string& reply)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_changes.log += reply;
}

void CPendingDisplay::ResetBar()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_changes.resetBar = true;
}

CPendingDisplay::Changes CPendingDisplay::Take()
{
    std::lock_guard<std::mutex> hold(m_lock);
    Changes taken = std::move(m_changes);
    m_changes = Changes();
    return taken;
}

void CPendingDisplay::DropBarReset()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_changes.resetBar = false;
}
