// The simulator's answers to the file requests (class 2): the file server,
// the jobs of listings, reads and writes, and the scripted listings.
#include "tools/cssim/engine.h"

#include <cctype>
#include <cstring>

namespace cssim {

bool IsJobCode(uint8_t c) { return c == 3 || c == 4 || c == 6; }
void Malform(Bytes& l, Malformed m);
bool SameNoCase(const std::string& x, const std::string& y);

void Simulator::Impl::Reply2(uint8_t code, uint32_t param, uint8_t status, const Bytes& data)
{
    Bytes r = Header(2, 1, code, param);
    r.push_back(status);
    Put16(r, uint16_t(data.size()));
    r.insert(r.end(), data.begin(), data.end());
    Send(r);
}

void Simulator::Impl::FileRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n)
{
    if (code > 8)
        return Reply2(code, param, 129);
    const bool jobCode = code == 3 || code == 4 || code == 6;
    size_t at = jobCode ? 5 : 0;
    if (jobCode && n < 6)
        return Reply2(code, param, 245);
    auto readStr = [&](std::string& out) {
        const uint8_t* z = static_cast<const uint8_t*>(std::memchr(p + at, 0, n > at ? n - at : 0));
        if (!z || n <= at)
            return false;
        out.assign(reinterpret_cast<const char*>(p + at), size_t(z - (p + at)));
        at = size_t(z - p) + 1;
        return true;
    };
    std::string a, b;
    const bool two = code == 0 || code == 8;
    const bool okA = readStr(a);
    const bool okB = two ? readStr(b) : true;
    if (!okA)
        return Reply2(code, param, two ? 252 : code == 6 ? 249 : 245);
    if (!okB)
        return Reply2(code, param, 249);
    FileScript fs;
    bool scripted = false;
    std::string scriptPattern;
    {
        std::lock_guard<std::mutex> g(m);
        for (const auto& f : fileScripts)
            if (f.op == code && (f.pattern.empty() || files::Match(f.pattern, a))) {
                fs = f.s;
                scripted = true;
                scriptPattern = f.pattern;
            }
    }
    auto work = [this, code, param, a, b, fs, scripted, scriptPattern, peer = jobCode ? p[0] : 0] {
        if (scripted && fs.status)
            return Reply2(code, param, *fs.status);
        std::optional<JobScript> js;
        {
            std::lock_guard<std::mutex> g(m);
            js = jobScript;
        }
        if (IsJobCode(code) && js && js->failStart)
            return Reply2(code, param, *js->failStart);
        switch (code) {
        case 0: return Reply2(code, param, server->Copy(a, b));
        case 1: return Reply2(code, param, server->MakeDir(a));
        case 2: return Reply2(code, param, server->Delete(a));
        case 5: {
            Bytes rec;
            const uint8_t st = server->Info(a, rec);
            if (st == 0 && scripted && fs.infoName && rec.size() >= 14)
                rec = files::RecordFor(U32(rec.data() + 2), U16(rec.data() + 6), U16(rec.data() + 8),
                                       U32(rec.data() + 10), fs.infoName->substr(0, 12), *fs.infoName);
            return Reply2(code, param, st, st == 0 ? rec : Bytes{});
        }
        case 7: return Reply2(code, param, server->RemoveDir(a));
        case 8: return Reply2(code, param, server->Move(a, b));
        case 3:
        case 4: {
            Bytes content;
            uint16_t t = 0, dt = 0;
            if (code == 3 && scripted && fs.listing && SameNoCase(a, scriptPattern)) {
                content = ScriptedListing(a, *fs.listing);
                Malform(content, fs.malformed);
            } else if (code == 3) {
                auto l = server->Listing(a);
                if (!l)
                    return Reply2(code, param, 245);
                content = std::move(*l);
                Malform(content, fs.malformed);
            } else {
                bool listed = false;
                {
                    std::lock_guard<std::mutex> g(m);
                    if (auto it = listedFiles.find(a); it != listedFiles.end()) {
                        content = it->second;
                        listed = true;
                    }
                }
                const uint8_t st = listed ? 0 : server->Read(a, content, t, dt);
                if (st)
                    return Reply2(code, param, st);
            }
            Job& j = NewJob(true);
            j.peer = peer;
            j.param = param;
            j.data = std::move(content);
            j.total = uint32_t(j.data.size());
            j.time = t;
            j.date = dt;
            j.blockDelayMs = fs.blockDelayMs;
            SendSize(j);
            return;
        }
        case 6: {
            std::string local;
            const uint8_t st = server->PrepareWrite(a, local);
            if (st)
                return Reply2(code, param, st);
            Job& j = NewJob(false);
            j.peer = peer;
            j.param = param;
            j.commit = [local](Job& job) {
                return files::Server::CommitWrite(local, job.data, job.time, job.date);
            };
            FirstAck(j);
            return;
        }
        }
    };
    if (fs.delayMs)
        After(fs.delayMs, work);
    else
        work();
}

bool SameNoCase(const std::string& x, const std::string& y)
{
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(x[i])) != std::tolower(static_cast<unsigned char>(y[i])))
            return false;
    return true;
}

// The listing file of a scripted listing; remembers what reads of its
// entries get.
Bytes Simulator::Impl::ScriptedListing(const std::string& path, const std::vector<ListedEntry>& entries)
{
    const size_t cut = path.find_last_of('\\');
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut);
    Bytes l(6, 0);
    auto add = [&](const Bytes& rec) { l.insert(l.end(), rec.begin(), rec.end()); };
    add(files::RecordFor(0x10, 0, 0, 0, ".", "."));
    add(files::RecordFor(0x10, 0, 0, 0, "..", ".."));
    std::lock_guard<std::mutex> g(m);
    for (const ListedEntry& e : entries) {
        add(files::RecordFor(e.folder ? 0x10 : 0, 0, 0, e.folder ? 0 : uint32_t(e.content.size()),
                             e.name.substr(0, 12), e.name));
        if (!e.folder)
            listedFiles[folder + "\\" + e.name.substr(0, e.name.find('\0'))] = e.content;
    }
    const uint32_t total = uint32_t(l.size());
    const uint16_t count = uint16_t(entries.size() + 2);
    for (int k = 0; k < 4; ++k)
        l[size_t(k)] = uint8_t(total >> (8 * k));
    l[4] = uint8_t(count);
    l[5] = uint8_t(count >> 8);
    return l;
}

void Malform(Bytes& l, Malformed m)
{
    switch (m) {
    case Malformed::None: break;
    case Malformed::HeaderSize: l[0] = uint8_t(l[0] + 1); break;
    case Malformed::ShortRecord:
        if (l.size() > 8) {
            l[6] = 20;
            l[7] = 0;
        }
        break;
    case Malformed::NameWithoutZero:
        if (l.size() > 6 && l.back() == 0) {
            l.back() = 'X';
        }
        break;
    case Malformed::DotNames: {
        const Bytes rec = files::RecordFor(0, 0, 0, 0, ".hidden", ".hidden");
        l.insert(l.end(), rec.begin(), rec.end());
        const uint32_t total = uint32_t(l.size());
        const uint16_t cnt = uint16_t(U16(l.data() + 4) + 1);
        for (int k = 0; k < 4; ++k)
            l[size_t(k)] = uint8_t(total >> (8 * k));
        l[4] = uint8_t(cnt);
        l[5] = uint8_t(cnt >> 8);
        break;
    }
    }
}

} // namespace cssim
