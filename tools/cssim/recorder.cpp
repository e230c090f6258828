// The simulator's recorder: every message received and sent, with its time.
#include "tools/cssim/engine.h"

namespace cssim {

Recorder::Recorder() : m_impl(std::make_shared<Impl>()) {}

uint32_t Record::parameter() const { return bytes.size() >= 7 ? U32(bytes.data() + 3) : 0; }
Bytes Record::payload() const
{
    return bytes.size() > 7 ? Bytes(bytes.begin() + 7, bytes.end()) : Bytes{};
}

std::vector<Record> Recorder::all() const
{
    std::lock_guard<std::mutex> g(m_impl->m);
    return m_impl->records;
}
std::optional<Record> Recorder::waitFor(const std::function<bool(const Record&)>& pred,
                                        milliseconds timeout)
{
    std::unique_lock<std::mutex> lk(m_impl->m);
    std::optional<Record> found;
    m_impl->cv.wait_for(lk, timeout, [&] {
        for (const auto& r : m_impl->records)
            if (pred(r)) {
                found = r;
                return true;
            }
        return false;
    });
    return found;
}
void Recorder::clear()
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->records.clear();
}
void Recorder::add(int direction, const uint8_t* data, size_t n)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    if (!m_impl->enabled)
        return;
    m_impl->records.push_back(
        {uint64_t(std::chrono::duration_cast<milliseconds>(Clock::now() - m_start).count()),
         direction, Bytes(data, data + n)});
    m_impl->cv.notify_all();
}
uint64_t Recorder::malformed() const
{
    std::lock_guard<std::mutex> g(m_impl->m);
    return m_impl->malformed;
}

} // namespace cssim
