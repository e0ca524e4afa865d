#include <arpa/inet.h>
#include <signal.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>

#include "app/Cli.h"
#include "app/CliArguments.h"
#include "app/ServeChatRoom.h"
#include "common/Format.h"
#include "platform/FileTime.h"
#include "platform/Notification.h"
#include "server/ClientActivity.h"
#include "server/HttpServer.h"
#include "services/CommunityLogins.h"
#include "services/Guestbook.h"
#include "services/ServiceHandlers.h"
#include "services/Webchat.h"
#include "site/SiteHandlers.h"
#include "store/SiteSettings.h"

namespace sarvo::cli {
namespace {

constexpr char kServeUsage[] =
    "Usage: sarvo-cli serve [--quiet] [--webchat[=MAX]]\n"
    "\n"
    "Starts the web server with the stored settings and runs it until SIGINT or SIGTERM.\n"
    "Prints the port and the site's address, then one line per client event (time, address,\n"
    "action, object, and the bytes sent when a connection closes), and the owner's notices (a new\n"
    "guestbook message while GuestbookAlarm is on, the chat page's address when a guest calls for\n"
    "the host). --quiet leaves out the site's address and the client events.\n"
    "--webchat opens the chat room with MAX members (default 16, 2 to 999) once the server listens.\n";

constexpr char kStartedText[] = "Server is working on port %u";
constexpr char kStartFailedText[] =
    "Failed starting server on port %u. Error = %d.\r\n\r\nPlease click the [Server Property] button, change "
    "the "
    "port number, and try again.";
constexpr int kSignalPollMs = 500;

// Waits for the server thread's first word: listening, or failed. The owner's notices that come
// later on the same channel are printed.
class StartWatcher : public NotificationTarget {
public:
    void Post(uint32_t commandId, uintptr_t) override {
        if (commandId == CMD_GUESTBOOK_ALARM && m_printNotice)
            return m_printNotice(std::string(kGuestbookNotice) + "\n");
        if (commandId == CMD_OPEN_WEBCHAT_PAGE && m_printNotice)
            return m_printNotice(WebchatPageLine());
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_outcome == 0)
            m_outcome = commandId;
        m_changed.notify_all();
    }

    uint32_t WaitForOutcome() {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return m_outcome != 0; });
        return m_outcome;
    }

    // The owner's notices, printed while the server runs.
    void SetNoticePrinter(std::function<void(const std::string&)> print) { m_printNotice = std::move(print); }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    uint32_t m_outcome = 0;
    std::function<void(const std::string&)> m_printNotice;
};

const char* ActionText(uint32_t action) {
    switch (action) {
        case kActionDownload:
            return "Download";
        case kActionUpload:
            return "Upload";
        case kActionFailed:
            return "Bad Request";
        default:
            return "";
    }
}

// One line per client event, in the terms of the desktop's clients list.
class ClientEventPrinter : public NotificationTarget {
public:
    explicit ClientEventPrinter(std::ostream& out) : m_out(out) {}

    // Lines of the command's own, kept whole among the event lines of the connection threads.
    void Print(const std::string& lines) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_out << lines << std::flush;
    }

    void Post(uint32_t commandId, uintptr_t argument) override {
        if (commandId == kClientInfoProgress)
            return;
        std::optional<ClientRecord> record = CopyClientRecord(static_cast<SocketHandle>(argument));
        if (!record)
            return;
        std::string line = TimeText(record->connectedAt) + "  " + AddressText(record->peer) + "  ";
        if (commandId == kClientInfoConnected)
            line += "Connect";
        else if (commandId == kClientInfoRequest)
            line += std::string(ActionText(record->action)) + "  " + record->object;
        else if (commandId == kClientInfoClosed)
            line += "Closed  " + record->object + "  " + FormatCount(record->done) + "/" +
                    FormatCount(record->total);
        std::lock_guard<std::mutex> hold(m_lock);
        m_out << line << std::endl;
    }

private:
    static std::string TimeText(FileTime utc) {
        FileTime local;
        SystemTime time;
        if (!FileTimeToLocalFileTime(utc, local) || !FileTimeToSystemTime(local, time))
            return "-";
        return Format("%04u-%02u-%02u %02u:%02u:%02u", time.year, time.month, time.day, time.hour,
                      time.minute, time.second);
    }

    static std::string AddressText(const sockaddr_in& address) {
        char text[INET_ADDRSTRLEN] = "";
        ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
        return text;
    }

    std::ostream& m_out;
    std::mutex m_lock;
};

// Blocks the stop signals in every thread the server starts, so that only the wait below sees them.
sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void WaitForStopSignalOrServerEnd(const sigset_t& signals) {
    const timespec step{0, kSignalPollMs * 1'000'000L};
    while (IsServerRunning()) {
        if (sigtimedwait(&signals, nullptr, &step) > 0)
            return;
    }
}

}  // namespace

int RunServeCommand(const std::vector<std::string>& arguments, CliStreams streams) {
    ParsedArguments parsed;
    std::string error;
    if (!parsed.Parse(arguments, {{"--quiet", OptionKind::Flag}, {kWebchatOption, OptionKind::OptionalValue}},
                      error))
        return Refuse(streams, error);
    unsigned chatMembers = 0;
    if (!ChatRoomSizeFromOption(parsed, chatMembers, error))
        return Refuse(streams, error);
    if (parsed.WantsHelp()) {
        streams.out << kServeUsage;
        return kExitOk;
    }
    if (!parsed.Positional().empty())
        return Refuse(streams, "serve takes no arguments (see sarvo-cli serve --help)");

    RegisterSiteHandlers();
    RegisterServiceHandlers();
    const sigset_t signals = BlockStopSignals();
    StartWatcher watcher;
    ClientEventPrinter printer(streams.out);
    watcher.SetNoticePrinter([&printer](const std::string& line) { printer.Print(line); });
    SetNotificationTarget(NotificationChannel::MainWindow, &watcher);
    const bool quiet = parsed.Has("--quiet");
    if (!quiet)
        SetNotificationTarget(NotificationChannel::ClientsList, &printer);

    StartCommunityLogins();
    StartServer();
    int status = kExitOk;
    if (watcher.WaitForOutcome() == CMD_SERVER_STARTED) {
        WakeCommunityLogins();
        std::string started = Format(kStartedText, unsigned{GetListenPort()}) + "\n";
        if (!quiet)
            started += ServerUrl() + "\n";
        printer.Print(started);
        std::optional<ServeChatRoom> chatRoom;
        if (parsed.Has(kWebchatOption) && !chatRoom.emplace(chatMembers).Opened())
            streams.err << "sarvo-cli: the chat room could not be opened" << std::endl;
        WaitForStopSignalOrServerEnd(signals);
        chatRoom.reset();  // the room closes before the server stops
        StopServer();
    } else {
        streams.err << Format(kStartFailedText, unsigned{GetListenPort()}, GetLastServerError()) << std::endl;
        status = kExitFailed;
    }
    WaitForServerThread();
    StopCommunityLogins();
    SetNotificationTarget(NotificationChannel::ClientsList, nullptr);
    SetNotificationTarget(NotificationChannel::MainWindow, nullptr);
    return status;
}

}  // namespace sarvo::cli
