#pragma once

#include <QDateTime>
#include <QLabel>
#include <QPixmap>
#include <array>

class SignSystem;

// The bottom line of the main window and the tag column, kept current by the one-second
// tick: clock, line tags with leader dots, and the status, redrawn only when it changes.
// The status is one of five: the controller does not answer (the link is down), its memory
// must be loaded (the NVRAM update flag, kept until a load ends the program), the
// controller reported a failure (the failure flag), a price change could not be written to
// the price log, or all is ready.
class StatusLine {
public:
    enum class Shown {
        Nothing = 0,
        Error = 1,
        Ready = 2,
        NotAnswering = 3,
        PriceLogFailed = 4,
        MemoryMustBeLoaded = 5,
        EventLogFailed = 6,
    };

    StatusLine(QLabel *clock, QLabel *statusText, QLabel *statusIcon,
               std::array<QLabel *, 8> tagFields);

    // Everything a tick does except arming the price fields, which belongs to the panel.
    // installedLines is the number of lines the price panel set up: the tags of the rows
    // after them are not shown.
    void Tick(SignSystem &system, const QDateTime &now, int installedLines);

    void ShowClock(const QDateTime &now);
    void RefreshTagFields(SignSystem &system, int installedLines);
    void ShowErrorStatus();
    void ShowReadyStatus();
    void ShowNotAnsweringStatus();
    void ShowMemoryMustBeLoadedStatus();
    void ShowPriceLogStatus();
    void ShowEventLogStatus();
    // Once a price change could not be logged, the status says so for the rest of the
    // session (behind the controller's own troubles); the reason is the text's tool tip.
    void SetPriceLogProblem(const QString &problem) { m_priceLogProblem = problem; }
    void SetEventLogProblem(const QString &problem) { m_eventLogProblem = problem; }
    void SetShown(Shown shown) { m_shown = shown; }
    Shown CurrentlyShown() const { return m_shown; }

    // "%d/%d/%d %d:%02d %s" on the 12-hour dial: 0:05 is 12:05 AM, 12:30 is 12:30 PM.
    static QString ClockText(const QDateTime &now);
    // The tag, a blank, and leader dots toward a width of 70 characters.
    static QString TagFieldText(const QString &tag);
    // A status picture with its face greys turned into the palette's colours.
    static QPixmap StatusPixmap(int bitmapId, const QPalette &palette);

private:
    QLabel *m_clock;
    QLabel *m_statusText;
    QLabel *m_statusIcon;
    std::array<QLabel *, 8> m_tagFields;
    Shown m_shown = Shown::Nothing;
    QString m_priceLogProblem;
    QString m_eventLogProblem;
};
