#include "price_panel.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPalette>
#include <QScopeGuard>
#include <algorithm>
#include <set>

#include "cell_mask.h"
#include "cm_edit.h"
#include "dialog_units.h"
#include "line_hold.h"
#include "operator_console.h"
#include "sign_system.h"
#include "status_line.h"

PricePanel::PricePanel(SignSystem &system, OperatorConsole &console, Controls controls,
                       PriceLog *log, QObject *parent)
    : QObject(parent),
      m_system(system),
      m_console(console),
      m_controls(controls),
      m_reads(system),
      m_update(system, log),
      m_normalFont(DialogUnits::CellHeightFont(kNormalCellHeight, QFont::Normal)),
      m_boldFont(DialogUnits::CellHeightFont(kBoldCellHeight, QFont::Black)) {
    for (int line = 1; line <= SignSystem::kMaxLines; ++line) {
        connect(m_controls.priceFields[line - 1], &QLineEdit::textChanged, this,
                [this, line] { PriceChanged(line); });
    }
}

QString PricePanel::MaskForFormat(const QString &format) {
    return QString::fromStdU16String(CellMask::MaskForPriceFormat(format.toStdU16String()));
}

void PricePanel::SetUpPriceFields() {
    m_installedLines = m_reads.ReadLinesAndFormats();
    for (int line = 1; line <= m_installedLines; ++line) {
        const QString format = QString::fromStdString(m_system.GetLineFormat(line));
        m_controls.priceFields[line - 1]->Init(MaskForFormat(format), QString());
        // A line whose format could not be read stays shut: a price typed into a guessed
        // mask could be anything to the controller.
        m_controls.priceFields[line - 1]->setToolTip(
            m_system.LineFormatRead(line)
                ? QString()
                : QString::fromStdString(UnreadFormatText(line)));
    }
}

std::string PricePanel::UnreadFormatText(int line) {
    return "The format of line " + std::to_string(line) +
           " could not be read from the Central Controller, so the line takes no price. "
           "Check the line, then start VOXA again.";
}

void PricePanel::EnableInstalledLines() {
    m_reads.ReadFaceMasks();
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        m_controls.tagFields[line - 1]->setEnabled(true);
        m_controls.priceFields[line - 1]->setEnabled(m_system.LineFormatRead(line));
    }
}

void PricePanel::LoadPrices() {
    m_reads.ReadPrices();
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        const std::optional<std::string> &price = m_reads.Price(line);
        // Shown as the controller holds it, past the mask. A line whose read failed keeps
        // the empty mask it was set up with, rather than the price of the line read before
        // it, which the failed read leaves behind.
        if (price) m_controls.priceFields[line - 1]->setText(QString::fromStdString(*price));
        m_update.SetKnownPrice(line, price);
    }
}

void PricePanel::ApplyNormalFont() {
    for (int i = 0; i < SignSystem::kMaxLines; ++i) {
        m_controls.priceFields[i]->setFont(m_normalFont);
        m_controls.tagFields[i]->setFont(m_normalFont);
    }
}

void PricePanel::ApplyLineFont(int line, bool bold) {
    if (line < 1 || line > SignSystem::kMaxLines) {
        m_console.ShowMessage("Bad Price ID!");
        return;
    }
    const QFont &font = bold ? m_boldFont : m_normalFont;
    m_controls.priceFields[line - 1]->setFont(font);
    m_controls.tagFields[line - 1]->setFont(font);
}

void PricePanel::PriceChanged(int line) {
    if (!m_editsArmed) {
        return;
    }
    CmEdit *field = m_controls.priceFields[line - 1];
    const QString text = field->text();
    if (text.startsWith('.') && m_system.GetLineFormat(line) == "8.889") {
        // A point typed into the first cell means a price below one: the first two cells
        // become "0." and the others keep what they hold. (Put before the text, the 0 would
        // push the fixed point and digits one cell on, past the mask.) A text that lacks
        // its first cell, set from outside, takes the 0 in front. This raises the change
        // notice once more; that pass finds no leading point.
        const bool pointInFirstCell = text.size() > 1 && text[1] == '.';
        field->setText(pointInFirstCell ? "0" + text.mid(1) : "0" + text);
    }
    ApplyLineFont(line, true);
    m_system.SetLineChanged(line, true);
    m_controls.sendUpdate->setEnabled(true);
}

