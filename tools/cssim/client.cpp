// The simulator's client: requests of its own to our side's file server,
// and the replies they wait for.
#include "tools/cssim/engine.h"

namespace cssim {

bool Simulator::Impl::ClientTakes(const uint8_t* d, size_t n)
{
    std::lock_guard<std::mutex> g(cm);
    for (auto it = rawWaits.begin(); it != rawWaits.end(); ++it) {
        const Bytes& q = it->first;
        if (d[1] == 1 && d[0] == q[0] && d[2] == q[2] && (q.size() < 7 || U32(d + 3) == U32(q.data() + 3))) {
            it->second->set_value(Bytes(d, d + n));
            rawWaits.erase(it);
            return true;
        }
    }
    if (d[0] == 2 && d[1] == 1 && n >= 8) {
        auto it = clientWaits.find(U32(d + 3));
        if (it != clientWaits.end()) {
            const uint8_t status = d[7];
            // A job request's reply matters only on failure.
            ClientResult r;
            r.status = status;
            if (n >= 10)
                r.data.assign(d + 10, d + std::min<size_t>(n, 10 + U16(d + 8)));
            bool jobCode = d[2] == 3 || d[2] == 4 || d[2] == 6;
            if (!jobCode || status != 0) {
                if (jobCode)
                    for (auto& [id, j] : jobs)
                        if (j->requester && j->param == U32(d + 3) && !j->ended) {
                            j->ended = true; // the job never started on the other side
                        }
                it->second = r;
                ccv.notify_all();
            }
            return true;
        }
    }
    return false;
}

ClientResult Simulator::Impl::ClientCall(const std::function<void(uint32_t)>& issue)
{
    uint32_t param;
    {
        std::lock_guard<std::mutex> g(cm);
        param = nextClientParam++;
        clientWaits[param];
    }
    Post([issue, param] { issue(param); });
    std::unique_lock<std::mutex> lk(cm);
    ClientResult r;
    if (ccv.wait_for(lk, milliseconds(cfg.clientTimeoutMs), [&] { return clientWaits[param].has_value(); }))
        r = *clientWaits[param];
    clientWaits.erase(param);
    return r;
}

void Simulator::Impl::ClientDone(uint32_t param, uint8_t status, const Bytes& data)
{
    std::lock_guard<std::mutex> g(cm);
    auto it = clientWaits.find(param);
    if (it != clientWaits.end() && !it->second) {
        it->second = ClientResult{status, data};
        ccv.notify_all();
    }
}

namespace {
Bytes PathRequest(uint8_t code, uint32_t param, const std::string& a, const std::string* b = nullptr,
                  int job = -1)
{
    Bytes r = Header(2, 0, code, param);
    if (job >= 0) {
        r.push_back(uint8_t(job));
        Put32(r, 0);
    }
    r.insert(r.end(), a.begin(), a.end());
    r.push_back(0);
    if (b) {
        r.insert(r.end(), b->begin(), b->end());
        r.push_back(0);
    }
    return r;
}
} // namespace

#define SIMPLE(fn, code)                                                                       \
    ClientResult Client::fn(const std::string& path)                                           \
    {                                                                                          \
        auto* I = m_sim->m_impl.get();                                                         \
        return I->ClientCall([I, path](uint32_t p) { I->Send(PathRequest(code, p, path)); }); \
    }
SIMPLE(info, 5)
SIMPLE(del, 2)
SIMPLE(mkdir, 1)
SIMPLE(rmdir, 7)
#undef SIMPLE

ClientResult Client::copy(const std::string& from, const std::string& to)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, from, to](uint32_t p) { I->Send(PathRequest(0, p, from, &to)); });
}
ClientResult Client::move(const std::string& from, const std::string& to)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, from, to](uint32_t p) { I->Send(PathRequest(8, p, from, &to)); });
}

static ClientResult ReceiveJob(Simulator::Impl* I, uint8_t code, const std::string& path)
{
    return I->ClientCall([I, code, path](uint32_t p) {
        Job& j = I->NewJob(false);
        j.requester = true;
        j.param = p;
        j.done = [I](uint8_t st, Job& job) { I->ClientDone(job.param, st, job.data); };
        I->Send(PathRequest(code, p, path, nullptr, j.id));
    });
}
ClientResult Client::list(const std::string& path) { return ReceiveJob(m_sim->m_impl.get(), 3, path); }
ClientResult Client::get(const std::string& path) { return ReceiveJob(m_sim->m_impl.get(), 4, path); }
ClientResult Client::put(const std::string& path, const Bytes& content, uint16_t dosTime,
                         uint16_t dosDate)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, path, content, dosTime, dosDate](uint32_t p) {
        Job& j = I->NewJob(true);
        j.requester = true;
        j.param = p;
        j.data = content;
        j.total = uint32_t(content.size());
        j.time = dosTime;
        j.date = dosDate;
        j.done = [I](uint8_t st, Job& job) { I->ClientDone(job.param, st, {}); };
        I->Send(PathRequest(6, p, path, nullptr, j.id));
    });
}
std::optional<Bytes> Client::request(const Bytes& message)
{
    auto* I = m_sim->m_impl.get();
    std::promise<Bytes> pr;
    auto fut = pr.get_future();
    {
        std::lock_guard<std::mutex> g(I->cm);
        I->rawWaits.push_back({message, &pr});
    }
    I->Post([I, message] { I->Send(message); });
    if (fut.wait_for(milliseconds(I->cfg.clientTimeoutMs)) == std::future_status::ready)
        return fut.get();
    std::lock_guard<std::mutex> g(I->cm);
    for (auto it = I->rawWaits.begin(); it != I->rawWaits.end(); ++it)
        if (it->second == &pr) {
            I->rawWaits.erase(it);
            break;
        }
    return std::nullopt;
}
void Client::linkEvent(uint8_t code) { m_sim->linkEvent(code); }

} // namespace cssim
