// A database-manager server in the test process: records every request with the
// connection it came on and answers from a script (by default: an echo; the open gets
// the pipe name and result 0, 64 reports status 1, 13 and 14 end at once).
#pragma once

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/NamedPipe.h"
#include "support/ByteOrder.h"
#include "support/db/DbMessage.h"

namespace db_test {

struct Request {
    int connection;
    DbMessage bytes;
    std::int16_t command() const { return MessageCommand(bytes); }
    std::span<const std::uint8_t, kDbPayloadSize> payload() const { return MessagePayload(bytes); }
};

class ScriptedServer {
  public:
    // Replies to one request; the default answers described above.
    std::function<std::vector<std::string>(const DbMessage&)> script;
    std::int32_t openResult = 0;
    std::size_t multiAnswerBytes = 0;  // data pieces of a 13 / 14 answer
    std::int16_t shortReplyFor = 0;    // answer this command once with 10 bytes
    std::int16_t headWord = 0;         // what 121 reads at every offset

    ScriptedServer() {
        created_ = server_.Create("\\\\.\\PIPE\\DBMAN", 255);
        if (created_ == 0) thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedServer() {
        server_.Close();
        if (thread_.joinable()) thread_.join();
        for (auto& t : handlers_) t.join();
    }
    platform::WinError created() const { return created_; }

    std::vector<Request> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<std::int16_t> Commands() {
        std::vector<std::int16_t> out;
        for (const auto& r : Requests()) out.push_back(r.command());
        return out;
    }

    std::vector<std::string> Answer(const DbMessage& request) {
        if (script) return script(request);
        DbMessage reply = request;
        auto p = MessagePayload(reply);
        switch (MessageCommand(request)) {
            case -109:
                MessageSession(reply)[0] = 0;
                (void)SetSessionPipeName(MessageSession(reply), "\\PIPE\\DBMAN");
                (void)StoreI32(p, 260, openResult);
                break;
            case 64:
                (void)StoreI16(p, 95, 1);
                break;
            case 121:
                (void)StoreI16(p, 4, headWord);
                break;
            case 13:
            case 14: {
                std::vector<std::string> out;
                for (std::size_t done = 0; done < multiAnswerBytes; done += 256) {
                    DbMessage piece = request;
                    (void)StoreI16(piece, 0, 0);
                    (void)StoreU16(MessageSession(piece), kSessAnswerLength,
                                   static_cast<std::uint16_t>(multiAnswerBytes));
                    out.push_back(Bytes(piece));
                }
                (void)StoreI16(reply, 0, 1);
                out.push_back(Bytes(reply));
                return out;
            }
            default:
                break;
        }
        if (shortReplyFor != 0 && MessageCommand(request) == shortReplyFor) {
            shortReplyFor = 0;
            return {std::string(10, 'x')};
        }
        return {Bytes(reply)};
    }

    static std::string Bytes(const DbMessage& m) {
        return std::string(reinterpret_cast<const char*>(m.data()), m.size());
    }

  private:
    void Run() {
        for (int id = 1;; ++id) {
            platform::PipeHandle connection = platform::kInvalidPipeHandle;
            if (server_.Accept(connection) != 0) return;
            handlers_.emplace_back([this, connection, id] { Serve(connection, id); });
        }
    }
    void Serve(platform::PipeHandle connection, int id) {
        std::vector<char> buffer(platform::kPipeMaxMessage);
        for (;;) {
            std::uint32_t got = 0;
            if (platform::ReadFilePipe(connection, buffer.data(),
                                       static_cast<std::uint32_t>(buffer.size()), got) != 0 ||
                got != kDbMessageSize) {
                break;
            }
            Request request{id, {}};
            std::memcpy(request.bytes.data(), buffer.data(), kDbMessageSize);
            std::vector<std::string> replies;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
                replies = Answer(request.bytes);
            }
            for (const auto& r : replies) {
                std::uint32_t written = 0;
                (void)platform::WriteFilePipe(connection, r.data(),
                                              static_cast<std::uint32_t>(r.size()), written);
            }
        }
        platform::CloseHandlePipe(connection);
    }

    platform::PipeServer server_;
    platform::WinError created_ = 0;
    std::thread thread_;
    std::vector<std::thread> handlers_;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

inline std::int16_t I16(std::span<const std::uint8_t> b, std::size_t at) {
    std::int16_t v = 0;
    EXPECT_TRUE(LoadI16(b, at, v));
    return v;
}
inline std::int32_t I32(std::span<const std::uint8_t> b, std::size_t at) {
    std::int32_t v = 0;
    EXPECT_TRUE(LoadI32(b, at, v));
    return v;
}
inline double F64(std::span<const std::uint8_t> b, std::size_t at) {
    double v = 0;
    EXPECT_TRUE(LoadF64(b, at, v));
    return v;
}

}  // namespace db_test