void PricePanel::ShowLastUpdate(const QString &text) {
    QLabel *box = m_controls.lastUpdate;
    box->setText(text);
    // The box is narrow: a long message ("Sign Shows 88.889, Price #8") gets a smaller font
    // rather than losing its ends.
    QFont font = box->parentWidget()->font();
    const int room = box->contentsRect().width() - 2;
    const auto widest = [&text](const QFont &f) {
        int width = 0;
        for (const QString &row : text.split('\n'))
            width = std::max(width, QFontMetrics(f).horizontalAdvance(row));
        return width;
    };
    while (font.pointSizeF() > kSmallestMessagePoints && widest(font) > room) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    box->setFont(font);
}

void PricePanel::StopAt(int line, const QString &text) {
    ShowLastUpdate(text);
    m_controls.priceFields[line - 1]->setFocus();
}

void PricePanel::SendUpdate() {
    m_sending = true;
    const QScopeGuard done([this] { m_sending = false; });
    if (!AskAboutChangesElsewhere()) return;
    // Other programs on the line wait until every changed price has gone out.
    LineHold hold(m_system, "sending prices (Send Update)");
    m_system.GetCcStatus();
    ShowLastUpdate("Last Update:\n" + m_controls.clock->text());
    // The grade order is judged on the whole set, before any of it goes out.
    const std::map<int, std::string> changes = ChangedPrices();
    const std::optional<std::string> orderQuestion =
        m_update.OrderQuestion(changes, m_system.InstalledLineCount());
    std::set<int> orderBreaking;
    if (orderQuestion) {
        hold.LetGo();
        if (!m_console.AskYesNo(*orderQuestion)) {
            const int line = m_update.HoldBackOrder(changes, m_system.InstalledLineCount());
            StopAt(line, QString::asprintf("Error:\nNot Sent, Price #%d", line));
            return;
        }
        // Answered Yes: the lines that break the order go out marked as forced.
        orderBreaking = m_update.OrderBreakingLines(changes, m_system.InstalledLineCount());
    }
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        if (!m_system.LineChanged(line)) {
            continue;
        }
        const std::string price = m_controls.priceFields[line - 1]->text().toStdString();
        if (!m_update.CheckFormat(line, price)) {
            StopAt(line, QString::asprintf("Error:\nBad Value, Price #%d", line));
            return;
        }
        const std::optional<std::string> question = m_update.LimitQuestion(line, price);
        if (question) {
            // The person may take a while to decide: the line is not kept from other
            // programs meanwhile.
            hold.LetGo();
            if (!m_console.AskYesNo(*question)) {
                m_update.HoldBack(line, price, *question);
                StopAt(line, QString::asprintf("Error:\nNot Sent, Price #%d", line));
                return;
            }
        }
        // A price the controller refused, never confirmed, or shows otherwise is not what
        // the sign shows: the line stays changed, and the last update saved stays the last
        // one that went through.
        // Answered Yes: sent, and logged as forced with the question.
        const PriceUpdate::Result result =
            m_update.Send(line, price,
                          question ? question
                                   : m_update.ForcedQuestion(line, price, orderBreaking,
                                                             orderQuestion));
        switch (result.outcome) {
            case PriceOutcome::Sent:
            case PriceOutcome::Confirmed:
                break;
            case PriceOutcome::Mismatch:
                StopAt(line, QString("Error:\nSign Shows %1, Price #%2")
                                 .arg(QString::fromStdString(result.shown))
                                 .arg(line));
                return;
            case PriceOutcome::NotConfirmed:
                StopAt(line, QString::asprintf("Error:\nNot Confirmed, Price #%d", line));
                return;
            case PriceOutcome::Unknown:
                // The controller got the price but its answer was lost: the sign may show
                // either price.
                StopAt(line, QString::asprintf("Error:\nCheck Sign, Price #%d", line));
                return;
            default:
                StopAt(line, QString::asprintf("Error:\nUpdate Failed, Price #%d", line));
                return;
        }
        m_system.SetLineChanged(line, false);
        MarkChangedElsewhere(line, std::nullopt);
    }
    m_editsArmed = false;
    ApplyNormalFont();
    m_controls.sendUpdate->setEnabled(false);
    m_lastCompleteUpdate = m_controls.lastUpdate->text();
}

