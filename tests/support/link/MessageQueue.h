#pragma once
// The messages a test peer has received, queued for the test: a reader
// thread adds them, the test takes them in order or picks the next that
// matches, waiting up to a time limit.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace testsupport {

class MessageQueue
{
public:
    using Bytes = std::vector<uint8_t>;

    void Add(Bytes m)
    {
        std::lock_guard<std::mutex> g(m_m);
        m_in.push_back(std::move(m));
        m_cv.notify_all();
    }
    // The oldest message, waiting up to ms for one.
    bool Receive(Bytes& out, int ms)
    {
        std::unique_lock<std::mutex> lk(m_m);
        if (!m_cv.wait_for(lk, std::chrono::milliseconds(ms), [&] { return !m_in.empty(); }))
            return false;
        out = std::move(m_in.front());
        m_in.pop_front();
        return true;
    }
    // The oldest message that matches, waiting up to ms (others stay queued).
    std::optional<Bytes> Next(const std::function<bool(const Bytes&)>& pred, int ms)
    {
        std::unique_lock<std::mutex> lk(m_m);
        std::optional<Bytes> out;
        m_cv.wait_for(lk, std::chrono::milliseconds(ms), [&] {
            for (auto it = m_in.begin(); it != m_in.end(); ++it)
                if (pred(*it)) {
                    out = *it;
                    m_in.erase(it);
                    return true;
                }
            return false;
        });
        return out;
    }
    size_t Pending()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_in.size();
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(m_m);
        m_in.clear();
    }

private:
    std::mutex m_m;
    std::condition_variable m_cv;
    std::deque<Bytes> m_in;
};

} // namespace testsupport
