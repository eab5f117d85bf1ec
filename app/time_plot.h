#pragma once

#include "app/design_session.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <vector>

enum class TimeView { Impulse, Step, GroupDelay };

// One of the time views in its dock: the impulse response h[n], the step
// response s[n], or the group delay τ(f) on the magnitude pane's logarithmic
// frequency axis, drawn as the client area draws its panes (white ground,
// grey grid, black curve, the labels' face at 8 points) with QPainter, so
// that it stays crisp at any scale factor.
//
// The plot follows the session's changed(): a change of the roots or the
// rate marks what it shows as stale and asks for one repaint within a
// refresh of the screen, however many changes arrive in between, and the
// repaint computes the response anew. A hidden plot computes nothing until
// it shows again.
class TimePlot : public QWidget {
    Q_OBJECT

public:
    TimePlot(TimeView view, const DesignSession& session, QWidget* parent = nullptr);

    TimeView view() const { return view_; }

    // What the plot shows, as CSV: for the time views one value per line,
    // h[0] … h[N − 1] or s[0] … s[N − 1]; for the group delay
    // "f_hz,tau_samples" per pixel column of the plot.
    QString dataCsv();

    // The line the status bar shows for a pointer at widget position at:
    //   "n = 12   h[n] = 0.0412"   (s[n] for the step response)
    //   "f = 1000 Hz   τ = 3.21 samples (0.0728 ms)"
    // Empty away from the plot's frame.
    QString pointerText(QPointF at);

    // The samples the time views show, brought up to date with the session
    // (empty for the group delay).
    const std::vector<double>& samples();

    // The paints so far, and whether what the plot holds is the session's
    // design as it is now: for tests of the pacing.
    int paintCount() const { return paints_; }
    bool upToDate() const { return !stale_; }

    QSize sizeHint() const override { return {420, 240}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

signals:
    // The pointer moved over the plot (the new pointerText) or left it (an
    // empty text).
    void pointerTextChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void follow(DesignChanges what);
    void bringUpToDate();
    void computeGroupDelay(int columns);
    QRectF frame() const;

    const DesignSession& session_;
    const TimeView view_;
    QTimer repaintTimer_;
    bool stale_ = true;
    int paints_ = 0;

    // The time views: what the last computation gave.
    std::vector<double> samples_;
    bool unstable_ = false;
    std::optional<double> finalValue_;

    // The group delay, one point per device pixel column of the frame.
    std::vector<double> frequencies_;
    std::vector<double> delays_;
    int delayColumns_ = 0;
};
