#pragma once

#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <array>
#include <map>
#include <string>

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
    };

    static constexpr int kNormalCellHeight = 20;
    static constexpr int kBoldCellHeight = 19;
    // The last-update field's font goes no smaller than this for a long message.
    static constexpr double kSmallestMessagePoints = 6;

    // Every price change attempt goes to log (none: not recorded).
    PricePanel(SignSystem &system, OperatorConsole &console, Controls controls,
               PriceLog *log = nullptr, QObject *parent = nullptr);

    // The mask of a price field, from its line's format.
    static QString MaskForFormat(const QString &format);

    void SetUpPriceFields();
    void EnableInstalledLines();
    void LoadPrices();
    void ApplyNormalFont();
    void ApplyLineFont(int line, bool bold);
    void PriceChanged(int line);
    void SendUpdate();

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
};
