#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

// One line of text in the status bar that a drag rewrites at every step.
//
// The text itself changes at once: text() is always the newest. Painting it
// at every pointer movement made a drag step about a tenth slower, so the
// line is repainted at most once per refresh of its screen, a refresh after
// the first change, however many movements arrive in between; nobody reads
// digits faster than the screen shows them. A new text never lays the bar or
// the window out again: the size it asks for depends on the font alone, and
// the line takes whatever width the bar gives it, cut at the right when it
// is too long.
//
// To assistive technology the bar is a line of static text whose name is the
// newest text, as a QLabel's is; a screen reader hears of a new text with
// the repaint that shows it, and only while one listens.
class ReadoutBar : public QWidget {
    Q_OBJECT

public:
    explicit ReadoutBar(QWidget* parent);

    const QString& text() const { return text_; }
    void setText(const QString& text);

    // The text that the last paint showed, for tests of the pacing.
    const QString& shownText() const { return shownText_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showNewText();

    QString text_;
    QString shownText_;
    QTimer repaintTimer_;
};
