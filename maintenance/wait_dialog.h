#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The notice shown while an NVRAM image travels: a small window without caption or
// buttons, with a thin sunken edge, a centred text, a bar and "Block k of n". The transfer
// runs to its end without returning to the event loop, so every change is painted at once.
class WaitDialog : public QDialog {
    Q_OBJECT

public:
    explicit WaitDialog(QWidget *parent = nullptr);

    // Centres the notice on its parent (or the screen), shows it and paints it at once.
    void ShowNow();
    // Replaces the text and paints it at once.
    void SetText(const QString &text);
    // done of blocks transferred: the bar shows done, the text names the block on its way.
    // With blocks 0 (not known yet) the bar stays empty and no block is named.
    void SetProgress(int done, int blocks);

    QString Text() const;
    QString BlockText() const;
    int ProgressValue() const;
    int ProgressMaximum() const;

private:
    void PaintNow();

    QLabel *m_text;
    QProgressBar *m_progress;
    QLabel *m_block;
};
