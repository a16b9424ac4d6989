#pragma once

#include <chrono>
#include <functional>
#include <string>

// The lock that keeps one program's work on a serial line apart from another's: a
// transaction (the request, its reply and the final wait), or an operation of several
// transactions such as an NVRAM transfer, goes out while no other program of the system
// talks on the same line.
//
// The lock is the Linux convention for serial lines, a UUCP lock file in /run/lock named
// after the device (LCK..ttyUSB0) holding the owner's process id as ten characters and a
// line end. Other programs that follow the convention (terminal programs, modem tools) see
// it too; they read only the process id, so a second line says what the holder is doing
// ("loading an NVRAM image, block 12 of 128") for the programs of the system that wait. It
// is made with O_EXCL and removed when the work ends, so a program that finds it waits; a
// file whose process no longer runs is stale and taken over. A stale file that cannot be
// removed (another user's in the sticky lock folder, say) is waited on like a holder, at a
// slower pace and up to the same limit, and then named with what to do.
//
// Programs that wait are served in the order they began to wait (LineQueue), and a program
// that finds others waiting queues behind them even when the line is free at that moment.
class LineLock {
public:
    static constexpr const char *kDefaultDirectory = "/run/lock";
    static constexpr std::chrono::milliseconds kPollPeriod{25};
    // The longest text of what a holder is doing that goes into the lock file.
    static constexpr std::size_t kLongestActivity = 200;

    // The pace of the wait for a stale lock file that cannot be removed: only a person can
    // put it right.
    static constexpr std::chrono::milliseconds kStuckPollPeriod{250};

    enum class Outcome { Taken, Busy, Unavailable, Stopped };

    // Who holds a line, as its lock file and the process table tell.
    struct Holder {
        int pid = 0;           // 0: none, or a file whose process id is not written yet
        std::string program;   // the process's name
        std::string activity;  // what a program of the system says it is doing
        bool operator==(const Holder &) const = default;
    };

    // portName names the line in messages ("COM1"); devicePath is the device it opens.
    LineLock(std::string portName, std::string devicePath,
             std::string directory = kDefaultDirectory);
    ~LineLock();

    LineLock(const LineLock &) = delete;
    LineLock &operator=(const LineLock &) = delete;

    // Takes the lock, waiting up to limit while another running program holds it or
    // programs that began to wait earlier are still waiting. waiting is called once, when
    // the wait begins; whileWaiting after every poll period of the wait. Unavailable: the
    // lock folder cannot be written, so no lock can be held at all. Stopped: stop said so
    // during the wait.
    Outcome Take(std::chrono::milliseconds limit, const std::function<void()> &waiting = {},
                 const std::function<void()> &whileWaiting = {},
                 const std::function<bool()> &stop = {});
    void Release();
    bool Held() const { return m_held; }

    // What this program does with the line, for the programs that wait for it: written into
    // the lock file when it is taken, and at once while it is held. One line, cut to
    // kLongestActivity.
    void SetActivity(const std::string &activity);
    // Called with the text of Busy when the wait begins and again whenever the holder or
    // what it does changes, so that a waiter can show who it waits for.
    void SetNotice(std::function<void(const std::string &)> notice) {
        m_notice = std::move(notice);
    }

    // Why Take() did not take it: "COM1 (/dev/ttyUSB0) is busy: voxa-ctl (PID 4242) is
    // loading an NVRAM image, block 12 of 128" (or "... is busy: another program (PID 4242,
    // minicom) is using it"), why a stale lock file stays, or why the lock folder could not
    // be used.
    const std::string &Problem() const { return m_problem; }
    const std::string &Path() const { return m_path; }

    // The holder in words: "voxa-ctl (PID 4242) is loading an NVRAM image", "another
    // program (PID 4242, minicom) is using it".
    static std::string Describe(const Holder &holder);

    // The lock file's name for a device: LCK.. and the device's name under /dev, its
    // symbolic links followed, with any further slash as an underscore (LCK..pts_3).
    static std::string FileNameFor(const std::string &devicePath);

private:
    // One attempt; true when taken. Otherwise sets holder to the running owner, and stale
    // when the file's owner is gone and the file was removed (or could not be).
    // A stale file that cannot be removed leaves m_stuck saying why and what to do.
    bool TryOnce(Holder &holder, bool &stale);
    // Removes a stale file; when it cannot, says why in m_stuck (what describes the file).
    void RemoveStale(const std::string &what);
    // The holder as the lock file names it, without touching the file.
    Holder ReadHolder() const;
    std::string BusyText(const Holder &holder, bool othersFirst) const;
    void WriteActivity();

    std::string m_portName;
    std::string m_devicePath;
    std::string m_path;
    std::string m_problem;
    std::string m_activity;
    std::function<void(const std::string &)> m_notice;
    int m_fd = -1;  // the lock file, open while held
    std::string m_stuck;
    bool m_held = false;
};
