#include "ServerUnderTest.h"

#include "listener/ServerExecute.h"

TServerUnderTest::TServerUnderTest()
    : m_listener(nullptr, [](TClientConnection& connection, std::string line) {
        return TCPServerExecute(connection, std::move(line));
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
