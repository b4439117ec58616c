#pragma once

#include "listener/ListenerConnection.h"

#include <cstdint>
#include <functional>
#include <memory>

class THttpListener;
class TInfoSink;
class TIoThread;
class TRequestListener;

struct TMemberServerSettings {
    // Serves one member-port connection: by default the member request
    // handler.
    TConnectionProcedure Procedure;
    // Gives up the printer call in progress, from any thread; empty when
    // the printer library cannot be given up on (it runs in this process).
    std::function<void()> GiveUpPrinterCall;
};

// The interface server: the member port and the HTTP API, every connection
// of both a coroutine on one I/O thread, and whether their requests may
// reach the device queue. The program creates it; the main window, when
// there is one, starts and stops it and shows what it does.
class TMemberServer {
public:
    explicit TMemberServer(TMemberServerSettings settings = {});
    // A server still serving is stopped (see EndServing).
    ~TMemberServer();
    TMemberServer(const TMemberServer&) = delete;
    TMemberServer& operator=(const TMemberServer&) = delete;

    // Lets requests reach the device, then starts the member port on port
    // and the HTTP API as HttpOption says. InfoMemo, when given, gets the
    // start and stop lines. The HTTP API comes up also when the member
    // port cannot be bound, and so does the admission of requests (the
    // test dialog and the HTTP API go on); the bind error is thrown then.
    void Start(int32_t port, TInfoSink* InfoMemo = nullptr);

    // The whole stop, in this order: no request may begin any more and
    // those queued are dropped; both ports and every connection close;
    // connections with a card transaction running get up to 5000 ms. When
    // any outlives that wait, the printer call is given up and EStopTimeout
    // is thrown; the server then still counts as serving, and a second
    // stop closes and waits again. Otherwise the stop waits for the device
    // steps whose answers come back to the I/O thread, then appends the
    // stop lines. Not on the I/O thread.
    void Stop();

    // Stops once more a server whose stop timed out; a second time-out
    // leaves the remaining connections to finish on their own.
    void EndServing();

    // The member port is listening.
    bool Listening() const;
    // The member port bound; differs from the one asked for only for 0.
    uint16_t LocalPort() const;
    // The HTTP API's port, 0 while it does not listen.
    uint16_t HttpPort() const;

private:
    void StartHttp();
    void Close();
    bool WaitForConnections();
    void GiveUpPrinterCall();

    TMemberServerSettings m_settings;
    std::shared_ptr<TIoThread> m_ioThread;
    TInfoSink* m_infoMemo = nullptr;
    std::unique_ptr<TRequestListener> m_listener;
    std::unique_ptr<THttpListener> m_httpListener;
    bool m_serving = false;
};
