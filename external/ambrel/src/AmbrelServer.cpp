// Request handling of the database-manager server. Every field is read and written
// through the bounds-checked byte-order helpers over the fixed 740-byte message, so a
// hostile request can at worst be refused; the model is only touched under its file's
// mutex, and the session table only under the table mutex (never while waiting for a
// file, so a client waiting for another's bracket blocks nobody else).
#include "ambrel/AmbrelServer.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>

#include "ByteOrder.h"
#include "RecordLayout.h"
#include "pdbform/Element.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/Prefix.h"

namespace ambrel {
namespace {

constexpr std::int16_t kCmdOpen = -109;
constexpr std::size_t kPieceSize = 256;
constexpr std::size_t kHeadSize = pdbform::kBlockSize;
// The variable part of one element may not grow beyond this (a client streaming data
// forever must not exhaust the server's memory).
constexpr std::size_t kMaxElementData = 16u << 20;
constexpr std::string_view kServerPipe = "\\PIPE\\DBMAN";
// Where command 105 keeps its value and name in the head block.
constexpr std::size_t kHeadValueAt = 390;
constexpr std::size_t kHeadNameAt = 394;
constexpr std::size_t kHeadNameEnd = 512;
// Layer numbers the PDB form can hold.
constexpr std::int16_t kMaxLayer = 255;

// Result codes.
constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultNotFound = 2;
constexpr std::int32_t kResultInvalidHandle = 6;
constexpr std::int32_t kResultBadFile = 13;
constexpr std::int32_t kResultWriteFault = 29;
constexpr std::int32_t kResultBadParameter = 87;

std::int16_t I16(std::span<const std::uint8_t> b, std::size_t at) {
    std::int16_t v = 0;
    return LoadI16(b, at, v) ? v : 0;
}
std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
    std::uint16_t v = 0;
    return LoadU16(b, at, v) ? v : 0;
}
std::int32_t I32(std::span<const std::uint8_t> b, std::size_t at) {
    std::int32_t v = 0;
    return LoadI32(b, at, v) ? v : 0;
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
    std::uint32_t v = 0;
    return LoadU32(b, at, v) ? v : 0;
}
double F64(std::span<const std::uint8_t> b, std::size_t at) {
    double v = 0;
    return LoadF64(b, at, v) ? v : 0;
}
void PutI16(std::span<std::uint8_t> b, std::size_t at, std::int16_t v) { (void)StoreI16(b, at, v); }
void PutU16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    (void)StoreU16(b, at, v);
}
void PutI32(std::span<std::uint8_t> b, std::size_t at, std::int32_t v) { (void)StoreI32(b, at, v); }
void PutU32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    (void)StoreU32(b, at, v);
}

// A counted string (length byte, then bytes) inside `b`; false when it runs past `b`
// or is longer than `maxBytes`.
bool CountedText(std::span<const std::uint8_t> b, std::size_t at, std::size_t maxBytes,
                 std::string& out) {
    if (at >= b.size()) return false;
    const std::size_t n = b[at];
    if (n > maxBytes || !FitsIn(b.size(), at + 1, n)) return false;
    out.assign(reinterpret_cast<const char*>(b.data() + at + 1), n);
    return true;
}
void PutCounted(std::span<std::uint8_t> b, std::size_t at, std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    if (!FitsIn(b.size(), at, n + 1)) return;
    b[at] = static_cast<std::uint8_t>(n);
    std::memcpy(b.data() + at + 1, text.data(), n);
}

struct SessionState {
    std::uint32_t lastPosition = 0;  // the element put last (0: none)
    bool elementOpen = false;        // between its 27 and its 14: data may follow
    bool sheetFresh = false;         // 972 seen; the next 973 starts its entry anew
    bool saveFailed = false;         // a change of this session could not be saved
};

struct OpenFile {
    std::mutex m;
    std::condition_variable cv;
    std::string hostPath;
    pdbform::PdbFile model;
    std::uint64_t owner = 0;  // connection holding the update bracket
    bool dirty = false;       // model differs from the file on disk
    int sessions = 0;
};