namespace {

// The time of a change as the clock shows it; as the log has it when it cannot be read.
QString ChangeTime(const PricePanel::Change &change) {
    const QDateTime time = QDateTime::fromString(QString::fromStdString(change.time), Qt::ISODate);
    if (!time.isValid()) return QString::fromStdString(change.time);
    return StatusLine::ClockText(time.toLocalTime());
}

QString WhoAndWhen(const PricePanel::Change &change) {
    QString who = QString::fromStdString(change.source);
    if (!change.user.empty()) who += QString(" (user %1)").arg(QString::fromStdString(change.user));
    return QString("set by %1 at %2").arg(who, ChangeTime(change));
}

}  // namespace

QString PricePanel::ChangedElsewhereTip(const Change &change) {
    return QString(
               "Changed while you were editing it: the sign now shows %1, %2.\nSend "
               "Update asks before it sends your price.")
        .arg(QString::fromStdString(change.price), WhoAndWhen(change));
}

std::string PricePanel::ChangedElsewhereQuestion(const Change &change, const std::string &typed) {
    return QString(
               "Price #%1 was changed while you were editing it: the sign now shows %2, "
               "%3.\n\nSend your price, %4, anyway? No keeps %2 and drops your edit.")
        .arg(change.line)
        .arg(QString::fromStdString(change.price), WhoAndWhen(change),
             QString::fromStdString(typed))
        .toStdString();
}

const std::optional<PricePanel::Change> &PricePanel::ChangedElsewhere(int line) const {
    static const std::optional<Change> kNone;
    return line >= 1 && line <= SignSystem::kMaxLines ? m_changedElsewhere[line - 1] : kNone;
}

void PricePanel::TakeChangeFromElsewhere(const Change &change) {
    const int line = change.line;
    if (line < 1 || line > m_installedLines) return;
    // What the sign shows now: the log's old price and the base of the change limit.
    m_update.SetKnownPrice(line, change.price);
    if (m_system.LineChanged(line)) {
        MarkChangedElsewhere(line, change);
        return;
    }
    ShowSignPrice(line, QString::fromStdString(change.price));
    const QString lastUpdate = "Last Update:\n" + ChangeTime(change);
    // The reason a send of this window stopped stays in the box until the next send; the
    // settings keep the time all the same.
    if (!m_controls.lastUpdate->text().startsWith("Error:")) ShowLastUpdate(lastUpdate);
    m_lastCompleteUpdate = lastUpdate;
}

void PricePanel::ShowSignPrice(int line, const QString &price) {
    // Not an edit: the field's change notice must not mark the line.
    const bool armed = m_editsArmed;
    m_editsArmed = false;
    m_controls.priceFields[line - 1]->setText(price);
    m_editsArmed = armed;
}

void PricePanel::MarkChangedElsewhere(int line, std::optional<Change> change) {
    const QString tip = change ? ChangedElsewhereTip(*change) : QString();
    CmEdit *field = m_controls.priceFields[line - 1];
    field->setToolTip(tip);
    // The field itself is tinted too, so that the mark is hard to miss.
    QPalette colours = field->parentWidget()->palette();
    if (change) colours.setColor(QPalette::Base, kChangedElsewhereTint);
    field->setPalette(colours);
    if (QLabel *mark = m_controls.changedMarks[line - 1]) {
        mark->setToolTip(tip);
        mark->setVisible(change.has_value());
    }
    m_changedElsewhere[line - 1] = std::move(change);
}

bool PricePanel::AskAboutChangesElsewhere() {
    bool left = false;
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        if (!m_system.LineChanged(line)) continue;
        const std::optional<Change> change = m_changedElsewhere[line - 1];
        if (change) {
            const std::string typed = m_controls.priceFields[line - 1]->text().toStdString();
            if (!m_console.AskYesNo(ChangedElsewhereQuestion(*change, typed))) {
                ShowSignPrice(line, QString::fromStdString(change->price));
                m_system.SetLineChanged(line, false);
                ApplyLineFont(line, false);
                MarkChangedElsewhere(line, std::nullopt);
                continue;
            }
        }
        left = true;
    }
    if (!left) m_controls.sendUpdate->setEnabled(false);
    return left;
}

std::map<int, std::string> PricePanel::ChangedPrices() const {
    std::map<int, std::string> changes;
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        if (m_system.LineChanged(line)) {
            changes[line] = m_controls.priceFields[line - 1]->text().toStdString();
        }
    }
    return changes;
}

QString PricePanel::LastUpdateToKeep() const {
    return m_lastCompleteUpdate.isEmpty() ? m_controls.lastUpdate->text() : m_lastCompleteUpdate;
}
