// The gate in front of the one control connection: one command at a time,
// first come, first served. A place in the line is taken when a command's
// worker is started, on the window thread, so the commands of one user
// action run in the order the handler queued them, however the threads are
// scheduled. (A semaphore wakes its waiters in no promised order.)
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

class CGate {
public:
    typedef uint64_t Ticket;

    // The next place in the line.
    Ticket Take();
    // Waits until every earlier place has left (or was abandoned) and the
    // gate is free, then holds it. False, at once, once the gate is closed.
    bool Enter(Ticket ticket);
    // The holder leaves; the next place may enter.
    void Leave();
    // A place that will never enter (its worker did not start).
    void Abandon(Ticket ticket);
    // Wakes every waiter with false; later Enter calls fail too. The holder,
    // if any, still leaves as usual.
    void Close();

private:
    void SkipAbandoned();

    std::mutex m_lock;
    std::condition_variable m_turn;
    Ticket m_next = 0;
    Ticket m_serving = 0;
    bool m_held = false;
    bool m_closed = false;
    std::set<Ticket> m_abandoned;
};

// Holds the gate from a successful Enter until Release or the end of scope.
class CGateHold {
public:
    explicit CGateHold(CGate& gate) : m_gate(&gate) {}
    ~CGateHold() { Release(); }
    CGateHold(const CGateHold&) = delete;
    CGateHold& operator=(const CGateHold&) = delete;

    void Release()
    {
        if (m_gate)
            m_gate->Leave();
        m_gate = nullptr;
    }

private:
    CGate* m_gate;
};
