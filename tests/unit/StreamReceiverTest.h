#pragma once
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "RecordingWindow.h"
#include "core/platform/AsyncSocket.h"
#include "core/platform/EventLoop.h"
#include "core/platform/MessageBox.h"
#include "core/reception/SyslogSocket.h"

// What the TCP and TLS receiver tests share: a recording main window, recorded message
// boxes, delivery not held, no source filter, and a free loopback port to listen on.
class StreamReceiverTest : public ::testing::Test {
public:
    static constexpr int kWaitMs = 10000;

protected:
    void SetUp() override {
        m_previousBox = SetMessageBoxHandler([this](const std::string& text) {
            boxes.push_back(text);
            return IDOK;
        });
        AfxSetMainWnd(&window);
        g_listener.m_suspended = 0;
        g_listener.m_filterOn = false;
        // A free port: the one the system gives an unbound socket, free again once closed.
        const NativeSocket probe = Sockets::Create(Sockets::Family::IPv4, Sockets::Kind::Stream);
        ASSERT_TRUE(Sockets::BindAny(probe, 0));
        port = Sockets::LocalPort(probe);
        Sockets::Close(probe);
    }
    void TearDown() override {
        g_listener.m_filterOn = false;
        AfxSetMainWnd(nullptr);
        SetMessageBoxHandler(std::move(m_previousBox));
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ReceivedRecord& record : window.records)
            texts.push_back(record.text);
        return texts;
    }
    bool WaitFor(const std::function<bool()>& done) { return PumpEventsUntil(done, kWaitMs); }

    RecordingWindow window;
    std::vector<std::string> boxes;
    std::uint16_t port = 0;

private:
    MessageBoxHandler m_previousBox;
};
