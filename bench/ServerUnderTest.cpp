#include "ServerUnderTest.h"

#include "shell/listener/ServerExecute.h"

TServerUnderTest::TServerUnderTest()
    : m_listener(nullptr, [](TClientConnection& connection, const std::string& line) {
        TCPServerExecute(nullptr, connection, line);
    })
{
    m_listener.Start(0);
}

TServerUnderTest::~TServerUnderTest()
{
    try {
        m_listener.Stop();
    } catch (const std::exception&) {
        // A benchmark that leaves connections behind ends anyway.
    }
}
