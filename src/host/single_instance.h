// One copy per user: a name claimed by a lock and a local socket.
//
// A process that claims the name C it holds an
// exclusive lock on <folder>/<C>.lock for as long as it keeps the claim, and
// listens on the local socket <folder>/<C>.sock. The lock decides who owns the
// name: the kernel drops it when the owner exits or crashes, so a socket file
// left behind by a crashed copy is recognised as stale (connection refused, lock
// free) and removed, by the next owner or by whoever finds it. Two copies
// started together cannot both win, because only one gets the lock.
//
// The folder is $XDG_RUNTIME_DIR/wayconv, else /tmp/wayconv-<uid>; it must be
// a folder of this user that no one else may enter (mode 0700). When no such
// folder can be had, nothing is claimed and no other copy is found.
//
// Requests and answers are single lines of UTF-8, a request of up to 70000
// bytes, an answer of up to 1024; what they say is the caller's (the window
// layer asks "find TITLE", "front SERIAL" and "copy SERIAL TAG HEX").
#pragma once

#include <string>

/// What ClaimInstance did.
constexpr int kClaimNone = 0;   // not claimed (one is held here already, or no claim folder)
constexpr int kClaimTaken = 1;  // a live copy holds it
constexpr int kClaimHeld = 2;   // claimed now

/// Claims `name` (UTF-8) for this process and listens for other copies.
int ClaimInstance(const std::string& name);

/// Gives the claim up: the socket goes before the lock.
void ReleaseInstance();

/// The socket on which other copies call, or -1.
int InstanceWatchFd();

/// Answers the requests waiting on InstanceWatchFd() with `answer`, which
/// gets a request line and returns the reply line; never blocks for long.
using InstanceAnswer = std::string (*)(const std::string& request);
void ServeInstance(InstanceAnswer answer);

/// Sends one request line to the copy that holds `name` and reads its answer
/// line; false on any failure. A socket no live copy holds is removed.
bool AskInstance(const std::string& name, const std::string& request, std::string* answer);
