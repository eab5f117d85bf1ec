#include "app/about_box.h"

#include "res/images.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {

// Dialog units: a quarter of the average character width across, an eighth
// of the font height down, so that the box scales with its font.
struct DialogUnits {
    int x;
    int y;

    QRect rect(int left, int top, int width, int height) const
    {
        return {left * x / 4, top * y / 8, width * x / 4, height * y / 8};
    }
};

}  // namespace

void showAboutBox(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("About Vorbel"));
    const QFontMetrics metrics(dialog.font());
    const DialogUnits units{metrics.averageCharWidth(), metrics.height()};

    auto* icon = new QLabel(&dialog);
    icon->setPixmap(loadAboutIcon());
    icon->setGeometry(units.rect(14, 9, 20, 20));

    auto* name = new QLabel(QStringLiteral("Vorbel, Version 1.0"), &dialog);
    name->setGeometry(units.rect(42, 12, 140, 9));
    auto* purpose = new QLabel(QStringLiteral("Poles, zeros and filter responses"), &dialog);
    purpose->setGeometry(units.rect(42, 24, 140, 9));

    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setGeometry(units.rect(146, 40, 30, 11));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    dialog.setFixedSize(units.rect(0, 0, 186, 58).size());
    dialog.exec();
}
