#include "status_line.h"

#include <QImage>
#include <algorithm>

#include "device_map.h"
#include "resource_ids.h"
#include "sign_system.h"
#include "time_records.h"

namespace {

constexpr int kLeaderWidth = 70;

}  // namespace

StatusLine::StatusLine(QLabel *clock, QLabel *statusText, QLabel *statusIcon,
                       std::array<QLabel *, 8> tagFields)
    : m_clock(clock), m_statusText(statusText), m_statusIcon(statusIcon), m_tagFields(tagFields) {}

void StatusLine::Tick(SignSystem &system, const QDateTime &now, int installedLines) {
    ShowClock(now);
    if (system.LineTagsDisplayPending()) {
        RefreshTagFields(system, installedLines);
    }
    // A controller that does not answer cannot report anything, so its silence comes first.
    // A controller whose memory must be loaded holds nothing the signs could show, which
    // outweighs any failure it reports. Without a port (none was chosen at start-up) it
    // cannot answer either.
    const bool unreachable = system.LinkDown() || !DeviceMap::IsPortName(system.GetPortName());
    const Shown wanted = unreachable                    ? Shown::NotAnswering
                         : system.NvramUpdateFlag()     ? Shown::MemoryMustBeLoaded
                         : system.FailureFlag()         ? Shown::Error
                         : !m_priceLogProblem.isEmpty() ? Shown::PriceLogFailed
                         : !m_eventLogProblem.isEmpty() ? Shown::EventLogFailed
                                                        : Shown::Ready;
    if (wanted == m_shown) {
        return;
    }
    switch (wanted) {
        case Shown::NotAnswering:
            ShowNotAnsweringStatus();
            break;
        case Shown::MemoryMustBeLoaded:
            ShowMemoryMustBeLoadedStatus();
            break;
        case Shown::Error:
            ShowErrorStatus();
            break;
        case Shown::PriceLogFailed:
            ShowPriceLogStatus();
            break;
        case Shown::EventLogFailed:
            ShowEventLogStatus();
            break;
        default:
            ShowReadyStatus();
            break;
    }
    m_shown = wanted;
}

QString StatusLine::ClockText(const QDateTime &now) {
    const QDate date = now.date();
    const QTime time = now.time();
    const TimeRecord dial = TimeRecord::FromTwentyFourHour(time.hour(), time.minute());
    return QString::asprintf("%d/%d/%d %d:%02d %s", date.month(), date.day(), date.year(),
                             dial.hour, dial.minute, dial.ampm.c_str());
}

void StatusLine::ShowClock(const QDateTime &now) {
    m_clock->setText(ClockText(now));
}

QString StatusLine::TagFieldText(const QString &tag) {
    QString text = tag + " ";
    for (int dots = 0; dots < kLeaderWidth - text.size(); ++dots) {
        text += '.';
    }
    return text;
}

void StatusLine::RefreshTagFields(SignSystem &system, int installedLines) {
    const int lines = std::min(system.InstalledLineCount(), installedLines);
    for (int line = 1; line <= lines; ++line) {
        m_tagFields[line - 1]->setText(
            TagFieldText(QString::fromStdString(system.GetLineTag(line - 1))));
    }
    system.SetLineTagsDisplayPending(false);
}

QPixmap StatusLine::StatusPixmap(int bitmapId, const QPalette &palette) {
    QImage image(QString::fromStdString(Ids::Bitmap::ResourcePath(bitmapId)));
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    for (int y = 0; y < image.height(); ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const unsigned rgb = row[x] & 0xFFFFFF;
            if (rgb == Ids::Bitmap::kFaceGrey)
                row[x] = face;
            else if (rgb == Ids::Bitmap::kShadowGrey)
                row[x] = shadow;
        }
    }
    return QPixmap::fromImage(image);
}

void StatusLine::ShowErrorStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kErrorStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Error Status: Check logs. ");
    m_statusText->setToolTip(QString());
}

void StatusLine::ShowEventLogStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kErrorStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Error Status: Event log failed.");
    m_statusText->setToolTip("A supervisor change could not be written to the event log: " +
                             m_eventLogProblem);
}

void StatusLine::ShowPriceLogStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kErrorStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Error Status: Price log failed.");
    m_statusText->setToolTip("A price change could not be written to the price log: " +
                             m_priceLogProblem);
}

void StatusLine::ShowNotAnsweringStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kErrorStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Error Status: CC not answering.");
    m_statusText->setToolTip(QString());
}

void StatusLine::ShowMemoryMustBeLoadedStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kErrorStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Error Status: CC memory must be loaded.");
    m_statusText->setToolTip("Choose File > Load NVRAM Image ...");
}

void StatusLine::ShowReadyStatus() {
    m_statusIcon->setPixmap(StatusPixmap(Ids::Bitmap::kReadyStatus, m_statusIcon->palette()));
    m_statusIcon->update();
    m_statusText->setText("Status: All signs ready. ");
    m_statusText->setToolTip(QString());
}
