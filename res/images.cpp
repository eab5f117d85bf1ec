#include "res/images.h"

#include "res/resource_ids.h"

#include "res/images/bin_cursor.xpm"
#include "res/images/hand_cursor.xpm"
#include "res/images/icon_16.xpm"
#include "res/images/icon_32.xpm"

namespace {

QImage fromXpm(const char* const xpm[])
{
    return QImage(xpm).convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

QImage loadIconImage(int id, int size)
{
    if (id == IDI_APP_ICON && size == 32)
        return fromXpm(icon_32_xpm);
    if (id == IDI_APP_ICON && size == 16)
        return fromXpm(icon_16_xpm);
    return QImage();
}

QImage loadCursorImage(int id)
{
    if (id == IDC_HAND_CURSOR)
        return fromXpm(hand_cursor_xpm);
    if (id == IDC_BIN_CURSOR)
        return fromXpm(bin_cursor_xpm);
    return QImage();
}

QIcon loadApplicationIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(loadIconImage(IDI_APP_ICON, 32)));
    icon.addPixmap(QPixmap::fromImage(loadIconImage(IDI_APP_ICON, 16)));
    return icon;
}

QPixmap loadAboutIcon()
{
    return QPixmap::fromImage(loadIconImage(IDI_APP_ICON, 32));
}

QCursor loadHandCursor()
{
    return QCursor(QPixmap::fromImage(loadCursorImage(IDC_HAND_CURSOR)), HAND_HOT_SPOT_X,
                   HAND_HOT_SPOT_Y);
}

QCursor loadBinCursor()
{
    return QCursor(QPixmap::fromImage(loadCursorImage(IDC_BIN_CURSOR)), BIN_HOT_SPOT_X,
                   BIN_HOT_SPOT_Y);
}
