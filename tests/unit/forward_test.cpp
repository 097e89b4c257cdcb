#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "core/forward/DiskQueue.h"
#include "core/forward/ForwardTarget.h"
#include "core/forward/Rfc5424Writer.h"
#include "core/settings/SettingsFile.h"

namespace {
using Transport = ForwardTarget::Transport;
using Format = ForwardTarget::Format;

TEST(ForwardTargetTest, ReadsTargetLines) {
    struct Case {
        const char* line;
        Transport transport;
        const char* host;
        int port;
        Format format;
        int minSeverity;
        std::uint64_t queueMb;
    };
    const Case cases[] = {
        {"tcp://collector.example:514", Transport::Tcp, "collector.example", 514,
         Format::AsReceived, 7, 1024},
        {"udp://10.1.1.1:5514 format=rfc5424", Transport::Udp, "10.1.1.1", 5514, Format::Rfc5424, 7,
         1024},
        {"tls://[2001:db8::1]:6514  min-severity=warning queue-mb=5", Transport::Tls, "2001:db8::1",
         6514, Format::AsReceived, 4, 5},
        {"tcp://h:1 format=as-received min-severity=emerg", Transport::Tcp, "h", 1,
         Format::AsReceived, 0, 1024},
    };
    for (const Case& c : cases) {
        ForwardTarget target;
        std::string error;
        ASSERT_TRUE(ParseForwardTarget(c.line, target, error)) << c.line << ": " << error;
        EXPECT_EQ(target.transport, c.transport) << c.line;
        EXPECT_EQ(target.host, c.host) << c.line;
        EXPECT_EQ(target.port, c.port) << c.line;
        EXPECT_EQ(target.format, c.format) << c.line;
        EXPECT_EQ(target.minSeverity, c.minSeverity) << c.line;
        EXPECT_EQ(target.queueBytes, c.queueMb * 1024 * 1024) << c.line;
    }
}

TEST(ForwardTargetTest, RefusesWhatItDoesNotUnderstand) {
    const char* lines[] = {
        "",
        "collector:514",
        "http://collector:514",
        "tcp://collector",
        "tcp://collector:0",
        "tcp://collector:65536",
        "tcp://:514",
        "tcp://2001:db8::1:514", // an IPv6 address needs its brackets
        "tcp://h:514 format=json",
        "tcp://h:514 min-severity=none",
        "tcp://h:514 queue-mb=0",
        "tcp://h:514 queue-mb=-1",
        "tcp://h:514 ca=ca.pem", // TLS options on plain TCP
        "tls://h:514 ca=ca.pem fingerprint=SHA256:AB",
        "tls://h:514 fingerprint=AB:CD",
        "tcp://h:514 colour=red",
    };
    for (const char* line : lines) {
        ForwardTarget target;
        std::string error;
        EXPECT_FALSE(ParseForwardTarget(line, target, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(ForwardTargetTest, QueueNamesAreFileNames) {
    ForwardTarget target;
    std::string error;
    ASSERT_TRUE(ParseForwardTarget("tls://[::1]:6514", target, error));
    EXPECT_EQ(target.Address(), "tls://[::1]:6514");
    EXPECT_EQ(target.QueueName(), "tls____1__6514");
    ASSERT_TRUE(ParseForwardTarget("tcp://log.example:514", target, error));
    EXPECT_EQ(target.QueueName(), "tcp_log.example_514");
}

ForwardMessage Received(const std::string& text, int priority) {
    ForwardMessage message;
    message.received = text;
    message.bodyAt = text.find('>') == std::string::npos ? 0 : text.find('>') + 1;
    message.address = "10.0.0.7";
    message.receivedAt = 1700000000; // 2023-11-14T22:13:20Z
    message.priority = priority;
    message.severity = priority & 7;
    return message;
}

TEST(Rfc5424WriterTest, RewritesHeaders) {
    const std::pair<const char*, const char*> cases[] = {
        {"<165>1 2003-10-11T22:14:15.003Z mymachine evntslog - ID47 [ex@1 a=\"3\"] An event",
         "<165>1 2003-10-11T22:14:15.003Z mymachine evntslog - ID47 [ex@1 a=\"3\"] An event"},
        {"<13>Oct 11 22:14:15 web-3 sshd[42]: Accepted key",
         "<13>1 2023-11-14T22:13:20Z web-3 sshd 42 - - Accepted key"},
        {"<13>plain text", "<13>1 2023-11-14T22:13:20Z 10.0.0.7 - - - - plain text"},
        {"no priority", "<14>1 2023-11-14T22:13:20Z 10.0.0.7 - - - - no priority"},
        {"<13>", "<13>1 2023-11-14T22:13:20Z 10.0.0.7 - - - -"},
        {"<999>too high", "<15>1 2023-11-14T22:13:20Z 10.0.0.7 - - - - too high"},
    };
    for (const auto& [text, expected] : cases) {
        const int priority = text[0] == '<' ? std::stoi(std::string(text + 1)) : 14;
        EXPECT_EQ(Rfc5424Text(Received(text, priority)), expected) << text;
    }
}

class DiskQueueTest : public ::testing::Test {
protected:
    std::vector<std::string> Numbered(int first, int count, std::size_t size = 100) {
        std::vector<std::string> records;
        for (int i = first; i < first + count; ++i) {
            std::string record = "record " + std::to_string(i) + " ";
            record.resize(size, 'x');
            records.push_back(record);
        }
        return records;
    }
    // Reads everything unread, acknowledging it when asked.
    std::vector<std::string> Drain(DiskQueue& queue, bool acknowledge) {
        std::vector<DiskQueue::Record> records;
        queue.Read(records, SIZE_MAX);
        std::vector<std::string> texts;
        for (const DiskQueue::Record& record : records) {
            texts.push_back(record.bytes);
            if (acknowledge)
                queue.Acknowledge(record.end);
        }
        return texts;
    }
    std::unique_ptr<DiskQueue> Open(std::uint64_t bound = 1 << 30) {
        auto queue = std::make_unique<DiskQueue>(m_dir.FilePath("q"), bound);
        std::string error;
        EXPECT_TRUE(queue->Open(error)) << error;
        return queue;
    }
    TempDir m_dir;
};

TEST_F(DiskQueueTest, GivesBackInOrderAcrossSegmentsAndRestarts) {
    auto queue = Open(2 * 1024 * 1024); // 128 KiB segments: 3000 records span several
    queue->Append(Numbered(0, 3000));
    std::vector<DiskQueue::Record> first;
    queue->Read(first, 50 * 100);
    for (std::size_t i = 0; i < 10; ++i)
        queue->Acknowledge(first[i].end); // the rest of `first` was read but never sent
    queue.reset();

    queue = Open(2 * 1024 * 1024);
    EXPECT_EQ(queue->Unread(), 2990u);
    queue->Append(Numbered(3000, 10));
    EXPECT_EQ(Drain(*queue, true), Numbered(10, 3000));
    queue.reset();
    EXPECT_EQ(Open()->Unread(), 0u);
}

TEST_F(DiskQueueTest, RecordsOnTheirWayStayAheadOfLaterOnes) {
    auto queue = Open();
    const std::vector<DiskQueue::Position> ends = queue->AppendAsRead(Numbered(0, 5));
    queue->Append(Numbered(5, 5));
    queue->Acknowledge(ends[1]);
    EXPECT_EQ(Drain(*queue, false), Numbered(5, 5));
    queue.reset(); // stopped with records 2 to 9 never sent
    queue = Open();
    EXPECT_EQ(Drain(*queue, true), Numbered(2, 8));
}

TEST_F(DiskQueueTest, DropsTheOldestPastItsBoundAndCountsThem) {
    auto queue = Open(1024 * 1024); // 64 KiB segments
    queue->Append(Numbered(0, 30000));
    EXPECT_GT(queue->Dropped(), 0u);
    EXPECT_LE(queue->Bytes(), 1024u * 1024);
    const std::vector<std::string> left = Drain(*queue, true);
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.size() + queue->Dropped(), 30000u);
    EXPECT_EQ(left, Numbered(static_cast<int>(queue->Dropped()), static_cast<int>(left.size())));
}

TEST_F(DiskQueueTest, CutsOffARecordCutShortByACrash) {
    {
        auto queue = Open();
        queue->Append(Numbered(0, 3));
    }
    const std::string segment = m_dir.FilePath("q") + "/1000000000.seg";
    std::filesystem::resize_file(segment, std::filesystem::file_size(segment) - 10);
    auto queue = Open();
    queue->Append(Numbered(3, 1));
    const std::vector<std::string> expected = {Numbered(0, 2)[0], Numbered(0, 2)[1],
                                               Numbered(3, 1)[0]};
    EXPECT_EQ(Drain(*queue, true), expected);
}

TEST(SettingsFileLinesTest, KeepsOtherLinesWhereTheyStand) {
    SettingsFile settings;
    settings.SetString("Marovind", "LOG_TYPE", "0");
    settings.SetStrings("Forward", "TARGET", {});
    EXPECT_EQ(settings.Lines(), (std::vector<std::string>{"[Marovind]", "LOG_TYPE = 0"}));
    settings.SetStrings("Forward", "TARGET", {"tcp://a:1", "tcp://b:2"});
    settings.SetString("Forward", "OTHER", "kept");
    settings.SetStrings("Forward", "TARGET", {"udp://c:3"});
    EXPECT_EQ(settings.Lines(), (std::vector<std::string>{"[Marovind]", "LOG_TYPE = 0", "[Forward]",
                                                          "OTHER = kept", "TARGET = udp://c:3"}));
    EXPECT_EQ(settings.GetStrings("Forward", "TARGET"), std::vector<std::string>{"udp://c:3"});
}
} // namespace
