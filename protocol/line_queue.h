#pragma once

#include <sys/types.h>

#include <string>

// The programs of the system that wait for one serial line, in the order they began to
// wait, so that the line goes to them in that order instead of to whoever polls first, and
// a program that has just had the line cannot take it again ahead of them.
//
// The queue is a file beside the line's lock file (voxa-queue..ttyUSB0 beside
// LCK..ttyUSB0) that nobody writes to: a waiter's place in it is a read lock on one byte
// of it, at an offset that is the moment it began to wait on the system's monotonic clock,
// which every process of the machine shares. A program is first when no lock lies at a
// lower offset. The kernel drops the locks of a program that ends, so a waiter that is
// killed leaves no gap behind, and no process id can be taken for a live one by mistake.
// The locks are open file description locks (F_OFD_SETLK), which belong to the queue's own
// descriptor: two queues in one process wait for each other like two programs.
//
// Without a queue file (a lock folder that cannot be written, say) nobody queues and the
// line goes to whoever finds it free, as it would without this class.
class LineQueue {
public:
    // The queue of the line whose lock file is at lockPath.
    explicit LineQueue(const std::string &lockPath);
    ~LineQueue();

    LineQueue(const LineQueue &) = delete;
    LineQueue &operator=(const LineQueue &) = delete;

    bool Usable() const { return m_fd >= 0; }
    // Takes a place at the back, once.
    void Join();
    bool Joined() const { return m_ticket > 0; }
    // Gives the place up (also when the object goes).
    void Leave();
    // Whether another program is served before this one: any waiter while this one has no
    // place, a waiter that began earlier once it has.
    bool SomeoneFirst() const;

    // The queue file's name for a lock file's name: LCK..ttyUSB0 gives voxa-queue..ttyUSB0.
    static std::string FileNameFor(const std::string &lockFileName);

private:
    int m_fd = -1;
    off_t m_ticket = 0;
};
