#pragma once

#include <chrono>
#include <functional>
#include <string>

// The lock that keeps one program's transaction on a serial line apart from another's:
// the request, its reply and the final wait go out while no other program of the system
// talks on the same line.
//
// The lock is the Linux convention for serial lines, a UUCP lock file in /run/lock named
// after the device (LCK..ttyUSB0) holding the owner's process id as ten characters and a
// line end. Other programs that follow the convention (terminal programs, modem tools) see
// it too. It is made with O_EXCL and removed when the transaction ends, so a program that
// finds it waits; a file whose process no longer runs is stale and taken over. A stale file
// that cannot be removed (another user's in the sticky lock folder, say) is waited on like
// a holder, at the same pace and up to the same limit, and then named with what to do.
class LineLock {
public:
    static constexpr const char *kDefaultDirectory = "/run/lock";
    static constexpr std::chrono::milliseconds kPollPeriod{25};

    // The pace of the wait for a stale lock file that cannot be removed: only a person can
    // put it right.
    static constexpr std::chrono::milliseconds kStuckPollPeriod{250};

    enum class Outcome { Taken, Busy, Unavailable, Stopped };

    // portName names the line in messages ("COM1"); devicePath is the device it opens.
    LineLock(std::string portName, std::string devicePath,
             std::string directory = kDefaultDirectory);
    ~LineLock();

    LineLock(const LineLock &) = delete;
    LineLock &operator=(const LineLock &) = delete;

    // Takes the lock, waiting up to limit while another running program holds it.
    // waiting is called once, when the wait begins. Unavailable: the lock folder cannot
    // be written, so no lock can be held at all. Stopped: stop said so during the wait.
    Outcome Take(std::chrono::milliseconds limit, const std::function<void()> &waiting = {},
                 const std::function<bool()> &stop = {});
    void Release();
    bool Held() const { return m_held; }

    // Why Take() did not take it: "COM1 (/dev/ttyUSB0) is busy: another program (PID 4242,
    // voxa) is using it", why a stale lock file stays, or why the lock folder could not be
    // used.
    const std::string &Problem() const { return m_problem; }
    const std::string &Path() const { return m_path; }

    // The lock file's name for a device: LCK.. and the device's name under /dev, its
    // symbolic links followed, with any further slash as an underscore (LCK..pts_3).
    static std::string FileNameFor(const std::string &devicePath);

private:
    // What stands in the way of one attempt.
    static constexpr int kNobody = 0;    // the file was stale and is gone: try again at once
    static constexpr int kSomeone = -1;  // a file being written, or taken over by another
    static constexpr int kStuck = -2;    // a stale file that cannot be removed (m_stuck says why)

    // One attempt; true when taken. Otherwise sets holder to the running owner or one of
    // the values above.
    bool TryOnce(int &holder);
    // Removes a stale file; when it cannot, says why in m_stuck (what describes the file)
    // and sets holder to kStuck.
    void RemoveStale(const std::string &what, int &holder);

    std::string m_portName;
    std::string m_devicePath;
    std::string m_path;
    std::string m_problem;
    std::string m_stuck;
    bool m_held = false;
};
