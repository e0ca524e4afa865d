#include "ui/SingleInstance.h"

#include <gtest/gtest.h>

#include <memory>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "support/TempFolder.h"

namespace {

constexpr int kStartLimitMs = 15000;

// One run of the probe program with its own settings folder.
class Probe {
public:
    explicit Probe(const std::string& settingsFolder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SARVO_HOME", QString::fromStdString(settingsFolder));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(SINGLE_INSTANCE_PROBE, QStringList());
    }
    ~Probe() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kStartLimitMs);
        }
    }

    // True once the probe has printed the line (the output is kept, so an earlier line counts).
    bool WaitForLine(const QByteArray& line, int limitMs = kStartLimitMs) {
        QDeadlineTimer deadline(limitMs);
        for (;;) {
            m_output += m_process.readAllStandardOutput();
            if (m_output.split('\n').contains(line))
                return true;
            if (deadline.hasExpired())
                return false;
            m_process.waitForReadyRead(100);
        }
    }
    int CountLines(const QByteArray& line) {
        m_output += m_process.readAllStandardOutput();
        return static_cast<int>(m_output.split('\n').count(line));
    }
    // The exit code once the probe ended by itself; -1 when it did not within the limit or crashed.
    int WaitForExit() {
        if (!m_process.waitForFinished(kStartLimitMs) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        m_output += m_process.readAllStandardOutput();
        return m_process.exitCode();
    }
    void Crash() {
        m_process.kill();
        m_process.waitForFinished(kStartLimitMs);
    }
    const QByteArray& Output() const { return m_output; }

private:
    QProcess m_process;
    QByteArray m_output;
};

class SingleInstanceProcesses : public ::testing::Test {
protected:
    // Also this process's SARVO_HOME, so that SingleInstance::ServerName() here names the probes' socket.
    sarvo::test::ScopedSarvoHome m_home;
};

TEST_F(SingleInstanceProcesses, LaterCopiesHandOverAndTheFirstIsAskedEachTime) {
    Probe first(m_home.Path());
    ASSERT_TRUE(first.WaitForLine("listening")) << first.Output().constData();

    for (int copy = 1; copy <= 2; ++copy) {
        SCOPED_TRACE(copy);
        Probe later(m_home.Path());
        EXPECT_EQ(later.WaitForExit(), 0);
        EXPECT_TRUE(later.Output().contains("handed over")) << later.Output().constData();
        QDeadlineTimer deadline(kStartLimitMs);
        while (first.CountLines("activation requested") < copy && !deadline.hasExpired())
            first.WaitForLine("never printed", 100);
        EXPECT_EQ(first.CountLines("activation requested"), copy);
    }
}

TEST_F(SingleInstanceProcesses, SocketLeftByACrashedCopyDoesNotBlockTheNextStart) {
    {
        Probe crashed(m_home.Path());
        ASSERT_TRUE(crashed.WaitForLine("listening"));
        crashed.Crash();
    }
    ASSERT_TRUE(QFileInfo::exists(SingleInstance::ServerName())) << "the crash should leave the socket file";

    Probe next(m_home.Path());
    ASSERT_TRUE(next.WaitForLine("listening")) << next.Output().constData();
    Probe later(m_home.Path());
    EXPECT_EQ(later.WaitForExit(), 0);
    EXPECT_TRUE(next.WaitForLine("activation requested"));
}

TEST_F(SingleInstanceProcesses, EachSettingsFolderHasItsOwnCopy) {
    sarvo::test::TempFolder otherSettings;
    Probe first(m_home.Path());
    ASSERT_TRUE(first.WaitForLine("listening"));
    Probe second(otherSettings.Path());
    EXPECT_TRUE(second.WaitForLine("listening")) << second.Output().constData();
    EXPECT_EQ(first.CountLines("activation requested"), 0);
}

}  // namespace
