#pragma once

class QWidget;

// The modal About box: the program's icon, name and purpose, and a default
// "OK" button. OK, Enter, Esc and the close box close it.
void showAboutBox(QWidget* parent);
