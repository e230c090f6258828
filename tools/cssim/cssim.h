#pragma once
// The control-system simulator: the test peer at the other end of the link.
// It plays the control system's message level (connect, class dispatch, the
// job engine, the file server and a fake PLC) from docs/link-protocol.md
// alone, over the frame, channel and transport layer of link/olnk.  It never
// uses the session library, the link object or core/; its run mode reads the
// program modules of the transferred image as docs/build.md describes them.
// See docs/cssim.md.
//
// Every public call is thread-safe and takes effect from the next message.
#include "link/olnk/olnk.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace linkshim {
class UdpFaultRelay;
class PtyBridge;
} // namespace linkshim

namespace cssim {

using Bytes = std::vector<uint8_t>;

// ---- Configuration ------------------------------------------------------------------

struct Share
{
    std::string name; // share name (code page 1250 = ASCII in practice)
    std::string dir;  // native folder (UTF-8)
};

struct Config
{
    // UDP: the simulator's channel binds udpLocalPort and talks to
    // peerAddress:peerPort (our side).  With the shim on, our side talks to
    // Simulator::publicPort() instead and the channel sits behind the shim.
    uint16_t udpLocalPort = 0;
    std::string peerAddress = "127.0.0.1";
    uint16_t peerPort = 0;
    // Serial (used when serialDevice is set or serialShim is true): the
    // device the simulator opens.  With serialShim the simulator makes a
    // pseudo-terminal bridge and opens its side B; our side opens
    // Simulator::serialPeerDevice() (side A).
    std::string serialDevice;
    bool serialShim = false;
    uint32_t baud = 115200;

    uint8_t window = 20;
    bool active = false; // send our own connect message at start
    std::vector<Share> shares;
    uint64_t seed = 1;
    bool shim = false;      // UDP fault shim between our side and the channel
    bool recording = true;  // keep every message in recorder()
    uint32_t jobTimeoutMs = 30000;
    uint32_t fileBlock = 512;    // block size of files and listings
    uint32_t clientTimeoutMs = 20000;
    // Run mode: lines per second that the PLC executes of the program of
    // the transferred image while it runs; 0 = off.
    uint32_t runRate = 0;
};

// ---- The program of the run mode ----------------------------------------------------------

// What the program modules (type 0xA500, tag "TARVPRG1") of a PLC image say,
// as docs/build.md describes them.
struct ProgramVar
{
    uint16_t area = 0;
    uint32_t address = 0;
    uint16_t size = 0;
    bool operator==(const ProgramVar&) const = default;
};
struct Program
{
    std::vector<uint32_t> lines; // listing indexes, ascending
    std::vector<ProgramVar> vars;
};
// Joins every program module of the image in image order.  False with the
// reason when there is none or one is malformed (out is then empty).
bool ReadProgram(const Bytes& image, Program& out, std::string& why);

// ---- Fake PLC ------------------------------------------------------------------------

constexpr uint16_t FLAG_LOADING = 0x01;
constexpr uint16_t FLAG_LOADED = 0x02;
constexpr uint16_t FLAG_RUNNING = 0x04;
constexpr uint16_t FLAG_AT_POSITION = 0x08;
constexpr uint16_t FLAG_ASLEEP = 0x10;

struct PlcInfo // the basic record (code 1)
{
    uint8_t panel[4] = {1, 0, 2, 0};
    uint16_t cassetteVersion = 0x6349; // major 6, minor 0x349: "6.349" as "%x.%x" and "%01x.%03x"
    uint16_t cassetteType = 1;
    std::string comment = "cssim";
    uint16_t compilerVersion = 632;
};

struct PlcInfoEx // the extended record (code 30)
{
    uint32_t csVersion = 6, csMinor = 3, csRevision = 632;
    uint32_t compVersion = 6, compMinor = 3, compRevision = 632;
    uint32_t modified = 0, mixed = 0;
    std::string text = "cssim";
    uint32_t plcRevision = 1, plcModified = 0, plcMixed = 0;
    std::string plcText = "";
    std::string name = "cssim", comment = "simulated control system", publisher = "ORNA",
                web = "", telephone = "";
    // 0: answer with the record; 129 or 128: answer that status (an older
    // control system).
    uint8_t answer = 0;
};

class Plc
{
public:
    uint16_t flags() const;
    void setFlags(uint16_t flags); // pushes kind 0 when it changes
    uint32_t position() const;
    void setPosition(uint32_t pos); // pushes kind 0 when it changes
    // Sets 0x08 and the position and pushes kind 0.
    void hitBreakpoint(uint32_t index);

