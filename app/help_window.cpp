#include "help_window.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

const QUrl HelpWindow::kManualUrl("qrc:/manual/manual.md");

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("helpWindow");
    setWindowTitle("VOXA Manual");
    resize(760, 640);

    m_tools = new QToolBar(this);
    QAction *contents = m_tools->addAction("&Contents");
    QAction *back = m_tools->addAction("&Back");
    QAction *forward = m_tools->addAction("&Forward");
    QAction *find = m_tools->addAction("Fin&d...");
    contents->setObjectName("contents");
    back->setObjectName("back");
    forward->setObjectName("forward");
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName("manual");
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(kManualUrl, QTextDocument::MarkdownResource);
    NameHeadings();

    m_findBar = new QWidget(this);
    auto *findLayout = new QHBoxLayout(m_findBar);
    findLayout->setContentsMargins(4, 2, 4, 2);
    auto *findLabel = new QLabel("Find:", m_findBar);
    m_findText = new QLineEdit(m_findBar);
    m_findText->setObjectName("findText");
    findLabel->setBuddy(m_findText);
    auto *next = new QPushButton("&Next", m_findBar);
    auto *previous = new QPushButton("&Previous", m_findBar);
    auto *close = new QToolButton(m_findBar);
    close->setText("Close");
    findLayout->addWidget(findLabel);
    findLayout->addWidget(m_findText, 1);
    findLayout->addWidget(next);
    findLayout->addWidget(previous);
    findLayout->addWidget(close);
    m_findBar->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tools);
    layout->addWidget(m_browser, 1);
    layout->addWidget(m_findBar);

    connect(contents, &QAction::triggered, this, [this] {
        m_browser->setSource(kManualUrl);
        m_browser->moveCursor(QTextCursor::Start);
        m_browser->ensureCursorVisible();
    });
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, &HelpWindow::ShowFindBar);
    const auto findNext = [this] {
        if (!Find(m_findText->text())) m_findText->setStyleSheet("background: #fdd;");
    };
    const auto findPrevious = [this] {
        if (!Find(m_findText->text(), true)) m_findText->setStyleSheet("background: #fdd;");
    };
    connect(m_findText, &QLineEdit::returnPressed, this, findNext);
    connect(m_findText, &QLineEdit::textEdited, this, [this] {
        m_findText->setStyleSheet(QString());
    });
    connect(next, &QPushButton::clicked, this, findNext);
    connect(previous, &QPushButton::clicked, this, findPrevious);
    connect(close, &QToolButton::clicked, m_findBar, &QWidget::hide);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_findBar);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        m_findBar->hide();
        m_browser->setFocus();
    });
}

void HelpWindow::ShowContents() {
    if (!isVisible()) {
        m_browser->setSource(kManualUrl);
        m_browser->moveCursor(QTextCursor::Start);
        m_browser->ensureCursorVisible();
    }
    show();
    raise();
    activateWindow();
}

bool HelpWindow::Find(const QString &text, bool backward) {
    if (text.isEmpty()) return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_browser->find(text, flags)) return true;
    // Round from the other end.
    m_browser->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    return m_browser->find(text, flags);
}

QString HelpWindow::AnchorFor(const QString &heading) {
    QString anchor;
    for (const QChar c : heading.trimmed()) {
        if (c.isLetterOrNumber() || c == '-' || c == '_') {
            anchor += c.toLower();
        } else if (c == ' ') {
            anchor += '-';
        }
    }
    return anchor;
}

// The manual's contents link to its headings by name; the Markdown reader gives headings
// no names, so each gets the one its text implies.
void HelpWindow::NameHeadings() {
    QTextDocument *document = m_browser->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({AnchorFor(block.text())});
        cursor.mergeCharFormat(format);
    }
}

void HelpWindow::ShowFindBar() {
    m_findBar->show();
    m_findText->setFocus();
    m_findText->selectAll();
}
