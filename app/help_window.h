#pragma once

#include <QUrl>
#include <QWidget>

class QLineEdit;
class QTextBrowser;
class QToolBar;

// The operator manual, compiled into the program: contents, back and forward, and a
// search bar on Ctrl+F. One window, raised again when help is asked for again.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    // Where the manual lives among the program's resources.
    static const QUrl kManualUrl;

    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the window at the manual's contents, or raises it where the reader left it.
    void ShowContents();
    QTextBrowser *Browser() const { return m_browser; }
    // The next place the text occurs, from the cursor on and round from the top; false
    // when it does not occur at all.
    bool Find(const QString &text, bool backward = false);

    // The link name of a heading, as the manual's own contents list writes it: lower
    // case, blanks as hyphens, other punctuation left out ("Send Update" gives
    // "send-update").
    static QString AnchorFor(const QString &heading);

private:
    void NameHeadings();
    void ShowFindBar();

    QTextBrowser *m_browser;
    QToolBar *m_tools;
    QWidget *m_findBar;
    QLineEdit *m_findText;
};
