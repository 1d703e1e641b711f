#pragma once
// Runs independent jobs (tile compression) on several threads while the calling thread reads
// their inputs and takes their results strictly in order. At most `window` jobs are in flight, so
// memory stays bounded whatever the number of jobs.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "quicktime/base/os_types.h"

namespace qm {

template <class In, class Out>
class OrderedWork {
public:
    // read(i, in) and take(i, out) run on the calling thread; work(in, out) on the workers and
    // must not touch shared state. The first error of any of them ends the run and is returned;
    // no result after it is taken.
    static OSErr run(std::size_t count, unsigned threads, const std::function<OSErr(std::size_t, In&)>& read,
                     const std::function<OSErr(In&, Out&)>& work, const std::function<OSErr(std::size_t, Out&)>& take)
    {
        if (threads <= 1) {
            for (std::size_t i = 0; i < count; ++i) {
                In in;
                Out out;
                OSErr e = read(i, in);
                if (!e)
                    e = work(in, out);
                if (!e)
                    e = take(i, out);
                if (e)
                    return e;
            }
            return 0;
        }
        OrderedWork self(threads);
        return self.runParallel(count, read, work, take);
    }

private:
    struct Slot {
        In in;
        Out out;
        OSErr error = 0;
        bool done = false;
    };

    explicit OrderedWork(unsigned threads) : m_threads(threads), m_window(std::size_t(threads) * 2) {}

    OSErr runParallel(std::size_t count, const std::function<OSErr(std::size_t, In&)>& read,
                      const std::function<OSErr(In&, Out&)>& work, const std::function<OSErr(std::size_t, Out&)>& take)
    {
        std::vector<std::thread> workers;
        for (unsigned t = 0; t < m_threads; ++t)
            workers.emplace_back([&] { workLoop(work); });
        OSErr result = 0;
        std::size_t dispatched = 0;
        for (std::size_t next = 0; next < count && !result; ++next) {
            while (dispatched < count && dispatched < next + m_window && !result) {
                auto slot = std::make_unique<Slot>();
                result = read(dispatched, slot->in);
                if (result)
                    break;
                std::lock_guard lock(m_mutex);
                m_slots.push_back(std::move(slot));
                m_queue.push_back(m_slots.back().get());
                ++dispatched;
                m_wake.notify_one();
            }
            if (result)
                break;
            std::unique_ptr<Slot> slot;
            {
                std::unique_lock lock(m_mutex);
                m_done.wait(lock, [&] { return m_slots.front()->done; });
                slot = std::move(m_slots.front());
                m_slots.pop_front();
            }
            result = slot->error ? slot->error : take(next, slot->out);
        }
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_queue.clear();
        }
        m_wake.notify_all();
        for (auto& w : workers)
            w.join();
        return result;
    }

    void workLoop(const std::function<OSErr(In&, Out&)>& work)
    {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
                if (m_stop)
                    return;
                slot = m_queue.front();
                m_queue.pop_front();
            }
            const OSErr e = work(slot->in, slot->out);
            {
                std::lock_guard lock(m_mutex);
                slot->error = e;
                slot->done = true;
            }
            m_done.notify_all();
        }
    }

    unsigned m_threads;
    std::size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::unique_ptr<Slot>> m_slots; // in flight, in order
    std::deque<Slot*> m_queue;                 // not yet started
    bool m_stop = false;
};

} // namespace qm