    Bytes image() const;
    uint32_t plcLength() const;
    uint16_t plcChecksum() const;
    // Stores an image as a successful transfer would (sums of the chain walk).
    void setImage(const Bytes& image);
    void setSums(uint32_t length, uint16_t checksum);

    PlcInfo info() const;
    void setInfo(const PlcInfo& i);
    PlcInfoEx infoEx() const;
    void setInfoEx(const PlcInfoEx& i);

    Bytes readMemory(uint16_t area, uint32_t address, uint32_t length) const;
    void writeMemory(uint16_t area, uint32_t address, const Bytes& bytes);

    uint8_t rlo() const;
    int32_t dr() const;
    void setRegs(uint8_t rlo, int32_t dr);

    void executeLine(uint32_t index, uint8_t rlo, int32_t dr);
    struct LineRegs
    {
        uint8_t activity = 255, rlo = 0;
        int32_t dr = 0;
    };
    LineRegs lineRegs(uint32_t index) const;

    struct Mech
    {
        uint8_t running = 0;
        uint32_t index = 0;
    };
    void setMechanism(uint32_t address, uint16_t number, uint8_t running, uint32_t index);
    Mech mechanism(uint32_t address, uint16_t number) const;

    std::vector<uint32_t> breakpoints() const; // ascending
    void setBreakpoints(const std::vector<uint32_t>& b);

    struct WatchList
    {
        uint16_t interval = 0; // 0: none in force
        uint32_t parameter = 0;
        Bytes entries; // the request block after its count, as received
        uint16_t count = 0;
    };
    WatchList watch() const;        // code 16
    WatchList watchMech() const;    // code 21
    WatchList watchLines() const;   // code 19

    // The program read from the stored image (after a successful transfer
    // or setImage), and why there is none ("" with a program).
    bool hasProgram() const;
    Program program() const;
    std::string programNote() const;

