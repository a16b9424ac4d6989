#include "price_panel.h"

#include <QFontMetrics>
#include <algorithm>

#include "cell_mask.h"
#include "cm_edit.h"
#include "dialog_units.h"
#include "line_hold.h"
#include "operator_console.h"
#include "sign_system.h"

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
    }
}

void PricePanel::EnableInstalledLines() {
    m_reads.ReadFaceMasks();
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        m_controls.tagFields[line - 1]->setEnabled(true);
        m_controls.priceFields[line - 1]->setEnabled(true);
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
    // Other programs on the line wait until every changed price has gone out.
    LineHold hold(m_system, "sending prices (Send Update)");
    m_system.GetCcStatus();
    ShowLastUpdate("Last Update:\n" + m_controls.clock->text());
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
        const PriceUpdate::Result result = m_update.Send(line, price, question);
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
    }
    m_editsArmed = false;
    ApplyNormalFont();
    m_controls.sendUpdate->setEnabled(false);
    m_lastCompleteUpdate = m_controls.lastUpdate->text();
}

QString PricePanel::LastUpdateToKeep() const {
    return m_lastCompleteUpdate.isEmpty() ? m_controls.lastUpdate->text() : m_lastCompleteUpdate;
}
