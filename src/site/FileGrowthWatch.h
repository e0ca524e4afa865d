#pragma once

#include <string>

#include "platform/Socket.h"

// Lets a real-time stream sleep until its file changes instead of looking at it every few
// milliseconds. All watches of the process share one inotify instance and one reader thread: a user
// may hold only a few inotify instances (128 by default), while the server may stream hundreds of files
// at once. Each watch has its own wake-up descriptor, which the reader thread signals.
namespace sarvo {

// Without inotify (or past the watch limit) a stream looks at its file this often instead.
inline constexpr int kGrowthFallbackPollMs = 50;

class FileGrowthWatch {
public:
    enum class Wake {
        FileMayHaveChanged,  // look at the file again; the change may not be growth
        TimedOut,
        PeerGone,  // the client closed or reset its side of the connection
    };

    // Starts watching the file the path names now; a file later put in its place is not followed, as
    // the stream keeps reading the one it opened.
    explicit FileGrowthWatch(const std::string& path);
    ~FileGrowthWatch();
    FileGrowthWatch(const FileGrowthWatch&) = delete;
    FileGrowthWatch& operator=(const FileGrowthWatch&) = delete;

    // False when the file is looked at by the fallback poll instead.
    bool IsWatching() const { return m_watch >= 0; }

    // Waits up to timeoutMs for a change of the file or a departure of the peer. A change that came
    // since the last wait ends the wait at once, so nothing written between a read and a wait is
    // missed.
    Wake Wait(SocketHandle peer, int timeoutMs);

private:
    int m_wakeDescriptor = -1;
    int m_watch = -1;
};

}  // namespace sarvo
