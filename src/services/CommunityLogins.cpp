#include "services/CommunityLogins.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "server/HttpServer.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

class LoginThread {
public:
    void Start() {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_thread)
            m_thread.emplace([this](std::stop_token stop) { Run(stop); });
    }

    void Wake() {
        std::lock_guard<std::mutex> hold(m_lock);
        m_woken = true;
        m_wake.notify_all();
    }

    void Stop() {
        std::optional<std::jthread> thread;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            thread.swap(m_thread);
        }
        // The jthread asks for the stop and joins as it goes.
    }

private:
    void Run(std::stop_token stop) {
        while (!stop.stop_requested()) {
            if (IsWebCommMember() && IsServerRunning())
                RunCommunityLoginPass(stop);
            // A wake that came during the pass is kept, so a change made meanwhile is used at once.
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait_for(hold, stop, kCommunityLoginInterval, [this] { return m_woken; });
            m_woken = false;
        }
    }

    std::mutex m_lock;
    std::condition_variable_any m_wake;
    bool m_woken = false;
    std::optional<std::jthread> m_thread;
};

LoginThread& TheLoginThread() {
    static LoginThread thread;
    return thread;
}

}  // namespace

void StartCommunityLogins() {
    TheLoginThread().Start();
}

void WakeCommunityLogins() {
    TheLoginThread().Wake();
}

void StopCommunityLogins() {
    TheLoginThread().Stop();
}

std::vector<CommunityLoginReport> RunCommunityLoginPass(std::stop_token stop) {
    std::vector<CommunityLoginReport> reports;
    const std::string serverUrl = CommunityServerUrl();
    for (CommunityHost& host : ListCommunityHosts()) {
        if (stop.stop_requested())
            break;
        LoginOutcome outcome = LoginToCommunity(host, serverUrl, stop);
        reports.push_back({host.id, std::move(outcome)});
    }
    return reports;
}

}  // namespace sarvo
