// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class SocketcandClient;
struct SocketcandCommand;
struct pollfd;

// The socketcand server's own thread: it accepts the clients, reads and answers their commands
// and hands them the frames the capture publishes. The capture's side only puts each frame in a
// ring (no lock, no system call), so nothing a client does can hold up the reading of the link
// or the recording. The thread runs at a lower priority than the capture, and reads at most
// ReadBudget bytes of a client's commands every FlushMs: a client that floods commands is slowed
// down by its own connection (the server stops reading it) instead of taking a core, or the
// place of the other clients.
class SocketcandLoop final
{
public:
    struct Limits
    {
        int maxClients = 16;
        int openTimeoutMs = 10000; // 0: a client may wait as long as it likes before "open"
    };
    // Both are called on the loop's thread.
    struct Events
    {
        std::function<void(const CanPacket &)> send; // a client transmits a frame
        std::function<void(const QString &)> say;    // a line for the log
    };

    // Some 800 KB/s of commands a client: "< send >" at more than twice a line's frame rate.
    static constexpr int ReadBudget = 4 * 1024;
    static constexpr int RingFrames = 65536; // about 1.5 s at the bus limit
    static constexpr int LingerMs = 2000;    // a client told why it goes may read it this long
    static constexpr int MaxLingering = 64;

    // Takes the listening socket `listenFd` and starts the thread.
    SocketcandLoop(int listenFd, const Limits &limits, Events events);
    // Stops the thread and closes every socket.
    ~SocketcandLoop();
    SocketcandLoop(const SocketcandLoop &) = delete;
    SocketcandLoop &operator=(const SocketcandLoop &) = delete;

    // Queues a frame for the clients; from one thread only, the capture's.
    void publish(const TimedPacket &frame);
    void setAllowSend(bool allow) { allowSend = allow; }

    int clientCount() const { return connected; }
    quint64 droppedClients() const { return dropped; }
    quint64 refusedClients() const { return refused; }
    quint64 timedOutClients() const { return timedOut; }
    quint64 withheldFdFrames() const { return withheldFd; }

private:
    struct Lingering
    {
        int fd;
        qint64 until;
    };

    void run();
    void pollOnce(std::vector<pollfd> &fds);
    size_t preparePoll(std::vector<pollfd> &fds, qint64 now) const;
    void drainWake();
    int timeoutMs(qint64 now) const;
    void acceptAll(qint64 now);
    void admit(int fd, const QString &peer, qint64 now);
    void serveClient(SocketcandClient &client, short events, qint64 now);
    void readClient(SocketcandClient &client, qint64 now);
    void handle(SocketcandClient &client, const SocketcandCommand &command, qint64 now);
    void handleOpen(SocketcandClient &client, const QByteArray &name);
    void handleRawMode(SocketcandClient &client, qint64 now);
    void handleSend(SocketcandClient &client, const CanPacket &packet);
    void deliverFrames();
    void withhold(SocketcandClient &client, quint64 frames);
    void checkTimers(SocketcandClient &client, qint64 now);
    void writeClient(SocketcandClient &client);
    void drop(SocketcandClient &client, const QString &why);
    void closePolitely(SocketcandClient &client, const QByteArray &lastWords, qint64 now);
    void closeLingering(qint64 now);
    void purge();
    void say(const SocketcandClient &client, const QString &text);

    const int listenFd;
    const Limits limits;
    const Events events;
    int wakeFd = -1;
    std::vector<std::unique_ptr<SocketcandClient>> clients;
    std::vector<Lingering> lingering;
    std::unique_ptr<TimedPacket[]> ring;
    std::atomic<quint64> head{0}; // written by publish()
    std::atomic<quint64> tail{0}; // written by the loop
    std::atomic<bool> overflow{false};
    std::atomic<int> rawClients{0};
    std::atomic<int> connected{0};
    std::atomic<quint64> dropped{0};
    std::atomic<quint64> refused{0};
    std::atomic<quint64> timedOut{0};
    std::atomic<quint64> withheldFd{0};
    std::atomic<bool> allowSend{false};
    std::atomic<bool> stopping{false};
    qint64 nextFlush = 0;
    qint64 acceptPausedUntil = 0;
    std::thread thread;
};