struct Session {
    std::uint32_t check = 0;
    std::shared_ptr<OpenFile> file;
    std::shared_ptr<SessionState> state;  // guarded by file->m
};

}  // namespace

struct Server::Impl {
    Logger log;
    std::mutex tableMutex;
    std::map<std::uint32_t, Session> sessions;
    std::map<std::string, std::shared_ptr<OpenFile>> files;
    std::uint32_t nextSession = 1;
    std::mt19937 rng{std::random_device{}()};
    std::atomic<std::uint64_t> nextConnection{1};

    void Log(const std::string& line) {
        if (log) log(line);
    }
    void Fail(std::int16_t cmd, const std::string& why) {
        Log("Ambrel: command " + std::to_string(cmd) + " refused: " + why);
    }

    // Saves a changed model; false (and a log line) when the file system refuses.
    bool SaveLocked(OpenFile& f) {
        if (!f.dirty) return true;
        std::string reason;
        if (pdbform::Save(f.model, f.hostPath, &reason) != pdbform::Status::kOk) {
            Log("Ambrel: saving " + f.hostPath + " failed: " + reason);
            return false;
        }
        f.dirty = false;
        return true;
    }
    // Drops unsaved changes: the model becomes the file on disk again.
    void ReloadLocked(OpenFile& f) {
        if (!f.dirty) return;
        pdbform::PdbFile fresh;
        std::string reason;
        if (pdbform::Load(f.hostPath, fresh, &reason) == pdbform::Status::kOk) {
            f.model = std::move(fresh);
            f.dirty = false;
        } else {
            Log("Ambrel: reloading " + f.hostPath + " failed: " + reason);
        }
    }

    std::int32_t Open(std::span<const std::uint8_t> p, std::span<std::uint8_t> block);
    void Close(Connection& c, std::uint32_t id, Session& s, std::span<std::uint8_t> r);
    void Dispatch(Connection& c, std::int16_t cmd, std::uint32_t id, Session& s,
                  std::span<const std::uint8_t> p, std::span<std::uint8_t> r,
                  std::span<std::uint8_t> block, std::vector<Message>& replies,
                  const Message& reply);
    bool PutRecord(OpenFile& f, SessionState& st, std::span<const std::uint8_t> p);
    // Completes the session's open element (its text or image data is in).
    void EndElementLocked(OpenFile& f, SessionState& st);
};

Server::Server(Logger log) : impl_(std::make_unique<Impl>()) { impl_->log = std::move(log); }
Server::~Server() = default;

Connection Server::NewConnection() {
    Connection c;
    c.id = impl_->nextConnection++;
    return c;
}

// Opens or creates the file named by the counted path; fills the session block.
std::int32_t Server::Impl::Open(std::span<const std::uint8_t> p, std::span<std::uint8_t> block) {
    std::string path;
    if (!CountedText(p, 0, 255, path) || path.empty()) {
        Fail(kCmdOpen, "no path");
        return kResultBadParameter;
    }
    // "*" names no file of the prefix (a drawing held elsewhere); it is not served.
    if (path[0] == '*') {
        Fail(kCmdOpen, "path beginning with '*' is not served: " + path);
        return kResultBadParameter;
    }
    std::string host;
    if (platform::ToHostPath(path, host) != 0) {
        Fail(kCmdOpen, "not a path of the prefix: " + path);
        return kResultBadParameter;
    }
    std::lock_guard table(tableMutex);
    std::shared_ptr<OpenFile>& file = files[host];
    if (!file) {
        auto fresh = std::make_shared<OpenFile>();
        fresh->hostPath = host;
        struct stat st {};
        std::string reason;
        if (::stat(host.c_str(), &st) == 0) {
            if (pdbform::Load(host, fresh->model, &reason) != pdbform::Status::kOk) {
                files.erase(host);
                Fail(kCmdOpen, "not a readable PDB: " + path + ": " + reason);
                return kResultBadFile;
            }
        } else {
            std::array<std::uint8_t, kHeadSize> head{};
            PutU16(head, 0, pdbform::kFormVersion);
            fresh->model = pdbform::NewEmpty(head);
            fresh->dirty = true;
            std::lock_guard lock(fresh->m);
            if (!SaveLocked(*fresh)) {
                files.erase(host);
                return kResultNotFound;
            }
        }
        file = std::move(fresh);
    }
    std::uint32_t id = nextSession++;
    while (id == 0 || sessions.count(id)) id = nextSession++;
    Session s{static_cast<std::uint32_t>(rng()), file, std::make_shared<SessionState>()};
    {
        std::lock_guard lock(file->m);
        ++file->sessions;
    }
    sessions[id] = s;
    std::fill(block.begin(), block.end(), 0);
    std::memcpy(block.data() + 2, kServerPipe.data(), kServerPipe.size());
    PutU32(block, 87, kMessageSize);
    PutU32(block, kSessSessionId, id);
    PutU32(block, kSessCheck, s.check);
    return kResultOk;
}