    // The chain walk of a PLC image: true when well formed; sums out.
    static bool CheckImage(const Bytes& image, uint32_t& length, uint16_t& checksum);

private:
    friend class Simulator;
    struct State;
    Plc();
    std::shared_ptr<State> m_s;
};

// ---- Scripts ---------------------------------------------------------------------------

// Per class-1 request code.
struct RequestScript
{
    std::optional<int8_t> status; // forced status (the side effect is skipped)
    std::optional<Bytes> data;    // replacement reply data
    uint32_t delayMs = 0;         // extra delay before the reply
    bool drop = false;            // no reply
    bool twice = false;           // the reply is sent twice
    bool wrongParameter = false;  // the reply carries parameter + 1
    uint32_t cut = 0;             // bytes cut off the end of the reply data
    Bytes extra;                  // bytes appended to the reply data
    uint32_t times = 0; // 0: every request of the code; else the next that many, then it ends
};

// Per file-server operation (class 2 code 0..8) and path.
enum class Malformed
{
    None,
    HeaderSize,     // the header's total length differs from the file size
    ShortRecord,    // the first record's length field is 20 (below 29)
    NameWithoutZero,// the last record's long name loses its zero byte
    DotNames,       // an extra file record named ".hidden"
};

// One record of a scripted listing: any bytes for the name (the wire ends
// it at its first zero), and what a read of it is served.
struct ListedEntry
{
    std::string name;
    bool folder = false;
    Bytes content; // files: the size listed and the bytes a read gets
};

struct FileScript
{
    std::optional<uint8_t> status; // answered instead of the operation
    uint32_t delayMs = 0;          // before the reply (or the job start)
    uint32_t blockDelayMs = 0;     // slow listing/read: between blocks
    Malformed malformed = Malformed::None; // listings only
    // Listings only: the listing of the request path equal to the script's
    // pattern (any case; other paths the pattern matches are listed as
    // usual) is "." and ".." and these records, whatever the folder holds
    // or the path check says.  After it, a read of the listed folder's path
    // + "\" + an entry's name gets that entry's content, also where the
    // path check would refuse the name: a hostile control system.
    std::optional<std::vector<ListedEntry>> listing;
    // Information only: the record answered names the entry so (any bytes).
    std::optional<std::string> infoName;
};

// Applies to the next jobs the simulator runs (as server or client).
struct JobScript
{
    std::optional<uint8_t> failStart; // the request is refused with this status
    int abortAfter = -1;        // after N blocks the job ends with abortStatus
    uint8_t abortStatus = 136;
    int creditsStopAfter = -1;  // a receive job grants no more after N blocks
                                // (0: not even the first acknowledgement)
    uint32_t exceedCredits = 0; // a send job sends this many blocks more than granted
    int wrongBlockAfter = -1;   // a send job skips a block number after N blocks
    std::optional<int8_t> verdict; // final acknowledgement of a receive job
    uint32_t verdictDelayMs = 0;
    int resetAfter = -1;        // resetNow() after N blocks
};

// ---- Recording -----------------------------------------------------------------------------

struct Record
{
    uint64_t ms;       // since the simulator started
    int direction;     // 0 received from our side, 1 sent by the simulator
    Bytes bytes;
    uint8_t cls() const { return bytes.size() > 0 ? bytes[0] : 0xFF; }
    uint8_t type() const { return bytes.size() > 1 ? bytes[1] : 0xFF; }
    uint8_t code() const { return bytes.size() > 2 ? bytes[2] : 0xFF; }
    uint32_t parameter() const;
    Bytes payload() const; // bytes after the parameter
};

class Recorder
{
public:
    Recorder();
    std::vector<Record> all() const;
    // The first record (from the oldest) that matches, waiting up to timeout.
    std::optional<Record> waitFor(const std::function<bool(const Record&)>& pred,
                                  std::chrono::milliseconds timeout);
    void clear();
    void add(int direction, const uint8_t* data, size_t n);
    void setStart(std::chrono::steady_clock::time_point t) { m_start = t; }
    // Malformed messages dropped.
    uint64_t malformed() const;

private:
    friend class Simulator;
    struct Impl;
    std::shared_ptr<Impl> m_impl;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// ---- Client of our side's server ------------------------------------------------------------

struct ClientResult
{
    int status = -1; // 0..255 as on the wire; -1: no answer within the time-out
    Bytes data;      // reply data, or the bytes received by the job
};

class Client
{
public:
    ClientResult list(const std::string& path);
    ClientResult get(const std::string& path);
    ClientResult put(const std::string& path, const Bytes& content, uint16_t dosTime = 0,
                     uint16_t dosDate = 0);
    ClientResult info(const std::string& path);
    ClientResult copy(const std::string& from, const std::string& to);
    ClientResult move(const std::string& from, const std::string& to);
    ClientResult del(const std::string& path);
    ClientResult mkdir(const std::string& path);
    ClientResult rmdir(const std::string& path);
    // Any message (for example a class-1 request or an unknown class): the
    // first message answering it (same class and code, type 1), or nullopt.
    std::optional<Bytes> request(const Bytes& message);
    // Class 0, type 3.
    void linkEvent(uint8_t code);

private:
    friend class Simulator;
    class Simulator* m_sim = nullptr;
};

// ---- The fault shim ----------------------------------------------------------------------------

// Which frames a targeted fault takes.  Direction 0: our side -> simulator,
// 1: simulator -> our side.
struct FrameMatch
{
    int direction = 0;
    int cls = -1, type = -1, code = -1; // -1: any
    int codeLast = -1;                  // above code: the codes code to codeLast
    int maxData = -1;                   // >= 0: frames with at most that many data bytes
    int job = -1;                       // byte 3 of job messages
    bool dataOnly = true;               // frames without data never match
};

enum class FrameAction
{
    Drop,
    Duplicate,
    Delay, // by delayMs
    Hold,  // held back until the next frame of that direction passes
    Xor,   // byte at offset ^= mask (offset from the frame start; -1: last data byte)
    Cut,   // dropped, and from it on nothing passes either way until silence(-1, false)
};

struct TargetedFault
{
    FrameMatch match;
    FrameAction action = FrameAction::Drop;
    uint32_t count = 1;   // how many matching frames
    uint32_t delayMs = 0;
    int offset = 0;       // for Xor: frame offset; -1 last data byte, -2 data check low, -3 high
    int dataOffset = -1;  // for Xor: when >= 0, the unstuffed data byte of that index
    uint8_t mask = 0x01;
};

class Shim
{
public:
    bool ok() const;
    // Seeded random faults, per direction.
    void setRandom(int direction, double loss, double duplicate, double reorder, double corrupt);
    void addTargeted(const TargetedFault& f);
    // Silence in one (0, 1) or both (-1) directions.
    void silence(int direction, bool on);
    // Bytes sent straight to our side (UDP: one datagram from the shim's port).
    void inject(const Bytes& bytes);
    // A frame with the given data whose header length byte is `headerLength`
    // (extra bytes zero; below 10 the header is cut), or whose byte 3 is `byte3`.
    static Bytes BadFrame(const Bytes& data, uint8_t headerLength, uint8_t byte3, uint8_t seq);
    // A datagram to our side from a foreign port.
    void sendForeign(const Bytes& bytes);
    uint64_t matched() const; // targeted faults applied so far

private:
    friend class Simulator;
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

// ---- The simulator --------------------------------------------------------------------------

class Simulator
{
public:
    explicit Simulator(Config config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the channel and starts the loop thread; false with the thread's
    // last error (an OlnkGetErrorText code) when the channel cannot open.
    bool start();
    void stop();
    uint32_t lastError() const { return m_error; }

    // The UDP port our side talks to (the shim's, or the channel's own).
    uint16_t publicPort() const;
    // The device our side opens with serialShim.
    std::string serialPeerDevice() const;

    Plc& plc() { return m_plc; }
    void scriptRequest(uint8_t code, const RequestScript& s);
    void clearRequestScript(uint8_t code);
    // op: class-2 code; pathPattern: wire path with "*" and "?" (any case); "" any.
    void scriptFile(uint8_t op, const std::string& pathPattern, const FileScript& s);
    void clearFileScripts();
    void scriptJobs(const JobScript& s);
    void clearJobScript();

    void resetNow();
    void linkEvent(uint8_t code);
    void push(uint8_t kind, uint32_t parameter, const Bytes& data);
    void pushType3(uint8_t code, uint32_t parameter, const Bytes& data);
    // Sends a message as it is (reliable).
    void sendRaw(const Bytes& message);
    void silence(bool on);

    Client& client() { return m_client; }
    Shim& shim() { return m_shim; }
    Recorder& recorder() { return m_recorder; }
    OlnkStatistics statistics() const;
    OlnkChannel channel() const { return m_channel; }
    int linkState() const;
    uint64_t connectsReceived() const;

    struct Impl;

private:
    friend class Client;
    Config m_config;
    Plc m_plc;
    Client m_client;
    Shim m_shim;
    Recorder m_recorder;
    OlnkChannel m_channel = nullptr;
    uint32_t m_error = 0;
    std::unique_ptr<Impl> m_impl;
};

// The connect message (11 bytes) and its reply with a parameter and status.
Bytes ConnectMessage();
Bytes ConnectReply(uint32_t parameter, uint8_t status);

} // namespace cssim
