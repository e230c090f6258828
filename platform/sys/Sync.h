#pragma once
// Synchronisation objects of the Qt-free libraries: events with automatic or
// manual reset, counting semaphores with a maximum, mutexes, threads whose
// end can be waited for, and waits on one or several of them with a
// time-out, as the link and file-transfer threads use them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace sys {

constexpr uint32_t INFINITE = 0xFFFFFFFF;
constexpr uint32_t WAIT_OBJECT_0 = 0;
constexpr uint32_t WAIT_TIMEOUT = 258;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;

struct WaitNode;

// Something a thread can wait for.  Signalled state and the taking of it
// (an auto-reset event resets, a semaphore counts down) are decided under
// one lock shared by all waitables, so a wait on several objects takes
// exactly one of them.
class Waitable
{
public:
    Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable();

    // The threads blocked in a wait for this object now, counted under the
    // shared lock: a test signals once the threads it starts are waiting.
    size_t WaiterCount() const;

protected:
    friend uint32_t WaitForAny(std::span<Waitable* const>, uint32_t);
    // Called with the shared lock held.
    virtual bool IsSignalled() const = 0;
    virtual void Take() = 0;
    // Wakes the waiters of this object; call with the shared lock held.
    void WakeWaiters();
    static std::mutex& Lock();

private:
    friend struct WaitNode;
    friend uint32_t WaitFor(Waitable&, uint32_t);
    WaitNode* m_waiters = nullptr; // intrusive list, guarded by Lock()
};

class Event : public Waitable
{
public:
    Event(bool manualReset, bool initialState);
    void Set();
    void Reset();
    bool IsSet() const;

protected:
    bool IsSignalled() const override;
    void Take() override;

private:
    const bool m_manual;
    bool m_state;
};

class Semaphore : public Waitable
{
public:
    Semaphore(int32_t initial, int32_t maximum);
    // Adds count; fails (and changes nothing) when that would pass the
    // maximum or count is not positive.  previous receives the old count.
    bool Release(int32_t count = 1, int32_t* previous = nullptr);
    int32_t Count() const;

protected:
    bool IsSignalled() const override;
    void Take() override;

private:
    int32_t m_count;
    const int32_t m_max;
};

// A recursive mutex that can also be waited for with the other objects;
// it is released by the thread that holds it.
class Mutex : public Waitable
{
public:
    explicit Mutex(bool initialOwner = false);
    bool Release(); // false when the calling thread does not hold it

protected:
    bool IsSignalled() const override;
    void Take() override;

private:
    std::thread::id m_owner;
    uint32_t m_depth = 0;
};

// A thread whose end is a signalled object, and whose exit code is kept.
class Thread : public Waitable
{
public:
    using Body = std::function<uint32_t()>;
    // With startSuspended the body runs only after Resume().
    explicit Thread(Body body, bool startSuspended = false);
    ~Thread() override; // joins
    void Resume();
    bool IsFinished() const;
    uint32_t ExitCode() const; // valid once finished
    std::thread::id Id() const;

protected:
    bool IsSignalled() const override;
    void Take() override {}

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

// Waits until obj is signalled and takes it; WAIT_OBJECT_0 or WAIT_TIMEOUT.
uint32_t WaitFor(Waitable& obj, uint32_t timeoutMs = INFINITE);
// Waits until one of objects is signalled and takes that one (the first in
// the list when several are); WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or
// WAIT_FAILED for an empty list or a null entry.
uint32_t WaitForAny(std::span<Waitable* const> objects, uint32_t timeoutMs = INFINITE);
uint32_t WaitForAny(std::initializer_list<Waitable*> objects, uint32_t timeoutMs = INFINITE);

void Sleep(uint32_t ms);

} // namespace sys
