// The gate: commands enter in the order their places were taken, whatever
// order their threads arrive in; one at a time; closing frees every waiter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "browser/Gate.h"

namespace {

using namespace std::chrono_literals;

// Threads started in the reverse of the ticket order, the last ticket's
// thread first, each a little later than the one before.
std::vector<int> RunReversed(CGate& gate, const std::vector<CGate::Ticket>& tickets, std::atomic<int>* inside = nullptr,
                             std::atomic<int>* most = nullptr)
{
    std::mutex lock;
    std::vector<int> order;
    std::vector<std::thread> threads;
    for (size_t i = tickets.size(); i-- > 0;) {
        threads.emplace_back([&, i] {
            if (!gate.Enter(tickets[i]))
                return;
            if (inside) {
                const int now = ++*inside;
                for (int seen = most->load(); now > seen && !most->compare_exchange_weak(seen, now);) {
                }
                std::this_thread::sleep_for(1ms);
                --*inside;
            }
            {
                std::lock_guard<std::mutex> hold(lock);
                order.push_back(static_cast<int>(i));
            }
            gate.Leave();
        });
        std::this_thread::sleep_for(2ms);
    }
    for (auto& t : threads)
        t.join();
    return order;
}

TEST(Gate, FirstComeFirstServedByTicketNotByArrival)
{
    CGate gate;
    std::vector<CGate::Ticket> tickets;
    for (int i = 0; i < 8; ++i)
        tickets.push_back(gate.Take());
    std::atomic<int> inside{0}, most{0};
    EXPECT_EQ(RunReversed(gate, tickets, &inside, &most), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(most.load(), 1) << "never two holders at once";
}

TEST(Gate, QueuedWhileHeldRunAfterTheHolderInOrder)
{
    // A failure message is open (the gate held); two commands queued meanwhile
    // both wait and then run in the order queued.
    CGate gate;
    ASSERT_TRUE(gate.Enter(gate.Take()));
    const std::vector<CGate::Ticket> queued = {gate.Take(), gate.Take()};
    std::vector<int> order;
    std::thread waiting([&] { order = RunReversed(gate, queued); });
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(order.empty());
    gate.Leave();
    waiting.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1}));
}

TEST(Gate, AbandonedPlacesAreSkipped)
{
    CGate gate;
    const CGate::Ticket a = gate.Take(), b = gate.Take(), c = gate.Take(), d = gate.Take();
    gate.Abandon(a);  // before its turn came: the next goes straight in
    gate.Abandon(c);  // later in the line: skipped when b leaves
    ASSERT_TRUE(gate.Enter(b));
    gate.Leave();
    ASSERT_TRUE(gate.Enter(d));
    gate.Leave();
}

TEST(Gate, CloseFreesWaitersAndRefusesLaterOnes)
{
    CGate gate;
    ASSERT_TRUE(gate.Enter(gate.Take()));
    std::vector<CGate::Ticket> queued;
    for (int i = 0; i < 4; ++i)
        queued.push_back(gate.Take());
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (CGate::Ticket t : queued)
        threads.emplace_back([&, t] { refused += gate.Enter(t) ? 0 : 1; });
    std::this_thread::sleep_for(20ms);
    gate.Close();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(refused.load(), 4);
    gate.Leave();  // the holder still leaves as usual
    EXPECT_FALSE(gate.Enter(gate.Take()));
}

}  // namespace
