#include "price_panel.h"

#include "cm_edit.h"
#include "dialog_units.h"
#include "operator_console.h"
#include "sign_system.h"

PricePanel::PricePanel(SignSystem &system, OperatorConsole &console, Controls controls,
                       QObject *parent)
    : QObject(parent),
      m_system(system),
      m_console(console),
      m_controls(controls),
      m_normalFont(DialogUnits::CellHeightFont(kNormalCellHeight, QFont::Normal)),
      m_boldFont(DialogUnits::CellHeightFont(kBoldCellHeight, QFont::Black)) {
    for (int line = 1; line <= SignSystem::kMaxLines; ++line) {
        connect(m_controls.priceFields[line - 1], &QLineEdit::textChanged, this,
                [this, line] { PriceChanged(line); });
    }
}

QString PricePanel::MaskForFormat(const QString &format) {
    QString mask;
    for (int i = 0; i < format.size(); ++i) {
        switch (format[i].unicode()) {
            case '8':
                // A leading digit followed by the point may also take the point itself.
                mask += (i == 0 && format.size() > 1 && format[1] == '.') ? "[0-9.]" : "[0-9]";
                break;
            case '9':
            case '.':
            case ',':
                mask += format[i];
                break;
            default:
                mask += "ERROR";
                break;
        }
    }
    return mask;
}

void PricePanel::SetUpPriceFields() {
    m_system.GetNumberOfLines();
    m_system.ReadLineFormats();
    m_installedLines = m_system.InstalledLineCount();
    for (int line = 1; line <= m_installedLines; ++line) {
        const QString format = QString::fromStdString(m_system.GetLineFormat(line));
        m_controls.priceFields[line - 1]->Init(MaskForFormat(format), QString());
    }
}

void PricePanel::EnableInstalledLines() {
    m_system.ReadFaceMasks();
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        m_controls.tagFields[line - 1]->setEnabled(true);
        m_controls.priceFields[line - 1]->setEnabled(true);
    }
}

void PricePanel::LoadPrices() {
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        const std::string price = m_system.GetLinePrice(line);
        // Shown as the controller holds it, past the mask.
        m_controls.priceFields[line - 1]->setText(QString::fromStdString(price));
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

void PricePanel::SendUpdate() {
    m_system.GetCcStatus();
    m_controls.lastUpdate->setText("Last Update:\n" + m_controls.clock->text());
    for (int line = 1; line <= m_system.InstalledLineCount(); ++line) {
        if (!m_system.LineChanged(line)) {
            continue;
        }
        CmEdit *field = m_controls.priceFields[line - 1];
        const std::string price = field->text().toStdString();
        if (!m_system.PriceCheck(price, line)) {
            m_controls.lastUpdate->setText(QString::asprintf("Error:\nBad Value, Price #%d", line));
            field->setFocus();
            return;
        }
        // A price the controller refused or never confirmed is not on the sign: the line
        // stays changed, and the last update saved stays the last one that went through.
        if (!m_system.SetLinePrice(line, price)) {
            m_controls.lastUpdate->setText(
                QString::asprintf("Error:\nUpdate Failed, Price #%d", line));
            field->setFocus();
            return;
        }
        m_system.SetLineChanged(line, false);
    }
    m_editsArmed = false;
    ApplyNormalFont();
    m_controls.sendUpdate->setEnabled(false);
}
