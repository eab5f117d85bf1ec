#pragma once

class QScreen;

// One refresh of screen, rounded up to whole milliseconds; 60 Hz where the
// screen does not say. Views that a drag rewrites at every step repaint at
// most this often: nobody reads a picture faster than the screen shows it.
int refreshInterval(const QScreen* screen);
