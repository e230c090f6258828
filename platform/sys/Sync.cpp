#include "platform/sys/Sync.h"

#include <chrono>
#include <condition_variable>
#include <vector>

namespace sys {

// One waiting thread's registration on one object.
struct WaitNode
{
    std::condition_variable* cv;
    WaitNode* next;
};

namespace {

std::mutex g_lock;

} // namespace

std::mutex& Waitable::Lock() { return g_lock; }

Waitable::~Waitable() = default;

size_t Waitable::WaiterCount() const
{
    std::lock_guard<std::mutex> g(g_lock);
    size_t n = 0;
    for (const WaitNode* w = m_waiters; w; w = w->next)
        ++n;
    return n;
}

void Waitable::WakeWaiters()
{
    for (WaitNode* n = m_waiters; n; n = n->next)
        n->cv->notify_one();
}

// ---- Event ---------------------------------------------------------------

Event::Event(bool manualReset, bool initialState) : m_manual(manualReset), m_state(initialState) {}

void Event::Set()
{
    std::lock_guard<std::mutex> g(Lock());
    m_state = true;
    WakeWaiters();
}

void Event::Reset()
{
    std::lock_guard<std::mutex> g(Lock());
    m_state = false;
}

bool Event::IsSet() const
{
    std::lock_guard<std::mutex> g(Lock());
    return m_state;
}

bool Event::IsSignalled() const { return m_state; }

void Event::Take()
{
    if (!m_manual)
        m_state = false;
}

// ---- Semaphore -----------------------------------------------------------

Semaphore::Semaphore(int32_t initial, int32_t maximum)
    : m_count(initial < 0 ? 0 : (initial > maximum ? maximum : initial)),
      m_max(maximum < 1 ? 1 : maximum)
{
}

bool Semaphore::Release(int32_t count, int32_t* previous)
{
    std::lock_guard<std::mutex> g(Lock());
    if (count <= 0 || count > m_max - m_count)
        return false;
    if (previous)
        *previous = m_count;
    m_count += count;
    WakeWaiters();
    return true;
}

int32_t Semaphore::Count() const
{
    std::lock_guard<std::mutex> g(Lock());
    return m_count;
}

bool Semaphore::IsSignalled() const { return m_count > 0; }

void Semaphore::Take() { --m_count; }

// ---- Mutex ---------------------------------------------------------------

Mutex::Mutex(bool initialOwner)
{
    if (initialOwner) {
        m_owner = std::this_thread::get_id();
        m_depth = 1;
    }
}

bool Mutex::Release()
{
    std::lock_guard<std::mutex> g(Lock());
    if (m_depth == 0 || m_owner != std::this_thread::get_id())
        return false;
    if (--m_depth == 0) {
        m_owner = std::thread::id();
        WakeWaiters();
    }
    return true;
}

bool Mutex::IsSignalled() const
{
    return m_depth == 0 || m_owner == std::this_thread::get_id();
}

void Mutex::Take()
{
    m_owner = std::this_thread::get_id();
    ++m_depth;
}

// ---- Thread --------------------------------------------------------------

struct Thread::State
{
    bool started = false;
    bool finished = false;
    uint32_t exitCode = 0;
    std::condition_variable startCv;
};

Thread::Thread(Body body, bool startSuspended) : m_state(std::make_shared<State>())
{
    m_state->started = !startSuspended;
    auto state = m_state;
    m_thread = std::thread([this, state, body = std::move(body)]() mutable {
        {
            std::unique_lock<std::mutex> lk(Lock());
            state->startCv.wait(lk, [&] { return state->started; });
        }
        uint32_t code = body();
        std::lock_guard<std::mutex> g(Lock());
        state->exitCode = code;
        state->finished = true;
        WakeWaiters();
    });
}

Thread::~Thread()
{
    Resume();
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

void Thread::Resume()
{
    std::lock_guard<std::mutex> g(Lock());
    if (!m_state->started) {
        m_state->started = true;
        m_state->startCv.notify_all();
    }
}

bool Thread::IsFinished() const
{
    std::lock_guard<std::mutex> g(Lock());
    return m_state->finished;
}

uint32_t Thread::ExitCode() const
{
    std::lock_guard<std::mutex> g(Lock());
    return m_state->exitCode;
}

std::thread::id Thread::Id() const { return m_thread.get_id(); }

bool Thread::IsSignalled() const { return m_state->finished; }

// ---- Waits ---------------------------------------------------------------

uint32_t WaitForAny(std::span<Waitable* const> objects, uint32_t timeoutMs)
{
    if (objects.empty())
        return WAIT_FAILED;
    for (Waitable* o : objects) {
        if (!o)
            return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lk(g_lock);
    auto tryTake = [&]() -> int {
        for (size_t i = 0; i < objects.size(); ++i) {
            if (objects[i]->IsSignalled()) {
                objects[i]->Take();
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    int got = tryTake();
    if (got >= 0)
        return WAIT_OBJECT_0 + static_cast<uint32_t>(got);
    if (timeoutMs == 0)
        return WAIT_TIMEOUT;

    std::condition_variable cv;
    std::vector<WaitNode> nodes(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        nodes[i].cv = &cv;
        nodes[i].next = objects[i]->m_waiters;
        objects[i]->m_waiters = &nodes[i];
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (timeoutMs == INFINITE) {
            cv.wait(lk);
        } else if (cv.wait_until(lk, deadline) == std::cv_status::timeout) {
            got = tryTake();
            break;
        }
        got = tryTake();
        if (got >= 0)
            break;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        WaitNode** p = &objects[i]->m_waiters;
        while (*p && *p != &nodes[i])
            p = &(*p)->next;
        if (*p)
            *p = nodes[i].next;
    }
    // Another waiter may have been notified instead of us for a state we did
    // not take; pass the wake-up on.
    for (Waitable* o : objects) {
        if (o->IsSignalled())
            o->WakeWaiters();
    }
    return got >= 0 ? WAIT_OBJECT_0 + static_cast<uint32_t>(got) : WAIT_TIMEOUT;
}

uint32_t WaitForAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs)
{
    return WaitForAny(std::span<Waitable* const>(objects.begin(), objects.size()), timeoutMs);
}

uint32_t WaitFor(Waitable& obj, uint32_t timeoutMs)
{
    Waitable* one[] = {&obj};
    return WaitForAny(std::span<Waitable* const>(one, 1), timeoutMs);
}

void Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace sys
