#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <array>
#include <map>
#include <optional>
#include <string>

#include "price_log_follower.h"
#include "price_update.h"
#include "startup_reads.h"

class CmEdit;
class OperatorConsole;
class PriceLog;
class SignSystem;

// The eight price lines of the main window: masks from the line formats, the prices the
// controller holds, operator edits shown in bold, and Send Update. The reads and the price
// update are the ones voxa-ctl runs too; this class adds the screen.
class PricePanel : public QObject {
    Q_OBJECT

public:
    struct Controls {
        std::array<CmEdit *, 8> priceFields{};
        std::array<QLabel *, 8> tagFields{};
        QPushButton *sendUpdate = nullptr;
        QLabel *lastUpdate = nullptr;
        QLabel *clock = nullptr;
        // Beside each price field: shown while the line, edited here, was changed by another
        // program.
        std::array<QLabel *, 8> changedMarks{};
    };
    using Change = PriceLogFollower::Change;

    static constexpr int kNormalCellHeight = 20;
    static constexpr int kBoldCellHeight = 19;
    // The last-update field's font goes no smaller than this for a long message.
    static constexpr double kSmallestMessagePoints = 6;
    // The background of an edited price field whose line was changed by another program.
    static constexpr QColor kChangedElsewhereTint{0xff, 0xe8, 0xa0};

    // Every price change attempt goes to log (none: not recorded).
    PricePanel(SignSystem &system, OperatorConsole &console, Controls controls,
               PriceLog *log = nullptr, QObject *parent = nullptr);

    // The mask of a price field, from its line's format.
    static QString MaskForFormat(const QString &format);
    // The tooltip of a price field whose format could not be read.
    static std::string UnreadFormatText(int line);

    void SetUpPriceFields();
    void EnableInstalledLines();
    void LoadPrices();
    void ApplyNormalFont();
    void ApplyLineFont(int line, bool bold);
    void PriceChanged(int line);
    void SendUpdate();
    // Send Update is under way (its questions included): prices are not taken from
    // elsewhere meanwhile.
    bool Sending() const { return m_sending; }

    // A price another program put on the sign. A line not edited here shows it, and the
    // last-update field its time, as a send of this window would; a line edited here keeps
    // the text typed and is marked, and Send Update asks about it first.
    void TakeChangeFromElsewhere(const Change &change);
    // The change another program made to an edited line, while the line is marked.
    const std::optional<Change> &ChangedElsewhere(int line) const;
    // What a mark's tooltip says, and the question Send Update asks, about change to a line
    // edited here whose text is typed.
    static QString ChangedElsewhereTip(const Change &change);
    static std::string ChangedElsewhereQuestion(const Change &change, const std::string &typed);

    // The lines set up with a mask at start-up; 0 until then, and for good when start-up
    // could not ask the controller.
    int InstalledLines() const { return m_installedLines; }
    bool EditsArmed() const { return m_editsArmed; }
    void SetEditsArmed(bool armed) { m_editsArmed = armed; }

    // What the settings keep as the last update: the last-update field after the last
    // complete send of this session; before one, the field as it is (the time read from the
    // settings, or an error, which the settings do not take).
    QString LastUpdateToKeep() const;

    StartupReads &Reads() { return m_reads; }
    PriceUpdate &Update() { return m_update; }

private:
    // Asks about each edited line that another program changed meanwhile: Yes keeps the
    // text typed, No takes the price on the sign and drops the edit. False when no edited
    // line is left to send.
    bool AskAboutChangesElsewhere();
    // Puts price in a line's field as shown on the sign, not as an edit.
    void ShowSignPrice(int line, const QString &price);
    void MarkChangedElsewhere(int line, std::optional<Change> change);
    // The lines edited and not sent, with their texts.
    std::map<int, std::string> ChangedPrices() const;
    // Shows text in the last-update field, in a font small enough for its longest row.
    void ShowLastUpdate(const QString &text);
    // Ends a send at line: the text in the last-update field, the focus in its price.
    void StopAt(int line, const QString &text);

    SignSystem &m_system;
    OperatorConsole &m_console;
    Controls m_controls;
    StartupReads m_reads;
    PriceUpdate m_update;
    QFont m_normalFont;
    QFont m_boldFont;
    bool m_editsArmed = false;
    QString m_lastCompleteUpdate;
    int m_installedLines = 0;
    bool m_sending = false;
    std::array<std::optional<Change>, 8> m_changedElsewhere;
};
