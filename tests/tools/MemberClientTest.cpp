#include "ClientMain.h"

#include "base/ExecutablePath.h"
#include "base/TextCodec.h"
#include "listener/RequestListener.h"
#include "listener/ServerExecute.h"
#include "support/RecordingMember.h"
#include "support/TestEnvironment.h"

#include <QProcess>

#include "base/Asio.h"

#include <sstream>
#include <thread>

namespace {

// member-client against the real listener and handler on a free port.
class MemberClientTest : public TProcessObjectsTest {
protected:
    void SetUp() override
    {
        TProcessObjectsTest::SetUp();
        CurrentMemberDevice = &m_device;
        m_listener.Start(0);
    }

    void TearDown() override
    {
        m_listener.Stop();
        TProcessObjectsTest::TearDown();
    }

    int Run(std::vector<std::string> args, const std::string& input = "")
    {
        args.push_back("--port=" + std::to_string(m_listener.LocalPort()));
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunMemberClient(args, in, out, err);
        Out = out.str();
        Err = err.str();
        return code;
    }

    TRecordingMember m_device;
    TRequestListener m_listener {
        nullptr, [](TClientConnection& connection, std::string line) { return TCPServerExecute(connection, std::move(line)); }};
    std::string Out;
    std::string Err;
};

TEST_F(MemberClientTest, SuccessShowsTheFieldsAndExitsZero)
{
    EXPECT_EQ(Run({"write", "--card-no", "00012345", "--guest-name", "张三"}), kExitSuccess);
    ASSERT_EQ(m_device.Calls().size(), 1u);
    EXPECT_EQ(m_device.Calls()[0].Args[2], Gbk("张三"));
    EXPECT_NE(Out.find("ResultCode:    200\n"), std::string::npos) << Out;
    EXPECT_NE(Out.find("ResultMessage: 写卡成功\n"), std::string::npos) << Out;
    EXPECT_NE(Out.find("CardNo:        00012345\n"), std::string::npos) << Out;
    EXPECT_EQ(Err, "");

    EXPECT_EQ(Run({"read"}), kExitSuccess);
    EXPECT_NE(Out.find("CardNo:        00012345\n"), std::string::npos) << Out;
}

TEST_F(MemberClientTest, FailureExitsOneWithTheServersMessage)
{
    m_device.Result = false;
    EXPECT_EQ(Run({"print", "--card-no", "1", "--content", "x"}), kExitFailure);
    EXPECT_NE(Out.find("ResultCode:    500\n"), std::string::npos) << Out;
    EXPECT_EQ(Err, "member-client: the server reports failure: 打印卡失败\n");
}

TEST_F(MemberClientTest, XmlShowsTheResponseTextAsReceived)
{
    EXPECT_EQ(Run({"write", "--xml", "--card-no", "00012345"}), kExitSuccess);
    EXPECT_EQ(Out,
        "<DoorResponse><RequestID></RequestID><ResultCode>200</ResultCode><ResultMessage>写卡成功</ResultMessage>"
        "<CardNo>00012345</CardNo><ExpireDate></ExpireDate><GuestName></GuestName><Score></Score>"
        "<Password></Password></DoorResponse>\n");
}

TEST_F(MemberClientTest, RawSendsStandardInputAndReportsAnUnansweredRequest)
{
    EXPECT_EQ(Run({"raw", "-"}, R"(<r type="ReadMemberCard"><InputPassword>1</InputPassword></r>)"), kExitSuccess);
    ASSERT_EQ(m_device.Calls().size(), 1u);
    EXPECT_EQ(m_device.Calls()[0].Args[0], "1") << "InputPassword";

    EXPECT_EQ(Run({"raw", "-"}, R"(<r type="readmembercard"/>)"), kExitNoAnswer);
    EXPECT_EQ(Err, "member-client: the server closed the connection without answering\n");

    // Longer than the server takes: it closes while the client is sending.
    EXPECT_EQ(Run({"raw", "-"}, std::string(200000, 'x')), kExitNoAnswer);
}

TEST_F(MemberClientTest, RawFileThatCannotBeReadIsNoInput)
{
    EXPECT_EQ(Run({"raw", Dir() + "missing.xml"}), kExitNoInput);
    EXPECT_EQ(Err, "member-client: cannot open '" + Dir() + "missing.xml'\n");

    WriteFileBytes(Dir() + "read.xml", R"(<r type="ReadMemberCard"><InputPassword>0</InputPassword></r>)");
    EXPECT_EQ(Run({"raw", Dir() + "read.xml"}), kExitSuccess);
}

TEST_F(MemberClientTest, UsageErrorsSayWhereToLook)
{
    EXPECT_EQ(Run({"write"}), kExitUsage);
    EXPECT_EQ(Err, "member-client: 'write' needs --card-no\nTry 'member-client --help' for more information.\n");
    EXPECT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_TRUE(Out.starts_with("Usage: member-client COMMAND [OPTION]...\n"));
    EXPECT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(Out, "member-client " MEMBER_VERSION "\n");
}

// Sends one reply to the first connection on a thread of its own. The
// thread is released and joined when the server goes, even when no client
// ever came, so a failing test leaves nothing waiting on it.
class TAnsweringServer {
public:
    explicit TAnsweringServer(std::string reply)
        : m_acceptor(m_io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0))
        , m_thread([this, reply = std::move(reply)] {
            boost::system::error_code error;
            asio::ip::tcp::socket socket = m_acceptor.accept(error);
            if (!error) {
                asio::write(socket, asio::buffer(reply), error);
            }
        })
    {
    }

