// Limits and time-outs of the HTTP server, in one place, each with its reason.
#pragma once

#include <chrono>
#include <cstddef>

namespace kx::web {

// Request line and headers together. The pages send short requests; 16 KiB leaves room for
// long cookies and referrers while keeping a slow or hostile client from filling memory.
// A request over it gets 431 and the connection closes.
inline constexpr size_t kMaxHeaderBytes = 16 * 1024;

// Request body. The largest legitimate body is the sign-in form (login of 20 and password of 30
// characters, URL-encoded); 64 KiB is far above it. A request over it gets 413 and the
// connection closes.
inline constexpr size_t kMaxBodyBytes = 64 * 1024;

// Time a client may take to send one whole request once it has begun, so that a slow client
// cannot hold a connection thread for ever.
inline constexpr std::chrono::seconds kRequestReadTimeout{30};

// Time an idle keep-alive connection is kept open waiting for its next request.
inline constexpr std::chrono::seconds kKeepAliveIdleTimeout{60};

// Time a reply may stall, the client taking none of its bytes, before the connection is dropped,
// so that a client that stops reading cannot hold a connection thread for ever.
inline constexpr std::chrono::seconds kWriteStallTimeout{30};

// After an error reply (400, 413, 431) the server stops sending and reads and discards what the
// client still sends for up to this long before closing. Closing a socket with unread input
// resets the connection, and the reset can destroy the reply before the client has read it.
inline constexpr std::chrono::seconds kLingeringCloseTimeout{2};

// A file reply is read and sent in pieces of this size: large enough that the system calls per
// megabyte stay few, small enough that a connection thread holds little memory.
inline constexpr size_t kFileChunkBytes = 64 * 1024;

// After a failed accept (out of descriptors or memory) the listener pauses this long instead of
// spinning on a pending connection that it cannot take.
inline constexpr std::chrono::milliseconds kAcceptErrorBackoff{100};

// Idle time after which a session ends (6 minutes without a request).
inline constexpr std::chrono::milliseconds kSessionTimeout{360000};

// How often the session sweep looks for idle sessions.
inline constexpr std::chrono::seconds kSessionSweepInterval{1};

// Most live sessions unless Settings.ini says otherwise (MaxSessions). Every visitor without a
// cookie gets a new guest session, so without a bound a crawler or a hostile client would grow
// the session list without limit; 20000 sessions take a few megabytes.
inline constexpr size_t kMaxSessions = 20000;

// Most client connections served at once unless Settings.ini says otherwise (MaxConnections).
// Each holds a thread; a connection beyond the bound gets 503 with an empty body and is closed.
inline constexpr size_t kMaxConnections = 1000;

// Length of a session id; ids are drawn from [A-Za-z0-9].
inline constexpr size_t kSessionIdLength = 15;

// Name of the session cookie.
inline constexpr char kSessionCookieName[] = "IDHTTPSESSIONID";

}  // namespace kx::web
