#pragma once

// Keeps the program's windows alive while a controller transaction waits on the line: the
// link calls Serve() every few tens of milliseconds during its waits (a half-second read,
// the pauses of a sync search, a line another program holds), and Serve() lets Qt deliver
// what is not user input: paint requests, the window system's questions (a desktop marks a
// window that does not answer them as not responding), timers and posted events.
//
// Keys and clicks stay queued until the transaction is over, so the program stays on its
// one thread with one transaction at a time: nothing the user does can start a second
// transaction on top of the first. Work that must not run in the middle of a transaction
// (the one-second tick of the main window) asks Serving() and comes back later.
class WindowKeepAlive {
public:
    void Serve();
    // True while Serve() delivers events, that is in the middle of a transaction.
    bool Serving() const { return m_serving; }

private:
    bool m_serving = false;
};