    ~TAnsweringServer()
    {
        // Ends an accept still waiting; after a real client this connection
        // just stays in the backlog.
        boost::system::error_code error;
        asio::ip::tcp::socket release(m_io);
        release.connect(m_acceptor.local_endpoint(), error);
        m_thread.join();
    }

    TAnsweringServer(const TAnsweringServer&) = delete;
    TAnsweringServer& operator=(const TAnsweringServer&) = delete;

    std::string Port() const { return std::to_string(m_acceptor.local_endpoint().port()); }

private:
    asio::io_context m_io;
    asio::ip::tcp::acceptor m_acceptor;
    std::thread m_thread;
};

TEST(MemberClientConnectionTest, NoServerIsAConnectionError)
{
    // A port that was just free: bound, then released.
    asio::io_context io;
    asio::ip::tcp::acceptor probe(io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    const auto port = std::to_string(probe.local_endpoint().port());
    probe.close();

    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunMemberClient({"read", "--port", port}, in, out, err), kExitNoConnection);
    EXPECT_TRUE(err.str().starts_with("member-client: cannot connect to 127.0.0.1 port " + port)) << err.str();
}

TEST(MemberClientConnectionTest, ASilentServerIsATimeOut)
{
    // Accepts (the kernel does, through the backlog) but never answers.
    asio::io_context io;
    asio::ip::tcp::acceptor silent(io, asio::ip::tcp::endpoint(asio::ip::address_v4::loopback(), 0));
    const auto port = std::to_string(silent.local_endpoint().port());

    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunMemberClient({"read", "--port", port, "--timeout", "0.2"}, in, out, err), kExitNoConnection);
    EXPECT_EQ(err.str(), "member-client: no answer within the time-out\n");
}

TEST(MemberClientConnectionTest, AnAnswerThatIsNoResponse)
{
    const struct {
        std::string Reply;
        const char* Message;
    } cases[] = {
        {std::string("hello", 6), "member-client: the answer is not a DoorResponse\n"},
        {"<DoorResponse>", "member-client: the answer was cut short\n"},
        {std::string("<DoorResponse><ResultCode>201</ResultCode></DoorResponse>", 58),
            "member-client: unknown result code '201'\n"},
    };
    for (const auto& c : cases) {
        const TAnsweringServer server(c.Reply);
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunMemberClient({"read", "--port", server.Port()}, in, out, err), kExitBadResponse);
        EXPECT_EQ(err.str(), c.Message);
    }
}

// The installed program, to prove the exit code reaches the shell.
TEST_F(MemberClientTest, TheProgramExitsWithTheResultsCode)
{
    // Every program of the build, this test included, lands in one folder.
    const QString program = QString::fromStdString(ExecutableDirectory()) + QStringLiteral("member-client");
    const QString port = QString::number(m_listener.LocalPort());
    for (const bool succeed : {true, false}) {
        m_device.Result = succeed;
        QProcess client;
        client.start(program, {QStringLiteral("read"), QStringLiteral("--port"), port});
        ASSERT_TRUE(client.waitForFinished(30000));
        EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client.exitCode(), succeed ? 0 : 1);
    }
}

} // namespace