void Server::Impl::Close(Connection& c, std::uint32_t id, Session& s, std::span<std::uint8_t> r) {
    {
        // Two closes of one session may race: only the one that removes it goes on.
        std::lock_guard table(tableMutex);
        if (sessions.erase(id) == 0) {
            Fail(2, "session closed already");
            PutI32(r, 4, kResultInvalidHandle);
            return;
        }
    }
    std::int32_t result = kResultOk;
    {
        std::unique_lock lock(s.file->m);
        s.file->cv.wait(lock, [&] { return s.file->owner == 0 || s.file->owner == c.id; });
        EndElementLocked(*s.file, *s.state);
        if (!SaveLocked(*s.file) || s.state->saveFailed) result = kResultWriteFault;
        if (s.file->owner == c.id) {
            s.file->owner = 0;
            c.bracketSession = 0;
            c.bracketFile.reset();
            s.file->cv.notify_all();
        }
        --s.file->sessions;
    }
    // The file leaves the table with its last session; an open between the two locks
    // has counted itself in, so the count is checked again under both.
    std::lock_guard table(tableMutex);
    std::lock_guard lock(s.file->m);
    auto it = files.find(s.file->hostPath);
    if (s.file->sessions == 0 && it != files.end() && it->second == s.file) files.erase(it);
    PutI32(r, 4, result);
}

bool Server::Impl::PutRecord(OpenFile& f, SessionState& st, std::span<const std::uint8_t> p) {
    auto element = ElementFromRecord(p.first<kRecordSize>());
    if (!element) return false;
    const std::uint32_t position = f.model.Append(std::move(*element));
    if (position == 0) return false;
    st.lastPosition = position;
    st.elementOpen = true;
    f.dirty = true;
    return true;
}

void Server::Impl::EndElementLocked(OpenFile& f, SessionState& st) {
    if (!st.elementOpen) return;
    st.elementOpen = false;
    pdbform::Element* element = st.lastPosition ? f.model.FindMutable(st.lastPosition) : nullptr;
    if (!element) return;
    const std::string problem = CompleteElement(*element);
    if (!problem.empty())
        Log("Ambrel: element at position " + std::to_string(st.lastPosition) + ": " + problem);
    f.dirty = true;
}

