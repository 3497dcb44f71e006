#pragma once
// The stand-in's record of one accepted socket; shared by the files of SimStandin only.
#include <cstdint>
#include <deque>
#include <string>

#include "simstandin/standin.h"

namespace zeph::standin {

struct SimStandin::Connection {
    Connection(std::uint32_t id, Fd fd, std::string transport, const SessionOptions& options, World& world,
               const CreationKnobs& knobs, SessionHub& hub)
        : id(id), fd(std::move(fd)), transport(std::move(transport)),
          session(id, options, world, knobs, hub) {}

    ConnectionInfo info(bool open) const {
        return {
            id,           transport, open, session.opened(), session.replyVersion(), session.packetsHandled(),
            bytesWritten, writes};
    }

    std::uint32_t id;
    Fd fd;
    std::string transport;
    Session session;
    std::deque<std::string> pending; // messages, each with its padding
    std::size_t headOffset = 0;      // bytes of pending.front() already written
    std::uint64_t bytesQueued = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t writes = 0;
    bool closeAfterFlush = false;
    bool failed = false;
    Clock::time_point nextWriteAt{};
};

} // namespace zeph::standin