void Server::Impl::Dispatch(Connection& c, std::int16_t cmd, std::uint32_t id, Session& s,
                            std::span<const std::uint8_t> p, std::span<std::uint8_t> r,
                            std::span<std::uint8_t> block, std::vector<Message>& replies,
                            const Message& reply) {
    if (cmd == 2) {
        Close(c, id, s, r);
        replies.push_back(reply);
        return;
    }
    OpenFile& f = *s.file;
    std::unique_lock lock(f.m);
    f.cv.wait(lock, [&] { return f.owner == 0 || f.owner == c.id; });
    SessionState& st = *s.state;
    pdbform::PdbFile& m = f.model;
    pdbform::Element* element =
        st.elementOpen && st.lastPosition ? m.FindMutable(st.lastPosition) : nullptr;
    auto headTexts = [&]() -> pdbform::HeadTexts& {
        if (!m.headTexts) m.headTexts.emplace();
        return *m.headTexts;
    };
    auto background = [&]() -> pdbform::BackgroundImage& {
        if (!m.background) m.background.emplace();
        return *m.background;
    };
    auto setAttribute = [&](std::size_t at, std::int16_t attr) {
        if (!element) return Fail(cmd, "no element to attach the attribute to");
        if (!FitsIn(element->fixed.size(), at, 2)) return Fail(cmd, "element has no room for it");
        PutI16(element->fixed, at, attr);
        f.dirty = true;
    };
    std::string text;
    std::vector<std::uint8_t> answer;
    bool multi = false;
    switch (cmd) {
        case 13: {
            // The answer describes the file, one "name=value" line each.
            const std::string out = "elements=" + std::to_string(m.Elements().size()) +
                                    "\nremoved=" + std::to_string(m.RemovedPositions().size()) +
                                    "\nnext=" + std::to_string(m.NextPosition()) +
                                    "\nlayers=" + std::to_string(m.layers.size()) +
                                    "\nversion=" + std::to_string(m.Version()) + "\n";
            answer.assign(out.begin(), out.end());
            multi = true;
            break;
        }
        case 14:
            EndElementLocked(f, st);
            multi = true;
            break;
        case 18: {
            const std::uint16_t n = U16(p, 0);
            const auto piece = p.subspan(2, std::min<std::size_t>(n, kPieceSize));
            if (n > kPieceSize) {
                Fail(cmd, "piece longer than 256 bytes");
            } else if (element) {
                if (element->rest.size() + n > kMaxElementData) {
                    Fail(cmd, "element data too long");
                } else {
                    element->rest.insert(element->rest.end(), piece.begin(), piece.end());
                    f.dirty = true;
                }
            } else if (const auto mark = StopMark(piece)) {
                // A stop mark comes as data of its own, with no record before it.
                const std::uint32_t position = m.Append(pdbform::MakeElement(*mark, 0, 0, 0));
                if (position != 0) {
                    st.lastPosition = position;
                    st.elementOpen = true;
                    f.dirty = true;
                }
            } else {
                Fail(cmd, "no element to append data to");
            }
            break;
        }
        case 21: {
            const std::int32_t pos = I32(p, 0);
            if (pos <= 0 || m.StateOf(static_cast<std::uint32_t>(pos)) != pdbform::SlotState::kLive) {
                Log("Ambrel: remove of position " + std::to_string(pos) + ": no element there");
            } else if (m.IsPlacedDefinition(static_cast<std::uint32_t>(pos))) {
                // Its placements would name nothing: the element stays.
                Fail(cmd, "position " + std::to_string(pos) + " holds a placed definition");
            } else {
                // The element leaves the member lists, boundaries and holes that name
                // it, so the file stays whole and can be saved.
                (void)m.Remove(static_cast<std::uint32_t>(pos));
                m.Unlink(static_cast<std::uint32_t>(pos));
                f.dirty = true;
            }
            break;
        }
        case 24:   // the head word at 512 is in the head block already
        case 54:   // layer registration notice: nothing to keep beyond the layer table
            break;
        case 105: {
            // The head's value at 390 and its counted name at 394, which ends before the
            // layer word at 512.
            if (!CountedText(p, 8, kHeadNameEnd - kHeadNameAt - 1, text)) {
                Fail(cmd, "head name longer than its field");
                break;
            }
            PutI32(m.head, kHeadValueAt, I32(p, 0));
            std::fill(m.head.begin() + kHeadNameAt, m.head.begin() + kHeadNameEnd, 0);
            PutCounted(m.head, kHeadNameAt, text);
            f.dirty = true;
            break;
        }
        case 972:
            st.sheetFresh = true;
            break;
        case 27:
            EndElementLocked(f, st);
            if (!PutRecord(f, st, p))
                Fail(cmd, "record refused (kind " + std::to_string(I16(p, 0)) + ")");
            break;
        case 31:
            setAttribute(4, m.pointAttributes.LookUpOrAdd({I16(p, 0)}));
            break;
        case 33: {
            pdbform::LineAttribute a;
            a.pen = I16(p, 0);
            a.lineType = I16(p, 2);
            if (a.lineType > 1) {
                // Six words: three doubles of the line pattern.
                for (int i = 0; i < 3; ++i) a.floats[i] = static_cast<float>(F64(p, 4 + 8 * i));
                a.segmentCount = 3;
            }
            setAttribute(4, m.lineAttributes.LookUpOrAdd(a));
            break;
        }
        case 35: {
            const std::int16_t attr = m.faceAttributes.LookUpOrAdd({I16(p, 0), I16(p, 2)});
            const std::size_t at =
                element ? SecondAttributeOffset(pdbform::BaseKind(element->kind)) : 0;
            if (at)
                setAttribute(at, attr);
            else
                Fail(cmd, "element has no face attribute");
            PutU16(r, 4, static_cast<std::uint16_t>(attr));
            break;
        }
        case 37:
        case 39: {
            std::int16_t attr =
                cmd == 37 ? m.symbolAttributes.LookUpOrAdd({I16(p, 0), I16(p, 2), F64(p, 4)})
                          : m.markAttributes.LookUpOrAdd({I16(p, 0), I16(p, 2), F64(p, 4)});
            setAttribute(4, attr);
            PutU16(r, 12, static_cast<std::uint16_t>(attr));
            break;
        }
        case 41: {
            const std::int16_t attr =
                m.arrowAttributes.LookUpOrAdd({I16(p, 0), I16(p, 2), F64(p, 4)});
            const std::size_t at =
                element ? SecondAttributeOffset(pdbform::BaseKind(element->kind)) : 0;
            if (at)
                setAttribute(at, attr);
            else
                Fail(cmd, "element has no arrow attribute");
            PutU16(r, 12, static_cast<std::uint16_t>(attr));
            break;
        }
        case 62: {
            pdbform::Layer layer;
            layer.number = I16(p, 0);
            if (layer.number < 1 || layer.number > kMaxLayer ||
                !CountedText(p, 2, 16, layer.name)) {
                Fail(cmd, "bad layer number or name");
                break;
            }
            layer.a = I16(p, 19);
            layer.b = I16(p, 21);
            for (int i = 0; i < 9; ++i) layer.record[i] = F64(p, 23 + 8 * i);
            auto it = std::lower_bound(
                m.layers.begin(), m.layers.end(), layer.number,
                [](const pdbform::Layer& l, std::int16_t n) { return l.number < n; });
            if (it != m.layers.end() && it->number == layer.number)
                *it = layer;
            else
                m.layers.insert(it, layer);
            f.dirty = true;
            break;
        }
        case 64: {
            const std::int16_t n = I16(p, 0);
            auto it = std::find_if(m.layers.begin(), m.layers.end(), [&](const pdbform::Layer& l) {
                return l.number == n && !l.skip;
            });
            std::fill(r.begin() + 2, r.begin() + 97, 0);
            if (it == m.layers.end()) {
                PutI16(r, 95, 1);  // not defined yet
            } else {
                PutCounted(r, 2, it->name);
                PutI16(r, 19, it->a);
                PutI16(r, 21, it->b);
                for (int i = 0; i < 9; ++i) (void)StoreF64(r, 23 + 8 * i, it->record[i]);
            }
            break;
        }
        case 83:
        case 85: {
            if (!CountedText(p, 0, 16, text)) {
                Fail(cmd, "bad text");
                break;
            }
            auto& h = headTexts();
            (cmd == 83 ? h.systemName : h.paperName) = text;
            (cmd == 83 ? h.systemNumber : h.paperNumber) = I16(p, 17);
            f.dirty = true;
            break;
        }
        case 87:
        case 89: {
            auto& values = cmd == 87 ? headTexts().frame : headTexts().size;
            for (int i = 0; i < 8; ++i) values[i] = I32(p, 4 * i);
            f.dirty = true;
            break;
        }
        case 91:
        case 103:
            if (!CountedText(p, 0, 255, text)) {
                Fail(cmd, "bad text");
                break;
            }
            (cmd == 91 ? headTexts().message : headTexts().selectionName) = text;
            f.dirty = true;
            break;
        case 93: {
            const std::int16_t index = I16(p, 0);
            if (index < 0 || index > 10 || !CountedText(p, 2, 16, text)) {
                Fail(cmd, "bad name index or text");
                break;
            }
            headTexts().groupNames[index] = text;
            f.dirty = true;
            break;
        }
        case 111: {
            const auto nameRoom = p.subspan(4, 257);
            const auto nul = std::find(nameRoom.begin(), nameRoom.end(), 0);
            if (nul == nameRoom.end()) {
                Fail(cmd, "image name without its end");
                break;
            }
            auto& b = background();
            b.hasImage = true;
            b.name.assign(nameRoom.begin(), nul);
            b.a = I32(p, 261);
            b.b = I32(p, 265);
            f.dirty = true;
            break;
        }
        case 116:
            std::copy(p.begin() + 4, p.begin() + 8, background().cdef.begin());
            f.dirty = true;
            break;
        case 118:
            background().imageCount = I16(p, 0);
            f.dirty = true;
            break;
        case 121:
        case 122: {
            const std::int16_t at = I16(p, 0);
            const std::uint16_t n = U16(p, 2);
            if (at < 0 || n > kPieceSize || !FitsIn(kHeadSize, static_cast<std::size_t>(at), n)) {
                Fail(cmd, "head range outside the block");
                if (cmd == 121) std::fill(r.begin() + 4, r.begin() + 4 + kPieceSize, 0);
                break;
            }
            if (cmd == 121) {
                std::copy_n(m.head.begin() + at, n, r.begin() + 4);
                break;
            }
            // The version word (bytes 0-1) is the server's: a client's head never replaces it.
            for (std::size_t i = 0; i < n; ++i) {
                if (at + i >= 2) m.head[at + i] = p[4 + i];
            }
            f.dirty = true;
            break;
        }
        case 973: {
            const std::uint8_t entry = p[1];
            const std::int16_t at = I16(p, 2);
            const std::uint16_t n = U16(p, 4);
            if (entry < 1 || entry > 4 || at < 0 || n > kPieceSize ||
                !FitsIn(kHeadSize, static_cast<std::size_t>(at), n)) {
                Fail(cmd, "sheet piece outside its block");
                break;
            }
            auto& slot = m.sheetInfo.entries[entry - 1];
            if (!slot || st.sheetFresh) slot = std::vector<std::uint8_t>(kHeadSize, 0);
            st.sheetFresh = false;
            std::copy_n(p.begin() + 6, n, slot->begin() + at);
            f.dirty = true;
            break;
        }
        case 978:
            // One update per connection: its end or the disconnect must free the file.
            if (c.bracketSession && c.bracketSession != id) {
                Fail(cmd, "an update of another session is open on this connection");
                break;
            }
            f.owner = c.id;
            c.bracketSession = id;
            c.bracketFile = s.file;
            break;
        case 979:
            EndElementLocked(f, st);
            if (f.owner == c.id) {
                if (!SaveLocked(f)) {
                    // The bracket's changes are lost: the file keeps what it had, and
                    // this end and the session's close say so.
                    ReloadLocked(f);
                    st.saveFailed = true;
                    PutI32(r, 4, kResultWriteFault);
                }
                f.owner = 0;
                c.bracketSession = 0;
                c.bracketFile.reset();
                f.cv.notify_all();
            } else {
                Fail(cmd, "no update bracket to end");
            }
            break;
        default:
            Fail(cmd, "unknown command");
            break;
    }
    // A change outside a bracket is kept at once; one the file cannot hold is dropped
    // again, so that it does not block every later save.
    if (f.dirty && f.owner != c.id && !SaveLocked(f)) {
        ReloadLocked(f);
        st.saveFailed = true;
        PutI32(r, 4, kResultWriteFault);
    }
    PutI32(block, kSessLastRecord, static_cast<std::int32_t>(st.lastPosition));
    if (!multi) {
        replies.push_back(reply);
        return;
    }
    Message piece = reply;
    PutU16(std::span(piece).subspan(kSessionOffset, kSessionSize), kSessAnswerLength,
           static_cast<std::uint16_t>(answer.size()));
    for (std::size_t done = 0; done < answer.size(); done += kPieceSize) {
        const std::size_t n = std::min(kPieceSize, answer.size() - done);
        PutI16(piece, 0, 0);
        std::fill(piece.begin() + kPayloadOffset, piece.end(), 0);
        std::copy_n(answer.begin() + done, n, piece.begin() + kPayloadOffset);
        replies.push_back(piece);
    }
    PutI16(piece, 0, cmd);
    std::fill(piece.begin() + kPayloadOffset, piece.end(), 0);
    replies.push_back(piece);
}

bool Server::Handle(Connection& connection, std::span<const std::uint8_t> request,
                    std::vector<Message>& replies) {
    Impl& d = *impl_;
    Message reply{};
    std::copy_n(request.begin(), std::min(request.size(), kMessageSize), reply.begin());
    const std::int16_t cmd = I16(reply, 0);
    std::span<std::uint8_t> block = std::span(reply).subspan(kSessionOffset, kSessionSize);
    std::span<std::uint8_t> r = std::span(reply).subspan(kPayloadOffset, kPayloadSize);
    Message requestCopy = reply;
    const auto rp =
        std::span<const std::uint8_t>(requestCopy).subspan(kPayloadOffset, kPayloadSize);

    auto refuse = [&](const std::string& why) {
        d.Fail(cmd, why);
        if (cmd == kCmdOpen) PutI32(r, 260, kResultBadParameter);
        if (cmd == 2) PutI32(r, 4, kResultInvalidHandle);
        if (cmd == 13 || cmd == 14) {
            PutI16(reply, 0, cmd);
            std::fill(r.begin(), r.end(), 0);
        }
        replies.push_back(reply);
    };
    if (request.size() != kMessageSize) {
        refuse("message of " + std::to_string(request.size()) + " bytes");
        return false;
    }
    if (cmd == kStopCommand) {
        d.Log("Ambrel: stop requested");
        replies.push_back(reply);
        return true;
    }
    if (cmd == kCmdOpen) {
        PutI32(r, 260, d.Open(rp, block));
        replies.push_back(reply);
        return false;
    }
    const std::uint32_t id = U32(block, kSessSessionId);
    Session session;
    {
        std::lock_guard table(d.tableMutex);
        auto it = d.sessions.find(id);
        if (it == d.sessions.end() || it->second.check != U32(block, kSessCheck)) {
            session.file = nullptr;
        } else {
            session = it->second;
        }
    }
    if (!session.file) {
        refuse("no open session");
        return false;
    }
    d.Dispatch(connection, cmd, id, session, rp, r, block, replies, reply);
    return false;
}

void Server::Disconnect(Connection& connection) {
    Impl& d = *impl_;
    auto file = std::static_pointer_cast<OpenFile>(std::move(connection.bracketFile));
    connection.bracketFile.reset();
    connection.bracketSession = 0;
    if (!file) return;
    std::lock_guard lock(file->m);
    if (file->owner != connection.id) return;
    d.Log("Ambrel: client left inside an update: its changes to " + file->hostPath +
          " are discarded");
    d.ReloadLocked(*file);
    file->owner = 0;
    file->cv.notify_all();
}

}  // namespace ambrel
